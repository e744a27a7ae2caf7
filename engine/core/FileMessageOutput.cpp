#include "core/FileMessageOutput.h"


namespace nuv {

namespace {

#ifdef _WIN32
// The log file on Windows is in the Windows-1251 code page; the sources hold UTF-8.
String ToWindows1251(const String& text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.GetText());
    const int n = text.GetLength();
    char* out = new char[size_t(n) + 1];
    int o = 0;
    for (int i = 0; i < n;) {
        unsigned c = s[i];
        unsigned code = c;
        int len = 1;
        if (c >= 0xC0 && c < 0xE0 && i + 1 < n) {
            code = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            len = 2;
        } else if (c >= 0xE0 && c < 0xF0 && i + 2 < n) {
            code = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            len = 3;
        } else if (c >= 0x80) {
            code = '?';
        }
        i += len;
        if (code < 0x80) out[o++] = char(code);
        else if (code >= 0x410 && code <= 0x44F) out[o++] = char(0xC0 + (code - 0x410));
        else if (code == 0x401) out[o++] = char(0xA8);
        else if (code == 0x451) out[o++] = char(0xB8);
        else if (code == 0x2116) out[o++] = char(0xB9);
        else out[o++] = '?';
    }
    out[o] = 0;
    String result;
    result.Adopt(out, o);
    return result;
}

std::FILE* OpenForWriting(const String& fileName) {
    // The path is UTF-8; the C runtime's narrow fopen would read it in the ANSI code page.
    const char* s = fileName.GetText();
    wchar_t wide[1024];
    int w = 0;
    for (int i = 0; s[i] && w < 1023;) {
        unsigned c = static_cast<unsigned char>(s[i]);
        unsigned code = c;
        int len = 1;
        if (c >= 0xE0 && c < 0xF0 && s[i + 1] && s[i + 2]) {
            code = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            len = 3;
        } else if (c >= 0xC0 && c < 0xE0 && s[i + 1]) {
            code = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            len = 2;
        }
        wide[w++] = wchar_t(code);
        i += len;
    }
    wide[w] = 0;
    return _wfopen(wide, L"w");
}
#else
std::FILE* OpenForWriting(const String& fileName) {
    return std::fopen(fileName.GetText(), "w");
}
#endif

} // namespace

FileMessageOutput::FileMessageOutput(const String& fileName, const String& name)
    : MessageOutput(name.IsEmpty() ? fileName : name) {
    if (!fileName.IsEmpty()) file_ = OpenForWriting(fileName);
}

FileMessageOutput::~FileMessageOutput() {
    if (file_) std::fclose(file_);
}

void FileMessageOutput::Output(int level, const String& text) {
    if (!file_) return;
    static const char* const kFormats[] = {"INFO. %s\n", "WARNING. %s\n", "ERROR. %s\n", "CRITICAL ERROR. %s\n"};
    const char* format = (level >= 0 && level <= 3) ? kFormats[level] : "UNKNOWN. %s\n";
#ifdef _WIN32
    std::fprintf(file_, format, ToWindows1251(text).GetText());
#else
    std::fprintf(file_, format, text.GetText());
#endif
    // A screensaver is often ended by force: problems reach the file at once. Information
    // lines (two per loaded object) stay buffered, which keeps loading fast.
    if (level != 0) std::fflush(file_);
}

} // namespace nuv
