#pragma once

#include "platform/graphics/PixelImage.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tavlo::printerlib {

// How a picture's stored pixels are to be turned to stand upright (the numbering of the platform
// image's orientation): the stored rows are the picture's top (Up), bottom (Down), left side
// (Left) or right side (Right), each also mirrored.
enum class ImageOrientation : long {
    Up = 0,
    Down = 1,
    Left = 2,
    Right = 3,
    UpMirrored = 4,
    DownMirrored = 5,
    LeftMirrored = 6,
    RightMirrored = 7,
};

// The size of a pixel buffer.
struct RasterSize {
    long width = 0;
    long height = 0;
    bool operator==(const RasterSize&) const = default;
};

// Turns pictures into what a thermal printer prints. A pixel buffer holds width x height pixels of
// four bytes, red, green, blue and alpha, the colours premultiplied by alpha, rows from the top
// without padding. A level is a darkness threshold in percent (0 to 100): a pixel prints a dot
// when one of its colours is at most the threshold (level x 255 / 100) and its alpha at least
// that. A pixel that shows white on the paper (each colour at least its alpha: opaque white,
// transparent) never prints, at any level. Dots are packed eight to a byte, the leftmost dot in
// bit 0x80, each row padded with white to whole bytes.
class iControlMisc {
public:
    // Rows per raster band when the raster is split, and per compressed band.
    static constexpr long kGsvSplitRows = 123;
    static constexpr long kCompressedSplitRows = 246;

    // The picture drawn scaled into width x height pixels over transparent (premultiplied
    // buffer); `size` receives its byte count. Empty for an empty picture or size.
    static std::vector<uint8_t> rgbaDataFromImage(const PixelImage& image, long width, long height, long* size);
    // The picture turned upright as its orientation says.
    static PixelImage rotateImage(const PixelImage& image, ImageOrientation orientation);
    // The same, drawn width x height (height x width for the sideways orientations).
    static PixelImage rotateImage(const PixelImage& image, ImageOrientation orientation, float width, float height);
    // The picture scaled to `width`, its height in proportion.
    static PixelImage resizeImage(const PixelImage& image, float width);
    // The picture scaled to width x height.
    static PixelImage scaleImage(const PixelImage& image, long width, long height);
    // A picture of the terminal's resources (resources/images, then resources) by its file name.
    static std::optional<PixelImage> imageNamed(const std::string& name);

    // The threshold of a level: level x 255 / 100, truncated.
    static long threshold(long level) { return level * 255 / 100; }
    // 1 (a dot) when one of the colours is at most the level's threshold, else 0; white (all
    // three 255) is 0 at every level.
    static int getMonoDotWithRed(long red, long green, long blue, long level);
    // The same for a pixel with alpha: a pixel that would print prints only when its opacity is
    // at most the threshold.
    static int getMonoDotWithRed(long red, long green, long blue, long level, long opacity);
    // A dot of the 8-dot column bands, which print every pixel they are given: always 1.
    static int get8bitMonoDot(long, long) { return 1; }
    // A grey adjusted for a level: above 50 lighter, below 50 darker (2.55 per step), limited to
    // 0..255; with `ignoreWhite`, white stays white at levels up to 50.
    static long leveledColor(long grey, long level, bool ignoreWhite);
    // Dithers the buffer in place (alpha untouched): each colour brightened by 38.25, the grey
    // levelled, then Floyd-Steinberg error diffusion to black and white.
    static void makeDiffusionImageData(std::span<uint8_t> pixels, long width, long height, long level,
                                       bool ignoreWhite);

    // Raster bands: GS v 0 commands of all rows, or of at most 123 rows each when split.
    static std::vector<uint8_t> makeMonoGsvData(std::span<const uint8_t> pixels, long width, long height, long level,
                                                bool splitHeight);
    // 24-dot column bands: ESC * 33, three bytes per column, ESC J 7 after each band.
    static std::vector<uint8_t> makeMonoImageData(std::span<const uint8_t> pixels, long width, long height, long level);
    // 8-dot column bands: ESC * 1, one byte per column, ESC J 7; alpha is not looked at.
    static std::vector<uint8_t> make8bitMonoImageData(std::span<const uint8_t> pixels, long width, long height,
                                                      long level);
    // The length (at most 255) of the run of `value` from `currentPos`, stopping before `endPos`.
    static long CompressData(uint8_t value, const uint8_t* srcData, long currentPos, long endPos);
    // Run-length compressed bands (BS "CR"), one for the whole picture or of at most 246 rows
    // each when split.
    static std::vector<uint8_t> makeCompressImageData(std::span<const uint8_t> pixels, long width, long height,
                                                      long level, bool splitHeight);
};

} // namespace tavlo::printerlib
