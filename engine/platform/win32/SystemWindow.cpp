// The engine window on Windows: one pop-up per display device in full screen (the first is the
// renderer's, the others stay black), a window at a place, or a child of a given window.
#include "platform/SystemWindow.h"

#include "core/Log.h"
#include "core/Status.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowInput.h"

#include <windows.h>

#include <string>
#include <vector>

namespace nuv {

namespace {

// The class of the engine windows, registered while any exists.
std::wstring gClassName;
// The windows of the last creation: the first, then the black ones owned by it.
std::vector<HWND> gWindows;
// Display devices whose mode was changed for the run, to be given their own back.
std::vector<std::string> gChangedDevices;
LPTOP_LEVEL_EXCEPTION_FILTER gPreviousFilter = nullptr;

LRESULT CALLBACK EngineWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // A second screensaver does not start over this one.
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_SCREENSAVE) return 0;
    WindowInput::Translate(message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

void RestoreDisplayModes() {
    for (const std::string& device : gChangedDevices)
        ChangeDisplaySettingsExA(device.c_str(), nullptr, nullptr, 0, nullptr);
    gChangedDevices.clear();
}

// A run that crashes still gives the user's display mode back.
LONG WINAPI RestoreOnCrash(EXCEPTION_POINTERS* exception) {
    RestoreDisplayModes();
    return gPreviousFilter ? gPreviousFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

int Fail(const char* message, const char* text) {
    if (message) LogError(message, text);
    DestroySystemWindow(nullptr);
    return kStatusFailed;
}

// The device's desktop rectangle: the primary at the origin, the others where the desktop has them.
bool DeviceRect(const DISPLAY_DEVICEA& device, DEVMODEA* current, RECT* rect) {
    current->dmSize = sizeof *current;
    if (!EnumDisplaySettingsA(device.DeviceName, ENUM_CURRENT_SETTINGS, current)) return false;
    const bool primary = (device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) != 0;
    rect->left = primary ? 0 : current->dmPosition.x;
    rect->top = primary ? 0 : current->dmPosition.y;
    rect->right = rect->left + LONG(current->dmPelsWidth);
    rect->bottom = rect->top + LONG(current->dmPelsHeight);
    return true;
}

// A mode of the device at the place, size and depth asked for that the device accepts.
bool FindDeviceMode(const DISPLAY_DEVICEA& device, int x, int y, int width, int height, int bits, DEVMODEA* found) {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    for (DWORD i = 0; EnumDisplaySettingsA(device.DeviceName, i, &mode); ++i) {
        if (int(mode.dmPelsWidth) != width || int(mode.dmPelsHeight) != height || int(mode.dmBitsPerPel) != bits)
            continue;
        if ((mode.dmFields & DM_POSITION) && (mode.dmPosition.x != x || mode.dmPosition.y != y)) continue;
        mode.dmFields |= DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
        if (ChangeDisplaySettingsExA(device.DeviceName, &mode, nullptr, CDS_TEST | CDS_FULLSCREEN, nullptr) !=
            DISP_CHANGE_SUCCESSFUL)
            continue;
        *found = mode;
        return true;
    }
    return false;
}

HWND CreatePopup(const std::wstring& title, const RECT& rect, HWND owner) {
    return CreateWindowExW(WS_EX_TOPMOST, gClassName.c_str(), title.c_str(), WS_POPUP | WS_VISIBLE, rect.left,
                           rect.top, rect.right - rect.left, rect.bottom - rect.top, owner, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

} // namespace

int CreateSystemWindow(void** window, const String& title, void* parentWindow, bool fullScreen, int bits, int x,
                       int y, int width, int height) {
    LogInfo("Создание системного окна [%s].", title.GetText());
    if (!window) {
        LogError("Указатель на окно равен 0.");
        return kStatusNotFound;
    }
    *window = nullptr;
    const std::wstring wideTitle = Utf8ToWide(title.GetText());
    gClassName = wideTitle + L" Class";
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = EngineWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));     // IDI_APPLICATION
    windowClass.hbrBackground = HBRUSH(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = gClassName.c_str();
    if (!RegisterClassExW(&windowClass)) {
        LogError("Невозможно зарегестрировать класс окна [%s].", WideToUtf8(gClassName.c_str()).c_str());
        gClassName.clear();
        return kStatusFailed;
    }

    if (parentWindow) {
        RECT rect;
        if (!GetClientRect(HWND(parentWindow), &rect)) return Fail("Невозможно создать окно [%s].", title.GetText());
        AdjustWindowRect(&rect, WS_CHILD | WS_VISIBLE, FALSE);
        HWND child = CreateWindowExW(0, gClassName.c_str(), wideTitle.c_str(), WS_CHILD | WS_VISIBLE, rect.left,
                                     rect.top, rect.right - rect.left, rect.bottom - rect.top, HWND(parentWindow),
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!child) return Fail("Невозможно создать окно [%s].", title.GetText());
        gWindows.assign(1, child);
        *window = child;
        return kStatusOk;
    }

    if (!fullScreen) {
        RECT rect = {x, y, x + width, y + height};
        AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW | WS_VISIBLE, FALSE, WS_EX_OVERLAPPEDWINDOW);
        HWND created = CreateWindowExW(WS_EX_OVERLAPPEDWINDOW, gClassName.c_str(), wideTitle.c_str(),
                                       WS_OVERLAPPEDWINDOW | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
                                       rect.bottom - rect.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!created) return Fail("Невозможно создать окно [%s].", title.GetText());
        gWindows.assign(1, created);
        *window = created;
        return kStatusOk;
    }

    // Full screen: the device that has the mode at the place asked for shows the picture; every
    // other display gets a black window.
    gWindows.clear();
    HWND first = nullptr;
    std::vector<RECT> blackRects;
    DISPLAY_DEVICEA device = {};
    device.cb = sizeof device;
    for (DWORD index = 0; EnumDisplayDevicesA(nullptr, index, &device, 0); ++index, device.cb = sizeof device) {
        if (device.StateFlags & DISPLAY_DEVICE_MIRRORING_DRIVER) {
            if (!first) return Fail("Невозможно создать окно [%s].", title.GetText());
            continue;
        }
        DEVMODEA current = {};
        RECT rect;
        if (!DeviceRect(device, &current, &rect)) continue; // not part of the desktop
        if (!MonitorFromRect(&rect, MONITOR_DEFAULTTONULL)) return Fail(nullptr, nullptr);
        DEVMODEA mode = {};
        if (!first && FindDeviceMode(device, x, y, width, height, bits, &mode)) {
            const bool same = mode.dmPelsWidth == current.dmPelsWidth && mode.dmPelsHeight == current.dmPelsHeight &&
                              mode.dmBitsPerPel == current.dmBitsPerPel;
            if (!same) {
                // The user's mode differs from the desktop's: switched for the run, given back at
                // its end however it ends.
                if (ChangeDisplaySettingsExA(device.DeviceName, &mode, nullptr, CDS_FULLSCREEN, nullptr) !=
                    DISP_CHANGE_SUCCESSFUL)
                    return Fail("Невозможно создать окно [%s].", title.GetText());
                if (gChangedDevices.empty()) gPreviousFilter = SetUnhandledExceptionFilter(RestoreOnCrash);
                gChangedDevices.push_back(device.DeviceName);
                rect.right = rect.left + width;
                rect.bottom = rect.top + height;
            }
            first = CreatePopup(wideTitle, rect, nullptr);
            if (!first) return Fail("Невозможно создать окно [%s].", title.GetText());
            gWindows.insert(gWindows.begin(), first);
            continue;
        }
        blackRects.push_back(rect);
    }
    if (!first) return Fail("Невозможно найти подходящий видео режим для окна [%s].", title.GetText());
    for (const RECT& rect : blackRects)
        if (HWND black = CreatePopup(wideTitle, rect, first)) gWindows.push_back(black);
    SetForegroundWindow(first);
    *window = first;
    return kStatusOk;
}

int DestroySystemWindow(void* window) {
    int status = kStatusOk;
    if (!window) {
        LogWarning("Указатель на окно равен 0.");
    } else {
        for (size_t i = gWindows.size(); i-- > 1;) DestroyWindow(gWindows[i]);
        if (!DestroyWindow(HWND(window))) {
            LogError("Невозможно удалить системное окно.");
            status = kStatusFailed;
        }
    }
    gWindows.clear();
    RestoreDisplayModes();
    if (!gClassName.empty()) {
        if (!UnregisterClassW(gClassName.c_str(), GetModuleHandleW(nullptr))) {
            LogError("Невозможно разрегестрировать класс системного окна.");
            status = kStatusFailed;
        }
        gClassName.clear();
    }
    return status;
}

} // namespace nuv
