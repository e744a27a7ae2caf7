#pragma once

#include "core/MessageOutput.h"

#include <cstdio>

namespace nuv {

// Writes one line per message to a text file, prefixed by the level ("INFO. ", ...).
// The file is truncated when the output is made; a file that cannot be opened leaves
// the output silent. On Windows the text is written in the Windows-1251 code page.
class FileMessageOutput : public MessageOutput {
public:
    // An empty name makes the file name the output's name; an empty file name opens nothing.
    FileMessageOutput(const String& fileName, const String& name);
    ~FileMessageOutput() override;

    void Output(int level, const String& text) override;
    bool IsOpen() const { return file_ != nullptr; }

private:
    std::FILE* file_ = nullptr;
};

} // namespace nuv
