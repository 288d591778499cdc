// The table layout with the store server: the open orders read when the layout comes into view
// (in gateway mode, and on the first showing only when asked), refresh failures logged and shown
// as the store says; in lite mode the amounts computed on the terminal; and the layout opened
// from the orders main screen, handing a pressed table's order back to it.
#include "StoreServer.h"
#include "TableLayoutHost.h"
#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/RecordingGraphicsContext.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/shell/OrdersMainController.h"
#include "support/LogLines.h"
#include "support/ui/Golden.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;

class ServerTableLayoutTest : public ::testing::Test, public tavlo::test::TableLayoutHost {
protected:
    explicit ServerTableLayoutTest(bool lite = false, DeviceIdiom idiom = DeviceIdiom::Tablet)
        : TableLayoutHost(idiom) {
        if (lite) store.addStoreParam("TAVLO_LITE", "YES");
        auto& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(std::string("1"), "store_id");
        defaults.setObject(std::string("secret"), "password");
        server.start();
        CommHelper::setGateway(server.url());
        IDBroker::initWithMOC(store.context());
        handler = OrderHandler::getInstance(DBHelper::sharedStore(), server.url(), 600, lite);
    }
    ~ServerTableLayoutTest() override {
        h.runUntilIdle();
        OrderHandler::releaseInstance();
        server.stop();
        CommHelper::setGateway(std::nullopt);
    }
    std::vector<std::string> texts() {
        RecordingGraphicsContext context(plan().bounds().size);
        plan().draw(context, plan().bounds());
        return context.drawing().texts();
    }
    std::string firstText() {
        std::vector<std::string> all = texts();
        return all.empty() ? "<nothing>" : all.front();
    }

    storesim::StoreServer server{{"1", "secret", 5}};
    std::shared_ptr<OrderHandler> handler;
};

TEST_F(ServerTableLayoutTest, ComingIntoViewReadsTheOpenOrdersFromTheServer) {
    // The server has Ann's order at T1; the terminal does not.
    ManagedObjectPtr row = addOrder("O-20", "From the bar", "U-ANN", "L1", 65, 900);
    Order copy(*row, store.context().get());
    ASSERT_TRUE(handler->sendOrder(copy, std::string("U-ANN"), store.context().get(), nullptr));
    store->deleteObject(row);
    store.save();

    open(true);
    EXPECT_EQ(server.requestCount("getOrders"), 1u);
    EXPECT_FALSE(h.hasAlert()) << alertText();
    EXPECT_EQ(firstText().substr(0, 3), "T1 ") << "the server's order is drawn";
}

TEST_F(ServerTableLayoutTest, TheFirstShowingReadsOnlyWhenAskedAndEveryLaterOneDoes) {
    open(false);
    EXPECT_EQ(server.requestCount("getOrders"), 0u);
    nav->push(std::make_shared<ViewController>(), false);
    h.runUntilIdle();
    nav->pop(false);
    h.runUntilIdle();
    EXPECT_EQ(server.requestCount("getOrders"), 1u);
}

TEST_F(ServerTableLayoutTest, AFailedReadIsLoggedAndShownOnlyWhenTheStoreSaysSo) {
    for (bool alerting : {false, true}) {
        SCOPED_TRACE(alerting ? "HH_ALERT_LAYOUT_REFRESH_ERRORS" : "default");
        if (alerting) store.addStoreParam("HH_ALERT_LAYOUT_REFRESH_ERRORS", "YES");
        server.setFault("getOrders", storesim::Fault::ErrorElement, 1, std::string("Store is offline"));
        std::vector<std::string> before = tavlo::test::loggedStartingWith("Error refreshing table layout orders: ");
        open(true);
        EXPECT_EQ(alertText(), alerting ? "Alert / Store is offline" : "<no alert>");
        if (alerting) h.clickAlert("Ok");
        std::vector<std::string> after = tavlo::test::loggedStartingWith("Error refreshing table layout orders: ");
        ASSERT_EQ(after.size(), before.size() + 1);
        EXPECT_EQ(after.back(), "Error refreshing table layout orders: Store is offline");
        EXPECT_EQ(firstText(), "T1") << "the layout stays";
    }
}

class LiteTableLayoutTest : public ServerTableLayoutTest {
protected:
    LiteTableLayoutTest() : ServerTableLayoutTest(true) {}
};

TEST_F(ServerTableLayoutTest, TheAmountIsTheServersTotalInGatewayMode) {
    addOrder("O-1", "Window", "U-ANN", "L3", 5, 1250);
    open();
    EXPECT_EQ(texts(), (std::vector<std::string>{"T1", "T2", "T3 (00:05)", "$12.50", "Ann Marie Lee", "Bar"}));
}

TEST_F(LiteTableLayoutTest, TheAmountIsTheOrdersOwnTotalAndNothingIsAskedOfTheServer) {
    addOrder("O-1", "Window", "U-ANN", "L3", 5, 1250); // no lines: it comes to nothing
    open(true);
    EXPECT_EQ(server.requestCount("getOrders"), 0u);
    EXPECT_EQ(texts(), (std::vector<std::string>{"T1", "T2", "T3 (00:05)", "$0.00", "Ann Marie Lee", "Bar"}));
}

// What the main screen hands the order screen ("OrderView").
class OrderScreenStandIn : public ViewController, public OrderScreen {
public:
    void setSession(std::shared_ptr<Session>) override {}
    void setRemoteId(std::optional<std::string> id) override { remoteId = std::move(id); }
    void setAreaLocationId(std::optional<std::string> id) override { areaLocationId = std::move(id); }
    void setQuickSale(bool) override {}
    std::optional<std::string> remoteId, areaLocationId;
};

// On the phone the main screen pushes the order screen itself (on the pad the root pane does).
class PhoneTableLayoutTest : public ServerTableLayoutTest {
protected:
    PhoneTableLayoutTest() : ServerTableLayoutTest(true, DeviceIdiom::Phone) {}
};

TEST_F(PhoneTableLayoutTest, TheMainScreenOpensThePressedTablesOrder) {
    addOrder("O-5", "Window", "U-ANN", "L1", 5, 1250);
    registerOrderListScreens();
    InterfaceRegistry::shared().addController(kOrderInterface, [] { return std::make_shared<OrderScreenStandIn>(); });
    session = std::make_shared<Session>(store.context().get());
    ASSERT_TRUE(session->authenticate("U-ANN"));
    auto main = std::dynamic_pointer_cast<OrdersMainController>(
        InterfaceRegistry::shared().instantiate(OrdersMainController::kInterfaceName));
    ASSERT_TRUE(main);
    main->setSession(session);
    main->setRoot(true);
    auto mainNav = std::make_shared<NavigationController>(main);
    h.show(mainNav);

    main->showTableLayout(false);
    h.runUntilIdle();
    auto* presented = dynamic_cast<NavigationController*>(mainNav->presentedViewController());
    ASSERT_NE(presented, nullptr) << alertText();
    auto* shown = dynamic_cast<TableLayoutViewController*>(presented->topViewController());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(presented->modalPresentationStyle(), ModalPresentationStyle::FullScreen);
    ui::test::writeTestPicture(render::snapshot(h.window(), h.window().bounds().size), "table_layout_phone");

    h.longPress(shown->planView(), {260, 200}); // T1's corner
    auto* order = dynamic_cast<OrderScreenStandIn*>(mainNav->topViewController());
    ASSERT_NE(order, nullptr) << alertText();
    EXPECT_EQ(order->remoteId, "O-5");
    EXPECT_EQ(mainNav->presentedViewController(), nullptr) << "the layout steps aside for the order";
}

} // namespace
} // namespace tavlo::screens
