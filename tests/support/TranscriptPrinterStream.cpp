#include "support/TranscriptPrinterStream.h"

#include "platform/graphics/PixelImage.h"

namespace tavlo::test {

void TranscriptPrinterStream::writeImage(const PixelImage& image) {
    note("image " + std::to_string(image.width()) + "x" + std::to_string(image.height()));
}

} // namespace tavlo::test
