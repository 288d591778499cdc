#include "ControllerFixture.h"
#include "printerlib/BarcodeCommands.h"
#include "support/PdfFixture.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <fstream>

using namespace tavlo;
using namespace tavlo::printerlib;
using test::PrinterBytes;

namespace {

PixelImage solid(int width, int height, uint8_t grey, uint8_t alpha = 255) {
    std::vector<uint8_t> rgba;
    for (int i = 0; i < width * height; ++i) rgba.insert(rgba.end(), {grey, grey, grey, alpha});
    return PixelImage(width, height, std::move(rgba));
}

// A white picture with a black stroke across its middle row, as a signature on a receipt.
PixelImage signature(int width, int height) {
    PixelImage image = solid(width, height, 255);
    for (int x = 2; x < width - 2; ++x) std::fill_n(image.pixel(x, height / 2), 3, 0);
    return image;
}

// Every GS v 0 band of a block put together: the rows, bytesPerRow bytes each.
struct Raster {
    long bytesPerRow = 0;
    PrinterBytes rows;
    long height() const { return bytesPerRow ? static_cast<long>(rows.size()) / bytesPerRow : 0; }
    bool dot(long x, long y) const { return rows[static_cast<size_t>(y * bytesPerRow + x / 8)] & (0x80 >> (x % 8)); }
};
Raster rasterOf(const PrinterBytes& data, size_t from, std::vector<long>* bandRows = nullptr) {
    Raster raster;
    for (size_t at = from; at + 8 <= data.size();) {
        EXPECT_EQ(PrinterBytes(data.begin() + at, data.begin() + at + 4), (PrinterBytes{0x1D, 0x76, 0x30, 0x00}));
        raster.bytesPerRow = data[at + 4] | data[at + 5] << 8;
        const long rows = data[at + 6] | data[at + 7] << 8;
        if (bandRows) bandRows->push_back(rows);
        const size_t length = static_cast<size_t>(raster.bytesPerRow * rows);
        raster.rows.insert(raster.rows.end(), data.begin() + at + 8, data.begin() + at + 8 + length);
        at += 8 + length;
    }
    return raster;
}

class ImagePrintingTest : public test::ControllerFixture {
protected:
    void SetUp() override {
        test::ControllerFixture::SetUp();
        controller.setMaxWidth(576);
    }
    std::filesystem::path writePng(const std::string& name, const PixelImage& image) {
        const std::filesystem::path path = home.path() / name;
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width(), image.height());
        unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const uint8_t* p = image.pixel(x, y); // opaque pictures only: no premultiplying
                auto* word = reinterpret_cast<uint32_t*>(data + y * stride + x * 4);
                *word = static_cast<uint32_t>(p[3] << 24 | p[0] << 16 | p[1] << 8 | p[2]);
            }
        cairo_surface_mark_dirty(surface);
        cairo_surface_write_to_png(surface, path.c_str());
        cairo_surface_destroy(surface);
        return path;
    }
};

} // namespace

TEST_F(ImagePrintingTest, TheLevelPacksBandsDitheringAndThreshold) {
    struct Case {
        long level;
        bool columnBands, dither;
        long threshold;
        int mode;
    };
    const std::vector<Case> cases{
        {100, false, false, 100, 0}, {1050, false, true, 50, 1},  {11050, true, true, 50, 3},
        {10000, true, false, 0, 2},  {10080, true, false, 80, 2}, {999, false, false, 999, 0},
    };
    for (const Case& c : cases) {
        const iController::ImageLevel decoded = iController::ImageLevel::decode(c.level);
        EXPECT_EQ(decoded.columnBands, c.columnBands) << c.level;
        EXPECT_EQ(decoded.dither, c.dither) << c.level;
        EXPECT_EQ(decoded.threshold, c.threshold) << c.level;
        EXPECT_EQ(decoded.mode(), c.mode) << c.level;
    }
}

TEST_F(ImagePrintingTest, PicturesAreScaledToThePrintedWidth) {
    const PixelImage wide = solid(1000, 500, 0);
    RasterSize size;
    std::vector<uint8_t> pixels = controller.getRGBDatafromOptimizationImage(wide, -1, 100, &size);
    EXPECT_EQ(size, (RasterSize{576, 288}));
    EXPECT_EQ(pixels.size(), 576u * 288 * 4);
    controller.getRGBDatafromOptimizationImage(wide, 2000, 100, &size);
    EXPECT_EQ(size, (RasterSize{576, 288}));
    controller.getRGBDatafromOptimizationImage(wide, 300, 100, &size);
    EXPECT_EQ(size, (RasterSize{300, 150}));
    EXPECT_TRUE(controller.getRGBDatafromOptimizationImage(PixelImage(), -1, 100, &size).empty());
    EXPECT_EQ(size, RasterSize{});
    EXPECT_TRUE(controller.getRGBDatafromOptimizationImage(wide, 0, 100, &size).empty());
}

TEST_F(ImagePrintingTest, APictureGoesOutBehindItsAlignmentInRasterBands) {
    controller.setAlignment(1);
    const PrinterBytes sent = sentBy([&] { return controller.printBitmapWithImage(solid(10, 1, 0), 10, 100); });
    EXPECT_EQ(sent, bytes({0x1B, 0x61, 0x01, 0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x01, 0x00, 0xFF, 0xC0}));

    // Printer width, bands of 123 rows.
    std::vector<long> bands;
    const Raster raster =
        rasterOf(sentBy([&] { return controller.printBitmapWithImage(solid(1000, 500, 0), -1, 50); }), 3, &bands);
    EXPECT_EQ(bands, (std::vector<long>{123, 123, 42}));
    EXPECT_EQ(raster.bytesPerRow, 72);
    EXPECT_EQ(raster.rows, PrinterBytes(72 * 288, 0xFF));
}

TEST_F(ImagePrintingTest, ASignatureAtLevel100PrintsOnlyItsStroke) {
    const Raster raster =
        rasterOf(sentBy([&] { return controller.printBitmapWithImage(signature(40, 9), 40, 100); }), 3);
    ASSERT_EQ(raster.height(), 9);
    for (long y = 0; y < 9; ++y)
        for (long x = 0; x < 40; ++x) EXPECT_EQ(raster.dot(x, y), y == 4 && x >= 2 && x < 38) << x << "," << y;
}

TEST_F(ImagePrintingTest, ColumnBandsAndDitheringAsTheLevelAsks) {
    const PrinterBytes columns = sentBy([&] { return controller.printBitmapWithImage(solid(8, 30, 0), 8, 10050); });
    // Alignment, then two 24-dot bands of 8 columns.
    ASSERT_EQ(columns.size(), 3u + 2 * (3 * 8 + 8));
    EXPECT_EQ(PrinterBytes(columns.begin() + 3, columns.begin() + 8), bytes({0x1B, 0x2A, 0x21, 0x08, 0x00}));
    EXPECT_EQ(PrinterBytes(columns.end() - 3, columns.end()), bytes({0x1B, 0x4A, 0x07}));

    const Raster dithered =
        rasterOf(sentBy([&] { return controller.printBitmapWithImage(solid(64, 64, 128), 64, 1050); }), 3);
    long dots = 0;
    for (uint8_t byte : dithered.rows) dots += __builtin_popcount(byte);
    EXPECT_NEAR(dots / (64.0 * 64), 1 - 166.0 / 255, 0.01);
}

TEST_F(ImagePrintingTest, RefusalsOfPictures) {
    controller.setAlignment(3);
    EXPECT_EQ(sentBy([&] { return controller.printBitmapWithImage(solid(8, 8, 0), 8, 50); }, OVL_BAD_ARGMENT),
              PrinterBytes{});
    controller.setAlignment(0);
    // Nothing to draw: the alignment only.
    EXPECT_EQ(sentBy([&] { return controller.printBitmapWithImage(PixelImage(), 8, 50); }, OVL_RGBA_ERROR),
              bytes({0x1B, 0x61, 0x00}));
    EXPECT_EQ(controller.printBitmap(home.path() / "missing.png", -1, 100), OVL_BITMAPLOAD_ERROR);
    EXPECT_EQ(controller.printPDF(home.path() / "missing.pdf", 1, -1, 100), OVL_BITMAPLOAD_ERROR);
    EXPECT_EQ(printer.connections().size(), 2u);
}

TEST_F(ImagePrintingTest, APictureFileIsReadAndPrinted) {
    const auto path = writePng("mark.png", signature(16, 3));
    const Raster raster = rasterOf(sentBy([&] { return controller.printBitmap(path, 16, 100); }), 3);
    EXPECT_EQ(raster.rows, bytes({0x00, 0x00, 0x3F, 0xFC, 0x00, 0x00}));
}

// A JPEG whose Exif block carries the orientation tag (`value` 1 to 8), in the byte order given.
std::vector<uint8_t> jpegWithOrientation(const PixelImage& image, uint16_t value, bool littleEndian) {
    std::vector<uint8_t> jpeg = *image.jpegData(1.0, nullptr);
    auto put16 = [&](std::vector<uint8_t>& out, uint16_t v) {
        if (littleEndian) out.insert(out.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
        else out.insert(out.end(), {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
    };
    std::vector<uint8_t> tiff = littleEndian ? std::vector<uint8_t>{'I', 'I'} : std::vector<uint8_t>{'M', 'M'};
    put16(tiff, 42);
    if (littleEndian) tiff.insert(tiff.end(), {8, 0, 0, 0});
    else tiff.insert(tiff.end(), {0, 0, 0, 8});
    put16(tiff, 2); // two entries: another tag first
    put16(tiff, 0x010F);
    put16(tiff, 2);
    tiff.insert(tiff.end(), {0, 0, 0, 0, 0, 0, 0, 0});
    put16(tiff, 0x0112);
    put16(tiff, 3);
    if (littleEndian) tiff.insert(tiff.end(), {1, 0, 0, 0});
    else tiff.insert(tiff.end(), {0, 0, 0, 1});
    put16(tiff, value);
    put16(tiff, 0);
    tiff.insert(tiff.end(), {0, 0, 0, 0});
    std::vector<uint8_t> segment{'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    const size_t length = segment.size() + 2;
    std::vector<uint8_t> out{
        jpeg[0], jpeg[1], 0xFF, 0xE1, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    out.insert(out.end(), segment.begin(), segment.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

TEST_F(ImagePrintingTest, APhotoStoredSidewaysIsPrintedUpright) {
    // Stored 8 wide and 16 high: the picture itself is 16 wide and 8 high, a stroke across it.
    PixelImage stored = solid(8, 16, 255);
    for (int y = 2; y < 14; ++y) std::fill_n(stored.pixel(4, y), 3, 0);
    struct Case {
        uint16_t tag;
        bool littleEndian;
        long printedRows;
    } cases[] = {{6, true, 8}, {8, false, 8}, {5, true, 8}, {1, true, 32}, {3, false, 32}, {0, true, 32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        const auto path = home.path() / "photo.jpg";
        const std::vector<uint8_t> file = jpegWithOrientation(stored, c.tag, c.littleEndian);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        const Raster raster = rasterOf(sentBy([&] { return controller.printBitmap(path, 16, 50); }), 3);
        EXPECT_EQ(raster.height(), c.printedRows);
        if (c.printedRows == 8) {
            EXPECT_TRUE(raster.dot(8, 4) || raster.dot(8, 3)) << "the stroke runs across the printed picture";
            EXPECT_FALSE(raster.dot(8, 0));
        }
    }
}

TEST_F(ImagePrintingTest, APdfPageIsPrintedAtThePrinterWidth) {
    // A 200 x 100 point page, black in its top-left quarter.
    const auto path = home.path() / "page.pdf";
    test::writePdf(path, 200, 100, {{0, 0, 100, 50}}, 2);
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::optional<PixelImage> page = controller.ImageWithPDFDataForPrint(data, 1);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->width(), 576);
    EXPECT_EQ(page->height(), 288);
    EXPECT_FALSE(controller.ImageWithPDFDataForPrint(data, 3));

    const Raster raster = rasterOf(sentBy([&] { return controller.printPDF(path, 2, -1, 50); }), 3);
    ASSERT_EQ(raster.height(), 288);
    ASSERT_EQ(raster.bytesPerRow, 72);
    long inside = 0, outside = 0;
    for (long y = 0; y < 288; ++y)
        for (long x = 0; x < 576; ++x) {
            if (x < 286 && y < 142) inside += raster.dot(x, y);
            else if (x > 290 || y > 146) outside += raster.dot(x, y);
        }
    EXPECT_EQ(inside, 286 * 142);
    EXPECT_EQ(outside, 0);
}

TEST_F(ImagePrintingTest, StoredImagesAreRemovedAndPrintedByTheirTwoDigitKey) {
    EXPECT_EQ(sentBy([&] { return controller.removeNVImage(7); }),
              bytes({0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x42, 0x30, 0x37}));
    EXPECT_EQ(sentBy([&] { return controller.removeAllNVImages(); }),
              bytes({0x1D, 0x28, 0x4C, 0x05, 0x00, 0x30, 0x41, 0x43, 0x4C, 0x52}));
    EXPECT_EQ(sentBy([&] { return controller.printNVImage(42); }),
              bytes({0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x45, 0x34, 0x32, 0x01, 0x01}));
    const size_t before = printer.connections().size();
    for (long key : {100L, -1L}) {
        EXPECT_EQ(controller.removeNVImage(key), OVL_BAD_ARGMENT);
        EXPECT_EQ(controller.printNVImage(key), OVL_BAD_ARGMENT);
        EXPECT_EQ(controller.downloadNVImage(key, solid(8, 8, 0)), OVL_BAD_ARGMENT);
    }
    EXPECT_EQ(printer.connections().size(), before);
}

TEST_F(ImagePrintingTest, AStoredImageIsDefinedWithItsSizeAndRaster) {
    const PrinterBytes sent = sentBy([&] { return controller.downloadNVImage(5, solid(16, 2, 0), 16, 100); });
    EXPECT_EQ(sent, concat({bytes({0x1D, 0x28, 0x4C, 15, 0x00, 0x30, 0x43, 0x30, 0x30, 0x35, 0x01}),
                            bytes({0x10, 0x00, 0x02, 0x00, 0x31}), bytes({0xFF, 0xFF, 0xFF, 0xFF})}));
    // Column bands asked for: the printer still stores raster rows.
    EXPECT_EQ(sentBy([&] { return controller.downloadNVImage(5, solid(16, 2, 0), 16, 10100); }), sent);
    // The short form: the printer's width, dithered at 50.
    const PrinterBytes wide = sentBy([&] { return controller.downloadNVImage(9, solid(100, 10, 0)); });
    EXPECT_EQ(PrinterBytes(wide.begin() + 11, wide.begin() + 16), bytes({0x40, 0x02, 57, 0x00, 0x31}));
    EXPECT_EQ(wide.size(), 16u + 72 * 57);
}

TEST_F(ImagePrintingTest, AStoredImageTheDefineCommandCannotDescribeIsRefused) {
    // 576 x 910: 65,520 raster bytes fit the 16-bit length with its 11; 576 x 911 does not.
    controller.setPendingWaitTime(0);
    const PrinterBytes fits = sentBy([&] { return controller.downloadNVImage(1, solid(576, 910, 0), -1, 100); });
    EXPECT_EQ(PrinterBytes(fits.begin() + 3, fits.begin() + 5), bytes({0xFB, 0xFF}));
    const size_t before = printer.connections().size();
    EXPECT_EQ(controller.downloadNVImage(1, solid(576, 911, 0), -1, 100), OVL_TOO_LARGE_IMAGE);
    EXPECT_EQ(controller.downloadNVImage(1, solid(576, 1700, 0), -1, 100), OVL_TOO_LARGE_IMAGE);
    EXPECT_EQ(printer.connections().size(), before);
}

TEST_F(ImagePrintingTest, TheStoredKeysAreListedBlockByBlock) {
    printer.setReply(bytes({0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x40, 0x4B, 0x43}),
                     bytes({0x37, 0x72, 0x41, '0', '1', '0', '7', 0x00}));
    printer.setReply(bytes({0x06, 0x15, 0x18}), bytes({0x37, 0x72, 0x40, '4', '2', 0x00}));
    std::vector<long> keys;
    const PrinterBytes sent = sentBy([&] { return controller.nvImageList(&keys); });
    EXPECT_EQ(keys, (std::vector<long>{1, 7, 42}));
    EXPECT_EQ(sent, bytes({0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x40, 0x4B, 0x43, 0x06, 0x15, 0x18, 0x06, 0x15, 0x18}));
}

TEST_F(ImagePrintingTest, AMissingOrMalformedKeyListGivesTheKeysSoFar) {
    std::vector<long> keys{99};
    EXPECT_EQ(controller.nvImageList(&keys), OVL_READ_ERROR);
    EXPECT_TRUE(keys.empty());

    printer.setReply(bytes({0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x40, 0x4B, 0x43}),
                     bytes({0x37, 0x72, 0x41, '0', '3', 0x00}));
    printer.setReply(bytes({0x06, 0x15, 0x18}), bytes({0x38, 0x72, 0x40, '4', '2', 0x00}));
    EXPECT_EQ(controller.nvImageList(&keys), OVL_READ_ERROR);
    EXPECT_EQ(keys, (std::vector<long>{3}));
}

TEST_F(ImagePrintingTest, BarcodeDataIsCheckedPerSymbology) {
    struct Case {
        long symbology;
        std::string data;
        bool good;
    };
    const std::vector<Case> cases{
        {BC_UPCA, "01234567890", true},
        {BC_UPCA, "0123456789A", false},
        {BC_UPCA, "0123456789", false},
        {BC_UPCE, "012345678905", true},
        {BC_EAN8, "1234567", true},
        {BC_EAN13, "12345678901", false},
        {BC_ITF, "123", false},
        {BC_ITF, "1234", true},
        {BC_ITF, std::string(256, '1'), false},
        {BC_CODABAR, "A12:3B", true}, // the builder still refuses the colon
        {BC_CODABAR, "A12*3B", false},
        {BC_CODE39, "CODE 39-$%", true},
        {BC_CODE39, "code39", false},
        {BC_CODE93, "any text", true},
        {BC_CODE93, std::string(256, 'a'), false},
        {BC_CODE128, "A", false},
        {BC_CODE128, "AB", true},
        {BC_PDF417, "A", false},
        {BC_QRCODE_MODEL2, std::string(3000, 'q'), true},
        {BC_QRCODE_MODEL2, std::string(3001, 'q'), false},
        {201, "A", true},
        {BC_GS1DATABAR_RSS14, "0123456789012|ABC", true},
        {BC_GS1DATABAR_RSS14, "01234567890123|AB", true},
        {BC_GS1DATABAR_RSS14, "012345678901234|AB", false},
        {BC_GS1DATABAR_RSS14, "0123456789012", false},
        {BC_GS1DATABAR_RSS14, "01234X|AB", false},
        {210, "0123|" + std::string(44, 'A'), true},
        {210, "0123|" + std::string(45, 'A'), false},
        {999, "anything", true},
        {BC_UPCA, "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(controller.isGoodBarcode(c.symbology, c.data), c.good) << c.symbology << " " << c.data;
}

TEST_F(ImagePrintingTest, BarcodesAreBuiltAndSent) {
    controller.setAlignment(1);
    const PrinterBytes upc = sentBy([&] { return controller.printBarcode("01234567890", BC_UPCA, -1, 162); });
    EXPECT_EQ(PrinterBytes(upc.begin(), upc.begin() + 21),
              bytes({0x00, 0x00, 0x1B, 0x61, 0x01, 0x1D, 0x48, 0x02, 0x1D, 0x66, 0x01,
                     0x1D, 0x68, 0xA2, 0x1D, 0x77, 0x05, 0x1D, 0x6B, 0x41, 0x0B}));
    const PrinterBytes qr = sentBy([&] { return controller.printBarcode("HELLO", BC_QRCODE_MODEL2, 3, 1); });
    EXPECT_EQ(PrinterBytes(qr.begin(), qr.begin() + 12),
              bytes({0x1B, 0x61, 0x01, 0x1D, 0x28, 0x6B, 0x04, 0x00, 0x31, 0x41, 0x32, 0x00}));

    const size_t before = printer.connections().size();
    EXPECT_EQ(controller.printBarcode("01234567890", BC_UPCA, 0, 162), OVL_BAD_ARGMENT);
    EXPECT_EQ(controller.printBarcode("01234567890", BC_UPCA, 256, 162), OVL_BAD_ARGMENT);
    EXPECT_EQ(controller.printBarcode("01234567890", BC_UPCA, 3, 0), OVL_BAD_ARGMENT);
    EXPECT_EQ(controller.printBarcode("0123456789", BC_UPCA, 3, 162), OVL_BC_DATA_ERROR);
    EXPECT_EQ(controller.printBarcode("A12:3B", BC_CODABAR, 3, 162), OVL_BC_DATA_ERROR);
    EXPECT_EQ(controller.printBarcode("AB", 201, 3, 162), OVL_BC_DATA_ERROR);
    EXPECT_EQ(printer.connections().size(), before);
}

namespace {

// A model whose status check reports what a test sets.
class CheckedModel : public iController {
public:
    long answer = OVL_SUCCESS;
    long stateAfter = OVL_STS_NORMAL;
    long checkPrinter(long mask) override {
        lastMask = mask;
        setState(stateAfter);
        return answer;
    }
    long lastMask = 0;
};

} // namespace

TEST(ImagePrintingChecks, ThePrinterMustHaveItsCoverShutAndPaper) {
    struct Case {
        long answer, state, expected;
    };
    const std::vector<Case> cases{
        {OVL_SUCCESS, OVL_STS_NORMAL, OVL_SUCCESS},
        {OVL_READ_ERROR, OVL_STS_NORMAL, OVL_WRITE_ERROR},
        {OVL_SUCCESS, OVL_STS_COVER_OPEN, OVL_STATUS_ERROR},
        {OVL_SUCCESS, OVL_STS_PAPER_EMPTY | OVL_STS_ERROR_BIT, OVL_STATUS_ERROR},
        {OVL_SUCCESS, OVL_STS_DRAWER_OPEN, OVL_SUCCESS},
    };
    for (const Case& c : cases) {
        CheckedModel model;
        model.answer = c.answer;
        model.stateAfter = c.state;
        EXPECT_EQ(model.checkPrinterForImage(), c.expected) << c.answer << " " << c.state;
        EXPECT_EQ(model.lastMask, 3);
    }
    iController base;
    EXPECT_EQ(base.checkPrinterForImage(), OVL_WRITE_ERROR);
}

TEST(ImagePrintingChecks, TheSupportTableIsTheModels) {
    iController base;
    EXPECT_TRUE(base.getBarcodeSupportTable().empty());
    auto table = std::make_unique<OVBarcodeInfo>();
    table->addObjectWithBarcode(101, "UPC-A", true);
    base.setBarcodeSupport(std::move(table));
    ASSERT_EQ(base.getBarcodeSupportTable().size(), 1u);
    EXPECT_EQ(base.getBarcodeSupportTable()[0].name, "UPC-A");
}

TEST(ImagePrintingChecks, BytesAreWrittenToAFileOfTheDocumentsDirectory) {
    test::TempHome home;
    iController base;
    const uint8_t bytes[] = {1, 2, 3};
    EXPECT_TRUE(base.dataToFileAtName("cache.bin", bytes, 3));
    std::ifstream in(home.path() / "cache.bin", std::ios::binary);
    EXPECT_EQ(std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
              (std::vector<char>{1, 2, 3}));
    EXPECT_FALSE(base.dataToFileAtName("../outside.bin", bytes, 3));
    EXPECT_FALSE(base.dataToFileAtName("", bytes, 3));
}
