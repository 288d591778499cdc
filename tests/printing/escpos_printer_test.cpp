// The receipt printer on a loopback printer: the exact bytes of every setting, line, picture,
// feed and drawer pulse, the remembered settings, and how opening fails.
#include "printing/EscPosPrinter.h"
#include "printing/StarPrinter.h"

#include "EscPosBytes.h"
#include "platform/graphics/PixelImage.h"
#include "platform/net/Sockets.h"
#include "support/LoopbackListener.h"
#include "support/LoopbackPrinter.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

namespace tavlo {
namespace {

using test::bytes;
using test::hex;
using test::LoopbackListener;
using test::LoopbackPrinter;

PixelImage fixtureImage(const char* name) {
    Error error;
    std::optional<PixelImage> image = PixelImage::fromFile(std::string(TAVLO_FIXTURES_DIR) + "/images/" + name, &error);
    if (!image) throw std::runtime_error(error.localizedDescription());
    return *image;
}

class EscPosPrinterTest : public ::testing::Test {
protected:
    // What one open ... close on the printer put on the wire.
    std::string job(const std::function<void(EscPosPrinter&)>& write) { return job(printer, write); }
    std::string job(EscPosPrinter& on, const std::function<void(EscPosPrinter&)>& write) {
        Error error;
        EXPECT_TRUE(on.open(&error)) << error.localizedDescription();
        write(on);
        on.close();
        EXPECT_FALSE(on.writeFailed());
        return device.jobs(++jobsSeen).back();
    }

    test::TempHome home;
    LoopbackPrinter device;
    EscPosPrinter printer{device.url(), 2};
    size_t jobsSeen = 0;
};

TEST_F(EscPosPrinterTest, EachSettingSendsItsCommand) {
    struct Case {
        const char* what;
        std::function<void(EscPosPrinter&)> call;
        std::string wire;
    };
    const Case cases[] = {
        {"width 1", [](EscPosPrinter& p) { p.setCharWidth(1); }, bytes({0x1B, 0x21, 0})},
        {"width 2", [](EscPosPrinter& p) { p.setCharWidth(2); }, bytes({0x1B, 0x21, 32})},
        {"height 1", [](EscPosPrinter& p) { p.setCharHeight(1); }, bytes({0x1B, 0x21, 0})},
        {"height 3", [](EscPosPrinter& p) { p.setCharHeight(3); }, bytes({0x1B, 0x21, 16})},
        {"attribute 48", [](EscPosPrinter& p) { p.setFontAttribute(48); }, bytes({0x1B, 0x21, 48})},
        {"colour 5", [](EscPosPrinter& p) { p.setColor(5); }, bytes({0x1B, 0x72, 1})},
        {"colour 0", [](EscPosPrinter& p) { p.setColor(0); }, bytes({0x1B, 0x72, 0})},
        {"emphasized", [](EscPosPrinter& p) { p.setEmphasized(true); }, bytes({0x1B, 0x45, 1})},
        {"not emphasized", [](EscPosPrinter& p) { p.setEmphasized(false); }, bytes({0x1B, 0x45, 0})},
        {"underline", [](EscPosPrinter& p) { p.setUnderline(true); }, bytes({0x1B, 0x2D, 1})},
        {"no underline", [](EscPosPrinter& p) { p.setUnderline(false); }, bytes({0x1B, 0x2D, 0})},
        {"reverse", [](EscPosPrinter& p) { p.setReversePrint(true); }, bytes({0x1B, 0x54, 2})},
        {"no reverse", [](EscPosPrinter& p) { p.setReversePrint(false); }, bytes({0x1B, 0x54, 0})},
        {"reset", [](EscPosPrinter& p) { p.reset(); }, bytes({0x1B, 0x40, 0x1B, 0x21, 0})},
        {"empty line", [](EscPosPrinter& p) { p.writeLine(); }, bytes({0x0A})},
        {"ASCII line", [](EscPosPrinter& p) { p.writeLine("Total"); }, "Total\n"},
        {"accented line", [](EscPosPrinter& p) { p.writeLine("Crème brûlée"); },
         "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
         "e\n"},
        {"margin", [](EscPosPrinter& p) { p.setLeftMargin(3), p.writeLine("Total"), p.writeLine(); }, "   Total\n\n"},
        {"margin removed", [](EscPosPrinter& p) { p.setLeftMargin(3), p.setLeftMargin(0), p.writeLine("Total"); },
         "Total\n"},
        {"feed", [](EscPosPrinter& p) { p.feed(4, false); }, bytes({0x1B, 0x64, 4})},
        {"feed and cut", [](EscPosPrinter& p) { p.feed(4, true); }, bytes({0x1B, 0x64, 4, 0x1D, 0x56, 0, 0x0A})},
    };
    for (const Case& c : cases) {
        printer.setLeftMargin(0);
        EXPECT_EQ(hex(job(c.call)), hex(c.wire)) << c.what;
    }
}

TEST_F(EscPosPrinterTest, RememberedSettingsAreSentOnlyWhenTheyChange) {
    std::string wire = job([](EscPosPrinter& p) {
        for (int round = 0; round < 2; ++round) {
            p.setFont(0);
            p.setJustification(0);
            p.setCharacterSet(0);
            p.setCodeTable(0);
        }
        p.setJustification(1);
        p.setFont(1);
    });
    EXPECT_EQ(hex(wire),
              hex(bytes({0x1B, 0x4D, 0, 0x1B, 0x61, 0, 0x1B, 0x52, 0, 0x1B, 0x74, 0, 0x1B, 0x61, 1, 0x1B, 0x4D, 1})));
    EXPECT_EQ(printer.justification(), 1);
    EXPECT_EQ(printer.font(), 1);

    // They survive closing and opening: the printer still has them.
    EXPECT_EQ(job([](EscPosPrinter& p) { p.setJustification(1), p.setCodeTable(0); }), "");
}

TEST_F(EscPosPrinterTest, AfterResetEverySettingIsSentAgain) {
    job([](EscPosPrinter& p) { p.setJustification(1), p.setFont(1), p.setCharacterSet(2), p.setCodeTable(16); });
    std::string wire = job([](EscPosPrinter& p) {
        p.reset();
        p.setJustification(1);
        p.setFont(1);
        p.setCharacterSet(2);
        p.setCodeTable(16);
    });
    EXPECT_EQ(hex(wire),
              hex(bytes({0x1B, 0x40, 0x1B, 0x21, 0, 0x1B, 0x61, 1, 0x1B, 0x4D, 1, 0x1B, 0x52, 2, 0x1B, 0x74, 16})));
    EXPECT_FALSE(printer.emphasized());
}

TEST_F(EscPosPrinterTest, SettingsMadeWhileClosedReachNoPrinterAndStayUnknown) {
    EXPECT_TRUE(printer.underline()); // as created
    EXPECT_TRUE(printer.emphasized());
    printer.setJustification(2);
    printer.writeLine("lost");
    EXPECT_EQ(printer.justification(), -1);
    EXPECT_FALSE(printer.writeFailed());
    EXPECT_EQ(hex(job([](EscPosPrinter& p) { p.setJustification(2); })), hex(bytes({0x1B, 0x61, 2})));
}

TEST_F(EscPosPrinterTest, DrawerPulseOnPinsZeroAndOneAndNothingWithoutADrawer) {
    bool zero = false, one = false, none = true;
    std::string wire = job([&](EscPosPrinter& p) {
        zero = p.openDrawer(0);
        one = p.openDrawer(1);
        none = p.openDrawer(-1);
    });
    EXPECT_TRUE(zero);
    EXPECT_TRUE(one);
    EXPECT_FALSE(none);
    EXPECT_EQ(hex(wire), hex(bytes({0x1B, 0x70, 0x30, 0xFF, 0xFF, 0x1B, 0x70, 0x31, 0xFF, 0xFF})));
    EXPECT_FALSE(printer.openDrawer(0)); // closed
}

TEST_F(EscPosPrinterTest, PictureOneRowHighIsOneBandOfItsColumns) {
    PixelImage strip = fixtureImage("strip-10x1.png");
    ASSERT_EQ(strip.width(), 10);
    // Dark: black (0), light grey of 600 (3), dark grey (4), black (7, 9). Not: white, the
    // transparent pixel (paper, 2), and grey of exactly 631 (8).
    std::string columns;
    for (int x = 0; x < 10; ++x) columns += bytes({(x == 0 || x == 3 || x == 4 || x == 7 || x == 9) ? 0x80 : 0, 0, 0});
    std::string expected = bytes({0x1B, 0x33, 24, 0x1B, 0x2A, 33, 10, 0}) + columns + bytes({0x0A, 0x1B, 0x33, 30});
    EXPECT_EQ(hex(job([&](EscPosPrinter& p) { p.writeImage(strip); })), hex(expected));
}

TEST_F(EscPosPrinterTest, PictureOfTwentyFiveRowsIsTwoBandsTheSecondWhiteBelowItsRow) {
    PixelImage picture = fixtureImage("bands-3x25.png");
    // Column 0 dark throughout, column 1 on rows 0, 9 and 24, column 2 white.
    std::string expected = bytes({0x1B, 0x33, 24,                                                       //
                                  0x1B, 0x2A, 33, 3, 0, 0xFF, 0xFF, 0xFF, 0x80, 0x40, 0, 0, 0, 0, 0x0A, //
                                  0x1B, 0x2A, 33, 3, 0, 0x80, 0,    0,    0x80, 0,    0, 0, 0, 0, 0x0A, //
                                  0x1B, 0x33, 30});
    EXPECT_EQ(hex(job([&](EscPosPrinter& p) { p.writeImage(picture); })), hex(expected));
    EXPECT_EQ(job([](EscPosPrinter& p) { p.writeImage(PixelImage()); }), "");
}

TEST_F(EscPosPrinterTest, StarPrinterSendsNoColourAndHasNoDrawer) {
    StarPrinter star(device.url(), 2);
    EXPECT_EQ(star.type(), PrinterStream::kStarType);
    EXPECT_EQ(printer.type(), PrinterStream::kEscPosType);
    bool drawer = true;
    std::string wire = job(star, [&](EscPosPrinter& p) {
        p.setColor(1);
        drawer = p.openDrawer(0);
        p.setEmphasized(true);
    });
    EXPECT_FALSE(drawer);
    EXPECT_EQ(hex(wire), hex(bytes({0x1B, 0x45, 1})));
}

TEST(EscPosPrinterOpen, SaysWhyItCannotConnect) {
    test::TempHome home;
    struct Case {
        std::optional<std::string> url;
        const char* message;
    };
    const Case cases[] = {
        {std::nullopt, "URL for receipt printer has not been specified, verify configuration"},
        {std::string(), "URL for receipt printer has not been specified, verify configuration"},
        {std::string("no-such-printer.invalid:9100"),
         "Receipt printer cannot be resolved to a valid IP address, verify configuration"},
        {"127.0.0.1:" + std::to_string(LoopbackListener::closedPort()),
         "Cannot connect to printer, verify printer is on and has paper"},
    };
    const int before = LoopbackListener::openDescriptorCount();
    for (const Case& c : cases) {
        EscPosPrinter printer(c.url, 2);
        Error error;
        EXPECT_FALSE(printer.open(&error)) << c.message;
        EXPECT_EQ(error.localizedDescription(), c.message);
        EXPECT_EQ(error.code(), -1);
        printer.writeLine("nowhere");
        EXPECT_FALSE(printer.writeFailed());
    }
    EXPECT_EQ(LoopbackListener::openDescriptorCount(), before);
}

TEST(EscPosPrinterOpen, APrinterThatNeverAcceptsEndsAtTheConnectTimeOut) {
    test::TempHome home;
    // A backlog of 0 holds one connection; the kernel drops the handshake of the next.
    LoopbackListener full(0);
    int filler = Sockets::openTcp("127.0.0.1", full.port(), 2);
    ASSERT_GE(filler, 0);
    EscPosPrinter printer("127.0.0.1:" + std::to_string(full.port()), 1);
    Error error;
    EXPECT_FALSE(printer.open(&error));
    EXPECT_EQ(error.localizedDescription(), "Cannot connect to printer, verify printer is on and has paper");
    close(filler);
}

TEST(EscPosPrinterOpen, APrinterThatDropsTheConnectionIsAFailedWrite) {
    test::TempHome home;
    LoopbackPrinter dropping(8);
    EscPosPrinter printer(dropping.url(), 2);
    ASSERT_TRUE(printer.open(nullptr));
    for (int i = 0; i < 20; ++i) printer.writeLine("a line the printer never reads");
    printer.close();
    EXPECT_TRUE(printer.writeFailed());
    EXPECT_EQ(dropping.jobs(1).at(0), "a line t");

    // The next open starts clean.
    LoopbackPrinter good;
    printer.setUrl(good.url());
    ASSERT_TRUE(printer.open(nullptr));
    EXPECT_FALSE(printer.writeFailed());
    printer.close();
}

} // namespace
} // namespace tavlo
