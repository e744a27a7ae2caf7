// The preview on Windows: a child window inside the control panel's window (the /p HWND) that
// shows "preview.bmp" stretched to it. The first 500 ms timer after the user message marks the
// preview as settled; the preview ends when its window or the parent goes.
#include "app/PreviewWindow.h"

#include "core/Log.h"
#include "core/Status.h"
#include "media/File.h"
#include "media/FileManager.h"
#include "media/image/Image.h"
#include "platform/TemporaryFile.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

namespace nuv {

namespace {

constexpr const char* kPictureName = "preview.bmp";
constexpr UINT_PTR kTimer = 1;
constexpr UINT kFirstTimerMs = 500;

} // namespace

struct PreviewWindow::Native {
    HWND window = nullptr;
    HWND parent = nullptr;
    std::wstring className;
    TemporaryFile picture; // the picture written for the system's bitmap loader
    bool closed = false;
    // Set until the first timer after the user message: the preview has settled then.
    bool waiting = true;
    bool loadFailed = false;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void PaintNow(HWND window);
};

LRESULT CALLBACK PreviewWindow::Native::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* native = reinterpret_cast<Native*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!native) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_PAINT: native->PaintNow(window); return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_NEXTWINDOW:
        case SC_PREVWINDOW:
        case SC_CLOSE: native->closed = true; return 1;
        case SC_SCREENSAVE: return 0; // no second screensaver over the preview
        default: break;
        }
        break;
    case WM_DESTROY:
    case WM_CLOSE: native->closed = true; return 1;
    case WM_TIMER:
        native->waiting = false;
        KillTimer(window, kTimer);
        break;
    case WM_USER: SetTimer(window, kTimer, kFirstTimerMs, nullptr); break;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void PreviewWindow::Native::PaintNow(HWND window) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right - client.left, height = client.bottom - client.top;
    HBITMAP bitmap = picture.GetPath().empty() || width <= 0 || height <= 0
                         ? nullptr
                         : HBITMAP(LoadImageW(nullptr, Utf8ToWide(picture.GetPath()).c_str(), IMAGE_BITMAP, width,
                                              height, LR_LOADFROMFILE));
    if (bitmap) {
        HDC memory = CreateCompatibleDC(target);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
        DeleteDC(memory);
        DeleteObject(bitmap);
    } else {
        if (!picture.GetPath().empty() && width > 0 && height > 0 && !loadFailed) {
            // Said once: a picture the system cannot load leaves the preview black.
            loadFailed = true;
            LogWarning("Невозможно загрузить изображение [%s]: %s", kPictureName,
                       DescribeWindowsError("LoadImage", GetLastError()).c_str());
        }
        FillRect(target, &client, HBRUSH(GetStockObject(BLACK_BRUSH)));
    }
    EndPaint(window, &paint);
}

PreviewWindow::PreviewWindow() = default;

PreviewWindow::~PreviewWindow() {
    Destroy();
}

int PreviewWindow::Create(uint64_t parent, const char* title) {
    if (native_) return kStatusOk;
    native_ = new (std::nothrow) Native;
    if (!native_) return kStatusNoMemory;
    // The preview shares the machine with the control panel: it runs when nothing else wants to.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
    native_->parent = HWND(uintptr_t(parent));
    native_->className = Utf8ToWide(title ? title : "");
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &Native::Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.lpszClassName = native_->className.c_str();
    RegisterClassExW(&windowClass); // a class left by an earlier preview of the process is fine

    RECT rect = {100, 100, 150, 150};
    DWORD style = WS_POPUP | WS_VISIBLE;
    if (native_->parent) {
        if (!GetClientRect(native_->parent, &rect)) {
            LogError("Невозможно создать окно предпросмотра: нет окна [%llu].", (unsigned long long)parent);
            Destroy();
            return kStatusFailed;
        }
        style = WS_CHILD | WS_VISIBLE;
        AdjustWindowRect(&rect, style, FALSE);
    }
    native_->window = CreateWindowExW(0, native_->className.c_str(), native_->className.c_str(), style, rect.left,
                                      rect.top, rect.right - rect.left, rect.bottom - rect.top, native_->parent,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!native_->window) {
        LogError("Невозможно создать окно предпросмотра. Причина [%s].",
                 DescribeWindowsError("CreateWindowEx", GetLastError()).c_str());
        Destroy();
        return kStatusFailed;
    }
    SetWindowLongPtrW(native_->window, GWLP_USERDATA, LONG_PTR(native_));
    PostMessageW(native_->window, WM_USER, 0, 0);
    return kStatusOk;
}

void PreviewWindow::LoadPicture() {
    if (!native_) return;
    File* file = FileManager::FindFile(kPictureName);
    if (!file) {
        LogWarning("Файл [%s] не найден.", kPictureName);
        return;
    }
    Pointer<Image> image(new (std::nothrow) Image());
    if (!image || image->LoadFromFile(file) != 0 || !image->HasPixels()) {
        LogWarning("Невозможно загрузить изображение [%s].", kPictureName);
        return;
    }
    // The system loads bitmaps from files: the picture's bytes go to a temporary one.
    std::vector<uint8_t> bytes;
    if (file->Open(File::kRead) != 0) return;
    bytes.resize(size_t(std::max(file->GetSize(), 0)));
    const bool read = bytes.empty() || file->Read(bytes.data(), int(bytes.size())) == 0;
    file->Close();
    if (!read || native_->picture.Create("NEW") != 0 || native_->picture.Write(bytes.data(), bytes.size()) != 0) {
        LogWarning("Невозможно записать изображение [%s].", kPictureName);
        native_->picture.Remove();
        return;
    }
    picture_ = image;
}

bool PreviewWindow::ProcessEvents() {
    if (!native_ || !native_->window) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) native_->closed = true;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The control panel closes its window without telling the preview.
    if (native_->parent && !IsWindow(native_->parent)) native_->closed = true;
    return !native_->closed;
}

void PreviewWindow::Paint() {
    if (!native_ || !native_->window) return;
    InvalidateRect(native_->window, nullptr, FALSE);
    UpdateWindow(native_->window);
}

void PreviewWindow::Destroy() {
    if (!native_) return;
    if (native_->window && IsWindow(native_->window)) {
        SetWindowLongPtrW(native_->window, GWLP_USERDATA, 0);
        DestroyWindow(native_->window);
    }
    UnregisterClassW(native_->className.c_str(), GetModuleHandleW(nullptr));
    ShowCursor(TRUE);
    delete native_;
    native_ = nullptr;
}

} // namespace nuv
