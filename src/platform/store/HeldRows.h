#pragma once

#include "platform/store/Value.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <unordered_map>
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
    void put(int64_t key, const std::vector<Value>& values, const std::vector<int64_t>& toOnes);
    // Takes the row out into `values` and `toOnes` (sized as the entity's); false when none is held.
    bool take(int64_t key, std::vector<Value>& values, std::vector<int64_t>& toOnes);
    bool contains(int64_t key) const { return rows_.count(key) > 0; }
    bool empty() const { return rows_.empty(); }
    size_t size() const { return rows_.size(); }
    // Every row in key order, each unpacked into `values` and `toOnes` for `each`; then none is held.
    template <class Each> bool drain(std::vector<Value>& values, std::vector<int64_t>& toOnes, Each each) {
        std::vector<int64_t> keys;
        keys.reserve(rows_.size());
        for (const auto& [key, row] : rows_) keys.push_back(key);
        std::sort(keys.begin(), keys.end());
        for (int64_t key : keys) {
            take(key, values, toOnes);
            if (!each(key)) return false;
        }
        return true;
    }
    void clear() { rows_.clear(); }

private:
    struct Packed {
        std::unique_ptr<uint8_t[]> bytes;
        uint32_t size;
    };
    std::unordered_map<int64_t, Packed> rows_;
};

} // namespace tavlo
