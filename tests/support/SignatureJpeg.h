#pragma once

#include <cstdint>
#include <vector>

namespace tavlo::test {

// A signature as the signature pad stores it: a JPEG of a dark stroke on white, `width` x
// `height` pixels, encoded here with libjpeg.
std::vector<uint8_t> signatureJpeg(int width = 160, int height = 48);

} // namespace tavlo::test
