#include "app/InputExitRule.h"
#include "app/InputManager.h"
#include "core/Log.h"
#include "core/Pointer.h"
#include "core/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nuv {
namespace {

// Records what it receives, in the order received, into a log shared by all handlers.
class Recorder : public InputHandler {
public:
    Recorder(const char* name, std::vector<std::string>* log) : InputHandler(name), log_(log) {}
    int OnInputEvent(const InputEvent& e) override {
        log_->push_back(std::string(GetHandlerName().GetText()) + ":" + std::to_string(e.device) + "," +
                        std::to_string(e.action) + "," + std::to_string(e.code) + "," + std::to_string(e.value));
        if (queueOnDelivery) InputManager::QueueInputEvent({kInputKeyboard, kInputRelease, 99, 0});
        queueOnDelivery = false;
        return 0;
    }
    bool queueOnDelivery = false;

private:
    std::vector<std::string>* log_;
};

class InputManagerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(InputManager::Start(), 0); }
    void TearDown() override {
        InputManager::SetMessagePump(nullptr);
        InputManager::Stop();
    }
    std::vector<std::string> log;
};

TEST_F(InputManagerTest, EveryHandlerGetsEveryEventInOrder) {
    Pointer<Recorder> first = new Recorder("first", &log);
    Pointer<Recorder> second = new Recorder("second", &log);
    EXPECT_EQ(InputManager::RegisterInputHandler(first.Get()), 0);
    EXPECT_EQ(InputManager::RegisterInputHandler(second.Get()), 0);
    InputManager::QueueInputEvent({kInputKeyboard, kInputPress, 10, 0});
    InputManager::QueueInputEvent({kInputKeyboard, kInputPress, 11, 0});
    EXPECT_EQ(InputManager::ProcessInput(), 0);
    // The handler registered last comes first.
    EXPECT_EQ(log, (std::vector<std::string>{"second:0,1,10,0", "second:0,1,11,0", "first:0,1,10,0",
                                             "first:0,1,11,0"}));
    EXPECT_EQ(InputManager::GetQueuedCount(), 0);
    log.clear();
    InputManager::ProcessInput();
    EXPECT_TRUE(log.empty());
}

TEST_F(InputManagerTest, RegistrationRules) {
    test::LogRecorder messages;
    Pointer<Recorder> handler = new Recorder("app", &log);
    EXPECT_EQ(InputManager::RegisterInputHandler(nullptr), 3);
    EXPECT_EQ(InputManager::RegisterInputHandler(handler.Get()), 0);
    EXPECT_EQ(handler->GetReferenceCount(), 2);
    EXPECT_EQ(InputManager::RegisterInputHandler(handler.Get()), 0);
    EXPECT_TRUE(messages.Contains(kLogWarning, "Обработчик ввода [app] уже зарегестрирован."));
    InputManager::QueueInputEvent({kInputMouse, kInputPress, 0, 0});
    InputManager::ProcessInput();
    EXPECT_EQ(log.size(), 1u);  // registered once, delivered once
    InputManager::Stop();
    EXPECT_EQ(handler->GetReferenceCount(), 1);
    EXPECT_TRUE(messages.Contains(kLogInfo, "Менеджер ввода завершил работу."));
    // Stopped: nothing is queued or registered.
    InputManager::QueueInputEvent({kInputMouse, kInputPress, 0, 0});
    EXPECT_EQ(InputManager::GetQueuedCount(), 0);
    EXPECT_EQ(InputManager::RegisterInputHandler(handler.Get()), 1);
}

TEST_F(InputManagerTest, QueueGrowsPastItsCapacity) {
    Pointer<Recorder> handler = new Recorder("h", &log);
    InputManager::RegisterInputHandler(handler.Get());
    for (int i = 0; i < 300; ++i) InputManager::QueueInputEvent({kInputMouse, kInputMove, i, -i});
    EXPECT_EQ(InputManager::GetQueuedCount(), 300);
    InputManager::ProcessInput();
    ASSERT_EQ(log.size(), 300u);
    EXPECT_EQ(log[0], "h:1,3,0,0");
    EXPECT_EQ(log[299], "h:1,3,299,-299");
}

std::vector<std::string>* gPumpLog = nullptr;
void TestPump() {
    gPumpLog->push_back("pump");
    InputManager::QueueInputEvent({kInputWindow, kInputClose, 0, 0});
}

TEST_F(InputManagerTest, PumpRunsFirstAndLateEventsWait) {
    Pointer<Recorder> handler = new Recorder("h", &log);
    InputManager::RegisterInputHandler(handler.Get());
    gPumpLog = &log;
    InputManager::SetMessagePump(&TestPump);
    InputManager::QueueInputEvent({kInputKeyboard, kInputPress, 1, 0});
    handler->queueOnDelivery = true;
    InputManager::ProcessInput();
    EXPECT_EQ(log, (std::vector<std::string>{"pump", "h:0,1,1,0", "h:2,4,0,0"}));
    // The event queued by the handler is delivered next frame, after that frame's pump.
    EXPECT_EQ(InputManager::GetQueuedCount(), 1);
    log.clear();
    InputManager::ProcessInput();
    EXPECT_EQ(log, (std::vector<std::string>{"pump", "h:0,2,99,0", "h:2,4,0,0"}));
    gPumpLog = nullptr;
}

TEST(InputExitRule, WhatEndsTheRun) {
    InputExitRule rule;
    EXPECT_TRUE(rule.EndsRun({kInputKeyboard, kInputPress, kKeyUnknown, 0}, false));
    EXPECT_FALSE(rule.EndsRun({kInputKeyboard, kInputRelease, 10, 0}, false));
    for (int button : {kMouseLeft, kMouseRight, kMouseMiddle})
        EXPECT_TRUE(rule.EndsRun({kInputMouse, kInputPress, button, 0}, false));
    EXPECT_FALSE(rule.EndsRun({kInputMouse, kInputRelease, kMouseLeft, 0}, true));
    EXPECT_TRUE(rule.EndsRun({kInputWindow, kInputClose, 0, 0}, false));
    EXPECT_FALSE(rule.EndsRun({kInputWindow, kInputClose, 1, 0}, false));
    EXPECT_FALSE(rule.EndsRun({7, kInputPress, 0, 0}, true));
}

TEST(InputExitRule, EleventhMouseMoveOfTheProcess) {
    InputExitRule rule;
    // Moves while the setting is off do not count.
    for (int i = 0; i < 50; ++i) EXPECT_FALSE(rule.EndsRun({kInputMouse, kInputMove, i, i}, false));
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(rule.EndsRun({kInputMouse, kInputMove, i, i}, true)) << i;
    EXPECT_TRUE(rule.EndsRun({kInputMouse, kInputMove, 5, 5}, true));
    // The count is never reset.
    EXPECT_TRUE(rule.EndsRun({kInputMouse, kInputMove, 5, 5}, true));
    EXPECT_FALSE(rule.EndsRun({kInputMouse, kInputMove, 5, 5}, false));
}

} // namespace
} // namespace nuv
