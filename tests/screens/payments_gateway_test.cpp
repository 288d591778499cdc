// The payment lists on a terminal that is not its own till: voids and adjustments travel with the
// order to the store gateway (the loopback store server), and the day list first downloads the
// day's orders, those other terminals took included.
#include "PaymentsTerminal.h"
#include "StoreServer.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/NetworkProbe.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/AppShell.h"
#include "sync/handlers/OrderHandler.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using storesim::Fault;

class WiFiUp : public NetworkProbe {
public:
    bool isWiFiConnected() const override { return true; }
    std::string localIPAddress() const override { return "127.0.0.1"; }
    std::string ssid() const override { return "test"; }
};

class PaymentsGatewayTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(std::string("1"), "store_id");
        defaults.setObject(std::string("secret"), "password");
        t.setParam("TS_SOCKET_CONNECT_TIMEOUT", "1000");
        t.setParam("TS_SOCKET_READ_TIMEOUT", "1000");
        t.session->setPassword(std::string("secret"));
        server.start();
        CommHelper::setGateway(server.url());
        NetworkProbe::install(std::make_shared<WiFiUp>());
        OrderHandler::getInstance(DBHelper::sharedStore(), server.url(), 60, false);
        OrderSender::install(AppShell::orderSender());
    }
    void TearDown() override {
        OrderHandler::releaseInstance();
        NetworkProbe::install(nullptr);
        CommHelper::setGateway(std::nullopt);
        server.stop();
    }
    AdminPaymentsViewController& dayList() { return dynamic_cast<AdminPaymentsViewController&>(*t.list); }

    test::PaymentsTerminal t{false};
    storesim::StoreServer server{storesim::StoreServer::Options{"1", "secret", 2}};
};

TEST_F(PaymentsGatewayTest, AVoidGoesWithTheOrderToTheStoreServer) {
    t.grant("VOID");
    t.addPayment("P-CASH", Payment::kCash, 500, 0, std::string("D1"));
    t.storeOrder();
    t.openOrderList();
    t.voidRow({0, 0});
    EXPECT_EQ(t.frontAlert(), "Alert / Payment was voided");
    t.acknowledgeAlerts();
    ASSERT_EQ(server.requestCount("customerOrder"), 1u);
    std::optional<std::string> kept = server.order(t.order->remoteId().value_or(""));
    ASSERT_TRUE(kept);
    EXPECT_NE(kept->find("U-PAT"), std::string::npos) << *kept;
    EXPECT_NE(kept->find("voidBy"), std::string::npos) << *kept;
    EXPECT_FALSE(t.storedPayment("P-CASH")->isNil("voided"));
}

TEST_F(PaymentsGatewayTest, AVoidTheStoreServerRefusesLeavesThePaymentAsItWas) {
    t.grant("VOID");
    t.addPayment("P-CASH", Payment::kCash, 500, 0, std::string("D1"));
    t.storeOrder();
    server.setFault("customerOrder", Fault::ErrorElement, 0, "Order is locked");
    t.openOrderList();
    t.voidRow({0, 0});
    EXPECT_EQ(t.frontAlert(), "Alert / Unable to void payment (Order is locked)");
    t.acknowledgeAlerts();
    EXPECT_TRUE(t.storedPayment("P-CASH")->isNil("voided"));
    EXPECT_TRUE(t.cell(0, 0).voidedLabel().isHidden());
}

TEST_F(PaymentsGatewayTest, AnAdjustmentGoesWithTheOrderNotToTheCardHost) {
    t.grant("TIP_ADJUST");
    t.addPayment("P-CARD", Payment::kCredit, 1234);
    t.storeOrder();
    t.openOrderList();
    t.h.tap("Edit");
    t.h.type(t.cell(0, 0).field(PaymentCellView::kTipTag), "250");
    t.h.tap("Done");
    EXPECT_EQ(t.frontAlert(), "Alert / Payment was adjusted");
    t.acknowledgeAlerts();
    EXPECT_EQ(server.requestCount("customerOrder"), 1u);
    EXPECT_EQ(t.gateway.requestCount("Adjustment"), 0u);
    EXPECT_EQ(t.storedPayment("P-CARD")->int32("tip"), 250);
}

TEST_F(PaymentsGatewayTest, TheDayListDownloadsTheDaysOrdersIntoTheOpenBatch) {
    // Bob's order at the bar reached the server; this terminal never stored it.
    auto bar = std::make_shared<Order>(&t.context());
    bar->setRemoteId(std::string("2-1700000000-7"));
    bar->setName(std::string("Bar 2"));
    bar->setOrderType(OrderType::TakeOut);
    bar->addSelection(tavlo::test::salesday::line("o2-1", "r-burger", "Burger", 2000), nullptr);
    auto cash = tavlo::test::salesday::payment("P-BAR", Payment::kCash, 2000);
    cash->setCreatedBy(std::string("U-BOB"));
    cash->setCreated(Date::now());
    bar->addPayment(cash);
    Error error;
    ASSERT_TRUE(OrderHandler::getInstance()->sendOrder(*bar, std::string("U-BOB"), &t.context(), &error))
        << error.localizedDescription();
    if (ManagedObjectPtr stored = t.context().fetchFirst("Order", "remoteId == %@", "2-1700000000-7"))
        t.context().deleteObject(stored);
    t.store.save();
    ASSERT_FALSE(t.storedPayment("P-BAR"));
    t.addPayment("P-CASH", Payment::kCash, 500);
    t.storeOrder();

    t.openDayList();
    EXPECT_EQ(server.requestCount("getOrders"), 1u);
    EXPECT_FALSE(t.h.hasAlert()) << t.frontAlert();
    ManagedObjectPtr downloaded = t.storedPayment("P-BAR");
    ASSERT_TRUE(downloaded);
    EXPECT_EQ(downloaded->text("order.storeBatch.remoteId"), "DAY-1");
    std::vector<std::string> orders;
    for (int r = 0; r < t.table().numberOfRows(0); ++r) orders.push_back(t.cell(0, r).orderLabel().text().value_or(""));
    std::sort(orders.begin(), orders.end());
    EXPECT_EQ(orders, (std::vector<std::string>{"Bar 2", "Table 1"}));
}

TEST_F(PaymentsGatewayTest, AFailedDownloadIsShownAndTheStoredPaymentsAreListed) {
    t.addPayment("P-CASH", Payment::kCash, 500);
    t.storeOrder();
    server.setFault("getOrders", Fault::ErrorElement, 0, "Store is closed");
    t.openDayList();
    EXPECT_EQ(t.frontAlert(), "Alert / Store is closed");
    t.acknowledgeAlerts();
    EXPECT_EQ(t.rows(), (std::vector<std::string>{"Cash $5.00"}));
}

} // namespace
} // namespace tavlo::screens
