// The engine window on Windows (under Wine): the key table, the messages that become input
// events, and a window made and destroyed through the system-window calls.
#include "platform/SystemWindow.h"
#include "platform/win32/WindowInput.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <vector>

namespace nuv {
namespace {

TEST(WindowInput, VirtualKeysMapToTheEngineKeyTable) {
    struct Case {
        unsigned key;
        int32_t code;
    };
    const Case cases[] = {
        {'0', 0},         {'9', 9},        {'A', 10},         {'Z', 35},       {VK_ADD, 36},
        {VK_OEM_7, 37},   {VK_BACK, 38},   {VK_ESCAPE, 49},   {VK_F1, 50},     {VK_F12, 61},
        {VK_CONTROL, 66}, {VK_LEFT, 67},   {VK_MENU, 68},     {VK_SHIFT, 69},  {VK_NUMPAD0, 74},
        {VK_NUMPAD9, 83}, {VK_PAUSE, 86},  {VK_RCONTROL, 90}, {VK_RSHIFT, 93}, {VK_SPACE, 97},
        {VK_TAB, 98},     {VK_UP, 99},     {VK_LWIN, 100},    {0xFF, 100},     {VK_APPS, 100},
    };
    for (const Case& c : cases) EXPECT_EQ(WindowInput::GetKeyCode(c.key), c.code) << "virtual key " << c.key;
}

struct Event {
    int32_t device, action, code, value;
    bool operator==(const Event& o) const {
        return device == o.device && action == o.action && code == o.code && value == o.value;
    }
};
std::vector<Event> gEvents;
void Record(int32_t device, int32_t action, int32_t code, int32_t value) {
    gEvents.push_back({device, action, code, value});
}

TEST(WindowInput, MessagesOfTheEngineWindowBecomeInputEvents) {
    gEvents.clear();
    WindowInput::SetSink(&Record);
    struct Case {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        Event expected;
    };
    const Case cases[] = {
        {WM_KEYDOWN, 'Q', 0, {0, 1, 26, 0}},
        {WM_KEYUP, VK_ESCAPE, 0, {0, 2, 49, 0}},
        {WM_MOUSEMOVE, 0, MAKELPARAM(320, 17), {1, 3, 320, 17}},
        {WM_LBUTTONDOWN, 0, 0, {1, 1, 0, 0}},
        {WM_RBUTTONUP, 0, 0, {1, 2, 1, 0}},
        {WM_MBUTTONDOWN, 0, 0, {1, 1, 2, 0}},
        {WM_CLOSE, 0, 0, {2, 4, 0, 0}},
        {WM_DESTROY, 0, 0, {2, 4, 0, 0}},
    };
    for (const Case& c : cases) WindowInput::Translate(c.message, c.wParam, c.lParam);
    WindowInput::Translate(WM_ACTIVATEAPP, 1, 0); // not input
    WindowInput::SetSink(nullptr);
    WindowInput::Translate(WM_KEYDOWN, 'Q', 0); // no sink: dropped
    ASSERT_EQ(gEvents.size(), sizeof cases / sizeof cases[0]);
    for (size_t i = 0; i < gEvents.size(); ++i) EXPECT_EQ(gEvents[i], cases[i].expected) << "message " << i;
}

// Windows need a display: CTest runs this case again on a virtual one (test_platform_windows).
TEST(SystemWindow, AWindowedEngineWindowIsMadeAndGoesWithItsClass) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display for windows";
    gEvents.clear();
    WindowInput::SetSink(&Record);
    void* window = nullptr;
    EXPECT_EQ(CreateSystemWindow(nullptr, "Engine Test", nullptr, false, 32, 0, 0, 64, 48), 3);
    ASSERT_EQ(CreateSystemWindow(&window, "Engine Test", nullptr, false, 32, 10, 10, 320, 240), 0);
    ASSERT_NE(window, nullptr);
    RECT client;
    ASSERT_TRUE(GetClientRect(HWND(window), &client));
    EXPECT_EQ(client.right - client.left, 320);
    EXPECT_EQ(client.bottom - client.top, 240);
    WNDCLASSEXW info = {};
    info.cbSize = sizeof info;
    EXPECT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"Engine Test Class", &info));
    // A key sent to the window reaches the sink through the window procedure.
    SendMessageW(HWND(window), WM_KEYDOWN, 'B', 0);
    ASSERT_FALSE(gEvents.empty());
    EXPECT_EQ(gEvents.back(), (Event{0, 1, 11, 0}));
    EXPECT_EQ(DestroySystemWindow(window), 0);
    EXPECT_FALSE(IsWindow(HWND(window)));
    EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), L"Engine Test Class", &info));
    // Destroying the window told the input a close.
    EXPECT_EQ(gEvents.back(), (Event{2, 4, 0, 0}));
    WindowInput::SetSink(nullptr);
}

// Full screen on the display's own mode: one pop-up over the whole primary display; a mode the
// display does not have makes no window and leaves no class behind.
TEST(SystemWindow, FullScreenCoversTheDisplayInAModeItHasAndRefusesOneItLacks) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display for windows";
    DEVMODEW desktop = {};
    desktop.dmSize = sizeof desktop;
    ASSERT_TRUE(EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &desktop));
    const int width = int(desktop.dmPelsWidth), height = int(desktop.dmPelsHeight), bits = int(desktop.dmBitsPerPel);
    void* window = nullptr;
    ASSERT_EQ(CreateSystemWindow(&window, "Full Test", nullptr, true, bits, 0, 0, width, height), 0);
    ASSERT_NE(window, nullptr);
    RECT rect;
    ASSERT_TRUE(GetWindowRect(HWND(window), &rect));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, width);
    EXPECT_EQ(rect.bottom, height);
    EXPECT_EQ(GetWindowLongW(HWND(window), GWL_STYLE) & WS_POPUP, LONG(WS_POPUP));
    EXPECT_EQ(DestroySystemWindow(window), 0);
    // The display keeps its mode.
    DEVMODEW after = {};
    after.dmSize = sizeof after;
    ASSERT_TRUE(EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &after));
    EXPECT_EQ(after.dmPelsWidth, desktop.dmPelsWidth);
    EXPECT_EQ(after.dmPelsHeight, desktop.dmPelsHeight);

    window = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateSystemWindow(&window, "Full Test", nullptr, true, bits, 0, 0, 123, 45), 1);
    EXPECT_EQ(window, nullptr);
    WNDCLASSEXW info = {};
    info.cbSize = sizeof info;
    EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), L"Full Test Class", &info));
}

} // namespace
} // namespace nuv
