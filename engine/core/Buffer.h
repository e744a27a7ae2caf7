#pragma once

#include "core/Object.h"
#include "core/ResourceLink.h"
#include "core/Status.h"

#include <new>
#include <type_traits>

namespace nuv {

// Typed array of per-vertex or other bulk data, shared between nodes, saved once per file
// and uploaded to the renderer, which keeps its copy until the dirty flag says it changed.
class Buffer : public Object {
    NUV_DECLARE_OBJECT
public:
    ~Buffer() override;

    // Count times the element size, in bytes.
    virtual int GetDataSize() const = 0;
    virtual int GetCount() const = 0;
    virtual void* GetData() = 0;

    ResourceLink& GetResourceLink() { return link_; }
    bool IsDirty() const { return link_.dirty != 0; }
    // Tells the renderer to copy the data again before the next draw.
    void MarkDirty() { link_.dirty = 1; }

protected:
    Buffer() = default;
    // The element array as raw bytes, after the Object fields; elementSize is in bytes.
    int SaveElements(Stream& stream, const void* data, int count, int elementSize);
    // Reads the Object fields, the count and the elements into a new block; data and count
    // change only on success.
    template <class T>
    int LoadElements(Stream& stream, T*& data, int& count);
    void LogNoMemoryForData() const;

private:
    int LoadCount(Stream& stream, int elementSize, int& count);
    int LoadBytes(Stream& stream, void* data, int bytes);
    void LogNoMemoryForLoad() const;
    ResourceLink link_;
};

// The element array shared by the six concrete buffers; T is the element type.
template <class T>
class BufferOf : public Buffer {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                  "buffer elements are plain bytes in the file");

public:
    ~BufferOf() override { ::operator delete[](data_); }

    int GetDataSize() const override { return count_ * int(sizeof(T)); }
    int GetCount() const override { return count_; }
    void* GetData() override { return data_; }
    T* GetElements() { return data_; }
    const T* GetElements() const { return data_; }

    int Save(Stream& stream) override { return SaveElements(stream, data_, count_, int(sizeof(T))); }
    int Load(Stream& stream) override { return LoadElements(stream, data_, count_); }

protected:
    // With data, the buffer adopts it (it must come from new T[count]); without, it
    // allocates count elements.
    BufferOf(int count, T* data);

private:
    T* data_ = nullptr;
    int count_ = 0;
};

template <class T>
BufferOf<T>::BufferOf(int count, T* data) {
    if (data) {
        data_ = data;
        count_ = count > 0 ? count : 0;
    } else if (count > 0) {
        data_ = new (std::nothrow) T[size_t(count)]();
        if (data_) count_ = count;
        else LogNoMemoryForData();
    }
}

template <class T>
int Buffer::LoadElements(Stream& stream, T*& data, int& count) {
    int newCount = 0;
    if (int status = LoadCount(stream, int(sizeof(T)), newCount)) return status;
    T* block = nullptr;
    if (newCount > 0) {
        // Raw storage: every byte is read from the file next, so initialising it first would
        // only cost another pass over megabytes of vertices.
        block = static_cast<T*>(::operator new[](sizeof(T) * size_t(newCount), std::nothrow));
        if (!block) {
            LogNoMemoryForLoad();
            return kStatusNoMemory;
        }
        if (int status = LoadBytes(stream, block, newCount * int(sizeof(T)))) {
            ::operator delete[](block);
            return status;
        }
    }
    ::operator delete[](data);
    data = block;
    count = newCount;
    MarkDirty();
    return kStatusOk;
}

} // namespace nuv
