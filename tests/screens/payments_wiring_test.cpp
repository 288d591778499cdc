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

} // namespace
} // namespace tavlo::screens
