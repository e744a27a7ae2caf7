#include "core/FileMessageOutput.h"
#include "core/Log.h"
#include "core/Pointer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace nuv {
namespace {

#ifdef _WIN32
std::string Native1251(const std::string& utf8);
#endif

// The log file's text as this platform writes it: UTF-8, or Windows-1251 on Windows
// (converted here by the system's own code-page tables).
std::string Native(const std::string& utf8) {
#ifdef _WIN32
    // Text mode: every line ends in CR LF there.
    std::string crlf;
    for (char c : utf8) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return Native1251(crlf);
}

std::string Native1251(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), int(wide.size()))));
    std::string narrow(wide.size() * 2, '\0');
    narrow.resize(size_t(WideCharToMultiByte(1251, 0, wide.data(), int(wide.size()), narrow.data(),
                                             int(narrow.size()), nullptr, nullptr)));
    return narrow;
#else
    return utf8;
#endif
}

std::string TempPath(const char* name) {
    return (::testing::TempDir() + name);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(Log, FileOutputWritesLevelPrefixesAndItsOwnRegistration) {
    const std::string path = TempPath("nuv_log_levels.txt");
    {
        Pointer<FileMessageOutput> output(new FileMessageOutput(path.c_str(), ""));
        ASSERT_TRUE(output->IsOpen());
        EXPECT_EQ(output->GetName(), path.c_str());
        ASSERT_EQ(RegisterMessageOutput(output.Get()), 0);
        LogInfo("info %d", 1);
        LogWarning("warning %s", "two");
        LogError("error");
        LogCritical("critical");
        output->Output(7, "seven");
        EXPECT_EQ(UnregisterMessageOutput(output.Get()), 0);
        LogInfo("after unregistration");
    }
    const std::string expected = std::string("INFO. Объект вывода сообщений зарегестрирован. [") + path +
                                 "]\nINFO. info 1\nWARNING. warning two\nERROR. error\nCRITICAL ERROR. critical\n"
                                 "UNKNOWN. seven\nINFO. Объект вывода сообщений разрегестрирован. [" + path + "]\n";
    EXPECT_EQ(ReadAll(path), Native(expected));
}

TEST(Log, SecondRegistrationWarnsAndKeepsOneEntry) {
    const std::string path = TempPath("nuv_log_twice.txt");
    Pointer<FileMessageOutput> output(new FileMessageOutput(path.c_str(), "twice"));
    const int before = GetMessageOutputCount();
    EXPECT_EQ(RegisterMessageOutput(output.Get()), 0);
    EXPECT_EQ(RegisterMessageOutput(output.Get()), 0);
    EXPECT_EQ(GetMessageOutputCount(), before + 1);
    EXPECT_EQ(UnregisterMessageOutput(output.Get()), 0);
    EXPECT_EQ(UnregisterMessageOutput(output.Get()), 3);
    EXPECT_EQ(GetMessageOutputCount(), before);
    output.Reset();
    EXPECT_EQ(ReadAll(path), Native("INFO. Объект вывода сообщений зарегестрирован. [twice]\n"
                                    "WARNING. Объект вывода сообщений уже зарегестрирован. [twice]\n"
                                    "INFO. Объект вывода сообщений разрегестрирован. [twice]\n"));
}

TEST(Log, UnregisteringAStrangerLogsNothingAndNullIsRefused) {
    const std::string path = TempPath("nuv_log_stranger.txt");
    Pointer<FileMessageOutput> listener(new FileMessageOutput(path.c_str(), "listener"));
    Pointer<FileMessageOutput> stranger(new FileMessageOutput("", "stranger"));
    EXPECT_FALSE(stranger->IsOpen());
    EXPECT_EQ(RegisterMessageOutput(nullptr), 3);
    RegisterMessageOutput(listener.Get());
    EXPECT_EQ(UnregisterMessageOutput(stranger.Get()), 3);
    EXPECT_EQ(UnregisterMessageOutput(nullptr), 3);
    UnregisterMessageOutput(listener.Get());
    listener.Reset();
    const std::string text = ReadAll(path);
    EXPECT_EQ(text.find("stranger"), std::string::npos);
}

TEST(Log, RegistryHoldsTheOnlyReferenceAndUnregistrationClosesTheFile) {
    const std::string path = TempPath("nuv_log_owned.txt");
    auto* output = new FileMessageOutput(path.c_str(), "owned");
    RegisterMessageOutput(output);
    EXPECT_EQ(output->GetReferenceCount(), 1);
    LogInfo("%s", std::string(5000, 'x').c_str());  // longer than a message may be: cut, not overrun
    UnregisterMessageOutput(output);                 // destroys it
    const std::string text = ReadAll(path);
    const size_t start = text.find("INFO. xxxx");
    ASSERT_NE(start, std::string::npos);
    EXPECT_EQ(text.find_first_not_of('x', start + 6) - start, 6u + 4095u);
}

TEST(Log, ANewRunTruncatesTheFileAndMissingFoldersLeaveItSilent) {
    const std::string path = TempPath("nuv_log_truncate.txt");
    for (int run = 0; run < 2; ++run) {
        Pointer<FileMessageOutput> output(new FileMessageOutput(path.c_str(), "run"));
        output->Output(0, run == 0 ? "first run" : "second run");
    }
    EXPECT_EQ(ReadAll(path), Native("INFO. second run\n"));
    Pointer<FileMessageOutput> nowhere(new FileMessageOutput(TempPath("no/such/folder/log.txt").c_str(), ""));
    EXPECT_FALSE(nowhere->IsOpen());
    nowhere->Output(0, "dropped");
}

} // namespace
} // namespace nuv
