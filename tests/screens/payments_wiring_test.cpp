// The order screen opens the order's payment list by its name once the order has payments, and
// Cancel brings it back to the order.
#include "OrderScreenTerminal.h"
#include "screens/pay/PayViewController.h"
#include "screens/payments/OrderPaymentsViewController.h"
#include "screens/payments/PaymentCellView.h"
#include "support/SalesDay.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;

TEST(PaymentsWiringTest, TheOrderScreenOpensThePaymentListOfAnOrderWithPayments) {
    test::OrderScreenTerminal t;
    registerPayScreens();
    registerPaymentsScreens();
    std::shared_ptr<Order> order = t.storedOrder({t.line("Burger", 1234)});
    auto cash = tavlo::test::salesday::payment("P-CASH", Payment::kCash, 500);
    cash->setCreatedBy(std::string("U-ANN"));
    order->addPayment(cash);
    auto card = tavlo::test::salesday::payment("P-CARD", Payment::kCredit, 734, 100, 0, 0, std::string("Visa"));
    card->setCreatedBy(std::string("U-ANN"));
    card->setRefNum(std::string("100234"));
    card->setNumber(std::string("1111"));
    card->voidPayment(std::string("U-ANN"));
    order->addPayment(card);
    order->write(*t.store.context());
    t.store.save();

    t.open(std::string("O-1"), std::string("L1"));
    t.h.tap("Pay");
    auto& list = t.h.visible<OrderPaymentsViewController>();
    ASSERT_EQ(list.tableView().numberOfRows(0), 1);
    ASSERT_EQ(list.tableView().numberOfRows(1), 1);
    auto* row = dynamic_cast<PaymentCellView*>(list.tableView().cellForRow({0, 0}));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->typeLabel().text(), "Cash");
    EXPECT_EQ(row->userLabel().text(), "Ann Marie Lee");
    EXPECT_TRUE(t.h.viewWithText<Button>("New Payment").isEnabled());
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "payments_order_list_phone"));

    t.h.tap("Cancel");
    EXPECT_TRUE(t.onScreen());
}

// The order of 12.34 with one payment of Ann's, stored, and the order screen opened on it with the
// payment screens registered; Ann may void.
OrderViewController& openPaidOrder(test::OrderScreenTerminal& t, int32_t paid) {
    registerPayScreens();
    registerPaymentsScreens();
    t.store.row("Role", "roleId", "R-SERVER")->addTo("permissions", t.store.addPermission("VOID"));
    std::shared_ptr<Order> order = t.storedOrder({t.line("Burger", 1234)});
    auto cash = tavlo::test::salesday::payment("P-CASH", Payment::kCash, paid);
    cash->setCreatedBy(std::string("U-ANN"));
    order->addPayment(cash);
    order->write(*t.store.context());
    t.store.save();
    return t.open(std::string("O-1"), std::string("L1"));
}

void acknowledgeAlerts(test::OrderScreenTerminal& t) {
    while (t.h.hasAlert()) {
        t.h.clickAlert(0);
        t.h.runUntilIdle();
    }
}

TEST(PaymentsWiringTest, APaymentVoidedInTheListReopensTheDueOnTheOrderScreen) {
    test::OrderScreenTerminal t;
    OrderViewController& screen = openPaidOrder(t, 1234);
    EXPECT_EQ(t.text("due"), "$0.00");
    EXPECT_TRUE(screen.button("close")->isEnabled());

    t.h.tap("Pay");
    auto& list = t.h.visible<OrderPaymentsViewController>();
    EXPECT_EQ(t.h.swipeDelete(list.tableView(), {0, 0}), "Void");
    ASSERT_TRUE(t.h.hasAlert());
    t.h.clickAlert("Void");
    t.h.runUntilIdle();
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), "Payment was voided");
    acknowledgeAlerts(t);
    t.h.tap("Cancel");
    ASSERT_TRUE(t.onScreen());
    EXPECT_EQ(t.text("due"), "$12.34");
    EXPECT_FALSE(screen.button("close")->isEnabled());
    screen.close();
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().message(), "Unable to close. Order has to be paid");
    acknowledgeAlerts(t);
    EXPECT_TRUE(t.store.context()->fetchFirst("Order", "remoteId == %@", std::string("O-1"))->isNil("closed"));
}

TEST(PaymentsWiringTest, APaymentTakenFromTheListSettlesTheOrderScreen) {
    test::OrderScreenTerminal t;
    OrderViewController& screen = openPaidOrder(t, 500);
    EXPECT_EQ(t.text("due"), "$7.34");
    EXPECT_FALSE(screen.button("close")->isEnabled());

    t.h.tap("Pay");
    t.h.tap("New Payment");
    auto& pay = t.h.visible<PayViewController>();
    EXPECT_EQ(pay.amount()->text(), "$7.34");
    t.h.tap("Process");
    acknowledgeAlerts(t);
    ASSERT_TRUE(t.onScreen());
    EXPECT_EQ(t.text("due"), "$0.00");
    EXPECT_TRUE(screen.button("close")->isEnabled());
    screen.close();
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_FALSE(t.store.context()->fetchFirst("Order", "remoteId == %@", std::string("O-1"))->isNil("closed"));
}

} // namespace
} // namespace tavlo::screens
