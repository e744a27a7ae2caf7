#include "TestSupport.h"
#include "core/Status.h"
#include "platform/Folders.h"
#include "platform/TemporaryFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace nuv {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream file(Utf8Path(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(Utf8Path(path), error);
}

TEST(TemporaryFile, UniqueNamesWithThePrefixInTheTemporaryFolder) {
    std::set<std::string> paths;
    std::vector<TemporaryFile> files(5);
    for (TemporaryFile& file : files) {
        ASSERT_EQ(file.Create("nuvt"), kStatusOk) << file.GetError();
        ASSERT_TRUE(Exists(file.GetPath())) << file.GetPath();
        paths.insert(file.GetPath());
        const fs::path path = Utf8Path(file.GetPath());
        EXPECT_TRUE(fs::equivalent(path.parent_path(), Utf8Path(TemporaryFile::GetTemporaryFolder())));
        // Windows keeps three characters of the prefix.
        EXPECT_EQ(Utf8Text(path.filename()).rfind("nuv", 0), 0u) << file.GetPath();
    }
    EXPECT_EQ(paths.size(), files.size());
}

TEST(TemporaryFile, WritesReplaceTheContent) {
    TemporaryFile file;
    const std::vector<uint8_t> bytes = {0, 1, 2, 0, 255, 7, 0};
    EXPECT_EQ(file.Write(bytes.data(), bytes.size()), kStatusFailed); // not created yet
    ASSERT_EQ(file.Create("nuvw"), kStatusOk) << file.GetError();
    EXPECT_TRUE(ReadAll(file.GetPath()).empty());
    ASSERT_EQ(file.Write(bytes.data(), bytes.size()), kStatusOk) << file.GetError();
    EXPECT_EQ(ReadAll(file.GetPath()), bytes);
    ASSERT_EQ(file.Write(bytes.data(), 2), kStatusOk);
    EXPECT_EQ(ReadAll(file.GetPath()), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 2));
    EXPECT_EQ(file.Write(nullptr, 0), kStatusOk);
    EXPECT_TRUE(ReadAll(file.GetPath()).empty());
    EXPECT_EQ(file.Write(nullptr, 3), kStatusNotFound);
}

TEST(TemporaryFile, DeletedOnDestructionUnlessReleased) {
    std::string path;
    {
        TemporaryFile file;
        ASSERT_EQ(file.Create("nuvd"), kStatusOk);
        path = file.GetPath();
        ASSERT_TRUE(Exists(path));
    }
    EXPECT_FALSE(Exists(path));

    {
        TemporaryFile file;
        ASSERT_EQ(file.Create("nuvk"), kStatusOk);
        path = file.GetPath();
        file.Release();
        EXPECT_TRUE(file.GetPath().empty());
    }
    EXPECT_TRUE(Exists(path));
    fs::remove(Utf8Path(path));

    // A second Create replaces the first file.
    TemporaryFile file;
    ASSERT_EQ(file.Create("nuvr"), kStatusOk);
    path = file.GetPath();
    ASSERT_EQ(file.Create("nuvr"), kStatusOk);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(file.Remove(), kStatusOk);
    EXPECT_TRUE(file.GetPath().empty());
}

TEST(TemporaryFile, BadPrefixes) {
    TemporaryFile file;
    EXPECT_EQ(file.Create(nullptr), kStatusNotFound);
    EXPECT_EQ(file.Create("../nuv"), kStatusFailed);
    EXPECT_TRUE(file.GetPath().empty());
}

TEST(TemporaryFile, FollowsTheSystemTemporaryFolder) {
    const fs::path base = fs::temp_directory_path() / "nuv_tmp_test_folder";
    fs::remove_all(base);
    ASSERT_EQ(CreateFolders(Utf8Text(base)), kStatusOk);
    {
        ScopedEnvironment environment;
#ifdef _WIN32
        environment.Set("TMP", Utf8Text(base));
        environment.Set("TEMP", Utf8Text(base));
#else
        environment.Set("TMPDIR", Utf8Text(base) + "/");
#endif
        TemporaryFile file;
        ASSERT_EQ(file.Create("nuvf"), kStatusOk) << file.GetError();
        EXPECT_TRUE(fs::equivalent(Utf8Path(file.GetPath()).parent_path(), base)) << file.GetPath();
    }
    fs::remove_all(base);
}

} // namespace
} // namespace nuv
