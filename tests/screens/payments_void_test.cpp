// Voids from the payment list: what a voided row shows and allows, the cash a closed drawer count
// holds, the authorisation of a user without the right, the card void at the loopback gateway and
// what is left when the gateway or the order send refuses.
#include "PaymentsTerminal.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/common/prompts/AuthenticateViewController.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::PaymentsTerminal;
using Answer = gatewaysim::Answer;

class PaymentsVoidTest : public ::testing::Test {
protected:
    PaymentsTerminal t;
};

TEST_F(PaymentsVoidTest, AVoidedRowShowsVoidedAndCannotBeSwipedOrEdited) {
    t.addCardSale("P-CARD", 734, 100);
    t.addPayment("P-CASH", Payment::kCash, 500)->voidPayment(std::string("U-ANN"));
    t.storeOrder();
    t.openOrderList();
    // Sections by tender: cash (1), then credit (2).
    ASSERT_EQ(t.rows(), (std::vector<std::string>{"Cash $5.00", "Credit $7.34"}));
    PaymentCellView& voided = t.cell(0, 0);
    EXPECT_FALSE(voided.voidedLabel().isHidden());
    EXPECT_EQ(voided.voidedLabel().text(), "VOIDED");
    EXPECT_FALSE(t.table().deleteConfirmationTitle({0, 0}));
    EXPECT_THROW(t.h.swipeDelete(t.table(), {0, 0}), ui::test::HarnessError);

    PaymentCellView& card = t.cell(1, 0);
    EXPECT_TRUE(card.voidedLabel().isHidden());
    EXPECT_EQ(t.table().deleteConfirmationTitle({1, 0}), "Void");
    EXPECT_TRUE(card.adjustable());
    EXPECT_EQ(card.detailLabel().text(),
              "Credit: Visa (ref: " + t.storedPayment("P-CARD")->text("transactionId").value_or("") +
                  ", last 4: 1111)");
    EXPECT_EQ(card.totalLabel().text(), "$8.34");
    EXPECT_EQ(card.userLabel().text(), "Pat");

    // While the table edits, the voided row keeps its labels; the card row shows its fields.
    t.grant("TIP_ADJUST");
    t.h.tap("Edit");
    EXPECT_FALSE(voided.valueLabel(PaymentCellView::kTipTag).isHidden());
    EXPECT_TRUE(voided.field(PaymentCellView::kTipTag).isHidden());
    EXPECT_EQ(voided.field(PaymentCellView::kTipTag).delegate(), nullptr);
    EXPECT_FALSE(card.field(PaymentCellView::kTipTag).isHidden());
    EXPECT_EQ(card.field(PaymentCellView::kTipTag).text(), "$1.00");
}

TEST_F(PaymentsVoidTest, CashOfAClosedDrawerCountIsRefusedWithTheCashMessage) {
    t.grant("VOID");
    t.addPayment("P-CASH", Payment::kCash, 500, 0, std::string("D1"));
    t.storeOrder();
    ManagedObjectPtr count = t.storedPayment("P-CASH")->toOne("cashInOut");
    ASSERT_TRUE(count) << "the payment belongs to Till B's open count";
    count->setValue("outDate", Date::now());
    t.store.save();

    t.openOrderList();
    EXPECT_EQ(t.cell(0, 0).detailLabel().text(), "Cash: Till B");
    EXPECT_EQ(t.h.swipeDelete(t.table(), {0, 0}), "Void");
    t.h.clickAlert("Void"); // the question before it
    EXPECT_EQ(t.frontAlert(), "Alert / Unable to void payment as it was part of a previous cash drawer cash out or was "
                              "already voided");
    t.acknowledgeAlerts();
    EXPECT_TRUE(t.storedPayment("P-CASH")->isNil("voided"));
    EXPECT_TRUE(t.sender->orders.empty());
    EXPECT_TRUE(t.cell(0, 0).voidedLabel().isHidden());
}

TEST_F(PaymentsVoidTest, WithoutTheRightTheAuthoriserVoidsAndIsRecorded) {
    t.addPayment("P-CASH", Payment::kCash, 500, 0, std::string("D1"));
    t.order->setClosed(Date::now());
    t.storeOrder();
    t.openOrderList();
    t.voidRow({0, 0});

    auto& prompt = t.h.visible<AuthenticateViewController>();
    EXPECT_EQ(prompt.title(), "Void Payment");
    EXPECT_EQ(prompt.permissions(), (std::vector<std::string>{"VOID_CASH"}));
    EXPECT_TRUE(t.storedPayment("P-CASH")->isNil("voided")) << "nothing happens before the authorisation";
    t.h.type(t.h.outlet<TextField>("textNumber"), "1005");
    t.h.tap("Done");

    EXPECT_EQ(&t.h.visibleController(), t.list.get()) << "the prompt is gone";
    EXPECT_EQ(t.frontAlert(), "Alert / Payment was voided");
    t.acknowledgeAlerts();
    ManagedObjectPtr stored = t.storedPayment("P-CASH");
    EXPECT_FALSE(stored->isNil("voided"));
    EXPECT_EQ(stored->text("voidBy.userId"), "U-MAX");
    EXPECT_TRUE(stored->toOne("order")->isNil("closed")) << "the order is open again";
    ASSERT_EQ(t.sender->orders.size(), 1u);
    EXPECT_EQ(t.sender->orders[0].remoteId, t.order->remoteId());
    EXPECT_FALSE(t.cell(0, 0).voidedLabel().isHidden());
}

TEST_F(PaymentsVoidTest, AVoidIsAskedForFirstAndCancelLeavesThePayment) {
    t.grant("VOID_CREDIT");
    t.addCardSale("P-CARD", 1234);
    t.storeOrder();
    t.openOrderList();
    EXPECT_EQ(t.h.swipeDelete(t.table(), {0, 0}), "Void");
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.frontAlert(), "Void Payment / Void this payment of $12.34? A void cannot be taken back.");
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (std::vector<std::string>{"Cancel", "Void"}));
    t.h.clickAlert("Cancel");
    t.h.runUntilIdle();
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_EQ(t.gateway.requestCount("Void"), 0u);
    EXPECT_TRUE(t.storedPayment("P-CARD")->isNil("voided"));
    EXPECT_EQ(t.table().deleteConfirmationTitle({0, 0}), "Void");
}

TEST_F(PaymentsVoidTest, ALiteCardVoidGoesToTheGatewayThenTheOrderIsReopenedAndSent) {
    t.grant("VOID_CREDIT");
    t.addCardSale("P-CARD", 1234);
    t.order->setClosed(Date::now());
    t.storeOrder();
    const std::string reference = t.storedPayment("P-CARD")->text("transactionId").value_or("");
    t.openOrderList();
    t.voidRow({0, 0});

    EXPECT_EQ(t.frontAlert(), "Alert / Payment was voided");
    t.acknowledgeAlerts();
    ASSERT_EQ(t.gateway.requestCount("Void"), 1u);
    EXPECT_TRUE(t.gateway.kept().at(0).voided);
    ManagedObjectPtr stored = t.storedPayment("P-CARD");
    EXPECT_FALSE(stored->isNil("voided"));
    EXPECT_EQ(stored->text("voidBy.userId"), "U-PAT");
    EXPECT_TRUE(stored->toOne("order")->isNil("closed"));
    ASSERT_EQ(t.sender->orders.size(), 1u);
    EXPECT_EQ(t.sender->orders[0].userId, "U-PAT");
    EXPECT_EQ(t.cell(0, 0).voidedLabel().text(), "VOIDED");
    EXPECT_FALSE(t.cell(0, 0).voidedLabel().isHidden());
    EXPECT_FALSE(t.table().deleteConfirmationTitle({0, 0}));
}

// While the table edits, rows are chosen and voided together; a user without the right has the
// tender's right authorised once for all of them.
TEST_F(PaymentsVoidTest, RowsChosenWhileEditingAreVoidedTogether) {
    t.addPayment("P-CASH", Payment::kCash, 500);
    t.addCardSale("P-CARD1", 400);
    t.addCardSale("P-CARD2", 334);
    t.storeOrder();
    t.openOrderList();
    t.h.tap("Edit");
    ASSERT_TRUE(t.table().allowsMultipleSelectionDuringEditing());
    t.h.tapRow(t.table(), {1, 0});
    t.h.tapRow(t.table(), {1, 1});
    t.h.tapRow(t.table(), {0, 0});
    t.h.tapRow(t.table(), {0, 0}); // chosen, then not
    EXPECT_EQ(t.table().indexPathsForSelectedRows().size(), 2u);
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(t.h.window(), {1024, 768}), "payments_order_list_chosen_pad"));

    t.h.tap("Void (2)");
    auto& prompt = t.h.visible<AuthenticateViewController>();
    EXPECT_EQ(prompt.permissions(), (std::vector<std::string>{"VOID_CREDIT"}));
    t.h.type(t.h.outlet<TextField>("textNumber"), "1005");
    t.h.tap(t.h.viewWithText<Button>("Done")); // the prompt's, not the list's
    EXPECT_EQ(t.frontAlert(), "Alert / Payment was voided") << "one alert for both";
    t.acknowledgeAlerts();
    EXPECT_EQ(t.alertTexts.size(), 1u);
    EXPECT_EQ(t.gateway.requestCount("Void"), 2u);
    for (const char* id : {"P-CARD1", "P-CARD2"}) {
        EXPECT_FALSE(t.storedPayment(id)->isNil("voided")) << id;
        EXPECT_EQ(t.storedPayment(id)->text("voidBy.userId"), "U-MAX") << id;
    }
    EXPECT_TRUE(t.storedPayment("P-CASH")->isNil("voided"));
    EXPECT_TRUE(t.table().indexPathsForSelectedRows().empty());
}

// What refuses, and what the list says; the payment stays as it was in the store and on screen.
TEST_F(PaymentsVoidTest, ARefusedVoidLeavesThePaymentAsItWas) {
    struct Case {
        const char* what;
        std::function<void(PaymentsTerminal&)> refuse;
        std::string alert;
        size_t voidRequests;
    };
    const Case cases[] = {
        {"the gateway declines",
         [](PaymentsTerminal& terminal) { terminal.gateway.script("Void", Answer::DeclineMessage, "Void refused"); },
         "Alert / Unable to void payment (Void refused)", 1},
        {"no card host", [](PaymentsTerminal& terminal) { terminal.setParam("PAYMENT_CREDIT_HOST", std::nullopt); },
         "Alert / Merchant account has not been setup", 0},
        {"the host does not know the transaction",
         [](PaymentsTerminal& terminal) {
             terminal.storedPayment("P-CARD")->setValue("transactionId", "999999");
             terminal.store.save();
         },
         "Alert / Unable to find transaction", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PaymentsTerminal terminal;
        terminal.grant("VOID");
        terminal.addCardSale("P-CARD", 1234);
        terminal.storeOrder();
        c.refuse(terminal);
        terminal.openOrderList();
        terminal.voidRow({0, 0});
        EXPECT_EQ(terminal.frontAlert(), c.alert);
        terminal.acknowledgeAlerts();
        EXPECT_EQ(terminal.gateway.requestCount("Void"), c.voidRequests);
        EXPECT_TRUE(terminal.storedPayment("P-CARD")->isNil("voided"));
        EXPECT_TRUE(terminal.sender->orders.empty());
        EXPECT_TRUE(terminal.cell(0, 0).voidedLabel().isHidden());
        EXPECT_EQ(terminal.table().deleteConfirmationTitle({0, 0}), "Void");
    }
}

TEST_F(PaymentsVoidTest, ACashVoidTheOrderSendRefusesIsNotStored) {
    t.grant("VOID");
    t.addPayment("P-CASH", Payment::kCash, 500, 0, std::string("D1"));
    t.storeOrder();
    t.sender->failure = Error("Tavlo", -1, "Queue is full");
    t.openOrderList();
    t.voidRow({0, 0});
    EXPECT_EQ(t.frontAlert(), "Alert / Unable to void payment (Queue is full)");
    t.acknowledgeAlerts();
    EXPECT_TRUE(t.storedPayment("P-CASH")->isNil("voided"));
    EXPECT_TRUE(t.cell(0, 0).voidedLabel().isHidden());
}

TEST_F(PaymentsVoidTest, ACardVoidWhoseOrderCannotBeSentStaysVoidedAsAtTheHost) {
    t.grant("VOID");
    t.addCardSale("P-CARD", 1234);
    t.storeOrder();
    t.sender->failure = Error("Tavlo", -1, "Queue is full");
    t.openOrderList();
    t.voidRow({0, 0});
    EXPECT_EQ(t.frontAlert(), "Alert / Unable to void payment (Queue is full)");
    t.acknowledgeAlerts();
    EXPECT_TRUE(t.gateway.kept().at(0).voided);
    EXPECT_FALSE(t.storedPayment("P-CARD")->isNil("voided"));
    EXPECT_FALSE(t.cell(0, 0).voidedLabel().isHidden());
}

} // namespace
} // namespace tavlo::screens
