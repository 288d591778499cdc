// Failures of the paper a guest or a kitchen waits for, as the person at the terminal meets them:
// a receipt printer that refuses or cuts a receipt, a mail relay that refuses an e-mailed one,
// and a kitchen ticket that did not print after a send. Each says so on the screen and offers
// what can be done from there.
#include "OrderScreenTerminal.h"
#include "PayTerminal.h"

#include "platform/foundation/UserDefaults.h"
#include "printing/EscPosPrinter.h"
#include "support/LoopbackListener.h"
#include "support/LoopbackPrinter.h"
#include "support/RecordingAnnouncer.h"
#include "support/SupportServiceFake.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tavlo::screens::test {
namespace {

using Buttons = std::vector<std::string>;

constexpr const char* kCut = "The printer did not take the whole receipt, verify printer is on and has paper";

// A new quick sale back from its menu screen, with one burger.
OrderViewController& quickSale(OrderScreenTerminal& t) {
    OrderViewController& screen = t.open();
    screen.order()->addSelection(t.line("Burger", 500), t.session.get());
    t.h.tapBack();
    t.h.runUntilIdle();
    return screen;
}

bool hasLine(const std::vector<std::string>& calls, const std::string& text) {
    return std::any_of(calls.begin(), calls.end(),
                       [&](const std::string& call) { return call.find(text) != std::string::npos; });
}

TEST(ReceiptFailures, AReceiptThePrinterRefusedOrCutSaysWhyAndPrintsAgainFromTheAlert) {
    struct Case {
        const char* printer;
        std::optional<size_t> dropAfter; // a printer that takes this much, then hangs up
        std::string reason;
    };
    const Case cases[] = {
        {"refuses", std::nullopt, "Cannot connect to printer, verify printer is on and has paper"},
        {"cuts", size_t{10}, kCut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.printer);
        OrderScreenTerminal t;
        tavlo::test::LoopbackPrinter cutting(c.dropAfter), good;
        const std::string failing =
            c.dropAfter ? cutting.url() : "127.0.0.1:" + std::to_string(tavlo::test::LoopbackListener::closedPort());
        auto printer = std::make_shared<EscPosPrinter>(failing, 2);
        t.session->setPrinterStream(printer);
        quickSale(t);
        t.h.tap("Print");
        t.h.runUntilIdle();
        ASSERT_TRUE(t.h.hasAlert());
        EXPECT_EQ(t.h.frontAlert().title(), "Unable to print receipt");
        EXPECT_EQ(t.h.frontAlert().message(), c.reason);
        EXPECT_EQ(t.h.frontAlert().buttonTitles(), (Buttons{"OK", "Reprint"}));

        // Reprint on the same printer fails the same way and says so again; once the printer is
        // back (here: at its new address), Reprint prints the receipt.
        t.h.clickAlert("Reprint");
        t.h.runUntilIdle();
        ASSERT_TRUE(t.h.hasAlert());
        EXPECT_EQ(t.h.frontAlert().title(), "Unable to print receipt");
        printer->setUrl(good.url());
        t.h.clickAlert("Reprint");
        t.h.runUntilIdle();
        EXPECT_FALSE(t.h.hasAlert());
        const std::vector<std::string> printed = good.jobs(1);
        ASSERT_EQ(printed.size(), 1u);
        EXPECT_NE(printed[0].find("Burger"), std::string::npos);
    }
}

TEST(ReceiptFailures, ACustomerCopyThePrinterCutIsReprintedBeforeThePayScreenGoes) {
    PayTerminal t;
    t.store.addCashIn(t.store.row("CashDrawer", "cashDrawerId", "D1"), t.pat);
    t.store.save();
    t.open();
    t.printer->failWrites = true;
    t.h.tap("$20");
    t.h.tap("Process");
    t.h.runUntilIdle();
    // The change first, then the slip's failure; the screen stays until the slip is settled.
    while (t.h.hasAlert() && t.h.frontAlert().title() != "Unable to print receipt") {
        t.h.clickAlert(0);
        t.h.runUntilIdle();
    }
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), kCut);
    EXPECT_EQ(t.finished, 0);
    t.printer->failWrites = false;
    t.h.clickAlert("Reprint");
    t.h.runUntilIdle();
    t.acknowledgeAlerts(); // the change due, under it
    for (const std::string& shown : t.alertTexts)
        EXPECT_EQ(shown.find("Unable to print receipt"), std::string::npos) << shown;
    EXPECT_EQ(std::count(t.printer->calls.begin(), t.printer->calls.end(), "open"), 3)
        << "drawer, the cut copy, the reprint";
    EXPECT_EQ(t.finished, 1);
}

// The mail relay of the support service, refusing every mail.
struct RefusingRelay {
    RefusingRelay() {
        UserDefaults::standardUserDefaults().setObject(std::string("device-1"), "device_id");
        relay.setMailStatus(500);
    }
    tavlo::test::TempHome home;
    tavlo::test::SupportServiceFake relay{home.path()};
};

TEST(ReceiptFailures, AnEmailedReceiptTheRelayRefusedSaysSoAndOffersToPrintIt) {
    OrderScreenTerminal t;
    RefusingRelay relay;
    t.setParam("EMAIL_FROM", "receipts@bistro.example");
    OrderViewController& screen = quickSale(t);
    screen.email(std::string("rosa@guest.example"));
    t.h.runUntilIdle();
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().title(), "Unable to e-mail receipt");
    EXPECT_NE(t.h.frontAlert().message()->find("Would you like the receipt printed instead?"), std::string::npos);
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (Buttons{"OK", "Print"}));
    t.h.clickAlert("Print");
    t.h.runUntilIdle();
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_TRUE(hasLine(t.printer->calls, "Burger"));
}

TEST(ReceiptFailures, APaySlipTheRelayRefusedIsPrintedInsteadBeforeThePayScreenGoes) {
    PayTerminal t;
    RefusingRelay relay;
    t.setParam("EMAIL_CUSTOMER_RECEIPTS", "YES");
    t.setParam("EMAIL_FROM", "receipts@bistro.example");
    t.store.addCashIn(t.store.row("CashDrawer", "cashDrawerId", "D1"), t.pat);
    t.store.save();
    t.open();
    t.h.tap("$20");
    t.h.tap("Process");
    t.h.runUntilIdle();
    while (t.h.hasAlert() && t.h.frontAlert().title() != "Question") {
        t.h.clickAlert(0);
        t.h.runUntilIdle();
    }
    ASSERT_TRUE(t.h.hasAlert());
    t.h.clickAlert("Email");
    t.h.runUntilIdle();
    t.screen->emailCustomerReceipt(std::string("rosa@guest.example")); // the address typed
    t.h.runUntilIdle();
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().title(), "Unable to e-mail receipt");
    EXPECT_EQ(t.finished, 0);
    const auto opened = std::count(t.printer->calls.begin(), t.printer->calls.end(), "open");
    t.h.clickAlert("Print");
    t.h.runUntilIdle();
    EXPECT_EQ(std::count(t.printer->calls.begin(), t.printer->calls.end(), "open"), opened + 1);
    EXPECT_EQ(t.finished, 1);
}

TEST(ReceiptFailures, ALiteSendWhoseKitchenTicketFailedSaysTheOrderWentAndPrintsTheTicketAgain) {
    OrderScreenTerminal t;
    tavlo::test::RecordingAnnouncer kitchen;
    kitchen.failWith(Error("Kitchen", -1, "Unable to connect. Take ticket to printer Grill"));
    quickSale(t);
    t.h.tap("Send");
    t.h.runUntilIdle();
    EXPECT_EQ(t.sender->orders.size(), 1u) << "the order went";
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(),
              "Sent, but the kitchen ticket did not print: Unable to connect. Take ticket to printer Grill");
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (Buttons{"OK", "Print ticket again"}));

    // Again: the whole order, every unit, though all of it was sent.
    t.h.clickAlert("Print ticket again");
    t.h.runUntilIdle();
    const auto tickets = kitchen.tickets();
    ASSERT_EQ(tickets.size(), 2u);
    EXPECT_EQ(tickets[1].newUnits, std::vector<int32_t>{1});
    ASSERT_TRUE(t.h.hasAlert()) << "still failing, and it says so";
    t.h.clickAlert("OK");
    t.h.runUntilIdle();
    EXPECT_FALSE(t.h.hasAlert());
}

} // namespace
} // namespace tavlo::screens::test
