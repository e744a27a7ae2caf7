#pragma once

#include <cstddef>
#include <new>
#include <utility>

namespace nuv {

// Growable array with a fixed growth step: a full array grows by exactly `growth` items
// (it never doubles), and with a growth of 0 a full array ignores appends.
template <class T>
class Array {
public:
    explicit Array(int capacity = 1, int growth = 1) : growth_(growth < 0 ? 0 : growth) {
        if (capacity > 0) Reserve(capacity);
    }
    ~Array() {
        Clear();
        ::operator delete(items_);
    }
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;
    Array(Array&& other) noexcept
        : items_(std::exchange(other.items_, nullptr)), count_(std::exchange(other.count_, 0)),
          capacity_(std::exchange(other.capacity_, 0)), growth_(other.growth_) {}

    int GetCount() const { return count_; }
    int GetCapacity() const { return capacity_; }
    int GetGrowth() const { return growth_; }
    bool IsEmpty() const { return count_ == 0; }

    T& operator[](int index) { return items_[index]; }
    const T& operator[](int index) const { return items_[index]; }
    T* GetData() { return items_; }
    const T* GetData() const { return items_; }
    T* begin() { return items_; }
    T* end() { return items_ + count_; }
    const T* begin() const { return items_; }
    const T* end() const { return items_ + count_; }

    // False when the array is full and cannot grow (growth 0, or no memory).
    bool Append(const T& item) { return Insert(count_, item); }
    bool Append(T&& item) { return Insert(count_, std::move(item)); }

    // Inserts before position index (0..count); later items move up one place.
    bool Insert(int index, T item) {
        if (index < 0 || index > count_) return false;
        if (count_ == capacity_ && (growth_ == 0 || !Reserve(capacity_ + growth_))) return false;
        if (index == count_) {
            new (items_ + count_) T(std::move(item));
        } else {
            new (items_ + count_) T(std::move(items_[count_ - 1]));
            for (int i = count_ - 1; i > index; --i) items_[i] = std::move(items_[i - 1]);
            items_[index] = std::move(item);
        }
        ++count_;
        return true;
    }

    // Removes the item at index; later items move down one place.
    void RemoveAt(int index) {
        if (index < 0 || index >= count_) return;
        for (int i = index; i + 1 < count_; ++i) items_[i] = std::move(items_[i + 1]);
        items_[--count_].~T();
    }

    // Index of the first item equal to item, or -1.
    int Find(const T& item) const {
        for (int i = 0; i < count_; ++i)
            if (items_[i] == item) return i;
        return -1;
    }

    // Destroys every item; the capacity stays.
    void Clear() {
        while (count_ > 0) items_[--count_].~T();
    }

    // Makes room for at least capacity items; false when memory runs out.
    bool Reserve(int capacity) {
        if (capacity <= capacity_) return true;
        T* items = static_cast<T*>(::operator new(sizeof(T) * size_t(capacity), std::nothrow));
        if (!items) return false;
        for (int i = 0; i < count_; ++i) {
            new (items + i) T(std::move(items_[i]));
            items_[i].~T();
        }
        ::operator delete(items_);
        items_ = items;
        capacity_ = capacity;
        return true;
    }

private:
    T* items_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
    int growth_ = 1;
};

} // namespace nuv
