#include "support/SignatureJpeg.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace tavlo::test {

std::vector<uint8_t> signatureJpeg(int width, int height) {
    // A wave across the picture, three pixels thick.
    std::vector<uint8_t> gray(static_cast<size_t>(width) * height, 255);
    for (int x = 0; x < width; ++x) {
        const int y = height / 2 + static_cast<int>(std::lround(std::sin(x / 9.0) * (height / 3.0)));
        for (int dy = -1; dy <= 1; ++dy)
            if (y + dy >= 0 && y + dy < height) gray[static_cast<size_t>(y + dy) * width + x] = 0;
    }
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = &gray[static_cast<size_t>(info.next_scanline) * width];
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    free(buffer);
    return bytes;
}

} // namespace tavlo::test
