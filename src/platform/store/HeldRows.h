#pragma once

#include "platform/store/Value.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>
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
//
// The packed rows lie side by side in large blocks, each after its length, instead of one
// allocation each: a load puts and takes its rows tens of thousands of times, and the blocks
// neither scatter the rows over the heap nor cost a call to the allocator per row. A row put
// again or taken leaves its old bytes behind; when those outweigh half the rows still held, the
// held rows move into new blocks and the old ones go.
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
    ~HeldRows() = default;

    void put(int64_t key, const std::vector<Value>& values, const std::vector<int64_t>& toOnes);
    // Packs the row again with the values that `values` names in place of its own (null: kept as
    // packed) and the to-ones' keys; false when none is held.
    bool rewrite(int64_t key, const std::vector<const Value*>& values, const std::vector<int64_t>& toOnes);
    // Unpacks the keys of the row's to-ones into `toOnes`, past its `values` values; false when
    // none is held.
    bool readToOnes(int64_t key, size_t values, std::vector<int64_t>& toOnes) const;
    // Takes the row out into `values` and `toOnes` (sized as the entity's); false when none is held.
    bool take(int64_t key, std::vector<Value>& values, std::vector<int64_t>& toOnes);
    bool contains(int64_t key) const { return !slots_.empty() && slots_[slotOf(key)].bytes; }
    bool empty() const { return size_ == 0; }
    size_t size() const { return size_; }
    // A held row's packed bytes, read in turn where they lie: its values, then its to-ones' keys.
    class Packed {
    public:
        // One value as it was put: an integer or a boolean in `integer`, a real or a date's
        // seconds since 1970 in `real`, a text's or bytes' own bytes in `bytes`.
        struct Part {
            Value::Kind kind = Value::Kind::Nil;
            int64_t integer = 0;
            double real = 0;
            std::string_view bytes;
        };
        explicit Packed(const uint8_t* row) : at_(row) {}
        Part value();
        int64_t key();

    private:
        const uint8_t* at_;
    };
    // Every row in key order, read in place by `each` (its bytes stay until the drain ends);
    // then none is held. When `each` refuses a row, it goes with the rows before it, and the rows
    // after it stay held.
    template <class Each> bool drain(Each each) {
        std::vector<Slot> rows;
        rows.reserve(size_);
        for (const Slot& slot : slots_)
            if (slot.bytes) rows.push_back(slot);
        std::sort(rows.begin(), rows.end(), [](const Slot& a, const Slot& b) { return a.key < b.key; });
        for (size_t i = 0; i < rows.size(); ++i) {
            Packed row(rows[i].bytes);
            if (each(rows[i].key, row)) continue;
            for (size_t gone = 0; gone <= i; ++gone) remove(slotOf(rows[gone].key));
            return false;
        }
        clear();
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
    // Lets go of the row in the slot.
    void remove(size_t at);
    void grow();
    void swap(HeldRows& other) noexcept {
        slots_.swap(other.slots_);
        std::swap(size_, other.size_);
        blocks_.swap(other.blocks_);
        std::swap(free_, other.free_);
        std::swap(room_, other.room_);
        std::swap(liveBytes_, other.liveBytes_);
        std::swap(deadBytes_, other.deadBytes_);
    }
    // Holds the packed row under the key, in place of any held before.
    void keep(int64_t key, const std::vector<uint8_t>& row);
    // Copies the packed row into the blocks, after its length; answers where it now starts.
    uint8_t* place(const uint8_t* row, uint32_t size);
    static uint32_t sizeOf(const uint8_t* row);
    // Lets go of the row's bytes (they stay in their block until the next move).
    void forget(const uint8_t* row);
    // Moves the held rows into new blocks when the bytes left behind outweigh half of them.
    void compactWhenDue();

    std::vector<Slot> slots_; // a power of two, at most half full
    size_t size_ = 0;
    std::vector<std::unique_ptr<uint8_t[]>> blocks_;
    uint8_t* free_ = nullptr; // the free end of the last block
    size_t room_ = 0;         // and its room
    size_t liveBytes_ = 0;    // of rows held, their lengths included
    size_t deadBytes_ = 0;    // of rows put again or taken
};

} // namespace tavlo
