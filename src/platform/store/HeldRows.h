#pragma once

#include "platform/store/Value.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tavlo {

// New rows of one table kept in memory, each packed into a few bytes, until they are written:
// the values of its attributes and the keys of its to-ones, by primary key. A row a load inserts
// and then changes twice costs three writes of the file; held here it is written once, and no
// object stands for it meanwhile.
//
// Packed: per value one kind byte, then an integer or a length as a variable-length number
// (seven bits a byte, zigzag for signs), a real or a date as its eight bytes, a text or bytes
// after their length; then per to-one its key as a variable-length number.
class HeldRows {
public:
    HeldRows() = default;
    HeldRows(HeldRows&& other) noexcept { swap(other); }
    HeldRows& operator=(HeldRows&& other) noexcept {
        HeldRows gone;
        gone.swap(other);
        swap(gone);
        return *this;
    }
    HeldRows(const HeldRows&) = delete;
    HeldRows& operator=(const HeldRows&) = delete;
    ~HeldRows() { clear(); }

    void put(int64_t key, const std::vector<Value>& values, const std::vector<int64_t>& toOnes);
    // Takes the row out into `values` and `toOnes` (sized as the entity's); false when none is held.
    bool take(int64_t key, std::vector<Value>& values, std::vector<int64_t>& toOnes);
    bool contains(int64_t key) const { return !slots_.empty() && slots_[slotOf(key)].bytes; }
    bool empty() const { return size_ == 0; }
    size_t size() const { return size_; }
    // Every row in key order, each unpacked into `values` and `toOnes` for `each`; then none is held.
    template <class Each> bool drain(std::vector<Value>& values, std::vector<int64_t>& toOnes, Each each) {
        std::vector<int64_t> keys;
        keys.reserve(size_);
        for (const Slot& slot : slots_)
            if (slot.bytes) keys.push_back(slot.key);
        std::sort(keys.begin(), keys.end());
        for (int64_t key : keys) {
            take(key, values, toOnes);
            if (!each(key)) return false;
        }
        return true;
    }
    void clear();

private:
    // Open addressing over the keys: a slot holds a key and its packed bytes (null: empty). Two
    // words a row, where a node map would spend a node and a bucket on each.
    struct Slot {
        int64_t key = 0;
        uint8_t* bytes = nullptr;
    };
    // The slot of the key, or the empty slot where it goes.
    size_t slotOf(int64_t key) const;
    void grow();
    void swap(HeldRows& other) noexcept {
        slots_.swap(other.slots_);
        std::swap(size_, other.size_);
    }

    std::vector<Slot> slots_; // a power of two, at most half full
    size_t size_ = 0;
};

} // namespace tavlo
