// Pictures for receipts: scaling into a given size and the dark-or-paper map.
#include "core/util/Utils.h"

#include <gtest/gtest.h>

namespace tavlo {
namespace {

PixelImage filled(int width, int height, std::array<uint8_t, 4> colour) {
    PixelImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) std::copy(colour.begin(), colour.end(), image.pixel(x, y));
    return image;
}

TEST(UtilsImages, ScalingKeepsTheAspectRatioAtTheTopLeftOfATransparentCanvas) {
    // 40 x 20 into 10 x 10: one factor of 4 for both sides gives 10 x 5, the rest transparent.
    PixelImage scaled = Utils::imageWithImage(filled(40, 20, {0, 0, 0, 255}), 10, 10);
    ASSERT_EQ(scaled.width(), 10);
    ASSERT_EQ(scaled.height(), 10);
    EXPECT_EQ(scaled.pixel(9, 4)[3], 255);
    EXPECT_EQ(scaled.pixel(0, 5)[3], 0);

    // Growing: 2 x 1 into 8 x 8 is 8 x 4; each half keeps its colour.
    PixelImage two(2, 1);
    std::fill(two.pixel(0, 0), two.pixel(0, 0) + 4, 255);
    two.pixel(1, 0)[3] = 255; // black
    PixelImage grown = Utils::imageWithImage(two, 8, 8);
    EXPECT_EQ(grown.pixel(3, 3)[0], 255);
    EXPECT_EQ(grown.pixel(4, 3)[0], 0);
    EXPECT_EQ(grown.pixel(4, 3)[3], 255);
    EXPECT_EQ(grown.pixel(4, 4)[3], 0);

    // Shrinking averages: a checkerboard halves to grey.
    PixelImage board(2, 2);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{1, 1}}) std::fill(board.pixel(x, y), board.pixel(x, y) + 4, 255);
    board.pixel(1, 0)[3] = board.pixel(0, 1)[3] = 255;
    PixelImage grey = Utils::imageWithImage(board, 1, 1);
    EXPECT_NEAR(grey.pixel(0, 0)[0], 128, 1);
    EXPECT_EQ(grey.pixel(0, 0)[3], 255);

    PixelImage empty = Utils::imageWithImage(PixelImage(), 4, 3);
    EXPECT_EQ(empty.width(), 4);
    EXPECT_EQ(empty.pixel(3, 2)[3], 0);
}

TEST(UtilsImages, DarkWhereTheColourOnPaperSumsBelow631) {
    struct Case {
        std::array<uint8_t, 4> rgba;
        uint8_t dot;
    };
    const Case cases[] = {
        {{0, 0, 0, 255}, 0xFF},    {{255, 255, 255, 255}, 0}, {{210, 210, 210, 255}, 0xFF},
        {{210, 210, 211, 255}, 0}, {{0, 0, 0, 0}, 0},  // transparent: paper
        {{0, 0, 0, 128}, 0xFF},    {{0, 0, 0, 40}, 0}, // faint black on paper is light
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utils::escposBitmapFromImage(filled(1, 1, c.rgba)), std::vector<uint8_t>{c.dot})
            << int(c.rgba[0]) << "," << int(c.rgba[1]) << "," << int(c.rgba[2]) << "," << int(c.rgba[3]);
    EXPECT_EQ(Utils::escposBitmapFromImage(filled(3, 2, {0, 0, 0, 255})).size(), 6u);
    EXPECT_TRUE(Utils::escposBitmapFromImage(PixelImage()).empty());
}

} // namespace
} // namespace tavlo
