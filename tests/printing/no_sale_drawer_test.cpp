// No sale on a terminal whose receipt printer is a network ESC/POS printer: the drawer pulse for
// the drawer's number on this terminal reaches the printer, and the no-sale is handed over.
#include "core/session/Session.h"
#include "printing/EscPosPrinter.h"
#include "support/FakePorts.h"
#include "support/LoopbackPrinter.h"
#include "support/StoreFixture.h"

#include "EscPosBytes.h"

#include <gtest/gtest.h>

namespace tavlo {
namespace {

TEST(NoSaleDrawerTest, ThePulseForTheTerminalsDrawerReachesTheNetworkPrinter) {
    test::StoreFixture store;
    store.buildSmallStore();
    test::FakePorts ports;
    test::LoopbackPrinter device;
    Session session(store.context().get());
    session.setUserId("U-ANN");
    session.setTerminalId("T1");
    session.setPrinterStream(std::make_shared<EscPosPrinter>(device.url(), 5));

    Error error;
    // D1 "Till B" is drawer 2 on this terminal's printer.
    ASSERT_TRUE(session.noSale(std::string("D1"), std::nullopt, &error)) << error.localizedDescription();
    EXPECT_EQ(test::hex(device.jobs(1).at(0)), test::hex(test::bytes({0x1B, 'p', '2', 0xFF, 0xFF})));
    ASSERT_EQ(ports.sender->noSales.size(), 1u);
    EXPECT_EQ(ports.sender->noSales[0].userId, "U-ANN");
}

} // namespace
} // namespace tavlo
