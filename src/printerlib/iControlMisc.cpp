#include "printerlib/iControlMisc.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace tavlo::printerlib {

namespace {

// One source pixel's share of a target pixel along one axis.
struct Tap {
    long source;
    float weight;
};

// For each target pixel along an axis, the source pixels its span covers and how much of the
// span each covers (the weights of a target pixel add up to 1): an area average when shrinking,
// the nearest pixels when growing, the pixels themselves at the same size.
std::vector<std::vector<Tap>> coverage(long sourceLength, long targetLength) {
    std::vector<std::vector<Tap>> taps(static_cast<size_t>(targetLength));
    const double scale = static_cast<double>(sourceLength) / static_cast<double>(targetLength);
    for (long t = 0; t < targetLength; ++t) {
        const double from = static_cast<double>(t) * scale;
        const double to = static_cast<double>(t + 1) * scale;
        const long first = static_cast<long>(from);
        const long last = std::min(sourceLength - 1, static_cast<long>(std::ceil(to)) - 1);
        for (long s = first; s <= last; ++s) {
            const double covered = std::min(to, static_cast<double>(s + 1)) - std::max(from, static_cast<double>(s));
            if (covered > 0) taps[static_cast<size_t>(t)].push_back({s, static_cast<float>(covered / scale)});
        }
    }
    return taps;
}

uint8_t toByte(double value) { return static_cast<uint8_t>(std::clamp<long>(std::lround(value), 0, 255)); }

// Where the stored pixel shown at (x, y) of the upright picture lies; `width` and `height` are the
// upright picture's.
struct StoredPosition {
    long x;
    long y;
};
StoredPosition storedPosition(ImageOrientation orientation, long x, long y, long width, long height) {
    switch (orientation) {
    case ImageOrientation::Up: return {x, y};
    case ImageOrientation::Down: return {width - 1 - x, height - 1 - y};
    case ImageOrientation::Left: return {height - 1 - y, x};
    case ImageOrientation::Right: return {y, width - 1 - x};
    case ImageOrientation::UpMirrored: return {width - 1 - x, y};
    case ImageOrientation::DownMirrored: return {x, height - 1 - y};
    case ImageOrientation::LeftMirrored: return {y, x};
    case ImageOrientation::RightMirrored: return {height - 1 - y, width - 1 - x};
    }
    return {x, y};
}

bool isSideways(ImageOrientation orientation) {
    return orientation == ImageOrientation::Left || orientation == ImageOrientation::Right ||
           orientation == ImageOrientation::LeftMirrored || orientation == ImageOrientation::RightMirrored;
}

} // namespace

std::vector<uint8_t> iControlMisc::rgbaDataFromImage(const PixelImage& image, long width, long height, long* size) {
    if (size) *size = 0;
    if (image.isNull() || width <= 0 || height <= 0) return {};
    const long sourceHeight = image.height();
    const auto columns = coverage(image.width(), width);
    const auto rows = coverage(sourceHeight, height);

    // Each source row scaled across, premultiplied.
    std::vector<float> across(static_cast<size_t>(sourceHeight) * width * 4);
    for (long y = 0; y < sourceHeight; ++y) {
        const uint8_t* row = image.pixel(0, static_cast<int>(y));
        float* out = &across[static_cast<size_t>(y) * width * 4];
        for (long x = 0; x < width; ++x, out += 4) {
            float red = 0, green = 0, blue = 0, alpha = 0;
            for (const Tap& tap : columns[static_cast<size_t>(x)]) {
                const uint8_t* p = row + tap.source * 4;
                const float share = p[3] * tap.weight;
                red += p[0] * share;
                green += p[1] * share;
                blue += p[2] * share;
                alpha += share;
            }
            out[0] = red / 255;
            out[1] = green / 255;
            out[2] = blue / 255;
            out[3] = alpha;
        }
    }

    const size_t rowLength = static_cast<size_t>(width) * 4;
    std::vector<uint8_t> pixels(rowLength * height);
    std::vector<float> down(rowLength);
    for (long y = 0; y < height; ++y) {
        std::fill(down.begin(), down.end(), 0.0f);
        for (const Tap& tap : rows[static_cast<size_t>(y)]) {
            const float* source = &across[static_cast<size_t>(tap.source) * rowLength];
            for (size_t i = 0; i < rowLength; ++i) down[i] += source[i] * tap.weight;
        }
        uint8_t* out = &pixels[static_cast<size_t>(y) * rowLength];
        for (size_t i = 0; i < rowLength; ++i) out[i] = toByte(down[i]);
    }
    if (size) *size = static_cast<long>(pixels.size());
    return pixels;
}

PixelImage iControlMisc::rotateImage(const PixelImage& image, ImageOrientation orientation) {
    if (image.isNull()) return {};
    const bool sideways = isSideways(orientation);
    const long width = sideways ? image.height() : image.width();
    const long height = sideways ? image.width() : image.height();
    PixelImage upright(static_cast<int>(width), static_cast<int>(height));
    for (long y = 0; y < height; ++y) {
        for (long x = 0; x < width; ++x) {
            const StoredPosition from = storedPosition(orientation, x, y, width, height);
            std::copy_n(image.pixel(static_cast<int>(from.x), static_cast<int>(from.y)), 4,
                        upright.pixel(static_cast<int>(x), static_cast<int>(y)));
        }
    }
    return upright;
}

PixelImage iControlMisc::rotateImage(const PixelImage& image, ImageOrientation orientation, float width, float height) {
    if (image.isNull() || width < 1 || height < 1) return {};
    // The upright picture fills width x height, or height x width when it was stored sideways.
    const bool sideways = isSideways(orientation);
    return scaleImage(rotateImage(image, orientation), static_cast<long>(sideways ? height : width),
                      static_cast<long>(sideways ? width : height));
}

PixelImage iControlMisc::resizeImage(const PixelImage& image, float width) {
    if (image.isNull() || width < 1) return {};
    const long targetWidth = static_cast<long>(width);
    const long targetHeight =
        std::max(1L, std::lround(static_cast<double>(image.height()) * targetWidth / image.width()));
    return scaleImage(image, targetWidth, targetHeight);
}

PixelImage iControlMisc::scaleImage(const PixelImage& image, long targetWidth, long targetHeight) {
    long size = 0;
    std::vector<uint8_t> pixels = rgbaDataFromImage(image, targetWidth, targetHeight, &size);
    // Back to straight alpha, as pictures hold it.
    for (size_t i = 0; i < pixels.size(); i += 4) {
        const uint8_t alpha = pixels[i + 3];
        for (size_t c = 0; c < 3; ++c) pixels[i + c] = alpha == 0 ? 0 : toByte(pixels[i + c] * 255.0 / alpha);
    }
    return PixelImage(static_cast<int>(targetWidth), static_cast<int>(targetHeight), std::move(pixels));
}

std::optional<PixelImage> iControlMisc::imageNamed(const std::string& name) {
    const std::filesystem::path resources(TAVLO_RESOURCES_DIR);
    for (const std::filesystem::path& folder : {resources / "images", resources}) {
        if (auto image = PixelImage::fromFile(folder / name, nullptr)) return image;
    }
    return std::nullopt;
}

long iControlMisc::leveledColor(long grey, long level, bool ignoreWhite) {
    if (level < 51 && ignoreWhite && grey == 255) return 255;
    return toByte(static_cast<double>(grey) + static_cast<double>(level - 50) * 2.55);
}

void iControlMisc::makeDiffusionImageData(std::span<uint8_t> pixels, long width, long height, long level,
                                          bool ignoreWhite) {
    if (width <= 0 || height <= 0 || pixels.size() < static_cast<size_t>(width) * height * 4) return;
    const size_t count = static_cast<size_t>(width) * height;

    // Grey pass: every colour brightened by 38.25 (truncated: 38 on whole values, at most 255),
    // their mean rounded ((2 x sum + 3) / 6 is sum / 3 rounded), then levelled.
    uint8_t levelled[256];
    for (long grey = 0; grey < 256; ++grey)
        levelled[grey] = static_cast<uint8_t>(leveledColor(grey, level, ignoreWhite));
    for (size_t i = 0; i < count; ++i) {
        uint8_t* p = &pixels[i * 4];
        long sum = 0;
        for (int c = 0; c < 3; ++c) sum += std::min(255L, p[c] + 38L);
        p[0] = p[1] = p[2] = levelled[(2 * sum + 3) / 6];
    }

    // Floyd-Steinberg: each pixel becomes black or white, its error shared in sixteenths by the
    // neighbours right and below that are still to come; each share is added rounded half away
    // from zero and the result limited to 0..255.
    auto spread = [&](long x, long y, long error, long sixteenths) {
        if (x < 0 || x >= width || y >= height) return;
        uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
        const long scaled = 16 * p[0] + sixteenths * error;
        const long value = scaled >= 0 ? (scaled + 8) / 16 : -((-scaled + 8) / 16);
        p[0] = p[1] = p[2] = static_cast<uint8_t>(std::clamp(value, 0L, 255L));
    };
    for (long y = 0; y < height; ++y) {
        for (long x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
            const long grey = p[0];
            const long value = grey >= 128 ? 255 : 0;
            const long error = grey - value;
            spread(x + 1, y, error, 7);
            spread(x - 1, y + 1, error, 3);
            spread(x, y + 1, error, 5);
            spread(x + 1, y + 1, error, 1);
            p[0] = p[1] = p[2] = static_cast<uint8_t>(value);
        }
    }
}

} // namespace tavlo::printerlib
