#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace tavlo {

// A set of a table's primary keys. A table's keys count up from 1, so the set keeps a bit per
// key up to the largest it holds: a look-up reads one word, where a hashed set reads a bucket
// and a node, and a table's worth of keys takes a bit each instead of a node. A key far past the
// others (a sparse table) is hashed, so that the bits never outweigh the keys by much.
class RowKeySet {
public:
    // True when the key was not held yet.
    bool insert(int64_t key);
    bool contains(int64_t key) const {
        const auto word = static_cast<uint64_t>(key) / 64;
        if (key >= 0 && word < bits_.size() && (bits_[word] >> (key % 64) & 1)) return true;
        return !others_.empty() && others_.count(key) > 0;
    }
    bool empty() const { return size_ == 0; }
    size_t size() const { return size_; }
    void clear();
    // The keys in ascending order.
    std::vector<int64_t> sorted() const;

private:
    std::vector<uint64_t> bits_;         // bit k % 64 of word k / 64: key k held
    std::unordered_set<int64_t> others_; // keys past the bits when they were put
    size_t size_ = 0;
};

} // namespace tavlo
