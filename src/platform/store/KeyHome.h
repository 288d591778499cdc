#pragma once

#include <cstddef>
#include <cstdint>

namespace tavlo {

// The home slot of a row's key in an open-addressed table of `mask` + 1 slots (a power of two).
// Keys come in runs (a table's new rows, rows read in key order): a multiply spreads groups of
// eight keys over the table, and the keys of a group sit side by side, so that rows put, found
// and let go in key order read a few lines of the table instead of a line each.
inline size_t keyHome(int64_t key, size_t mask) {
    const uint64_t h = static_cast<uint64_t>(key >> 3) * 0x9e3779b97f4a7c15ull;
    return (static_cast<size_t>(h >> 32) << 3 | static_cast<size_t>(key & 7)) & mask;
}

} // namespace tavlo
