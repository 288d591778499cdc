#pragma once

#include <cstdint>
#include <vector>

namespace tavlo::printerlib {

// Printer commands carry their 16-bit numbers little endian.
inline void appendLittleEndian16(std::vector<uint8_t>& to, long value) {
    to.push_back(static_cast<uint8_t>(value & 0xFF));
    to.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

} // namespace tavlo::printerlib
