// The day's and one order's payment lists: the open batch's payments of the chosen tender, the
// refusal to edit what the card host cannot adjust, "New Payment" and Cancel, and the day list as
// it looks with a voided and an adjusted payment.
#include "PaymentsTerminal.h"
#include "platform/ui/render/Snapshot.h"
#include "support/TimeZoneScope.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::PaymentsTerminal;

class PaymentsListsTest : public ::testing::Test {
protected:
    AdminPaymentsViewController& dayList() { return dynamic_cast<AdminPaymentsViewController&>(*t.list); }
    void pickTender(const std::string& title) { t.h.pickSegment(*dayList().payTypes(), title); }

    PaymentsTerminal t;
};

TEST_F(PaymentsListsTest, TheDayListShowsTheOpenBatchsPaymentsOfTheChosenTender) {
    // Yesterday's order, in a closed batch, is not listed.
    t.store.addStoreBatch("DAY-0", Date(1'699'900'000.0), Date(1'699'990'000.0));
    t.store.save();
    auto yesterday = std::make_shared<Order>(&t.context());
    yesterday->setRemoteId(std::string("1-1699950000-1"));
    yesterday->setName(std::string("Table 9"));
    yesterday->setBatchId(std::string("DAY-0"));
    auto old = tavlo::test::salesday::payment("P-OLD", Payment::kCash, 900);
    old->setCreatedBy(std::string("U-PAT"));
    yesterday->addPayment(old);
    yesterday->write(t.context());
    t.addPayment("P-CASH", Payment::kCash, 500);
    t.addCardSale("P-CARD1", 400);
    t.addCardSale("P-CARD2", 334);
    t.storeOrder();

    t.openDayList();
    EXPECT_EQ(t.list->title(), "Payments");
    std::vector<std::string> segments;
    for (int i = 0; i < dayList().payTypes()->numberOfSegments(); ++i)
        segments.push_back(dayList().payTypes()->titleForSegment(i));
    // The terminal's tenders in their order; no gift on a terminal that is its own till.
    EXPECT_EQ(segments, (std::vector<std::string>{"Cash", "Credit", "Tab", "Debit", "Check", "Room Charge", "Other"}));
    EXPECT_EQ(t.rows(), (std::vector<std::string>{"Cash $5.00"}));
    EXPECT_EQ(t.cell(0, 0).orderLabel().text(), "Table 1");

    pickTender("Credit");
    EXPECT_EQ(dayList().currentType(), Payment::kCredit);
    // By the gateway's reference.
    EXPECT_EQ(t.rows(), (std::vector<std::string>{"Credit $4.00", "Credit $3.34"}));
    pickTender("Tab");
    EXPECT_TRUE(t.rows().empty());
}

TEST_F(PaymentsListsTest, WithoutACardHostCardPaymentsAreNotAdjustable) {
    t.setParam("PAYMENT_CREDIT_HOST", std::nullopt);
    t.addPayment("P-CASH", Payment::kCash, 500);
    t.addPayment("P-CARD", Payment::kCredit, 734);
    t.storeOrder();
    t.openDayList();
    pickTender("Credit");
    t.h.tap("Edit");
    EXPECT_EQ(t.frontAlert(), "Alert / These type of payments are not adjustable");
    t.acknowledgeAlerts();
    EXPECT_FALSE(t.list->isEditing());
    EXPECT_FALSE(t.table().isEditing());

    pickTender("Cash");
    t.h.tap("Edit");
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_TRUE(t.table().isEditing());
}

TEST_F(PaymentsListsTest, TheOrderListEditsWhenOnePaymentIsAdjustable) {
    struct Case {
        const char* what;
        std::vector<int32_t> types;
        bool edits;
    };
    const Case cases[] = {{"a card alone, no card host", {Payment::kCredit}, false},
                          {"a card and cash", {Payment::kCredit, Payment::kCash}, true},
                          {"no payments", {}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PaymentsTerminal terminal;
        terminal.setParam("PAYMENT_CREDIT_HOST", std::nullopt);
        int n = 0;
        for (int32_t type : c.types) terminal.addPayment("P-" + std::to_string(++n), type, 300);
        terminal.storeOrder();
        terminal.openOrderList();
        terminal.h.tap("Edit");
        EXPECT_EQ(terminal.table().isEditing(), c.edits);
        EXPECT_EQ(terminal.frontAlert(), c.edits ? "" : "Alert / These type of payments are not adjustable");
    }
}

TEST_F(PaymentsListsTest, WithoutPaymentTypesTheDayListSaysSoAndListsNothing) {
    for (const ManagedObjectPtr& type : t.context().fetchAll("PaymentType")) t.context().deleteObject(type);
    t.addPayment("P-CASH", Payment::kCash, 500);
    t.storeOrder();
    t.openDayList();
    EXPECT_EQ(t.frontAlert(), "Alert / No payment types are defined, please contact support");
    t.acknowledgeAlerts();
    EXPECT_EQ(t.table().numberOfSections(), 0);
}

TEST_F(PaymentsListsTest, NewPaymentLeadsToThePayScreenWhileTheOrderOwes) {
    t.addPayment("P-CASH", Payment::kCash, 500);
    t.storeOrder();
    t.openOrderList();
    Button& pay = t.h.viewWithText<Button>("New Payment");
    EXPECT_TRUE(pay.isEnabled());
    t.h.tap(pay);
    auto& payScreen = t.h.visible<PayViewController>();
    EXPECT_EQ(payScreen.order()->getDue(), 734);
    EXPECT_EQ(payScreen.order()->payments().size(), 1u);

    PaymentsTerminal paid;
    paid.addPayment("P-CASH", Payment::kCash, 1234);
    paid.storeOrder();
    paid.openOrderList();
    EXPECT_FALSE(paid.h.viewWithText<Button>("New Payment").isEnabled());
    paid.h.tap("Cancel");
    EXPECT_EQ(paid.finished, 1);
}

TEST_F(PaymentsListsTest, NewPaymentGoesBackToThePayScreenItWasOpenedFrom) {
    t.addPayment("P-CASH", Payment::kCash, 500);
    t.storeOrder();
    PayViewController& payScreen = t.present();
    t.h.runUntilIdle();
    auto list = std::dynamic_pointer_cast<OrderPaymentsViewController>(
        InterfaceRegistry::shared().instantiate(OrderTaskScreen::kPaymentsInterface));
    list->setSession(t.session.get());
    list->setOrder(t.order);
    t.nav->push(list, false);
    t.h.runUntilIdle();
    t.h.tap("New Payment");
    EXPECT_EQ(&t.h.visibleController(), &payScreen);
    EXPECT_EQ(t.nav->viewControllers().size(), 1u);
}

TEST_F(PaymentsListsTest, APartPaymentGoesOnInTheOrdersPaymentList) {
    t.store.addCashIn(t.store.row("CashDrawer", "cashDrawerId", "D1"), t.pat);
    t.store.save();
    t.present();
    t.h.runUntilIdle();
    t.h.tap("$10");
    t.h.tap("Process");
    t.acknowledgeAlerts();
    auto& list = t.h.visible<OrderPaymentsViewController>();
    EXPECT_EQ(t.finished, 0) << "the order still owes 2.34";
    EXPECT_EQ(list.tableView().numberOfRows(0), 1);
    t.h.tap("Cancel");
    EXPECT_EQ(t.finished, 1);
}

TEST_F(PaymentsListsTest, CancelOnAPayScreenTheListPushedReturnsToTheList) {
    t.addPayment("P-CASH", Payment::kCash, 500);
    t.storeOrder();
    OrderPaymentsViewController& list = t.openOrderList();
    t.h.tap("New Payment");
    t.h.visible<PayViewController>();
    t.h.tap("Cancel");
    EXPECT_EQ(&t.h.visibleController(), &list);
    EXPECT_EQ(t.finished, 0);

    // Paid in full from there, the opener is told.
    t.store.addCashIn(t.store.row("CashDrawer", "cashDrawerId", "D1"), t.pat);
    t.store.save();
    t.h.tap("New Payment");
    t.h.tap("Process");
    t.acknowledgeAlerts();
    EXPECT_EQ(t.finished, 1);
}

// The day's credit payments after one was voided and the other adjusted through the list.
TEST_F(PaymentsListsTest, TheDayListWithAVoidedAndAnAdjustedPayment) {
    tavlo::test::TimeZoneScope zone("UTC");
    t.grant("VOID");
    t.grant("TIP_ADJUST");
    t.addCardSale("P-CARD1", 734, 100);
    t.addCardSale("P-CARD2", 500);
    t.storeOrder();
    t.openDayList(true);
    pickTender("Credit");
    t.voidRow({0, 0});
    t.acknowledgeAlerts();
    t.h.tap("Edit");
    t.h.type(t.cell(0, 1).field(PaymentCellView::kTipTag), "75");
    t.h.tap(SystemItem::Done);
    t.acknowledgeAlerts();
    EXPECT_EQ(t.alertTexts, (std::vector<std::string>{"Alert / Payment was voided", "Alert / Payment was adjusted"}));
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(t.h.window(), {1024, 768}), "payments_day_list_pad"));
}

// The order's payments in the order screen's form sheet, while the table edits: the voided cash
// keeps its labels, the card shows its amount fields.
TEST_F(PaymentsListsTest, TheOrderListEditingWithAVoidedPayment) {
    tavlo::test::TimeZoneScope zone("UTC");
    t.grant("VOID");
    t.grant("TIP_ADJUST");
    t.addPayment("P-CASH", Payment::kCash, 500, 0, std::string("D1"));
    t.addCardSale("P-CARD", 734, 100);
    t.storeOrder();
    t.openOrderList();
    EXPECT_FALSE(t.h.viewWithText<Button>("New Payment").isEnabled()) << "paid in full";
    t.voidRow({0, 0});
    t.acknowledgeAlerts();
    EXPECT_TRUE(t.h.viewWithText<Button>("New Payment").isEnabled()) << "the voided cash is owed again";
    t.h.tap("Edit");
    EXPECT_TRUE(
        ui::test::matchesGolden(render::snapshot(t.h.window(), {1024, 768}), "payments_order_list_editing_pad"));
}

} // namespace
} // namespace tavlo::screens
