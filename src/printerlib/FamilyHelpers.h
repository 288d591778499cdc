#pragma once

#include <cstdint>
#include <functional>
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

class iController;

// Gives a model whose barcode support table is still empty the table of the 29 symbologies the model
// families list, in their order: 101 "UPC-A" to 111 "Code128" (no ITF), 200 "PDF417", 202 to 213,
// then six further GS1 DataBar kinds listed under 208. `supported` decides each entry's flag.
void fillBarcodeTable(iController& model, const std::function<bool(long number)>& supported);

} // namespace tavlo::printerlib
