// The manager's start in programs whose sound library is missing or of another version.
#include "../core/TestSupport.h"
#include "sound/SoundManager.h"

#include <gtest/gtest.h>

namespace nuv {
namespace {

#if defined(NUV_TEST_WRONG_VERSION)
TEST(SoundManagerStart, ALibraryOfAnotherVersionStopsTheStart) {
    test::LogRecorder log;
    EXPECT_EQ(SoundManager::Start(), 1);
    EXPECT_TRUE(log.Contains(kLogError, "Версия библиотеки BASS не совпадает."));
    EXPECT_FALSE(log.ContainsText("Звук инициализирован"));
    EXPECT_EQ(SoundManager::Stop(), 0);
    EXPECT_FALSE(SoundManager::IsLoaded());
}
#else
TEST(SoundManagerStart, WithoutTheResourceTheProgramRunsSilent) {
    test::LogRecorder log;
    EXPECT_EQ(SoundManager::Start(), 0);
    EXPECT_EQ(log.lines, (std::vector<std::string>{
                             "0|Инициализация менеджера звука.",
                             "2|Инициализация менеджера звука. Невозможно найти ресурс [bass.dll].",
                         }));
    EXPECT_FALSE(SoundManager::IsLoaded());
    // Nothing to call, nothing called.
    EXPECT_EQ(SoundManager::GetVersion(), 0u);
    EXPECT_EQ(SoundManager::StreamCreateFile(1, "x", 0, 1, 0), 0u);
    SoundManager::SetSoundVolume(100);
    SoundManager::InitSoundForWindow(nullptr);
    EXPECT_EQ(SoundManager::Stop(), 0);
}
#endif

} // namespace
} // namespace nuv
