#include "app/InputManager.h"
#include "app/SdlInput.h"
#include "app/TerminationSignal.h"
#include "core/Pointer.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <csignal>
#include <vector>

namespace nuv {
namespace {

TEST(SdlInput, KeyTable) {
    // SDL orders the digit row and the keypad 1..9 then 0; the engine codes run 0..9.
    EXPECT_EQ(SdlInput::GetKeyCode(SDL_SCANCODE_0), 0);
    EXPECT_EQ(SdlInput::GetKeyCode(SDL_SCANCODE_9), 9);
    EXPECT_EQ(SdlInput::GetKeyCode(SDL_SCANCODE_KP_0), 74);
    EXPECT_EQ(SdlInput::GetKeyCode(SDL_SCANCODE_KP_9), 83);
    EXPECT_EQ(SdlInput::GetKeyCode(SDL_SCANCODE_A), 10);
    EXPECT_EQ(SdlInput::GetKeyCode(SDL_SCANCODE_Z), 35);
    EXPECT_EQ(SdlInput::GetKeyCode(SDL_SCANCODE_F12), 61);
    EXPECT_EQ(SdlInput::GetKeyCode(SDL_SCANCODE_ESCAPE), 49);
    EXPECT_EQ(SdlInput::GetKeyCode(SDL_SCANCODE_KP_ENTER), 47);
    EXPECT_EQ(SdlInput::GetKeyCode(SDL_SCANCODE_F13), kKeyUnknown);
    EXPECT_EQ(SdlInput::GetKeyCode(-5), kKeyUnknown);
    // Every named code 36..99 is given to exactly one key, or two for Enter.
    std::vector<int> uses(101, 0);
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) ++uses[SdlInput::GetKeyCode(scancode)];
    for (int code = 0; code < 100; ++code) EXPECT_EQ(uses[code], code == 47 ? 2 : 1) << code;
}

InputEvent Translate(const SDL_Event& e, bool* known = nullptr) {
    InputEvent out{-1, -1, -1, -1};
    const bool ok = SdlInput::Translate(e, &out);
    if (known) *known = ok;
    return out;
}

TEST(SdlInput, TranslatesEvents) {
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = SDL_SCANCODE_B;
    EXPECT_EQ(Translate(e), (InputEvent{0, 1, 11, 0}));
    e.type = SDL_KEYUP;
    EXPECT_EQ(Translate(e), (InputEvent{0, 2, 11, 0}));

    e = {};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = 321;
    e.motion.y = 123;
    EXPECT_EQ(Translate(e), (InputEvent{1, 3, 321, 123}));

    e = {};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_RIGHT;
    EXPECT_EQ(Translate(e), (InputEvent{1, 1, 1, 0}));
    e.button.button = SDL_BUTTON_MIDDLE;
    EXPECT_EQ(Translate(e), (InputEvent{1, 1, 2, 0}));
    e.type = SDL_MOUSEBUTTONUP;
    e.button.button = SDL_BUTTON_LEFT;
    EXPECT_EQ(Translate(e), (InputEvent{1, 2, 0, 0}));
    bool known = true;
    e.button.button = SDL_BUTTON_X1;
    Translate(e, &known);
    EXPECT_FALSE(known);

    e = {};
    e.type = SDL_QUIT;
    EXPECT_EQ(Translate(e), (InputEvent{2, 4, 0, 0}));
    e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    EXPECT_EQ(Translate(e), (InputEvent{2, 4, 0, 0}));
    e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    Translate(e, &known);
    EXPECT_FALSE(known);
    e = {};
    e.type = SDL_MOUSEWHEEL;
    Translate(e, &known);
    EXPECT_FALSE(known);
}

class Collector : public InputHandler {
public:
    Collector() : InputHandler("collector") {}
    int OnInputEvent(const InputEvent& e) override {
        events.push_back(e);
        return 0;
    }
    std::vector<InputEvent> events;
};

// The pump against SDL's real event queue (no video needed) and real signals: each of the four
// termination signals turns into one window close, and the request stays visible afterwards.
TEST(SdlInput, PumpQueuesEventsAndTerminationSignals) {
    ASSERT_EQ(TerminationSignal::Install(), 0);
    TerminationSignal::Reset();
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
    ASSERT_EQ(InputManager::Start(), 0);
    Pointer<Collector> collector = new Collector;
    InputManager::RegisterInputHandler(collector.Get());
    InputManager::SetMessagePump(&SdlInput::Pump);

    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = SDL_SCANCODE_SPACE;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = SDL_SCANCODE_TAB;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    InputManager::ProcessInput();
    ASSERT_EQ(collector->events.size(), 2u);
    EXPECT_EQ(collector->events[0], (InputEvent{0, 1, 97, 0}));
    EXPECT_EQ(collector->events[1], (InputEvent{0, 1, 98, 0}));
    EXPECT_FALSE(TerminationSignal::IsRequested());

    for (int number : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        TerminationSignal::Reset();
        collector->events.clear();
        std::raise(number);
        EXPECT_TRUE(TerminationSignal::IsRequested()) << number;
        EXPECT_EQ(TerminationSignal::GetSignal(), number);
        InputManager::ProcessInput();
        ASSERT_EQ(collector->events.size(), 1u) << number;
        EXPECT_EQ(collector->events[0], (InputEvent{2, 4, 0, 0}));
        // Taken once by the pump, still requested for whatever waits after the loop.
        InputManager::ProcessInput();
        EXPECT_EQ(collector->events.size(), 1u) << number;
        EXPECT_TRUE(TerminationSignal::IsRequested()) << number;
    }
    // A second signal is a second close; the first signal stays the one reported.
    TerminationSignal::Reset();
    collector->events.clear();
    std::raise(SIGTERM);
    std::raise(SIGHUP);
    InputManager::ProcessInput();
    EXPECT_EQ(collector->events.size(), 1u);
    std::raise(SIGINT);
    InputManager::ProcessInput();
    EXPECT_EQ(collector->events.size(), 2u);
    EXPECT_EQ(TerminationSignal::GetSignal(), SIGTERM);
    TerminationSignal::Reset();

    InputManager::SetMessagePump(nullptr);
    InputManager::Stop();
    SDL_Quit();
}

} // namespace
} // namespace nuv
