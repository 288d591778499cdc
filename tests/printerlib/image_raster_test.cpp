#include "printerlib/iControlMisc.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tavlo;
using namespace tavlo::printerlib;
using Bytes = std::vector<uint8_t>;

namespace {

// A premultiplied buffer of one colour.
Bytes solid(long width, long height, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
    Bytes pixels;
    for (long i = 0; i < width * height; ++i) pixels.insert(pixels.end(), {red, green, blue, alpha});
    return pixels;
}

PixelImage picture(int width, int height, const Bytes& rgba) { return PixelImage(width, height, rgba); }

// The row counts of the compressed bands in a block, checking each band's frame.
std::vector<long> compressedBandRows(const Bytes& data) {
    std::vector<long> rows;
    size_t at = 0;
    while (at < data.size()) {
        EXPECT_EQ(Bytes(data.begin() + at, data.begin() + at + 8), (Bytes{0x08, 0x43, 0x52, 0, 0, 0, 0, 0}));
        rows.push_back(data[at + 10] | (data[at + 11] << 8));
        const Bytes end{0x08, 0x43, 0x52, 0xFF, 0x00};
        auto found = std::search(data.begin() + at + 12, data.end(), end.begin(), end.end());
        if (found == data.end()) {
            ADD_FAILURE() << "band without its end";
            break;
        }
        at = static_cast<size_t>(found - data.begin()) + end.size();
    }
    return rows;
}

// The share of dots in a packed raster block of one band (after its 8-byte head).
double blackShare(const Bytes& gsv, long width, long height) {
    long dots = 0;
    for (size_t i = 8; i < gsv.size(); ++i) dots += __builtin_popcount(gsv[i]);
    return static_cast<double>(dots) / static_cast<double>(width * height);
}

} // namespace

TEST(ImageRaster, ThresholdIsTheLevelInSteps255Truncated) {
    const std::vector<std::pair<long, long>> table{{0, 0},    {1, 2},    {50, 127}, {78, 198},
                                                   {80, 204}, {99, 252}, {100, 255}};
    for (auto [level, threshold] : table) EXPECT_EQ(iControlMisc::threshold(level), threshold) << "level " << level;
}

TEST(ImageRaster, APixelPrintsAsItsColoursAlphaAndTheLevelSay) {
    struct Case {
        uint8_t r, g, b, a;
        long level;
        bool dot;
    };
    const std::vector<Case> cases{
        {200, 200, 200, 255, 80, true},   // 200 <= 204
        {200, 200, 200, 255, 78, false},  // 200 > 198
        {250, 10, 250, 255, 50, true},    // one dark colour is enough
        {0, 0, 0, 255, 0, true},          // black at the lowest level
        {0, 0, 0, 0, 100, false},         // transparent
        {0, 0, 0, 100, 50, false},        // faint: alpha below the threshold
        {255, 255, 255, 255, 100, false}, // white never prints, not even at 100
        {128, 128, 128, 128, 50, false},  // half-transparent white is white on the paper
        {254, 254, 254, 255, 100, true},  // the lightest grey at 100
    };
    for (const Case& c : cases) {
        const Bytes pixel{c.r, c.g, c.b, c.a};
        const Bytes raster = iControlMisc::makeMonoGsvData(pixel, 1, 1, c.level, false);
        ASSERT_EQ(raster.size(), 9u);
        EXPECT_EQ(raster[8] == 0x80, c.dot)
            << int(c.r) << "," << int(c.g) << "," << int(c.b) << "," << int(c.a) << " at level " << c.level;
    }
    EXPECT_EQ(iControlMisc::getMonoDotWithRed(200, 200, 200, 80), 1);
    EXPECT_EQ(iControlMisc::getMonoDotWithRed(200, 200, 200, 78), 0);
    EXPECT_EQ(iControlMisc::getMonoDotWithRed(255, 255, 255, 100), 0);
}

TEST(ImageRaster, RasterAtThresholdZeroPrintsEveryPixelButWhite) {
    const Bytes pixels{10, 10, 10, 255, 255, 255, 255, 255, 200, 200, 200, 255, 0, 0, 0, 0};
    EXPECT_EQ(iControlMisc::makeMonoGsvData(pixels, 4, 1, 0, false),
              (Bytes{0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0xA0}));
}

TEST(ImageRaster, TenBlackDotsMakeOneRasterBandPaddedWithWhite) {
    EXPECT_EQ(iControlMisc::makeMonoGsvData(solid(10, 1, 0, 0, 0, 255), 10, 1, 50, false),
              (Bytes{0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x01, 0x00, 0xFF, 0xC0}));
}

TEST(ImageRaster, SplitRasterComesInBandsOf123Rows) {
    const Bytes raster = iControlMisc::makeMonoGsvData(solid(8, 250, 0, 0, 0, 255), 8, 250, 50, true);
    // 123 + 123 + 4 rows of one byte, each band with its 8-byte head.
    ASSERT_EQ(raster.size(), 3 * 8 + 250u);
    EXPECT_EQ(Bytes(raster.begin(), raster.begin() + 8), (Bytes{0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 123, 0x00}));
    EXPECT_EQ(Bytes(raster.begin() + 131, raster.begin() + 139),
              (Bytes{0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 123, 0x00}));
    EXPECT_EQ(Bytes(raster.begin() + 262, raster.begin() + 270), (Bytes{0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 4, 0x00}));
}

TEST(ImageRaster, WhiteCompressesToOneRunPerBand) {
    EXPECT_EQ(iControlMisc::makeCompressImageData(solid(16, 2, 255, 255, 255, 255), 16, 2, 50, false),
              (Bytes{0x08, 0x43, 0x52, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x02, 0x00, 0x00, 0x04, 0x08, 0x43,
                     0x52, 0xFF, 0x00}));
}

TEST(ImageRaster, CompressedBandsSplitAt246Rows) {
    EXPECT_EQ(compressedBandRows(iControlMisc::makeCompressImageData(solid(8, 300, 0, 0, 0, 255), 8, 300, 50, true)),
              (std::vector<long>{246, 54}));
    EXPECT_EQ(compressedBandRows(iControlMisc::makeCompressImageData(solid(8, 300, 0, 0, 0, 255), 8, 300, 50, false)),
              (std::vector<long>{300}));
    EXPECT_EQ(compressedBandRows(iControlMisc::makeCompressImageData(solid(8, 492, 0, 0, 0, 255), 8, 492, 50, true)),
              (std::vector<long>{246, 246}));
}

TEST(ImageRaster, RunsOfZeroAndFFAreCountedOtherBytesGoAsTheyAre) {
    // 2400 white dots: one row of 300 zero bytes.
    const Bytes white = iControlMisc::makeCompressImageData(solid(2400, 1, 255, 255, 255, 255), 2400, 1, 50, false);
    EXPECT_EQ(Bytes(white.begin() + 12, white.end() - 5), (Bytes{0x00, 0xFF, 0x00, 0x2D}));

    // Black, black, then one dot in eight, then black: FF run, a literal, FF run.
    Bytes pixels;
    for (long x = 0; x < 32; ++x) {
        const bool black = x < 16 || x == 16 || x >= 24;
        const Bytes pixel = black ? Bytes{0, 0, 0, 255} : Bytes{255, 255, 255, 255};
        pixels.insert(pixels.end(), pixel.begin(), pixel.end());
    }
    const Bytes mixed = iControlMisc::makeCompressImageData(pixels, 32, 1, 50, false);
    EXPECT_EQ(Bytes(mixed.begin() + 12, mixed.end() - 5), (Bytes{0xFF, 0x02, 0x80, 0xFF, 0x01}));

    const Bytes zeros(300, 0);
    EXPECT_EQ(iControlMisc::CompressData(0, zeros.data(), 0, 300), 255);
    EXPECT_EQ(iControlMisc::CompressData(0, zeros.data(), 255, 300), 45);
    EXPECT_EQ(iControlMisc::CompressData(0xFF, zeros.data(), 0, 300), 0);
    EXPECT_EQ(iControlMisc::CompressData(0, zeros.data(), 10, 12), 2);
}

TEST(ImageRaster, ColumnBandsOf24DotsCoverTheRowsTopFirst) {
    // Column 0 black, column 1 white; 25 rows make two bands, the second holding one row.
    Bytes pixels;
    for (long y = 0; y < 25; ++y) pixels.insert(pixels.end(), {0, 0, 0, 255, 255, 255, 255, 255});
    const Bytes bands = iControlMisc::makeMonoImageData(pixels, 2, 25, 50);
    EXPECT_EQ(bands, (Bytes{0x1B, 0x2A, 0x21, 0x02, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x1B, 0x4A, 0x07,
                            0x1B, 0x2A, 0x21, 0x02, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1B, 0x4A, 0x07}));
}

TEST(ImageRaster, ColumnBandsOf8DotsIgnoreAlphaButNotWhite) {
    // Faint black prints (no alpha test); transparent does not.
    const Bytes pixels{0, 0, 0, 40, 0, 0, 0, 0};
    EXPECT_EQ(iControlMisc::make8bitMonoImageData(pixels, 1, 2, 50),
              (Bytes{0x1B, 0x2A, 0x01, 0x01, 0x00, 0x80, 0x1B, 0x4A, 0x07}));
    EXPECT_EQ(iControlMisc::makeMonoImageData(pixels, 1, 2, 50).at(5), 0x00);
}

TEST(ImageRaster, LevelledGreyLightensAboveFiftyAndDarkensBelow) {
    struct Case {
        long grey, level;
        bool ignoreWhite;
        long expected;
    };
    const std::vector<Case> cases{
        {100, 50, false, 100}, {100, 60, false, 126}, {100, 40, false, 75}, {250, 100, false, 255}, {10, 0, false, 0},
        {255, 40, true, 255},  {255, 40, false, 230}, {255, 51, true, 255}, {254, 40, true, 229},
    };
    for (const Case& c : cases)
        EXPECT_EQ(iControlMisc::leveledColor(c.grey, c.level, c.ignoreWhite), c.expected)
            << c.grey << " at " << c.level << (c.ignoreWhite ? " ignoring white" : "");
}

TEST(ImageRaster, DitheringMidGreyDiffusesItIntoAnEvenPattern) {
    const long width = 64, height = 64;
    Bytes pixels = solid(width, height, 128, 128, 128, 255);
    iControlMisc::makeDiffusionImageData(pixels, width, height, 50, false);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        ASSERT_TRUE(pixels[i] == 0 || pixels[i] == 255);
        ASSERT_EQ(pixels[i], pixels[i + 1]);
        ASSERT_EQ(pixels[i], pixels[i + 2]);
        ASSERT_EQ(pixels[i + 3], 255);
    }
    // 128 brightened to 166: about 1 - 166/255 of the dots are black, and so in every corner.
    const double expected = 1 - 166.0 / 255;
    const Bytes raster = iControlMisc::makeMonoGsvData(pixels, width, height, 50, false);
    EXPECT_NEAR(blackShare(raster, width, height), expected, 0.01);
    for (long top : {0L, 32L}) {
        for (long left : {0L, 32L}) {
            Bytes quarter;
            for (long y = top; y < top + 32; ++y)
                quarter.insert(quarter.end(), pixels.begin() + (y * width + left) * 4,
                               pixels.begin() + (y * width + left + 32) * 4);
            EXPECT_NEAR(blackShare(iControlMisc::makeMonoGsvData(quarter, 32, 32, 50, false), 32, 32), expected, 0.04);
        }
    }
    // Diffused, not a threshold: no row is all one colour, and neighbouring rows differ.
    for (long y = 0; y < height; ++y) {
        const Bytes row(raster.begin() + 8 + y * 8, raster.begin() + 16 + y * 8);
        EXPECT_NE(row, Bytes(8, 0x00));
        EXPECT_NE(row, Bytes(8, 0xFF));
    }
    EXPECT_NE(Bytes(raster.begin() + 8, raster.begin() + 16), Bytes(raster.begin() + 16, raster.begin() + 24));
}

TEST(ImageRaster, DitheringKeepsWhiteWhiteAndBlackBlack) {
    Bytes pixels = solid(8, 8, 255, 255, 255, 255);
    iControlMisc::makeDiffusionImageData(pixels, 8, 8, 50, false);
    EXPECT_EQ(pixels, solid(8, 8, 255, 255, 255, 255));
    pixels = solid(8, 8, 0, 0, 0, 255);
    // Black brightens to 38, then diffuses: mostly black.
    iControlMisc::makeDiffusionImageData(pixels, 8, 8, 50, false);
    long black = 0;
    for (size_t i = 0; i < pixels.size(); i += 4) black += pixels[i] == 0;
    EXPECT_GE(black, 52);
}

TEST(ImageRaster, PixelsAreThePictureScaledAndPremultiplied) {
    // A 4 x 2 picture: left half opaque red, right half half-transparent white.
    Bytes rgba;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            x < 2 ? rgba.insert(rgba.end(), {255, 0, 0, 255}) : rgba.insert(rgba.end(), {255, 255, 255, 128});
    long size = 0;
    EXPECT_EQ(iControlMisc::rgbaDataFromImage(picture(4, 2, rgba), 4, 2, &size),
              (Bytes{255, 0, 0, 255, 255, 0, 0, 255, 128, 128, 128, 128, 128, 128, 128, 128,
                     255, 0, 0, 255, 255, 0, 0, 255, 128, 128, 128, 128, 128, 128, 128, 128}));
    EXPECT_EQ(size, 32);

    // Halved: each pixel the mean of two by two.
    EXPECT_EQ(iControlMisc::rgbaDataFromImage(picture(4, 2, rgba), 2, 1, &size),
              (Bytes{255, 0, 0, 255, 128, 128, 128, 128}));
    EXPECT_EQ(size, 8);

    // Doubled: each pixel repeated.
    const Bytes doubled = iControlMisc::rgbaDataFromImage(picture(4, 2, rgba), 8, 4, &size);
    EXPECT_EQ(size, 8 * 4 * 4);
    EXPECT_EQ(Bytes(doubled.begin() + 3 * 32 + 12, doubled.begin() + 3 * 32 + 20),
              (Bytes{255, 0, 0, 255, 128, 128, 128, 128}));

    EXPECT_TRUE(iControlMisc::rgbaDataFromImage(PixelImage(), 4, 2, &size).empty());
    EXPECT_EQ(size, 0);
    EXPECT_TRUE(iControlMisc::rgbaDataFromImage(picture(4, 2, rgba), 0, 2, &size).empty());
}

TEST(ImageRaster, RotationStandsThePictureUpright) {
    // Stored 3 x 2, pixels numbered by their red byte: 1 2 3 / 4 5 6.
    Bytes stored;
    for (uint8_t n = 1; n <= 6; ++n) stored.insert(stored.end(), {n, 0, 0, 255});
    auto reds = [](const PixelImage& image) {
        std::vector<int> out;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) out.push_back(image.pixel(x, y)[0]);
        return out;
    };
    struct Case {
        ImageOrientation orientation;
        int width;
        std::vector<int> upright;
    };
    const std::vector<Case> cases{
        {ImageOrientation::Up, 3, {1, 2, 3, 4, 5, 6}},
        {ImageOrientation::Down, 3, {6, 5, 4, 3, 2, 1}},
        {ImageOrientation::UpMirrored, 3, {3, 2, 1, 6, 5, 4}},
        {ImageOrientation::DownMirrored, 3, {4, 5, 6, 1, 2, 3}},
        {ImageOrientation::Left, 2, {3, 6, 2, 5, 1, 4}},
        {ImageOrientation::Right, 2, {4, 1, 5, 2, 6, 3}},
        {ImageOrientation::LeftMirrored, 2, {1, 4, 2, 5, 3, 6}},
        {ImageOrientation::RightMirrored, 2, {6, 3, 5, 2, 4, 1}},
    };
    for (const Case& c : cases) {
        const PixelImage upright = iControlMisc::rotateImage(picture(3, 2, stored), c.orientation);
        EXPECT_EQ(upright.width(), c.width) << static_cast<long>(c.orientation);
        EXPECT_EQ(reds(upright), c.upright) << static_cast<long>(c.orientation);
    }
}

TEST(ImageRaster, ResizeKeepsTheProportionsAndStraightAlpha) {
    const PixelImage resized = iControlMisc::resizeImage(PixelImage(10, 4, solid(10, 4, 255, 255, 255, 128)), 5);
    EXPECT_EQ(resized.width(), 5);
    EXPECT_EQ(resized.height(), 2);
    EXPECT_EQ(resized.rgba(), solid(5, 2, 255, 255, 255, 128));
}

TEST(ImageRaster, TheOperationsNoPrintingPathUses) {
    // Rotated into a size: a picture stored sideways fills the size turned.
    const PixelImage stored(4, 2, solid(4, 2, 0, 0, 0, 255));
    const PixelImage upright = iControlMisc::rotateImage(stored, ImageOrientation::Right, 10, 20);
    EXPECT_EQ(upright.width(), 20);
    EXPECT_EQ(upright.height(), 10);
    const PixelImage same = iControlMisc::rotateImage(stored, ImageOrientation::Down, 10, 20);
    EXPECT_EQ(same.width(), 10);
    EXPECT_EQ(same.height(), 20);
    EXPECT_TRUE(iControlMisc::rotateImage(stored, ImageOrientation::Up, 0, 5).isNull());

    // With opacity: nothing for a light pixel; a dark one only when the threshold reaches its
    // opacity.
    EXPECT_EQ(iControlMisc::getMonoDotWithRed(255, 255, 255, 100, 0), 0);
    EXPECT_EQ(iControlMisc::getMonoDotWithRed(10, 200, 200, 50, 100), 1);
    EXPECT_EQ(iControlMisc::getMonoDotWithRed(10, 200, 200, 50, 200), 0);
    EXPECT_EQ(iControlMisc::get8bitMonoDot(255, 0), 1);

    // The terminal's own pictures by name.
    const std::optional<PixelImage> button = iControlMisc::imageNamed("blueButton.png");
    ASSERT_TRUE(button);
    EXPECT_GT(button->width(), 0);
    EXPECT_FALSE(iControlMisc::imageNamed("no-such-picture.png"));
}

TEST(ImageRaster, ABufferTooSmallForItsSizeGivesNothing) {
    const Bytes pixels = solid(2, 2, 0, 0, 0, 255);
    EXPECT_TRUE(iControlMisc::makeMonoGsvData(pixels, 2, 3, 50, false).empty());
    EXPECT_TRUE(iControlMisc::makeMonoImageData(pixels, 3, 2, 50).empty());
    EXPECT_TRUE(iControlMisc::makeCompressImageData(pixels, 2, 0, 50, true).empty());
    Bytes copy = pixels;
    iControlMisc::makeDiffusionImageData(copy, 4, 4, 50, false);
    EXPECT_EQ(copy, pixels);
}
