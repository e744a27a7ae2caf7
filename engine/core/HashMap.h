#pragma once

#include "core/String.h"

#include <cstdint>
#include <new>
#include <utility>

namespace nuv {

// Bucket of a key: strings use the engine's string hash, 32-bit IDs their unsigned value.
inline uint32_t HashKey(const String& key) { return key.Hash(); }
inline uint32_t HashKey(int32_t key) { return uint32_t(key); }

// Chained hash table with 32 buckets. New keys go to the end of their chain, and
// iteration runs bucket by bucket, chain by chain, so the order is reproducible.
template <class K, class V>
class HashMap {
public:
    static constexpr int kBucketCount = 32;

    HashMap() = default;
    ~HashMap() { Clear(); }
    HashMap(const HashMap&) = delete;
    HashMap& operator=(const HashMap&) = delete;

    int GetCount() const { return count_; }

    // False when the key is already present or memory runs out; the map is then unchanged.
    bool Insert(const K& key, V value) {
        Node** link = &buckets_[HashKey(key) % kBucketCount];
        for (; *link; link = &(*link)->next)
            if ((*link)->key == key) return false;
        Node* node = new (std::nothrow) Node{key, std::move(value), nullptr};
        if (!node) return false;
        *link = node;
        ++count_;
        return true;
    }

    V* Find(const K& key) {
        for (Node* n = buckets_[HashKey(key) % kBucketCount]; n; n = n->next)
            if (n->key == key) return &n->value;
        return nullptr;
    }
    const V* Find(const K& key) const { return const_cast<HashMap*>(this)->Find(key); }
    bool Contains(const K& key) const { return Find(key) != nullptr; }

    bool Remove(const K& key) {
        for (Node** link = &buckets_[HashKey(key) % kBucketCount]; *link; link = &(*link)->next) {
            if ((*link)->key == key) {
                Node* dead = *link;
                *link = dead->next;
                delete dead;
                --count_;
                return true;
            }
        }
        return false;
    }

    void Clear() {
        for (Node*& head : buckets_) {
            while (head) {
                Node* dead = head;
                head = head->next;
                delete dead;
            }
        }
        count_ = 0;
    }

    // Calls visit(key, value) for every entry, bucket by bucket; stops when visit returns false.
    template <class F>
    void ForEach(F&& visit) {
        for (Node* head : buckets_)
            for (Node* n = head; n; n = n->next)
                if (!visit(n->key, n->value)) return;
    }

private:
    struct Node {
        K key;
        V value;
        Node* next;
    };
    Node* buckets_[kBucketCount] = {};
    int count_ = 0;
};

} // namespace nuv
