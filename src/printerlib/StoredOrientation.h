#pragma once

#include "printerlib/iControlMisc.h"

#include <cstdint>
#include <span>

namespace tavlo::printerlib {

// How a picture file says its pixels are to be turned to stand upright: the orientation tag of a
// JPEG's Exif block (1 to 8, in the platform's numbering here). Up for any other file, a file
// without the tag or a block that does not read.
ImageOrientation storedOrientation(std::span<const uint8_t> file);

} // namespace tavlo::printerlib
