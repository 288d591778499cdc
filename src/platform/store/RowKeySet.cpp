#include "platform/store/RowKeySet.h"

#include <algorithm>
#include <bit>

namespace tavlo {

namespace {
// The bits cover the first 64K keys of any table, and past them at most 32 bits a key held.
constexpr size_t kWordsAlways = 1024;
} // namespace

bool RowKeySet::insert(int64_t key) {
    if (contains(key)) return false;
    ++size_;
    const auto word = static_cast<uint64_t>(key) / 64;
    if (key < 0 || word >= std::max(kWordsAlways, size_ / 2)) {
        others_.insert(key);
        return true;
    }
    if (word >= bits_.size()) bits_.resize(std::max<size_t>(word + 1, 2 * bits_.size()), 0);
    bits_[word] |= uint64_t{1} << (key % 64);
    return true;
}

void RowKeySet::clear() {
    bits_.clear();
    others_.clear();
    size_ = 0;
}

std::vector<int64_t> RowKeySet::sorted() const {
    std::vector<int64_t> keys;
    keys.reserve(size_);
    for (size_t word = 0; word < bits_.size(); ++word)
        for (uint64_t bits = bits_[word]; bits; bits &= bits - 1)
            keys.push_back(static_cast<int64_t>(word * 64 + static_cast<size_t>(std::countr_zero(bits))));
    if (others_.empty()) return keys;
    const auto fromBits = static_cast<std::ptrdiff_t>(keys.size());
    keys.insert(keys.end(), others_.begin(), others_.end());
    std::sort(keys.begin() + fromBits, keys.end());
    std::inplace_merge(keys.begin(), keys.begin() + fromBits, keys.end());
    return keys;
}

} // namespace tavlo
