// The sound library as a Windows program carries it: resource BASS 108 written to a temporary
// file, loaded, initialised on the system's wave output, and a source on the listener's left
// played. What the output received is measured afterwards from outside (record-wave-output.sh).
#include "../../core/TestSupport.h"
#include "../OggSynth.h"
#include "sound/SoundManager.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <thread>

namespace nuv {
namespace {

// The library images written to the temporary folder (GetTempFileName with prefix "bas").
int TemporaryLibraryCount() {
    wchar_t folder[MAX_PATH + 1];
    if (!GetTempPathW(MAX_PATH + 1, folder)) return -1;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((std::wstring(folder) + L"bas*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do ++count;
    while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

TEST(WaveOutput, TheLibraryFromTheResourcePlaysASourceOnTheLeftAndLeavesNoFileBehind) {
    const std::vector<uint8_t> tone = test::EncodeOgg(test::Sine(441.0, 0.3, 44100, 1, 0.5f), 1, 44100);
    ASSERT_FALSE(tone.empty());
    const int filesBefore = TemporaryLibraryCount();

    test::LogRecorder log;
    ASSERT_EQ(SoundManager::Start(), 0);
    ASSERT_TRUE(SoundManager::IsLoaded());
    EXPECT_EQ(SoundManager::GetVersion(), 0x00020002u);
    EXPECT_TRUE(log.ContainsText("Звук инициализирован. Устройство [1]"));
    EXPECT_EQ(TemporaryLibraryCount(), filesBefore + 1);

    const BassHandle source =
        SoundManager::StreamCreateFile(1, tone.data(), 0, BassDword(tone.size()), kBassSample3D | kBassSampleLoop);
    ASSERT_NE(source, 0u);
    const Bass3DVector left = {-2.0f, 0.0f, 1.0f}, ahead = {0.0f, 0.0f, 1.0f}, up = {0.0f, 1.0f, 0.0f};
    SoundManager::ChannelSet3DAttributes(source, kBass3DModeNormal, 3.0f, -1.0f, -1, -1, -1);
    SoundManager::ChannelSet3DPosition(source, &left, nullptr, nullptr);
    SoundManager::Set3DPosition(nullptr, nullptr, &ahead, &up);
    SoundManager::Apply3D();
    ASSERT_TRUE(SoundManager::ChannelPlay(source, 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_EQ(SoundManager::ChannelIsActive(source), kBassActivePlaying);
    SoundManager::StreamFree(source);

    EXPECT_EQ(SoundManager::Stop(), 0);
    EXPECT_FALSE(SoundManager::IsLoaded());
    EXPECT_EQ(TemporaryLibraryCount(), filesBefore);
}

} // namespace
} // namespace nuv
