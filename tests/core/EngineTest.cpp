// The engine's start and stop, in a program of its own: these tests queue functions on the
// process-wide lists, which no other test may see.
#include "TestSupport.h"

#include "core/ClassFactory.h"
#include "core/Engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nuv {
namespace {

std::vector<std::string> gCalls;

TEST(Engine, StartRunsInQueueOrderAndAFailureStopsEverythingAfterIt) {
    test::LogRecorder log;
    AddInitFunction([] { gCalls.push_back("init 1"); return 0; });
    AddInitFunction([] { gCalls.push_back("init 2 fails"); return 1; });
    AddInitFunction([] { gCalls.push_back("init 3"); return 0; });
    AddPostInitFunction([] { gCalls.push_back("post"); return 0; });
    AddShutdownFunction([] { gCalls.push_back("shutdown 1"); return 0; });
    AddShutdownFunction([] { gCalls.push_back("shutdown 2"); return 0; });

    EXPECT_EQ(InitializeEngine(), 1);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"init 1", "init 2 fails"}));
    ASSERT_GE(log.lines.size(), 3u);
    EXPECT_EQ(log.lines.front(), "0|Инициализация движка v.0.1.2:");
    EXPECT_EQ(log.lines.back(), "2|Инициализация движка неудачно.");
    // Classes registered before the failure stay registered.
    EXPECT_NE(ClassFactory::FindCreateFunction("Nuv.Vector3Buffer"), nullptr);

    gCalls.clear();
    log.lines.clear();
    EXPECT_EQ(ShutdownEngine(), 0);
    // Shutdown runs in registration order, not reversed.
    EXPECT_EQ(gCalls, (std::vector<std::string>{"shutdown 1", "shutdown 2"}));
    EXPECT_EQ(log.lines.front(), "0|Завершение работы движка:");
    EXPECT_TRUE(log.Contains(0, "Завершение работы класса [Object] прошло удачно."));
    EXPECT_EQ(log.lines.back(), "0|Завершение работы движка завершилось удачно.");
    EXPECT_EQ(ClassFactory::FindCreateFunction("Nuv.Vector3Buffer"), nullptr);
    EXPECT_EQ(ClassFactory::GetClassCount(), 0);
    ReleaseEngineFunctions();
}

TEST(Engine, CleanStartLogsEachPhase) {
    test::LogRecorder log;
    gCalls.clear();
    AddInitFunction([] { gCalls.push_back("init"); return 0; });
    AddPostInitFunction([] { gCalls.push_back("post"); return 0; });
    AddShutdownFunction([] { gCalls.push_back("stop"); return 1; });
    EXPECT_EQ(InitializeEngine(), 0);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"0|Инициализация движка v.0.1.2:",
                                                   "0|Инициализация движка завершилась удачно.",
                                                   "0|Постинициализация движка:",
                                                   "0|Постинициализация движка завершилась удачно."}));
    EXPECT_EQ(ShutdownEngine(), 1);
    EXPECT_EQ(log.lines.back(), "2|Завершение работы движка неудачно.");
    EXPECT_EQ(gCalls, (std::vector<std::string>{"init", "post", "stop"}));
    ReleaseEngineFunctions();
}

} // namespace
} // namespace nuv
