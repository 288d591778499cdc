#include "ControllerFixture.h"
#include "support/LoopbackListener.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <thread>

using namespace tavlo;
using namespace tavlo::printerlib;
using test::PrinterBytes;

namespace {

// Each command connects by itself; what one connection carried is what the command sent.
class TextCommandsTest : public test::ControllerFixture {};

TEST_F(TextCommandsTest, TextGoesOutBehindItsSettingsHeader) {
    controller.setAlignment(1);
    controller.setAttribute(0x0F);
    controller.setTextSize(0x11);
    PrinterBytes sent = sentBy([&] { return controller.printText("A"); });
    EXPECT_EQ(sent, bytes({0x1B, 0x61, 0x01, 0x1B, 0x21, 0x89, 0x1D, 0x42, 0x01, 0x1B, 0x74, 0x00, 0x1B, 0x52,
                           0x00, 0,    0,    0,    0,    0,    0,    0,    0,    0x1D, 0x21, 0x11, 0x41}));
}

TEST_F(TextCommandsTest, KoreanTextIsSentInCodePage949) {
    controller.setCharacterSet(3);
    controller.setInternationalCharacterSet(13);
    PrinterBytes sent = sentBy([&] { return controller.printText("한글"); });
    ASSERT_EQ(sent.size(), 30u);
    EXPECT_EQ(PrinterBytes(sent.begin() + 9, sent.begin() + 15), bytes({0x1B, 0x74, 3, 0x1B, 0x52, 13}));
    EXPECT_EQ(PrinterBytes(sent.end() - 4, sent.end()), bytes({0xC7, 0xD1, 0xB1, 0xDB}));
}

TEST_F(TextCommandsTest, NothingToPrintSendsNothingAndTextTheEncodingLacksIsRefused) {
    EXPECT_EQ(controller.printText(""), OVL_SUCCESS);
    EXPECT_EQ(controller.printText("\xF0\x9F\x98\x80"), OVL_BAD_ARGMENT); // no such character in the code page
    controller.setTextEncoding(StringEncodingASCII);
    EXPECT_EQ(controller.printText("caf\xC3\xA9"), OVL_BAD_ARGMENT);
    EXPECT_TRUE(printer.connections().empty());
}

TEST_F(TextCommandsTest, EachTextGoesOutInTheCodePageThatHoldsIt) {
    controller.setTextEncoding(StringEncodingPrinterCodePage);
    struct Case {
        std::string text;
        uint8_t table;
        PrinterBytes bytes;
    } cases[] = {
        {"\xC3\xA9 \xC2\xA3 \xC3\xBC \xC3\xB1", 0, bytes({0x82, ' ', 0x9C, ' ', 0x81, ' ', 0xA4})}, // PC437
        {"\xE2\x82\xAC"
         "5 \xC3\xA9",
         16, bytes({0x80, '5', ' ', 0xE9})},                 // WPC1252
        {"\xD0\xA9\xD0\xB8", 17, bytes({0x99, 0xA8})},       // PC866
        {"\xE2\x98\x83 ok", 0, bytes({'?', ' ', 'o', 'k'})}, // no code page holds the snowman
        {"a\xFF"
         "b",
         0, bytes({'a', '?', 'b'})}, // a byte that is no UTF-8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        PrinterBytes sent = sentBy([&] { return controller.printText(c.text); });
        ASSERT_EQ(sent.size(), 26u + 3u + c.bytes.size());
        EXPECT_EQ(PrinterBytes(sent.begin() + 26, sent.begin() + 29), bytes({0x1B, 0x74, c.table}));
        EXPECT_EQ(PrinterBytes(sent.begin() + 29, sent.end()), c.bytes);
    }
}

TEST_F(TextCommandsTest, CommandsFromTwoThreadsEachHaveTheirOwnConnection) {
    // Thirty connections one after the other: on a busy machine a tenth of each connect's wait is
    // too short, and what is tested here is their order, not their speed.
    ScopedScaledClock realTime{1.0};
    constexpr int kEach = 15;
    auto print = [&](const char* text) {
        for (int i = 0; i < kEach; ++i) EXPECT_EQ(controller.printText(text), OVL_SUCCESS);
    };
    std::thread other(print, "B");
    print("A");
    other.join();
    ASSERT_TRUE(
        printer.waitUntil([&] { return printer.connections().size() == 2 * kEach && !printer.clientConnected(); }));
    for (const PrinterBytes& connection : printer.connections()) {
        ASSERT_EQ(connection.size(), 27u) << "one whole command per connection";
        EXPECT_TRUE(connection.back() == 'A' || connection.back() == 'B');
    }
}

struct RangeCase {
    const char* name;
    std::function<long(iController&)> command;
    long expected;
};

void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.name; }

class RangeErrors : public TextCommandsTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(RangeErrors, AreFoundBeforeAnythingIsSent) {
    EXPECT_EQ(GetParam().command(controller), GetParam().expected);
    EXPECT_TRUE(printer.connections().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RangeErrors,
    ::testing::Values(
        RangeCase{"textSizeBelowMinusOne",
                  [](iController& c) {
                      c.setTextSize(-2);
                      return c.printText("A");
                  },
                  OVL_BAD_ARGMENT},
        RangeCase{"alignmentThree",
                  [](iController& c) {
                      c.setAlignment(3);
                      return c.printText("A");
                  },
                  OVL_BAD_ARGMENT},
        RangeCase{"lineFeedOf101", [](iController& c) { return c.lineFeed(101); }, OVL_BAD_ARGMENT},
        RangeCase{"lineFeedWithTheCoverOpen",
                  [](iController& c) {
                      c.setCoverOpened(true);
                      return c.lineFeed(1);
                  },
                  OVL_NOT_OPENED},
        RangeCase{"boxOneWide", [](iController& c) { return c.printBox(1, 3); }, OVL_BAD_ARGMENT},
        RangeCase{"boxOneHigh", [](iController& c) { return c.printBox(4, 1); }, OVL_BAD_ARGMENT},
        RangeCase{"boxBeyondMemory", [](iController& c) { return c.printBox(100000, 100000); }, OVL_MEMORY_ERROR},
        RangeCase{"boxWithAlignmentThree",
                  [](iController& c) {
                      c.setAlignment(3);
                      return c.printBox(4, 3);
                  },
                  OVL_BAD_ARGMENT},
        RangeCase{"directIOWhenNotNormal",
                  [](iController& c) {
                      c.setState(0x002);
                      return c.directIO({0x10}, 0, nullptr);
                  },
                  OVL_STS_ERROR},
        RangeCase{"directIOWithNothing", [](iController& c) { return c.directIO({}, 0, nullptr); }, OVL_BAD_ARGMENT},
        RangeCase{"loadMSWIntoSevenBytes",
                  [](iController& c) {
                      uint8_t b[7];
                      return c.loadMSW(1, b, 7);
                  },
                  OVL_BUFFER_ERROR},
        RangeCase{"saveMSWFromSevenBytes",
                  [](iController& c) {
                      uint8_t b[7] = {};
                      return c.saveMSW(1, b, 7);
                  },
                  OVL_BUFFER_ERROR}),
    [](const ::testing::TestParamInfo<RangeCase>& instance) { return std::string(instance.param.name); });

TEST_F(TextCommandsTest, LineFeedsAndTheDrawer) {
    EXPECT_EQ(sentBy([&] { return controller.lineFeed(3); }), bytes({0x0A, 0x0A, 0x0A}));
    EXPECT_EQ(sentBy([&] { return controller.lineFeed(0); }), PrinterBytes{});
    controller.setDrawerPin(1);
    EXPECT_EQ(sentBy([&] { return controller.openDrawer(); }), bytes({0x1B, 0x70, 0x01, 0x64, 0x90, 0x00}));
}

TEST_F(TextCommandsTest, InitialisingResetsTheSettings) {
    controller.setAlignment(2);
    controller.setAttribute(3);
    controller.setTextSize(0x11);
    controller.setTextPosition(0);
    EXPECT_EQ(sentBy([&] { return controller.initializePrinter(); }), bytes({0x1B, 0x40}));
    EXPECT_EQ(controller.alignment(), 0);
    EXPECT_EQ(controller.attribute(), 0);
    EXPECT_EQ(controller.textSize(), 0);
    EXPECT_EQ(controller.textPosition(), 2);
}

TEST_F(TextCommandsTest, PageModeAndLabelMode) {
    EXPECT_EQ(sentBy([&] { return controller.setPageArea(1, 2, 300, 0x1234); }),
              bytes({0x1B, 0x4C, 0x1B, 0x57, 1, 0, 2, 0, 0x2C, 0x01, 0x34, 0x12}));
    EXPECT_EQ(sentBy([&] { return controller.setLeftPosition(0x102); }), bytes({0x1B, 0x24, 0x02, 0x01}));
    EXPECT_EQ(sentBy([&] { return controller.setVerticalPosition(40); }), bytes({0x1D, 0x24, 40, 0}));
    EXPECT_EQ(sentBy([&] { return controller.printDataInPageMode(); }), bytes({0x0C, 0x0C}));
    EXPECT_EQ(sentBy([&] { return controller.setLabelMode(true); }), bytes({0x08, 0x4C, 0x4C}));
    EXPECT_EQ(sentBy([&] { return controller.setLabelMode(false); }), bytes({0x08, 0x4C, 0x52}));
}

TEST_F(TextCommandsTest, ABoxIsDrawnInLineCharactersWithoutTouchingTheSettings) {
    controller.setAlignment(1);
    controller.setAttribute(0x0F);
    controller.setTextSize(0x11);
    controller.setCharacterSet(3);
    PrinterBytes sent = sentBy([&] { return controller.printBox(4, 3); });
    PrinterBytes header =
        concat({bytes({0x1B, 0x61, 0x01, 0x1B, 0x21, 0x00, 0x1D, 0x42, 0x00, 0x1B, 0x74, 0x00, 0x1B, 0x52, 0x00}),
                PrinterBytes(8, 0), bytes({0x1D, 0x21, 0x00, 0x1B, 0x33, 0x00, 0x00})});
    EXPECT_EQ(sent, concat({header, bytes({0xDA, 0xC4, 0xBF, 0x0D, 0x0A}), bytes({0xB3, 0x20, 0xB3, 0x0D, 0x0A}),
                            bytes({0xC0, 0xC4, 0xD9, 0x0D, 0x0A})}));
    EXPECT_EQ(sent.size(), 45u);
    EXPECT_EQ(controller.attribute(), 0x0F);
    EXPECT_EQ(controller.textSize(), 0x11);
    EXPECT_EQ(controller.characterSet(), 3);
}

TEST_F(TextCommandsTest, TheNarrowestBoxIsItsTwoEdges) {
    PrinterBytes sent = sentBy([&] { return controller.printBox(2, 3); });
    ASSERT_EQ(sent.size(), 30u + 12u);
    EXPECT_EQ(PrinterBytes(sent.begin() + 30, sent.end()),
              bytes({0xDA, 0xBF, 0x0D, 0x0A, 0xB3, 0xB3, 0x0D, 0x0A, 0xC0, 0xD9, 0x0D, 0x0A}));
}

TEST_F(TextCommandsTest, DirectIOPassesARequestAndReadsItsReply) {
    printer.setReply(bytes({0x1D, 0x49, 0x43}), bytes({'M', 'O', 'D', 'E', 'L'}));
    Bytes reply;
    EXPECT_EQ(sentBy([&] { return controller.directIO({0x1D, 0x49, 0x43}, 5, &reply); }), bytes({0x1D, 0x49, 0x43}));
    EXPECT_EQ(std::string(reply.begin(), reply.end()), "MODEL");
    // A reply shorter than asked for, or nowhere to put it.
    EXPECT_EQ(controller.directIO({0x1D, 0x49, 0x43}, 6, &reply), OVL_STS_ERROR);
    EXPECT_EQ(controller.directIO({0x1D, 0x49, 0x43}, 5, nullptr), OVL_STS_ERROR);
    EXPECT_EQ(controller.directIO({0x10, 0x04, 0x01}, 0, nullptr), OVL_SUCCESS);
    // A reply size no memory holds is refused, not thrown.
    for (long size : {std::numeric_limits<long>::max(), 1L << 40}) {
        EXPECT_EQ(controller.directIO({0x1D, 0x49, 0x43}, size, &reply), OVL_MEMORY_ERROR) << size;
    }
}

TEST_F(TextCommandsTest, MemorySwitchesAreReadAndWritten) {
    printer.setMemorySwitch(1, "10100000");
    uint8_t settings[8] = {};
    EXPECT_EQ(sentBy([&] { return controller.loadMSW(1, settings, 8); }),
              bytes({0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 0x01, 0x00}));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(settings), 8), "10100000");
    EXPECT_TRUE(controller.didLoadStatus_MSW());

    const uint8_t changed[8] = {'1', '1', '1', '1', '0', '0', '0', '0'};
    PrinterBytes save = sentBy([&] { return controller.saveMSW(2, changed, 8); });
    EXPECT_EQ(save, concat({bytes({0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03, 0x02}), PrinterBytes(changed, changed + 8),
                            bytes({0x00})}));
    EXPECT_EQ(printer.memorySwitch(2), "11110000");
    std::memset(settings, 0, sizeof settings);
    EXPECT_EQ(controller.loadMSW(2, settings, 8), OVL_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(settings), 8), "11110000");
}

TEST_F(TextCommandsTest, ASilentPrinterDoesNotAnswerItsMemorySwitch) {
    test::LoopbackListener silent; // connections wait in its backlog; nobody answers
    target->setPort(static_cast<uint16_t>(silent.port()));
    uint8_t settings[8];
    EXPECT_EQ(controller.loadMSW(1, settings, 8), OVL_READ_ERROR);
    EXPECT_FALSE(controller.didLoadStatus_MSW());
    EXPECT_FALSE(controller.transport().isConnected());
}

} // namespace
