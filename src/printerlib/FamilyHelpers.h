#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tavlo::printerlib {

// What the model families read from a printer's model-name reply and add to their configuration
// packets.

// The model number of a model-name reply ("_MPP-R200..." 200, "_MPP-R300..." 300, "_EM?22..."
// 220); 0 for any other name, and for one that does not begin with "_".
unsigned long GetModel(std::string_view name);

// The Internet checksum (RFC 1071) of the bytes, taken as 16-bit big-endian words (an odd last
// byte padded with zero), returned with its two bytes swapped: stored as a little-endian 16-bit
// number it lies in memory high byte first.
uint16_t Checksum(const uint8_t* bytes, long length);

// Pads the packet to an even length with a zero byte and appends its checksum, so that the
// checksum of the whole is 0. The new length, or -1 (packet unchanged) when the check fails.
long CreateChecksum(std::vector<uint8_t>& packet);

} // namespace tavlo::printerlib
