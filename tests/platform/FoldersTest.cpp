#include "TestSupport.h"
#include "core/Status.h"
#include "platform/Folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace nuv {
namespace {

namespace fs = std::filesystem;

TEST(Folders, CreatesNestedFoldersAndAcceptsExistingOnes) {
    const fs::path base = fs::temp_directory_path() / "nuv_folders_test" / "Quorvel Studio";
    fs::remove_all(base.parent_path());
    const std::string nested = JoinPath(JoinPath(Utf8Text(base), "Снег"), "deep");
    ASSERT_EQ(CreateFolders(nested), kStatusOk);
    EXPECT_TRUE(fs::is_directory(Utf8Path(nested)));
    EXPECT_EQ(CreateFolders(nested), kStatusOk);
    EXPECT_EQ(CreateFolders(nested + "/"), kStatusOk);

    // A file where a folder should be.
    const std::string file = JoinPath(Utf8Text(base), "NuvLog.txt");
    std::ofstream(Utf8Path(file)) << "log";
    EXPECT_EQ(CreateFolders(file), kStatusFailed);
    EXPECT_EQ(CreateFolders(JoinPath(file, "below")), kStatusFailed);
    EXPECT_EQ(CreateFolders(""), kStatusFailed);
    fs::remove_all(base.parent_path());
}

TEST(Folders, JoinPathAddsOneSeparator) {
#ifdef _WIN32
    EXPECT_EQ(JoinPath("C:\\Users", "a"), "C:\\Users\\a");
    EXPECT_EQ(JoinPath("C:\\Users\\", "a"), "C:\\Users\\a");
#else
    EXPECT_EQ(JoinPath("/home/u", "a b"), "/home/u/a b");
    EXPECT_EQ(JoinPath("/home/u/", "a"), "/home/u/a");
#endif
    EXPECT_EQ(JoinPath("", "a"), "a");
}

#ifdef _WIN32
TEST(Folders, AppDataIsAnExistingFolderAndThereIsNoConfigFolder) {
    std::string path;
    ASSERT_EQ(GetAppDataFolder(&path), kStatusOk);
    EXPECT_TRUE(fs::is_directory(Utf8Path(path))) << path;
    EXPECT_EQ(GetConfigFolder(&path), kStatusFailed);
    EXPECT_EQ(GetAppDataFolder(nullptr), kStatusNotFound);
}
#else
TEST(Folders, XdgVariablesAndTheirDefaults) {
    ScopedEnvironment environment;
    environment.Set("HOME", "/home/tester");
    std::string path;

    environment.Set("XDG_DATA_HOME", "/data/here/");
    environment.Set("XDG_CONFIG_HOME", "/config/here");
    ASSERT_EQ(GetAppDataFolder(&path), kStatusOk);
    EXPECT_EQ(path, "/data/here");
    ASSERT_EQ(GetConfigFolder(&path), kStatusOk);
    EXPECT_EQ(path, "/config/here");

    // Unset, empty and relative values all fall back to the defaults under home.
    environment.Set("XDG_DATA_HOME", std::nullopt);
    environment.Set("XDG_CONFIG_HOME", "relative/config");
    ASSERT_EQ(GetAppDataFolder(&path), kStatusOk);
    EXPECT_EQ(path, "/home/tester/.local/share");
    ASSERT_EQ(GetConfigFolder(&path), kStatusOk);
    EXPECT_EQ(path, "/home/tester/.config");
    environment.Set("XDG_DATA_HOME", "");
    ASSERT_EQ(GetAppDataFolder(&path), kStatusOk);
    EXPECT_EQ(path, "/home/tester/.local/share");

    EXPECT_EQ(GetAppDataFolder(nullptr), kStatusNotFound);
    EXPECT_EQ(GetConfigFolder(nullptr), kStatusNotFound);
}
#endif

} // namespace
} // namespace nuv
