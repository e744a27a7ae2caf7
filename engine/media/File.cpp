#include "media/File.h"

#include "core/Log.h"
#include "core/Status.h"
#include "media/Folder.h"

#include <climits>
#include <new>

namespace nuv {

File::File(const String& name) : Stream(0, 1024), Named(name) {}

File::~File() {
    LogInfo("Удаляется файл [%s].", GetFullPath().GetText());
    // Only File::Close here: a derived file has already closed itself in its own destructor.
    if (IsOpen()) File::Close();
    if (folder_ && !folder_->ForgetFile(this))
        LogWarning("Невозможно отсоединить файл [%s] от родительской директории.", GetFullPath().GetText());
}

String File::GetFullPath() const {
    return folder_ ? folder_->GetFullPath() + GetName() : GetName();
}

int File::Open(int mode) {
    if (IsOpen() && Close() != kStatusOk) LogWarning("Невозможно закрыть файл [%s].", GetFullPath().GetText());
    if (mode != kWrite && mode != kAppend) mode = kRead;
    const String path = GetFullPath();
    const char* modes[] = {"rb", "wb", "ab"};
    std::FILE* handle = std::fopen(path.GetText(), modes[mode]);
    bool ok = handle != nullptr;
    if (ok && mode == kRead) {
        // The whole file goes into the buffer; the stream counts in int, so 2 GB is the limit.
        long length = -1;
        if (std::fseek(handle, 0, SEEK_END) == 0) length = std::ftell(handle);
        ok = length >= 0 && length <= INT_MAX && std::fseek(handle, 0, SEEK_SET) == 0;
        uint8_t* data = nullptr;
        if (ok && length > 0) {
            data = new (std::nothrow) uint8_t[size_t(length)];
            ok = data && std::fread(data, 1, size_t(length), handle) == size_t(length);
        }
        FreeData();
        if (ok) {
            data_ = data;
            size_ = int(length);
        } else {
            delete[] data;
        }
    }
    if (!ok) {
        if (handle) std::fclose(handle);
        LogWarning("Невозможно открыть файл [%s].", path.GetText());
        return kStatusFailed;
    }
    if (mode != kRead) FreeData();
    handle_ = handle;
    position_ = 0;
    ClearIdMap();
    MarkOpen(mode);
    return kStatusOk;
}

int File::Close() {
    if (!IsOpen()) return kStatusOk;
    if (handle_) {
        if (mode_ != kRead && position_ > 0 &&
            std::fwrite(data_, 1, size_t(position_), handle_) != size_t(position_)) {
            LogWarning("В файл [%s] записаны не все данные.", GetFullPath().GetText());
            return kStatusFailed;
        }
        const bool closed = std::fclose(handle_) == 0;
        handle_ = nullptr;
        // A failed flush loses data just as a short write does.
        if (!closed && mode_ != kRead) {
            MarkClosed();
            FreeData();
            ClearIdMap();
            LogWarning("В файл [%s] записаны не все данные.", GetFullPath().GetText());
            return kStatusFailed;
        }
    }
    MarkClosed();
    FreeData();
    ClearIdMap();
    return kStatusOk;
}

int File::GetSize() {
    if (IsOpen()) return mode_ == kRead ? size_ : position_;
    if (Open(kRead) != kStatusOk) {
        LogWarning("Файл [%s] не может быть открыть для чтения.", GetFullPath().GetText());
        return 0;
    }
    const int size = size_;
    if (Close() != kStatusOk) {
        LogWarning("Файл [%s] не может быть закрыт.", GetFullPath().GetText());
        return 0;
    }
    return size;
}

int File::Write(const void* bytes, int count) {
    if (!IsOpen() || mode_ == kRead) {
        if (IsOpen())
            LogWarning("Запись в файл [%s], открытый для чтения.", GetFullPath().GetText());
        else
            LogWarning("Запись в закрытый файл [%s].", GetFullPath().GetText());
        Fail(kStatusFailed);
        return kStatusFailed;
    }
    return Stream::Write(bytes, count);
}

int File::Read(void* bytes, int count) {
    if (!IsOpen() || mode_ != kRead) {
        if (IsOpen())
            LogWarning("Чтение из файла [%s], открытого для записи.", GetFullPath().GetText());
        else
            LogWarning("Чтение из закрытого файла [%s].", GetFullPath().GetText());
        Fail(kStatusFailed);
        return kStatusFailed;
    }
    return Stream::Read(bytes, count);
}

} // namespace nuv
