// Pictures read from PNG and JPEG files with their pixels, and clear errors for anything else.
#include "platform/graphics/PixelImage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace tavlo {
namespace {

std::string fixture(const char* name) { return std::string(TAVLO_FIXTURES_DIR) + "/images/" + name; }

std::vector<uint8_t> fileBytes(const char* name) {
    std::ifstream in(fixture(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PixelImage, ReadsAPngWithItsAlpha) {
    Error error;
    std::optional<PixelImage> image = PixelImage::fromFile(fixture("strip-10x1.png"), &error);
    ASSERT_TRUE(image) << error.localizedDescription();
    EXPECT_EQ(image->width(), 10);
    EXPECT_EQ(image->height(), 1);
    EXPECT_EQ(std::vector<uint8_t>(image->pixel(0, 0), image->pixel(0, 0) + 4), (std::vector<uint8_t>{0, 0, 0, 255}));
    EXPECT_EQ(image->pixel(2, 0)[3], 0); // transparent
    EXPECT_EQ(std::vector<uint8_t>(image->pixel(3, 0), image->pixel(3, 0) + 4),
              (std::vector<uint8_t>{200, 200, 200, 255}));
}

TEST(PixelImage, ReadsAJpegAsOpaquePixels) {
    Error error;
    std::optional<PixelImage> image = PixelImage::fromData(fileBytes("signature-40x20.jpg"), &error);
    ASSERT_TRUE(image) << error.localizedDescription();
    EXPECT_EQ(image->width(), 40);
    EXPECT_EQ(image->height(), 20);
    // The stroke across rows 9 and 10 is dark, the paper around it light (JPEG is lossy).
    EXPECT_LT(image->pixel(20, 9)[0], 60);
    EXPECT_GT(image->pixel(20, 2)[0], 200);
    EXPECT_EQ(image->pixel(0, 0)[3], 255);
}

TEST(PixelImage, RefusesWhatIsNoPictureWithAnError) {
    std::vector<uint8_t> png = fileBytes("strip-10x1.png");
    std::vector<uint8_t> jpeg = fileBytes("signature-40x20.jpg");
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
    };
    const Case cases[] = {
        {"empty", {}},
        {"text", {'h', 'e', 'l', 'l', 'o'}},
        {"cut PNG", std::vector<uint8_t>(png.begin(), png.begin() + 40)},
        {"cut JPEG", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 100)},
    };
    for (const Case& c : cases) {
        Error error;
        EXPECT_FALSE(PixelImage::fromData(c.data, &error)) << c.what;
        EXPECT_NE(error.localizedDescription().find("Unable to read the picture"), std::string::npos) << c.what;
    }
    Error error;
    EXPECT_FALSE(PixelImage::fromFile(fixture("no-such-picture.png"), &error));
    EXPECT_FALSE(error.localizedDescription().empty());
}

} // namespace
} // namespace tavlo
