// Adjustments and reprints from the payment list: money typed from the right, one adjustment per
// payment however many of its amounts were edited, the tab's cap at the amount due, the
// authorisation of a user without the right, and the receipt copies a reprint prints.
#include "PaymentsTerminal.h"
#include "screens/common/prompts/AuthenticateViewController.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::PaymentsTerminal;

class PaymentsAdjustTest : public ::testing::Test {
protected:
    TextField& field(int section, int row, int tag) { return t.cell(section, row).field(tag); }

    PaymentsTerminal t;
};

TEST_F(PaymentsAdjustTest, TwoEditsOfOnePaymentSendOneAdjustmentWithBoth) {
    t.grant("TIP_ADJUST");
    t.addCardSale("P-CARD", 1234);
    t.storeOrder();
    t.openOrderList();
    t.h.tap("Edit");

    // Digits enter from the right, as on a cash register.
    TextField& tip = field(0, 0, PaymentCellView::kTipTag);
    std::vector<std::string> shown;
    for (const char* digit : {"1", "2", "3"}) {
        t.h.type(tip, digit);
        shown.push_back(tip.text());
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"$0.01", "$0.12", "$1.23"}));
    TextField& subTotal = field(0, 0, PaymentCellView::kSubTotalTag);
    t.h.backspace(subTotal, 4);
    t.h.type(subTotal, "1200");
    EXPECT_EQ(subTotal.text(), "$12.00");
    EXPECT_EQ(t.list->paymentsToAdjust().size(), 1u) << "the tip, queued when its field ended";
    EXPECT_EQ(t.gateway.requestCount("Adjustment"), 0u) << "nothing is sent while the table edits";

    t.h.tap("Done");
    EXPECT_EQ(t.frontAlert(), "Alert / Payment was adjusted");
    t.acknowledgeAlerts();
    ASSERT_EQ(t.gateway.requestCount("Adjustment"), 1u);
    const gatewaysim::GatewayRequest adjustment = t.gateway.requests().back(); // a copy: the list is a copy too
    EXPECT_EQ(adjustment.fields.at("TipAmt"), "1.23");
    EXPECT_TRUE(t.list->paymentsToAdjust().empty());
    ManagedObjectPtr stored = t.storedPayment("P-CARD");
    EXPECT_EQ(stored->int32("subTotal"), 1200);
    EXPECT_EQ(stored->int32("tip"), 123);
    EXPECT_EQ(t.sender->orders.size(), 1u);
    EXPECT_EQ(t.cell(0, 0).valueLabel(PaymentCellView::kTipTag).text(), "$1.23");
    EXPECT_EQ(t.cell(0, 0).totalLabel().text(), "$13.23");
}

TEST_F(PaymentsAdjustTest, ATipAboveThePaymentIsAskedAboutAndOneTooLargeRefused) {
    t.grant("TIP_ADJUST");
    t.addCardSale("P-CARD", 471);
    t.storeOrder();
    t.openOrderList();
    auto typeTip = [this](const std::string& keys) {
        t.h.tap("Edit");
        t.h.type(field(0, 0, PaymentCellView::kTipTag), keys);
        t.h.tap("Done");
    };

    typeTip("abc99999999");
    EXPECT_EQ(t.frontAlert(),
              "Confirmation / The tip of $999999.99 is larger than the amount of $4.71. Is it correct?");
    t.h.clickAlert("No");
    t.h.runUntilIdle();
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_EQ(t.gateway.requestCount("Adjustment"), 0u);
    EXPECT_EQ(t.storedPayment("P-CARD")->int32("tip"), 0);

    typeTip("500");
    t.h.clickAlert("Yes");
    t.h.runUntilIdle();
    EXPECT_EQ(t.frontAlert(), "Alert / Payment was adjusted");
    t.acknowledgeAlerts();
    EXPECT_EQ(t.gateway.requestCount("Adjustment"), 1u);
    EXPECT_EQ(t.storedPayment("P-CARD")->int32("tip"), 500);

    t.h.tap("Edit");
    t.h.backspace(field(0, 0, PaymentCellView::kTipTag), 3);
    t.h.type(field(0, 0, PaymentCellView::kTipTag), "2147483647");
    t.h.tap("Done");
    EXPECT_EQ(t.frontAlert(), "Alert / The tip is too large to be taken");
    t.acknowledgeAlerts();
    EXPECT_EQ(t.gateway.requestCount("Adjustment"), 1u);
    EXPECT_EQ(t.storedPayment("P-CARD")->int32("tip"), 500);
}

TEST_F(PaymentsAdjustTest, ATabSubTotalAboveTheAmountDueIsRefusedAndRestored) {
    t.grant("TIP_ADJUST");
    t.addPayment("P-CASH", Payment::kCash, 500);
    t.addPayment("P-TAB", Payment::kTab, 300);
    t.storeOrder();
    t.openOrderList();
    t.h.tap("Edit");
    // Sections: cash (1), then the tab (10). The tab starts from what the order owes: 7.34.
    TextField& subTotal = field(1, 0, PaymentCellView::kSubTotalTag);
    t.h.type(subTotal, "5");
    EXPECT_EQ(subTotal.text(), "$73.45");
    t.h.tap("Done");
    EXPECT_EQ(t.frontAlert(),
              "Alert / Payment subTotal cannot be higher than the amount due for the order, re-enter subTotal");
    t.acknowledgeAlerts();
    EXPECT_EQ(t.alertTexts.size(), 1u) << "nothing was adjusted";
    EXPECT_EQ(t.cell(1, 0).valueLabel(PaymentCellView::kSubTotalTag).text(), "$3.00");
    EXPECT_EQ(t.storedPayment("P-TAB")->int32("subTotal"), 300);
    EXPECT_TRUE(t.sender->orders.empty());
}

TEST_F(PaymentsAdjustTest, WithoutTheRightTheAdjustmentWaitsForTheAuthoriser) {
    t.addCardSale("P-CARD", 1234);
    t.storeOrder();
    t.openOrderList();
    t.h.tap("Edit");
    t.h.type(field(0, 0, PaymentCellView::kTipTag), "200");
    t.h.tap("Done");
    auto& prompt = t.h.visible<AuthenticateViewController>();
    EXPECT_EQ(prompt.title(), "Adjust Payment");
    EXPECT_EQ(prompt.permissions(), (std::vector<std::string>{"TIP_ADJUST"}));
    EXPECT_EQ(t.gateway.requestCount("Adjustment"), 0u);
    t.h.type(t.h.outlet<TextField>("textNumber"), "1005");
    t.h.tap("Done");
    EXPECT_EQ(t.frontAlert(), "Alert / Payment was adjusted");
    t.acknowledgeAlerts();
    EXPECT_EQ(t.gateway.requestCount("Adjustment"), 1u);
    EXPECT_EQ(t.storedPayment("P-CARD")->int32("tip"), 200);
}

TEST_F(PaymentsAdjustTest, AListWithoutTheGratuityColumnKeepsThePaymentsGratuity) {
    t.grant("TIP_ADJUST");
    auto card = t.addCardSale("P-CARD", 1000, 0);
    card->setGratuity(150);
    t.storeOrder();
    t.openDayList();
    t.h.pickSegment(*dynamic_cast<AdminPaymentsViewController&>(*t.list).payTypes(), "Credit");
    t.h.tap("Edit");
    t.h.type(field(0, 0, PaymentCellView::kTipTag), "100");
    t.h.tap(SystemItem::Done);
    t.acknowledgeAlerts();
    EXPECT_EQ(t.alertTexts, (std::vector<std::string>{"Alert / Payment was adjusted"}));
    EXPECT_EQ(t.gateway.requests().back().fields.at("TipAmt"), "2.50") << "the tip and the gratuity";
    EXPECT_EQ(t.storedPayment("P-CARD")->int32("gratuity"), 150);
    EXPECT_EQ(t.storedPayment("P-CARD")->int32("tip"), 100);
}

TEST_F(PaymentsAdjustTest, AnAdjustmentToNothingIsRefused) {
    t.grant("TIP_ADJUST");
    t.addCardSale("P-CARD", 1234);
    t.storeOrder();
    t.openOrderList();
    t.h.tap("Edit");
    t.h.backspace(field(0, 0, PaymentCellView::kSubTotalTag), 4);
    t.h.tap("Done");
    EXPECT_EQ(t.frontAlert(), "Alert / Total amount for Credit payment must be more than 0");
    t.acknowledgeAlerts();
    EXPECT_EQ(t.gateway.requestCount("Adjustment"), 0u);
    EXPECT_EQ(t.storedPayment("P-CARD")->int32("subTotal"), 1234);
}

// A reprint's answer and the copies it prints, in order.
TEST_F(PaymentsAdjustTest, AReprintPrintsTheCopiesAsked) {
    struct Case {
        int32_t type;
        std::string question, answer;
        std::vector<std::string> copies;
    };
    const Case cases[] = {
        {Payment::kCredit, "Which receipt would you like to reprint?", "Both", {"Customer", "Merchant"}},
        {Payment::kCredit, "Which receipt would you like to reprint?", "Merchant", {"Merchant"}},
        {Payment::kCredit, "Which receipt would you like to reprint?", "Cancel", {}},
        {Payment::kCash, "Would you like to reprint the customer's payment receipt?", "Yes", {"Customer"}},
        {Payment::kCash, "Would you like to reprint the customer's payment receipt?", "No", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        PaymentsTerminal terminal;
        if (c.type == Payment::kCredit) terminal.addCardSale("P-1", 1234);
        else terminal.addPayment("P-1", c.type, 1234);
        terminal.storeOrder();
        terminal.openOrderList();
        terminal.h.tapRow(terminal.table(), {0, 0});
        ASSERT_TRUE(terminal.h.hasAlert());
        EXPECT_EQ(terminal.h.frontAlert().tag(), PaymentsViewController::kReprintTag);
        EXPECT_EQ(terminal.h.frontAlert().message(), c.question);
        terminal.h.clickAlert(c.answer);
        terminal.h.runUntilIdle();
        std::vector<std::string> copies;
        for (const std::string& call : terminal.printer->calls) {
            if (call.find("Customer Copy") != std::string::npos) copies.push_back("Customer");
            if (call.find("Merchant Copy") != std::string::npos) copies.push_back("Merchant");
        }
        EXPECT_EQ(copies, c.copies);
        if (!c.copies.empty()) {
            EXPECT_NE(std::find_if(terminal.printer->calls.begin(), terminal.printer->calls.end(),
                                   [](const std::string& call) { return call.find("REPRINT") != std::string::npos; }),
                      terminal.printer->calls.end());
        } else {
            EXPECT_FALSE(terminal.table().indexPathForSelectedRow()) << "the row is let go";
        }
        EXPECT_FALSE(terminal.h.hasAlert());
    }
}

TEST_F(PaymentsAdjustTest, NoReprintOnATerminalThatIsNotItsOwnTill) {
    PaymentsTerminal gateway(false);
    gateway.addPayment("P-1", Payment::kCash, 1234);
    gateway.storeOrder();
    gateway.openOrderList();
    gateway.h.tapRow(gateway.table(), {0, 0});
    EXPECT_FALSE(gateway.h.hasAlert());
    EXPECT_TRUE(gateway.printer->calls.empty());
}

} // namespace
} // namespace tavlo::screens
