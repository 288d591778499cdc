// The command layouts of a pixel buffer: raster bands, column bands and compressed bands.
#include "printerlib/iControlMisc.h"

#include "printerlib/CommandBytes.h"

#include <algorithm>

namespace tavlo::printerlib {

namespace {

// Which pixels print a dot, besides the white ones, which never do.
enum class DotRule {
    Threshold,   // a colour at most the threshold and alpha at least it
    ColoursOnly, // a colour at most the threshold, whatever the alpha
    EveryPixel,  // every pixel (raster at threshold 0)
};

bool anyColourAtMost(long red, long green, long blue, long threshold) {
    return red <= threshold || green <= threshold || blue <= threshold;
}

// White on the paper: each colour at least the alpha (opaque white, transparent, or a white
// that the dithering left on a see-through pixel).
bool showsWhite(const uint8_t* p) { return p[0] >= p[3] && p[1] >= p[3] && p[2] >= p[3]; }

bool isDot(const uint8_t* p, long threshold, DotRule rule) {
    if (showsWhite(p)) return false;
    switch (rule) {
    case DotRule::EveryPixel: return true;
    case DotRule::ColoursOnly: return anyColourAtMost(p[0], p[1], p[2], threshold);
    case DotRule::Threshold: return anyColourAtMost(p[0], p[1], p[2], threshold) && p[3] >= threshold;
    }
    return false;
}

long bytesPerRow(long width) { return (width + 7) / 8; }

bool fits(std::span<const uint8_t> pixels, long width, long height) {
    return width > 0 && height > 0 && pixels.size() >= static_cast<size_t>(width) * height * 4;
}

// Appends rows [top, top + rows) packed eight dots to a byte, leftmost dot first.
void packRows(std::vector<uint8_t>& out, std::span<const uint8_t> pixels, long width, long top, long rows,
              long threshold, DotRule rule) {
    for (long y = top; y < top + rows; ++y) {
        const uint8_t* p = &pixels[static_cast<size_t>(y) * width * 4];
        uint8_t byte = 0;
        for (long x = 0; x < width; ++x, p += 4) {
            if (isDot(p, threshold, rule)) byte |= static_cast<uint8_t>(0x80 >> (x % 8));
            if (x % 8 == 7) {
                out.push_back(byte);
                byte = 0;
            }
        }
        if (width % 8 != 0) out.push_back(byte);
    }
}

// Column bands of `dotsHigh` rows (8 or 24): per column, dotsHigh / 8 bytes top to bottom, the
// top dot in bit 0x80; rows past the picture are white.
std::vector<uint8_t> columnBands(std::span<const uint8_t> pixels, long width, long height, long level, long dotsHigh,
                                 uint8_t mode, DotRule rule) {
    if (!fits(pixels, width, height)) return {};
    const long threshold = iControlMisc::threshold(level);
    const long bytesPerColumn = dotsHigh / 8;
    const long bands = (height + dotsHigh - 1) / dotsHigh;
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(bands * (bytesPerColumn * width + 8)));
    for (long band = 0; band < bands; ++band) {
        out.insert(out.end(), {0x1B, 0x2A, mode}); // ESC *
        appendLittleEndian16(out, width);
        for (long x = 0; x < width; ++x) {
            for (long k = 0; k < bytesPerColumn; ++k) {
                uint8_t byte = 0;
                for (long bit = 0; bit < 8; ++bit) {
                    const long y = band * dotsHigh + k * 8 + bit;
                    if (y < height && isDot(&pixels[(static_cast<size_t>(y) * width + x) * 4], threshold, rule))
                        byte |= static_cast<uint8_t>(0x80 >> bit);
                }
                out.push_back(byte);
            }
        }
        out.insert(out.end(), {0x1B, 0x4A, 0x07}); // ESC J 7: feed past the band
    }
    return out;
}

} // namespace

int iControlMisc::getMonoDotWithRed(long red, long green, long blue, long level) {
    if (red == 255 && green == 255 && blue == 255) return 0;
    return anyColourAtMost(red, green, blue, threshold(level)) ? 1 : 0;
}

int iControlMisc::getMonoDotWithRed(long red, long green, long blue, long level, long opacity) {
    if (getMonoDotWithRed(red, green, blue, level) == 0) return 0;
    return threshold(level) >= opacity ? 1 : 0;
}

std::vector<uint8_t> iControlMisc::makeMonoGsvData(std::span<const uint8_t> pixels, long width, long height, long level,
                                                   bool splitHeight) {
    if (!fits(pixels, width, height)) return {};
    const long threshold = iControlMisc::threshold(level);
    const DotRule rule = threshold == 0 ? DotRule::EveryPixel : DotRule::Threshold;
    const long rowBytes = bytesPerRow(width);
    const long bandRows = splitHeight ? kGsvSplitRows : height;
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(rowBytes * height + 8 * ((height + bandRows - 1) / bandRows)));
    for (long top = 0; top < height; top += bandRows) {
        const long rows = std::min(bandRows, height - top);
        out.insert(out.end(), {0x1D, 0x76, 0x30, 0x00}); // GS v 0, normal density
        appendLittleEndian16(out, rowBytes);
        appendLittleEndian16(out, rows);
        packRows(out, pixels, width, top, rows, threshold, rule);
    }
    return out;
}

std::vector<uint8_t> iControlMisc::makeMonoImageData(std::span<const uint8_t> pixels, long width, long height,
                                                     long level) {
    return columnBands(pixels, width, height, level, 24, 0x21, DotRule::Threshold);
}

std::vector<uint8_t> iControlMisc::make8bitMonoImageData(std::span<const uint8_t> pixels, long width, long height,
                                                         long level) {
    return columnBands(pixels, width, height, level, 8, 0x01, DotRule::ColoursOnly);
}

long iControlMisc::CompressData(uint8_t value, const uint8_t* srcData, long currentPos, long endPos) {
    long run = 0;
    while (currentPos + run < endPos && run < 255 && srcData[currentPos + run] == value) ++run;
    return run;
}

std::vector<uint8_t> iControlMisc::makeCompressImageData(std::span<const uint8_t> pixels, long width, long height,
                                                         long level, bool splitHeight) {
    if (!fits(pixels, width, height)) return {};
    const long rowBytes = bytesPerRow(width);
    std::vector<uint8_t> packed;
    packed.reserve(static_cast<size_t>(rowBytes * height));
    packRows(packed, pixels, width, 0, height, threshold(level), DotRule::Threshold);

    const long bandRows = splitHeight ? kCompressedSplitRows : height;
    std::vector<uint8_t> out;
    for (long top = 0; top < height; top += bandRows) {
        const long rows = std::min(bandRows, height - top);
        out.insert(out.end(), {0x08, 0x43, 0x52, 0x00, 0x00, 0x00, 0x00, 0x00}); // BS "CR"
        appendLittleEndian16(out, rowBytes * 8);
        appendLittleEndian16(out, rows);
        // 00 and FF go with the length of their run; any other byte as it is.
        const long end = (top + rows) * rowBytes;
        for (long at = top * rowBytes; at < end;) {
            const uint8_t byte = packed[static_cast<size_t>(at)];
            out.push_back(byte);
            if (byte == 0x00 || byte == 0xFF) {
                const long run = CompressData(byte, packed.data(), at, end);
                out.push_back(static_cast<uint8_t>(run));
                at += run;
            } else {
                ++at;
            }
        }
        out.insert(out.end(), {0x08, 0x43, 0x52, 0xFF, 0x00}); // band end
    }
    return out;
}

} // namespace tavlo::printerlib
