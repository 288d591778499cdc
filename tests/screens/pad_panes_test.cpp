// The pad's panes as the start-up sets them up: the root pane presents the sign-in screen, takes
// the screen a sign-in opens, signs out, and opens orders for a table or by remote id; the detail
// pane's status line; the orders main screen in the root pane, which opens orders and signs out
// through it.
#include "LoginScreen.h"
#include "platform/ui/SplitViewController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/shell/DetailViewController.h"
#include "screens/shell/OrdersMainController.h"
#include "screens/shell/RootViewController.h"
#include "screens/shell/SignedInViewController.h"
#include "screens/shell/TavloMobileAppDelegate.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::LoginScreen;

// A configured pad terminal of the small store, started by its application delegate.
class Pad {
public:
    explicit Pad(bool lite = false) : s({DeviceIdiom::Tablet, lite, {{"HH_IGNORE_TERMINAL_INFO", "YES"}}}) {
        DBHelper::saveStoreParam("IPHONE_STORE_ID", std::string("1"), s.store.context().get());
        s.store.save();
        delegate->setFreeSpaceReader([] { return uint64_t{8} << 30; });
        s.h.app().setDelegate(delegate);
        s.h.app().launch();
        s.h.runUntilIdle();
    }
    ~Pad() { delegate->waitForBackgroundWork(); }

    RootViewController& root() { return *delegate->rootViewController(); }
    DetailViewController& detail() { return *delegate->detailViewController(); }
    LoginViewController* login() { return dynamic_cast<LoginViewController*>(&s.h.visibleController()); }
    void signIn(const std::string& number) {
        ASSERT_NE(login(), nullptr);
        s.h.type(*login()->textNumber(), number);
        s.h.tap("Login");
        ASSERT_FALSE(s.h.hasAlert()) << s.alertText();
    }
    // An open order at a table of the dining room.
    void addOrder(const std::string& remoteId, const std::string& name, const std::optional<std::string>& table,
                  const char* userId = "U-ANN") {
        ManagedObjectPtr order = s.store.addOrder(remoteId, s.row("User", "userId", userId));
        order->setValue("name", name);
        if (table) order->setToOne("areaLocation", tableRow(*table));
        s.store.save();
    }
    ManagedObjectPtr tableRow(const std::string& id) {
        if (ManagedObjectPtr found = s.store->fetchFirst("AreaLocation", "areaLocationId == %@", id)) return found;
        ManagedObjectPtr table = s.store->insert("AreaLocation");
        table->setValue("areaLocationId", id);
        table->setValue("name", "Table " + id);
        table->setToOne("area", s.row("Area", "areaId", "A1"));
        return table;
    }

    LoginScreen s;
    std::shared_ptr<TavloMobileAppDelegate> delegate = std::make_shared<TavloMobileAppDelegate>();
};

TEST(PadPanesTest, SigningInFillsBothPanesAndSigningOutBringsTheSignInBack) {
    Pad pad;
    ASSERT_NE(pad.login(), nullptr);
    EXPECT_EQ(pad.s.h.window().rootViewController(), pad.delegate->splitViewController());
    pad.signIn("1001");

    test::SignedInStandIn* main = pad.s.openedScreen();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(pad.root().navigationController()->topViewController(), main);
    EXPECT_EQ(main->onExit, true); // HH_UPDATE_ORDERS_ON_EXIT absent
    ASSERT_TRUE(pad.root().session());
    EXPECT_EQ(pad.root().session(), pad.detail().session());
    EXPECT_EQ(pad.root().mainController().get(), main);
    EXPECT_EQ(pad.detail().title(), "Corner Bistro (Front)");
    EXPECT_EQ(pad.detail().lblStatus()->text(), "Front");
    EXPECT_FALSE(pad.detail().btnLayout()->isEnabled());
    ui::test::writeTestPicture(render::snapshot(pad.s.h.window(), {1024, 768}), "pad_signed_in");

    std::shared_ptr<Session> session = pad.root().session();
    pad.root().logout();
    pad.s.h.runUntilIdle();
    EXPECT_FALSE(session->isValid());
    ASSERT_NE(pad.login(), nullptr);
    EXPECT_EQ(pad.root().navigationController()->topViewController(), &pad.root());
    EXPECT_FALSE(pad.root().loginOnAppear());

    // Again, signing out through the detail pane.
    pad.signIn("1002");
    pad.detail().logout();
    pad.s.h.runUntilIdle();
    ASSERT_NE(pad.login(), nullptr);
    EXPECT_FALSE(pad.root().session()->isValid());
}

TEST(PadPanesTest, ATableWithTwoLocalOrdersShowsTheChooserAndLoadsTheChosenOne) {
    Pad pad;
    pad.signIn("1001"); // the gateway's open orders replace the local ones: none yet
    pad.addOrder("O-2", "Window seat", "L1");
    pad.addOrder("O-1", "Birthday", "L1");
    size_t asked = pad.s.server.requestCount("getOrders");
    pad.root().loadOrderAt("L1");

    ASSERT_TRUE(pad.s.h.hasAlert());
    EXPECT_EQ(pad.s.alertText(), "Multiple Orders / Select an order:");
    EXPECT_EQ(pad.s.h.frontAlert().buttonTitles(), (std::vector<std::string>{"Cancel", "Birthday", "Window seat"}));
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(pad.s.h.window(), {1024, 768}), "pad_order_chooser"));
    pad.s.h.clickAlert("Window seat");

    test::SignedInStandIn* order = pad.s.openedScreen();
    ASSERT_NE(order, nullptr);
    EXPECT_EQ(order->interfaceName(), "OrderView");
    EXPECT_EQ(order->remoteId, "O-2");
    EXPECT_EQ(order->areaLocationId, "L1");
    EXPECT_FALSE(order->quickSale); // an order at a table
    EXPECT_EQ(order->session, pad.root().session());
    EXPECT_EQ(pad.root().navigationController()->topViewController(), order);
    EXPECT_EQ(pad.s.server.requestCount("getOrders"), asked); // the local orders were enough
}

TEST(PadPanesTest, AnOrderOpensAsAQuickSaleExactlyWhenItHasNoTable) {
    Pad pad(true);
    pad.s.store.addStoreBatch("B-1", Date::now(), std::nullopt); // open: the orders main screen
    pad.addOrder("O-7", "Take away", std::nullopt);
    pad.addOrder("O-8", "Terrace", "L4");
    pad.signIn("1001");
    auto* main = pad.s.openedScreen();
    ASSERT_EQ(pad.root().mainController().get(), main);
    main->onAppear = true;
    struct Case {
        const char* remoteId;
        std::optional<std::string> table;
        bool quickSale;
    };
    for (const Case& c : {Case{"O-7", std::nullopt, true}, Case{"O-8", "L4", false}}) {
        SCOPED_TRACE(c.remoteId);
        pad.root().loadOrder(std::string(c.remoteId));
        test::SignedInStandIn* order = pad.s.openedScreen();
        ASSERT_NE(order, main);
        EXPECT_EQ(order->remoteId, c.remoteId);
        EXPECT_EQ(order->areaLocationId, c.table);
        EXPECT_EQ(order->quickSale, c.quickSale);
        EXPECT_TRUE(main->onAppear); // as it was before
        pad.root().navigationController()->pop(false);
    }
    // Somebody else's order needs the right to work on all orders.
    pad.addOrder("O-9", "Corner", "L5", "U-ANN");
    pad.root().logout();
    pad.s.h.runUntilIdle();
    pad.signIn("1002");
    pad.s.row("Role", "roleId", "R-MANAGER")->removeFrom("permissions", pad.s.store.addPermission("ALL_ORDERS"));
    pad.s.store.save();
    size_t before = pad.s.opened.size();
    pad.root().loadOrder(std::string("O-9"));
    EXPECT_EQ(pad.s.alertText(), "Alert / Unable to work on an order opened by somebody else. If you need to work on "
                                 "it, have the manager transfer it to you");
    EXPECT_EQ(pad.s.opened.size(), before);
}

TEST(PadPanesTest, ATableWithoutOrdersOpensANewOneOnlyWithTheRightToStartOrders) {
    for (bool granted : {true, false}) {
        SCOPED_TRACE(granted ? "NEW_ORDER granted" : "without NEW_ORDER");
        Pad pad(true);
        pad.tableRow("L3");
        if (granted)
            pad.s.row("Role", "roleId", "R-SERVER")->addTo("permissions", pad.s.store.addPermission("NEW_ORDER"));
        pad.s.store.save();
        pad.signIn("1002");
        size_t before = pad.s.opened.size();
        pad.root().loadOrderAt("L3");
        if (!granted) {
            EXPECT_EQ(pad.s.alertText(), "Alert / You do not have the required access");
            EXPECT_EQ(pad.s.opened.size(), before);
            continue;
        }
        test::SignedInStandIn* order = pad.s.openedScreen();
        ASSERT_EQ(pad.s.opened.size(), before + 1);
        EXPECT_EQ(order->remoteId, std::nullopt);
        EXPECT_EQ(order->areaLocationId, "L3");
        EXPECT_FALSE(order->quickSale);
        EXPECT_EQ(pad.s.server.requestCount("getOrders"), 0u); // lite: the local orders are all there is
    }
}

TEST(PadPanesTest, TheRootPaneShowsTheGatewayOrTheStoreDayInTheStatusLine) {
    {
        Pad pad;
        pad.signIn("1001");
        pad.root().viewWillAppear(false);
        EXPECT_EQ(pad.detail().lblStatus()->text(), "Gateway: 127.0.0.1");
    }
    {
        Pad pad(true);
        pad.s.store.addStoreBatch("B-1", Date::now(), std::nullopt);
        pad.s.store.save();
        pad.signIn("1001");
        pad.root().viewWillAppear(false);
        EXPECT_EQ(pad.detail().lblStatus()->text(),
                  "Opened " + Utils::naturalStringForDate(pad.root().session()->storeOpenDate()));
    }
}

// The orders main screen itself in the root pane (a lite pad with the store open), with Ann's
// order at table L1 in the open business day.
class PadOrdersMain {
public:
    PadOrdersMain() {
        registerOrderListScreens(); // the real "OrdersView" in place of the stand-in
        ManagedObjectPtr batch = pad.s.store.addStoreBatch("B-1", Date::now().addingSeconds(-3600), std::nullopt);
        pad.addOrder("O-1", "Window seat", "L1");
        ManagedObjectPtr order = pad.s.store->fetchFirst("Order", "remoteId == %@", std::string("O-1"));
        order->setValue("total", 1250);
        order->setValue("type", "dineIn");
        order->setValue("created", Date::now().addingSeconds(-600));
        order->setToOne("storeBatch", batch);
        pad.s.store.save();
        pad.signIn("1001");
    }
    OrdersMainController* main() {
        return dynamic_cast<OrdersMainController*>(pad.root().navigationController()->topViewController());
    }
    TableView& list() { return *pad.s.h.viewsOf<TableView>().front(); }
    test::SignedInStandIn* openedOrder() {
        return dynamic_cast<test::SignedInStandIn*>(pad.root().navigationController()->topViewController());
    }

    Pad pad{true};
};

TEST(PadMainScreenTest, AfterSignInTheMainScreenOpensTheTappedOrderThroughTheRootPane) {
    PadOrdersMain p;
    OrdersMainController* main = p.main();
    ASSERT_NE(main, nullptr) << p.pad.s.alertText();
    EXPECT_EQ(p.pad.root().mainController().get(), main);
    EXPECT_EQ(main->session(), p.pad.root().session());
    ASSERT_EQ(p.list().dataSource()->numberOfRows(p.list(), 0), 1);
    ui::test::writeTestPicture(render::snapshot(p.pad.s.h.window(), {1024, 768}), "pad_orders_main");

    bool onAppear = main->updateOnAppear();
    p.pad.s.h.tapRow(p.list(), {0, 0});
    test::SignedInStandIn* order = p.openedOrder();
    ASSERT_NE(order, nullptr) << p.pad.s.alertText();
    EXPECT_EQ(order->interfaceName(), "OrderView");
    EXPECT_EQ(order->remoteId, "O-1");
    EXPECT_EQ(order->areaLocationId, "L1");
    EXPECT_FALSE(order->quickSale);
    EXPECT_EQ(order->session, p.pad.root().session());
    EXPECT_TRUE(main->inOrder());
    EXPECT_EQ(main->updateOnAppear(), onAppear); // the root pane gives it back
    ui::test::writeTestPicture(render::snapshot(p.pad.s.h.window(), {1024, 768}), "pad_order_opened");

    // Back on the main screen, the table's single local order opens through the root pane too.
    p.pad.root().navigationController()->pop(false);
    p.pad.s.h.runUntilIdle();
    EXPECT_FALSE(main->inOrder());
    size_t before = p.pad.s.opened.size();
    p.pad.root().loadOrderAt("L1");
    ASSERT_EQ(p.pad.s.opened.size(), before + 1) << p.pad.s.alertText();
    EXPECT_EQ(p.openedOrder(), p.pad.s.openedScreen());
    EXPECT_EQ(p.openedOrder()->remoteId, "O-1");
    EXPECT_EQ(p.openedOrder()->areaLocationId, "L1");
    EXPECT_FALSE(p.pad.s.h.hasAlert()) << p.pad.s.alertText();
}

TEST(PadMainScreenTest, LogoutFromTheMainScreenBringsTheSignInBack) {
    PadOrdersMain p;
    ASSERT_NE(p.main(), nullptr) << p.pad.s.alertText();
    std::shared_ptr<Session> session = p.pad.root().session();
    p.pad.s.h.tap("Logout");
    p.pad.s.h.runUntilIdle();
    EXPECT_FALSE(session->isValid());
    ASSERT_NE(p.pad.login(), nullptr);
    EXPECT_EQ(p.pad.root().navigationController()->topViewController(), &p.pad.root());
    EXPECT_FALSE(p.pad.root().loginOnAppear());
    ui::test::writeTestPicture(render::snapshot(p.pad.s.h.window(), {1024, 768}), "pad_orders_logout");
}

// The table layout covers the split view; signing out from it (through the main screen) or from
// the detail pane takes it away before the sign-in comes back.
TEST(PadMainScreenTest, SigningOutOverAPresentedScreenDismissesItFirst) {
    for (bool fromDetail : {false, true}) {
        SCOPED_TRACE(fromDetail ? "detail pane" : "main screen");
        PadOrdersMain p;
        OrdersMainController* main = p.main();
        ASSERT_NE(main, nullptr) << p.pad.s.alertText();
        auto layout = std::make_shared<ViewController>();
        main->present(std::make_shared<NavigationController>(layout), false);
        p.pad.s.h.runUntilIdle();
        ASSERT_NE(p.pad.s.h.window().rootViewController()->presentedViewController(), nullptr);
        if (fromDetail) p.pad.detail().logout();
        else main->logout();
        p.pad.s.h.runUntilIdle();
        EXPECT_FALSE(p.pad.root().session()->isValid());
        ASSERT_NE(p.pad.login(), nullptr);
        EXPECT_FALSE(layout->isOnScreen());
    }
}

} // namespace
} // namespace tavlo::screens

namespace tavlo::screens {
namespace {

// The phone: the sign-in screen is the first of the start-up's navigation; the program's stand-in
// for the next screen says who signed in, and its "Sign Out" brings the sign-in screen back.
TEST(PhoneSignInTest, TheSignInIsTheFirstScreenAndSigningOutComesBackToIt) {
    LoginScreen s({DeviceIdiom::Phone, false, {{"HH_IGNORE_TERMINAL_INFO", "YES"}}});
    registerSignedInStandIns(); // the program's own, in place of the test's
    DBHelper::saveStoreParam("IPHONE_STORE_ID", std::string("1"), s.store.context().get());
    s.store.save();
    auto delegate = std::make_shared<TavloMobileAppDelegate>();
    delegate->setFreeSpaceReader([] { return uint64_t{8} << 30; });
    s.h.app().setDelegate(delegate);
    s.h.app().launch();
    s.h.runUntilIdle();

    ASSERT_EQ(delegate->splitViewController(), nullptr);
    ASSERT_NE(delegate->navigationController(), nullptr);
    auto* login = dynamic_cast<LoginViewController*>(&s.h.visibleController());
    ASSERT_NE(login, nullptr);
    s.h.type(*login->textNumber(), "1002");
    s.h.tap("Login");
    ASSERT_FALSE(s.h.hasAlert()) << s.alertText();
    auto* next = dynamic_cast<SignedInViewController*>(&s.h.visibleController());
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->title(), "Orders");
    EXPECT_NO_THROW(s.h.viewWithText("Bob is signed in"));
    ui::test::writeTestPicture(render::snapshot(s.h.window(), {320, 480}), "phone_signed_in");
    std::shared_ptr<Session> session = next->session();

    s.h.tap("Sign Out");
    EXPECT_FALSE(session->isValid());
    EXPECT_EQ(&s.h.visibleController(), login);
    EXPECT_EQ(login->textNumber()->text(), "");
    delegate->waitForBackgroundWork();
}

} // namespace
} // namespace tavlo::screens
