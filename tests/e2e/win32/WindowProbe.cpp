// A helper of the Windows end-to-end tests, run under Wine beside the program under test:
//   window_probe controls TITLE   prints "ID LEFT TOP RIGHT BOTTOM" (screen pixels) for every
//                                 child control of the top-level window TITLE; exit 1 when there
//                                 is no such window
//   window_probe parent SECONDS   makes a 320 x 240 window like the control panel's preview
//                                 area, prints its handle, keeps it for SECONDS, then reports the
//                                 child windows it had ("children N") and closes it
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
    RECT rect;
    if (GetWindowRect(control, &rect))
        std::printf("%d %ld %ld %ld %ld\n", GetDlgCtrlID(control), rect.left, rect.top, rect.right, rect.bottom);
    return TRUE;
}

BOOL CALLBACK CountChild(HWND child, LPARAM count) {
    // Only windows of other processes: the preview's, not ours.
    DWORD process = 0;
    GetWindowThreadProcessId(child, &process);
    if (process != GetCurrentProcessId()) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int Controls(const wchar_t* title) {
    HWND window = FindWindowW(nullptr, title);
    // A dialog exists before it is shown, while its initialisation may still move it.
    if (!window || !IsWindowVisible(window)) return 1;
    EnumChildWindows(window, PrintControl, 0);
    std::fflush(stdout);
    return 0;
}

int Parent(double seconds) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = HBRUSH(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = L"PreviewParent";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"PreviewParent", L"Preview parent", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 40,
                                  40, 320, 240, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) return 1;
    std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    std::fflush(stdout);
    int most = 0;
    const DWORD end = GetTickCount() + DWORD(seconds * 1000);
    while (GetTickCount() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        int count = 0;
        EnumChildWindows(window, CountChild, LPARAM(&count));
        if (count > most) most = count;
        Sleep(50);
    }
    std::printf("children %d\n", most);
    std::fflush(stdout);
    DestroyWindow(window);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"controls") return Controls(argv[2]);
    if (argc == 3 && std::wstring(argv[1]) == L"parent") return Parent(std::wcstod(argv[2], nullptr));
    std::fprintf(stderr, "usage: window_probe controls TITLE | parent SECONDS\n");
    return 2;
}
