// The command writer's bytes on a socket: the bar code and its refusals, the drawer pulse with
// its own connection, the test pattern, and what a send to no printer answers.
#include "printing/EscPos.h"

#include "EscPosBytes.h"
#include "support/LoopbackListener.h"
#include "support/LoopbackPrinter.h"
#include "support/TempHome.h"

#include "platform/net/Sockets.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace tavlo {
namespace {

using test::bytes;
using test::hex;
using test::LoopbackPrinter;

// What the operations put on one connection.
template <typename F> std::string onWire(F write) {
    LoopbackPrinter printer;
    int sock = Sockets::openTcp("127.0.0.1", printer.port(), 2);
    EXPECT_GE(sock, 0);
    write(sock);
    EXPECT_TRUE(Sockets::finishSending(sock, 2));
    close(sock);
    return printer.jobs(1).at(0);
}

TEST(EscPosCommands, BarCodeIsCode128InCodeSetB) {
    ssize_t written = 0;
    std::string wire = onWire([&](int sock) { written = EscPos::writeBarCode("12345", 80, sock); });
    EXPECT_EQ(hex(wire),
              hex(bytes({0x1D, 0x68, 0x50, 0x1D, 0x6B, 0x49, 0x07, 0x7B, 0x42, 0x31, 0x32, 0x33, 0x34, 0x35})));
    EXPECT_EQ(written, 14);

    // A "{" in the data is doubled so that the printer does not read it as a code-set switch.
    wire = onWire([](int sock) { EscPos::writeBarCode("A{B", 50, sock); });
    EXPECT_EQ(hex(wire), hex(bytes({0x1D, 0x68, 50, 0x1D, 0x6B, 0x49, 6, 0x7B, 0x42, 'A', 0x7B, 0x7B, 'B'})));

    // The longest data the length byte can hold, and one character more.
    wire = onWire([](int sock) { EscPos::writeBarCode(std::string(253, '7'), 50, sock); });
    EXPECT_EQ(static_cast<unsigned char>(wire.at(6)), 255);
    EXPECT_EQ(wire.size(), 7u + 255u);
}

TEST(EscPosCommands, BarCodeDataTheSymbolCannotCarryIsRefusedWithNothingSent) {
    const std::string refused[] = {std::string(254, '7'), std::string(127, '{'), "caf\xC3\xA9", "tab\there"};
    for (const std::string& data : refused) {
        Error error;
        ssize_t written = 0;
        EXPECT_EQ(onWire([&](int sock) { written = EscPos::writeBarCode(data, 80, sock, &error); }), "");
        EXPECT_EQ(written, -1);
        EXPECT_EQ(error.code(), -1);
        EXPECT_FALSE(error.localizedDescription().empty());
    }
}

TEST(EscPosCommands, LinesFeedsCutsAndTheTestPattern) {
    std::string wire = onWire([](int sock) {
        EXPECT_EQ(EscPos::writeLine("Soup", sock), 5);
        EscPos::writeLine(sock);
        EscPos::escape('@', sock);
        EscPos::escape('a', 1, sock);
        EscPos::escape('*', 33, 2, sock);
        EscPos::escape('D', "\x05\x0A", sock);
        EscPos::cut(sock);
        EscPos::feed(sock);
        EscPos::feedAndcut(3, sock);
        EscPos::writeByte(0x07, sock);
        EscPos::write("ok", sock);
        EscPos::writeObject(42, sock);
    });
    EXPECT_EQ(hex(wire), hex("Soup\n\n" +
                             bytes({0x1B, 0x40, 0x1B, 0x61, 1,    0x1B, 0x2A, 33,   2,    0x1B, 0x44, 5, 0x0A, 0x1D,
                                    0x56, 0,    0x0A, 0x1D, 0x56, 0x42, 0,    0x0A, 0x1D, 0x56, 0x42, 3, 0x0A, 0x07}) +
                             "ok42"));

    std::string zigzag = bytes({1, 2, 4, 8, 16, 32, 64, 128, 64, 32, 16, 8, 4, 2});
    std::string pattern = bytes({0x1B, 0x33, 24, 0x1B, 0x2A, 1, 70, 0});
    for (int i = 0; i < 5; ++i) pattern += zigzag;
    pattern += bytes({0x0A, 0x1B, 0x33, 30});
    EXPECT_EQ(hex(onWire([](int sock) { EscPos::printSampleImage(sock); })), hex(pattern));
}

TEST(EscPosCommands, NothingReachesANeverOpenedDescriptor) {
    EXPECT_EQ(EscPos::writeLine("lost", -1), -1);
    Error error;
    EXPECT_FALSE(EscPos::openDrawer(0, -1, &error));
    EXPECT_EQ(error.localizedDescription(), "Unable to connect to printer, verify printer is on");
    EXPECT_FALSE(EscPos::openDrawer(-1, -1, &error));
    EXPECT_EQ(error.localizedDescription(), "No cash drawer is set up for this terminal");
}

TEST(EscPosCommands, DrawerPulseOverItsOwnConnection) {
    test::TempHome home;
    LoopbackPrinter printer;
    Error error;
    EXPECT_TRUE(EscPos::openDrawer(1, printer.url(), 2, &error)) << error.localizedDescription();
    EXPECT_EQ(hex(printer.jobs(1).at(0)), hex(bytes({0x1B, 0x70, 0x31, 0xFF, 0xFF})));

    struct Case {
        std::optional<std::string> url;
        const char* message;
    };
    const Case cases[] = {
        {std::nullopt, "No receipt printer configured"},
        {std::string("no-such-printer.invalid"),
         "Unable to resolve receipt printer to a valid IP address, verify configuration"},
        {"127.0.0.1:" + std::to_string(test::LoopbackListener::closedPort()),
         "Unable to connect to printer, verify printer is on"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(EscPos::openDrawer(0, c.url, 2, &error));
        EXPECT_EQ(error.localizedDescription(), c.message);
    }
    EXPECT_FALSE(EscPos::openDrawer(-1, printer.url(), 2, &error));
    EXPECT_EQ(printer.jobs(2).size(), 2u);
    EXPECT_EQ(printer.jobs(2).at(1), ""); // connected, nothing sent
}

} // namespace
} // namespace tavlo
