// The sound manager: loading the library from the resources, the log lines, the master volume,
// the stop, and a machine without any output.
#include "../core/TestSupport.h"
#include "OggSynth.h"
#include "sound/SoundManager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace nuv {
namespace {

// Whether a mapping of the library's memory file ("bas") is in the process.
bool LibraryMapped() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("memfd:bas") != std::string::npos || line.find("/bas") != std::string::npos) return true;
    return false;
}

BassDword MasterVolume() {
    for (int i = 0; i < SoundManager::kEntryPointCount; ++i)
        if (std::strcmp(SoundManager::GetEntryPointName(i), "BASS_GetConfig") == 0) {
            auto* get = reinterpret_cast<BassGetConfigFunction>(SoundManager::GetEntryPoint(i));
            return get ? get(kBassConfigGlobalStreamVolume) : BassDword(-1);
        }
    return BassDword(-1);
}

bool NoDeviceExpected() {
    return getenv("NUV_EXPECT_NO_SOUND_DEVICE") != nullptr;
}

TEST(SoundManager, StartsOnceStopsAndUnloadsAndStartsAgain) {
    if (NoDeviceExpected()) GTEST_SKIP() << "runs with an output device only";
    ASSERT_TRUE(SoundManager::IsLoaded());
    EXPECT_TRUE(LibraryMapped());
    {
        test::LogRecorder log;
        EXPECT_EQ(SoundManager::Start(), 0);
        EXPECT_EQ(log.lines, std::vector<std::string>{"0|Инициализация менеджера звука."});
    }
    {
        test::LogRecorder log;
        EXPECT_EQ(SoundManager::Stop(), 0);
        EXPECT_EQ(log.lines, (std::vector<std::string>{"0|Завершение работы менеджера звука.",
                                                       "0|Менеджер звука завершил работу."}));
    }
    EXPECT_FALSE(SoundManager::IsLoaded());
    EXPECT_FALSE(LibraryMapped());
    // Calls after the stop fail harmlessly.
    const std::vector<uint8_t> file = test::EncodeOgg(test::Sine(440.0, 0.1, 44100, 1, 0.5f), 1, 44100);
    EXPECT_EQ(SoundManager::StreamCreateFile(1, file.data(), 0, BassDword(file.size()), 0), 0u);
    EXPECT_FALSE(SoundManager::ChannelPlay(1, 1));
    SoundManager::SetSoundVolume(50);
    EXPECT_EQ(SoundManager::Stop(), 0);

    test::LogRecorder log;
    ASSERT_EQ(SoundManager::Start(), 0);
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[0], "0|Инициализация менеджера звука.");
    EXPECT_EQ(log.lines[1].rfind("0|Звук инициализирован. Устройство [1] [", 0), 0u) << log.lines[1];
    EXPECT_EQ(log.lines[2], "0|Менеджер звука инициализирован.");
    EXPECT_GT(SoundManager::StreamCreateFile(1, file.data(), 0, BassDword(file.size()), 0), 0u);
}

TEST(SoundManager, TheWindowInitialisationIsRefusedButNeverFatal) {
    if (NoDeviceExpected()) GTEST_SKIP() << "runs with an output device only";
    test::LogRecorder log;
    SoundManager::InitSoundForWindow(nullptr);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].rfind("2|Невозможно инициализировать звук. Причина [14]. Устройство [", 0), 0u)
        << log.lines[0];
    EXPECT_TRUE(SoundManager::IsLoaded());
}

TEST(SoundManager, MasterVolumeIsClampedAndNegativeMeansFull) {
    if (NoDeviceExpected()) GTEST_SKIP() << "runs with an output device only";
    const std::pair<int, BassDword> cases[] = {{55, 55}, {250, 100}, {0, 0}, {-1, 100}, {100, 100}, {-250, 100}};
    for (const auto& [volume, expected] : cases) {
        SoundManager::SetSoundVolume(volume);
        EXPECT_EQ(MasterVolume(), expected) << volume;
    }
}

// Run by the test list with no output driver at all (ALSOFT_DRIVERS naming none).
TEST(NoDevice, TheStartLogsTheFailureAndEverySoundCallFailsHarmlessly) {
    if (!NoDeviceExpected()) GTEST_SKIP() << "runs without an output device only";
    SoundManager::Stop();
    test::LogRecorder log;
    ASSERT_EQ(SoundManager::Start(), 0);
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[1].rfind("2|Невозможно инициализировать звук. Причина [", 0), 0u) << log.lines[1];
    EXPECT_EQ(log.lines[2], "0|Менеджер звука инициализирован.");
    EXPECT_TRUE(SoundManager::IsLoaded());

    const std::vector<uint8_t> file = test::EncodeOgg(test::Sine(440.0, 0.1, 44100, 1, 0.5f), 1, 44100);
    EXPECT_EQ(SoundManager::StreamCreateFile(1, file.data(), 0, BassDword(file.size()), kBassSample3D), 0u);
    EXPECT_EQ(SoundManager::ErrorGetCode(), kBassErrorInit);
    EXPECT_FALSE(SoundManager::ChannelPlay(0x10000, 0));
    const Bass3DVector front = {0, 0, 1}, top = {0, 1, 0};
    EXPECT_FALSE(SoundManager::Set3DPosition(nullptr, nullptr, &front, &top));
    SoundManager::Apply3D();
    SoundManager::SetSoundVolume(80);
    SoundManager::InitSoundForWindow(nullptr);
    EXPECT_EQ(SoundManager::Stop(), 0);
    EXPECT_EQ(SoundManager::Start(), 0);
}

} // namespace
} // namespace nuv
