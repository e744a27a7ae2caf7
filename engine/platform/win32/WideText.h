#pragma once

#include <string>

namespace nuv {

// UTF-8 <-> UTF-16 for the wide Windows calls; invalid input gives an empty string.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const wchar_t* text);
// "<what> failed (<code>): <system text>" for GetLastError's code.
std::string DescribeWindowsError(const char* what, unsigned long code);

} // namespace nuv
