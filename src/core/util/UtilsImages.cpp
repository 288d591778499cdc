// Pictures for receipts: scaling to a printable size and the dark-or-paper map the printer's
// raster commands are built from.
#include "core/util/Utils.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tavlo {

namespace {

// A pixel is dark when its colour over white paper sums below this (of 3 x 255).
constexpr int kDarkBelow = 631;

// The source pixels [first, last) whose centres fall inside canvas pixel i; when none do (the
// picture grows), the one under its centre.
std::pair<int, int> sourceSpan(int i, double factor, int size) {
    int first = static_cast<int>(std::ceil(i * factor - 0.5));
    int last = std::min(size, static_cast<int>(std::ceil((i + 1) * factor - 0.5)));
    if (last <= first) {
        first = std::min(size - 1, static_cast<int>((i + 0.5) * factor));
        last = first + 1;
    }
    return {first, last};
}

} // namespace

PixelImage Utils::imageWithImage(const PixelImage& image, int width, int height) {
    PixelImage canvas(std::max(width, 0), std::max(height, 0));
    if (image.isNull() || canvas.isNull()) return canvas;
    const double factor =
        std::max(static_cast<double>(image.width()) / width, static_cast<double>(image.height()) / height);
    const int drawnWidth = std::min(width, static_cast<int>(std::lround(image.width() / factor)));
    const int drawnHeight = std::min(height, static_cast<int>(std::lround(image.height() / factor)));
    // Each canvas pixel takes the average of its source pixels (sourceSpan), with premultiplied
    // alpha so that transparent pixels lend no colour.
    for (int y = 0; y < drawnHeight; ++y) {
        const auto [top, bottom] = sourceSpan(y, factor, image.height());
        for (int x = 0; x < drawnWidth; ++x) {
            const auto [left, right] = sourceSpan(x, factor, image.width());
            uint64_t sum[4] = {0, 0, 0, 0};
            for (int sy = top; sy < bottom; ++sy) {
                for (int sx = left; sx < right; ++sx) {
                    const uint8_t* p = image.pixel(sx, sy);
                    for (int c = 0; c < 3; ++c) sum[c] += static_cast<uint64_t>(p[c]) * p[3];
                    sum[3] += p[3];
                }
            }
            uint8_t* out = canvas.pixel(x, y);
            const uint64_t count = static_cast<uint64_t>(bottom - top) * (right - left);
            if (sum[3] > 0)
                for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>((sum[c] + sum[3] / 2) / sum[3]);
            out[3] = static_cast<uint8_t>((sum[3] + count / 2) / count);
        }
    }
    return canvas;
}

std::vector<uint8_t> Utils::escposBitmapFromImage(const PixelImage& image) {
    std::vector<uint8_t> map;
    if (image.isNull()) return map;
    map.resize(static_cast<size_t>(image.width()) * image.height());
    const uint8_t* p = image.rgba().data();
    for (uint8_t& dot : map) {
        // The colour over white: c x a + 255 x (255 - a), in 255ths, summed over the three.
        const int alpha = p[3];
        const int over = (p[0] + p[1] + p[2]) * alpha + 3 * 255 * (255 - alpha);
        dot = over < kDarkBelow * 255 ? 0xFF : 0x00;
        p += 4;
    }
    return map;
}

} // namespace tavlo
