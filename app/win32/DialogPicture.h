#pragma once

#include "platform/TemporaryFile.h"

#include <windows.h>

namespace nuv {

// A picture of the media shown in a dialog's picture control: the file written to a temporary
// file (prefix "NEW"), loaded from there as a bitmap of the control's size and set on it. The
// temporary file and the bitmap go with this object.
class DialogPicture {
public:
    DialogPicture() = default;
    ~DialogPicture();
    DialogPicture(const DialogPicture&) = delete;
    DialogPicture& operator=(const DialogPicture&) = delete;

    // Shows fileName in control id of dialog; a missing picture leaves the control empty. 0, or
    // 1 when the picture cannot be shown (logged).
    int Show(HWND dialog, int id, const char* fileName);

private:
    TemporaryFile file_;
    HBITMAP bitmap_ = nullptr;
};

} // namespace nuv
