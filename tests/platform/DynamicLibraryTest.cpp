#include "TestSupport.h"
#include "core/Status.h"
#include "platform/DynamicLibrary.h"
#include "platform/TemporaryFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace nuv {
namespace {

using AddFunction = int (*)(int, int);
using CountFunction = int (*)();

// Files in the temporary folder whose names start with prefix.
int CountTemporaryFiles(const std::string& prefix) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Utf8Path(TemporaryFile::GetTemporaryFolder())))
        if (Utf8Text(entry.path().filename()).rfind(prefix, 0) == 0) ++count;
    return count;
}

std::vector<uint8_t> ReadPluginImage() {
    std::ifstream file(NUV_TEST_PLUGIN, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(DynamicLibrary, OpensByPathAndResolvesSymbols) {
    DynamicLibrary library;
    ASSERT_EQ(library.Open(NUV_TEST_PLUGIN), kStatusOk) << library.GetError();
    EXPECT_TRUE(library.IsOpen());
    auto add = reinterpret_cast<AddFunction>(library.GetSymbol("NuvTestPluginAdd"));
    ASSERT_NE(add, nullptr) << library.GetError();
    EXPECT_EQ(add(2, 40), 42);

    EXPECT_EQ(library.GetSymbol("NuvTestPluginMissing"), nullptr);
    EXPECT_FALSE(library.GetError().empty());
    EXPECT_EQ(library.GetSymbol(nullptr), nullptr);

    EXPECT_EQ(library.Close(), kStatusOk);
    EXPECT_FALSE(library.IsOpen());
    EXPECT_EQ(library.GetSymbol("NuvTestPluginAdd"), nullptr);
    EXPECT_EQ(library.Close(), kStatusOk); // closing twice is harmless
}

TEST(DynamicLibrary, MissingFileAndBadImageFail) {
    DynamicLibrary library;
    EXPECT_EQ(library.Open(nullptr), kStatusNotFound);
    EXPECT_EQ(library.Open("/nonexistent/folder/nuv_no_such_library.so"), kStatusFailed);
    EXPECT_FALSE(library.GetError().empty());
    EXPECT_FALSE(library.IsOpen());

    const std::vector<uint8_t> garbage(4096, 0x5a);
    EXPECT_EQ(library.OpenFromMemory(garbage.data(), garbage.size(), "nuvlib"), kStatusFailed);
    EXPECT_FALSE(library.GetError().empty());
    EXPECT_FALSE(library.IsOpen());
    EXPECT_EQ(library.OpenFromMemory(nullptr, 10, "nuvlib"), kStatusNotFound);
}

TEST(DynamicLibrary, OpensFromMemoryAsItsOwnCopy) {
    const std::vector<uint8_t> image = ReadPluginImage();
    ASSERT_FALSE(image.empty());

    DynamicLibrary fromPath;
    ASSERT_EQ(fromPath.Open(NUV_TEST_PLUGIN), kStatusOk) << fromPath.GetError();
    auto countByPath = reinterpret_cast<CountFunction>(fromPath.GetSymbol("NuvTestPluginCount"));
    ASSERT_NE(countByPath, nullptr);

    const int leftoversBefore = CountTemporaryFiles("nlm");
    auto fromMemory = std::make_unique<DynamicLibrary>();
    ASSERT_EQ(fromMemory->OpenFromMemory(image.data(), image.size(), "nlm"), kStatusOk) << fromMemory->GetError();
    auto add = reinterpret_cast<AddFunction>(fromMemory->GetSymbol("NuvTestPluginAdd"));
    auto countInMemory = reinterpret_cast<CountFunction>(fromMemory->GetSymbol("NuvTestPluginCount"));
    ASSERT_NE(add, nullptr) << fromMemory->GetError();
    ASSERT_NE(countInMemory, nullptr) << fromMemory->GetError();
    EXPECT_EQ(add(-5, 3), -2);

    // Separate copies keep separate data: this was loaded from the image, not found by name.
    const int before = countByPath();
    EXPECT_EQ(countByPath(), before + 1);
    EXPECT_EQ(countInMemory(), 1);
    EXPECT_EQ(countInMemory(), 2);
    EXPECT_EQ(countByPath(), before + 2);

    // Reopening replaces the copy: its data starts over.
    ASSERT_EQ(fromMemory->OpenFromMemory(image.data(), image.size(), "nlm"), kStatusOk) << fromMemory->GetError();
    countInMemory = reinterpret_cast<CountFunction>(fromMemory->GetSymbol("NuvTestPluginCount"));
    ASSERT_NE(countInMemory, nullptr);
    EXPECT_EQ(countInMemory(), 1);

    // Whatever the image was written to is gone once the library is.
    fromMemory.reset();
    EXPECT_EQ(CountTemporaryFiles("nlm"), leftoversBefore);
}

} // namespace
} // namespace nuv
