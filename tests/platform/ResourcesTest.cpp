#include "TestSupport.h"
#include "core/Log.h"
#include "core/Pointer.h"
#include "core/Status.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nuv {
namespace {

// The files linked in by tests/platform/CMakeLists.txt.
const std::string kNeutralText = "Greeting = Hello\r\n; neutral\n";
const std::string kRussianText = "Greeting = Привет\r\n; русский\n";
const std::vector<uint8_t> kBlob = {0x00, 0x01, 0x02, 0x00, 0xff, 0xfe, 0x00, 0x00, 0x7f, 0x80, 0x00, 0x10, 0x00};

std::string Find(const char* type, int id, int language, int* status = nullptr) {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    const int result = FindResourceData(type, id, language, &bytes, &size);
    if (status) *status = result;
    if (result != kStatusOk) return "<status " + std::to_string(result) + ">";
    return std::string(reinterpret_cast<const char*>(bytes), size);
}

class LogCapture : public MessageOutput {
public:
    LogCapture() : MessageOutput("capture") {}
    void Output(int level, const String& text) override {
        lines.push_back(std::to_string(level) + ":" + text.GetText());
    }
    std::vector<std::string> lines;
};

class CapturedLog {
public:
    CapturedLog() : capture_(new LogCapture) {
        RegisterMessageOutput(capture_.Get());
        capture_->lines.clear(); // the registration's own line
    }
    ~CapturedLog() { UnregisterMessageOutput(capture_.Get()); }
    const std::vector<std::string>& Lines() const { return capture_->lines; }

private:
    Pointer<LogCapture> capture_;
};

TEST(Resources, LanguageVariantsOfOneId) {
    EXPECT_EQ(Find("MEDIADATA", 239, kResourceLanguageNeutral), kNeutralText);
    EXPECT_EQ(Find("MEDIADATA", 239, kResourceLanguageRussian), kRussianText);
    // A language without its own variant gets the neutral one.
    EXPECT_EQ(Find("MEDIADATA", 239, 1033), kNeutralText);
    // Only a Russian variant: every language gets it.
    EXPECT_EQ(Find("MEDIADATA", 240, kResourceLanguageNeutral), kRussianText);
    EXPECT_EQ(Find("MEDIADATA", 240, 1033), kRussianText);
    // Types compare without case, as Windows does.
    EXPECT_EQ(Find("mediadata", 239, kResourceLanguageRussian), kRussianText);
}

TEST(Resources, BinaryBlobKeepsEveryByte) {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    ASSERT_EQ(FindResourceData("TESTBLOB", 239, kResourceLanguageNeutral, &bytes, &size), kStatusOk);
    ASSERT_EQ(size, kBlob.size());
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + size), kBlob);
    // The same bytes on every lookup: they live as long as the process.
    const uint8_t* again = nullptr;
    ASSERT_EQ(FindResourceData("TESTBLOB", 239, kResourceLanguageRussian, &again, &size), kStatusOk);
    EXPECT_EQ(again, bytes);

    ASSERT_EQ(FindResourceData("MEDIADATA", 241, kResourceLanguageNeutral, &bytes, &size), kStatusOk);
    EXPECT_EQ(size, 0u);
}

TEST(Resources, MissingResourcesAndNullArguments) {
    int status = -1;
    Find("MEDIADATA", 999, kResourceLanguageNeutral, &status);
    EXPECT_EQ(status, kStatusNotFound);
    Find("NOSUCHTYPE", 239, kResourceLanguageNeutral, &status);
    EXPECT_EQ(status, kStatusNotFound);
    Find("MEDIADATA", 77, kResourceLanguageNeutral, &status); // 77 exists, but as TESTBLOB
    EXPECT_EQ(status, kStatusNotFound);

    const uint8_t* bytes = nullptr;
    size_t size = 0;
    EXPECT_EQ(FindResourceData(nullptr, 239, 0, &bytes, &size), kStatusNotFound);
    EXPECT_EQ(FindResourceData("MEDIADATA", 239, 0, nullptr, &size), kStatusNotFound);
    EXPECT_EQ(FindResourceData("MEDIADATA", 239, 0, &bytes, nullptr), kStatusNotFound);
}

TEST(Resources, ReadResourceStatusesAndLog) {
    CapturedLog log;
    const uint8_t* bytes = nullptr;
    size_t size = 0;

    EXPECT_EQ(ReadResource(239, nullptr, &size), kStatusNotFound);
    EXPECT_EQ(ReadResource(239, &bytes, nullptr), kStatusNotFound);
    EXPECT_EQ(ReadResource(999, &bytes, &size), kStatusFailed);
    EXPECT_EQ(bytes, nullptr);
    EXPECT_EQ(ReadResource(77, &bytes, &size), kStatusFailed);
    const std::vector<std::string> expected = {
        "2:Указатель на данные ресурса равен 0.",
        "2:Указатель на данные ресурса равен 0.",
        "2:Невозможно найти ресурс ID[999].",
        "2:Невозможно найти ресурс ID[77].",
    };
    EXPECT_EQ(log.Lines(), expected);

    ASSERT_EQ(ReadResource(241, &bytes, &size), kStatusOk);
    EXPECT_EQ(size, 0u);
    ASSERT_EQ(ReadResource(239, &bytes, &size), kStatusOk);
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    EXPECT_EQ(text, GetUserResourceLanguage() == kResourceLanguageRussian ? kRussianText : kNeutralText);
    EXPECT_EQ(log.Lines().size(), expected.size()); // success logs nothing
}

// The configuration texts say that they could not be loaded, found or not.
TEST(Resources, LoadResourceTextStatusesAndLog) {
    CapturedLog log;
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    EXPECT_EQ(LoadResourceText(229, &bytes, &size), kStatusFailed);
    EXPECT_EQ(bytes, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(LoadResourceText(239, nullptr, &size), kStatusNotFound);
    const std::vector<std::string> expected = {
        "2:Невозможно загрузить ресурс ID[229].",
        "2:Указатель на данные ресурса равен 0.",
    };
    EXPECT_EQ(log.Lines(), expected);
    ASSERT_EQ(LoadResourceText(239, &bytes, &size), kStatusOk);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), size),
              GetUserResourceLanguage() == kResourceLanguageRussian ? kRussianText : kNeutralText);
    EXPECT_EQ(log.Lines().size(), expected.size());
}

#ifndef _WIN32
// Windows takes the language from the user's UI settings, which a test cannot change.
TEST(Resources, UserLanguageFollowsTheLocaleVariables) {
    ScopedEnvironment environment;
    environment.Set("LC_ALL", std::nullopt);
    environment.Set("LC_MESSAGES", std::nullopt);
    environment.Set("LANG", std::nullopt);
    EXPECT_EQ(GetUserResourceLanguage(), kResourceLanguageNeutral);

    environment.Set("LANG", "ru_RU.UTF-8");
    EXPECT_EQ(GetUserResourceLanguage(), kResourceLanguageRussian);
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    ASSERT_EQ(ReadResource(239, &bytes, &size), kStatusOk);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), size), kRussianText);

    // The first variable that is set decides, even when it is not Russian.
    environment.Set("LC_MESSAGES", "en_GB.UTF-8");
    EXPECT_EQ(GetUserResourceLanguage(), kResourceLanguageNeutral);
    ASSERT_EQ(ReadResource(239, &bytes, &size), kStatusOk);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), size), kNeutralText);
    environment.Set("LC_ALL", "ru_UA");
    EXPECT_EQ(GetUserResourceLanguage(), kResourceLanguageRussian);
    environment.Set("LC_ALL", "C");
    EXPECT_EQ(GetUserResourceLanguage(), kResourceLanguageNeutral);
    // An empty variable counts as unset.
    environment.Set("LC_ALL", "");
    environment.Set("LC_MESSAGES", "ru");
    EXPECT_EQ(GetUserResourceLanguage(), kResourceLanguageRussian);
    environment.Set("LC_MESSAGES", "");
    environment.Set("LANG", "fr_FR");
    EXPECT_EQ(GetUserResourceLanguage(), kResourceLanguageNeutral);
}
#endif

} // namespace
} // namespace nuv
