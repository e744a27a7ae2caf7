#include "app/win32/DialogPicture.h"

#include "core/Log.h"
#include "core/Status.h"
#include "media/File.h"
#include "media/FileManager.h"
#include "platform/win32/WideText.h"

#include <algorithm>
#include <vector>

namespace nuv {

DialogPicture::~DialogPicture() {
    if (bitmap_) DeleteObject(bitmap_);
}

int DialogPicture::Show(HWND dialog, int id, const char* fileName) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return kStatusFailed;
    File* file = FileManager::FindFile(fileName);
    if (!file) {
        LogWarning("Файл [%s] не найден.", fileName);
        return kStatusFailed;
    }
    if (file_.GetPath().empty()) {
        std::vector<uint8_t> bytes;
        bool read = file->Open(File::kRead) == 0;
        if (read) {
            bytes.resize(size_t(std::max(file->GetSize(), 0)));
            read = bytes.empty() || file->Read(bytes.data(), int(bytes.size())) == 0;
            file->Close();
        }
        if (!read || file_.Create("NEW") != 0 || file_.Write(bytes.data(), bytes.size()) != 0) {
            LogWarning("Невозможно записать изображение [%s]: %s", fileName, file_.GetError().c_str());
            return kStatusFailed;
        }
    }
    RECT rect;
    GetClientRect(control, &rect);
    HBITMAP bitmap = HBITMAP(LoadImageW(nullptr, Utf8ToWide(file_.GetPath()).c_str(), IMAGE_BITMAP,
                                        rect.right - rect.left, rect.bottom - rect.top, LR_LOADFROMFILE));
    if (!bitmap) {
        LogWarning("Невозможно загрузить изображение [%s].", fileName);
        return kStatusFailed;
    }
    HGDIOBJ previous = HGDIOBJ(SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, LPARAM(bitmap)));
    if (previous && previous != bitmap_) DeleteObject(previous);
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = bitmap;
    return kStatusOk;
}

} // namespace nuv
