// The order screen on a pad started by its application delegate: the order in the root pane and
// its menu in the detail pane beside it, a sent order opened again shows the order, and the pay
// screen goes away once the payment is taken through the gateway.
#include "LoginScreen.h"
#include "core/order/Order.h"
#include "core/ports/BusinessDay.h"
#include "core/ports/CardBatch.h"
#include "core/ports/OrderSender.h"
#include "platform/net/NetworkProbe.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/SplitViewController.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/prompts/PromptScreens.h"
#include "screens/entry/menu/MenuScreens.h"
#include "screens/entry/menu/MenuViewController.h"
#include "screens/entry/options/OptionScreen.h"
#include "screens/entry/order/OrderViewController.h"
#include "screens/pay/PayViewController.h"
#include "screens/shell/DetailViewController.h"
#include "screens/shell/RootViewController.h"
#include "screens/shell/TavloMobileAppDelegate.h"
#include "support/MenuRows.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;

// A configured pad terminal (T1 "Front") of the small store, started by its application
// delegate, with the real order, menu and pay screens, a menu "Appetizers" of Soup (5.00) and
// Nachos (4.50), and Ann (1001) signed in with the rights to take, send and pay orders.
class PadOrder {
public:
    explicit PadOrder(bool lite) : s({DeviceIdiom::Tablet, lite, {{"HH_IGNORE_TERMINAL_INFO", "YES"}}}) {
        DBHelper::saveStoreParam("IPHONE_STORE_ID", std::string("1"), s.store.context().get());
        for (const char* right : {"NEW_ORDER", "ADD_ITEM", "PAY", "CANCEL_ORDER", "CLOSE_ORDER", "QUICK_SALE"})
            s.row("Role", "roleId", "R-SERVER")->addTo("permissions", s.store.addPermission(right));
        s.store.addStoreBatch("B-1", Date::now().addingSeconds(-3600), std::nullopt);
        tavlo::test::MenuRows rows(s.store.context().get());
        ManagedObjectPtr menu = rows.menu("M1", "Appetizers");
        menu->setValue("sequence", 1);
        menu->setValue("disabled", false);
        ManagedObjectPtr section = rows.section("S1", menu);
        section->setValue("name", std::string("Hot Starters"));
        int32_t sequence = 0;
        for (auto [id, name, price] : {std::tuple{"I-SOUP", "Soup", 500}, std::tuple{"I-NACHOS", "Nachos", 450}}) {
            ManagedObjectPtr item = rows.item(id, name, price, rows.recipe(std::string("R-") + id, name), menu);
            item->setToOne("section", section);
            item->setValue("sequence", ++sequence);
        }
        s.store.save();
        for (const char* name : {OrderViewController::kInterfaceName})
            ui::InterfaceRegistry::shared().remove(name); // the real screen in place of the stand-in
        registerOptionScreens();
        registerPromptScreens();
        registerMenuScreens();
        registerOrderView();
        registerPayScreens();
        UserDefaults::standardUserDefaults().setBool(false, "menu_icons");
        AppShell::installPorts(); // orders go to the real order handler, as the program's do
        delegate->setFreeSpaceReader([] { return uint64_t{8} << 30; });
        s.h.app().setDelegate(delegate);
        s.h.app().launch();
        s.h.runUntilIdle();
        auto* login = dynamic_cast<LoginViewController*>(&s.h.visibleController());
        EXPECT_NE(login, nullptr);
        if (!login) return;
        s.h.type(*login->textNumber(), "1001");
        s.h.tap("Login");
        s.h.runUntilIdle();
        EXPECT_FALSE(s.h.hasAlert()) << s.alertText();
    }
    ~PadOrder() {
        delegate->waitForBackgroundWork();
        OrderSender::install(nullptr);
        BusinessDay::install(nullptr);
        CardBatch::install(nullptr);
    }

    NavigationController& rootPane() { return *delegate->rootViewController()->navigationController(); }
    NavigationController& detailPane() { return *delegate->detailViewController()->navigationController(); }
    OrderViewController* order() { return dynamic_cast<OrderViewController*>(rootPane().topViewController()); }
    MenuViewController* menu() { return dynamic_cast<MenuViewController*>(detailPane().topViewController()); }
    render::Bitmap picture() { return render::snapshot(s.h.window(), {1024, 768}); }

    test::LoginScreen s;
    std::shared_ptr<TavloMobileAppDelegate> delegate = std::make_shared<TavloMobileAppDelegate>();
};

TEST(PadOrderScreen, TheMenuSitsInTheDetailPaneBesideTheOrderAndASentOrderOpensOnTheOrder) {
    PadOrder pad(true);
    pad.delegate->rootViewController()->loadOrder(std::nullopt); // a new quick sale
    pad.s.h.runUntilIdle();
    OrderViewController* screen = pad.order();
    ASSERT_NE(screen, nullptr) << pad.s.alertText();
    ASSERT_NE(pad.menu(), nullptr) << "the menu shows in the detail pane";
    EXPECT_EQ(screen->menuView().get(), pad.menu());
    EXPECT_TRUE(pad.menu()->navigationItem().hidesBackButton()) << "nothing to go back to in the detail pane";

    pad.s.h.tap("Soup");
    pad.s.h.runUntilIdle();
    pad.s.h.tap("Nachos");
    pad.s.h.runUntilIdle();
    ASSERT_EQ(screen->order()->activeSelections().size(), 2u);
    EXPECT_EQ(screen->label("subTotal")->text(), "$9.50") << "the order beside the menu follows each item";
    EXPECT_TRUE(ui::test::matchesGolden(pad.picture(), "pad_order_with_menu"));

    const std::optional<std::string> remoteId = screen->order()->remoteId();
    pad.s.h.tap("Send");
    pad.s.h.runUntilIdle();
    EXPECT_EQ(pad.order(), nullptr) << "the screen leaves once sent";
    EXPECT_EQ(pad.detailPane().topViewController(), pad.delegate->detailViewController().get())
        << "the menu leaves the detail pane with the order";
    EXPECT_EQ(pad.detailPane().toolbar().barStyle(), BarStyle::Default) << "the pane's own bar again, not the menu's";

    // The sent order opened again: the order in the root pane, the menu beside it.
    pad.delegate->rootViewController()->loadOrder(remoteId);
    pad.s.h.runUntilIdle();
    ASSERT_NE(pad.order(), nullptr) << pad.s.alertText();
    EXPECT_EQ(pad.order()->order()->activeSelections().size(), 2u);
    EXPECT_NE(pad.menu(), nullptr);
    ui::test::writeTestPicture(pad.picture(), "pad_order_reopened");
}

// Paid by cash through the gateway: the change is shown and the pay screen leaves the order in sight.
TEST(PadOrderScreen, ThePayScreenGoesOnceTheGatewayTookTheCash) {
    PadOrder pad(false);
    NetworkProbe::install(std::make_shared<FixedNetworkProbe>(true, "10.1.1.20", "Bistro-Staff"));
    pad.delegate->rootViewController()->loadOrder(std::nullopt);
    pad.s.h.runUntilIdle();
    OrderViewController* screen = pad.order();
    ASSERT_NE(screen, nullptr) << pad.s.alertText();
    pad.s.h.tap("Soup");
    pad.s.h.runUntilIdle();
    pad.s.h.tap("Pay");
    pad.s.h.runUntilIdle();
    ASSERT_NE(dynamic_cast<PayViewController*>(&pad.s.h.visibleController()), nullptr) << pad.s.alertText();
    pad.s.h.tap("$20");
    pad.s.h.tap("Process");
    pad.s.h.runUntilIdle();
    ASSERT_TRUE(pad.s.h.hasAlert());
    EXPECT_EQ(pad.s.alertText(), "Change Due / Tendered: $20.00\nAmount: $5.00\nChange: $15.00");
    pad.s.h.clickAlert("Ok");
    pad.s.h.runUntilIdle();
    EXPECT_EQ(pad.s.h.window().rootViewController()->presentedViewController(), nullptr) << "the pay screen left";
    EXPECT_EQ(pad.order(), screen);
    EXPECT_EQ(screen->label("due")->text(), "$0.00");
    const std::optional<std::string> held = pad.s.server.order(screen->order()->remoteId().value_or(""));
    ASSERT_TRUE(held);
    EXPECT_NE(held->find("<payment "), std::string::npos) << *held;
}

// A quick sale paid with the exact cash closes and the next takes the screen: the menu beside it
// starts with nothing to undo.
TEST(PadOrderScreen, TheNextQuickSaleStartsTheMenuWithNothingToUndo) {
    PadOrder pad(true);
    DBHelper::saveStoreParam("QS_CASH_AUTO_CLOSE", std::string("YES"), pad.s.store.context().get());
    pad.s.store.save();
    pad.delegate->rootViewController()->loadOrder(std::nullopt);
    pad.s.h.runUntilIdle();
    OrderViewController* screen = pad.order();
    ASSERT_NE(screen, nullptr) << pad.s.alertText();
    pad.s.h.tap("Soup");
    pad.s.h.runUntilIdle();
    ASSERT_EQ(pad.menu()->additions().size(), 1u);
    const std::shared_ptr<Order> paid = screen->order();
    pad.s.h.tap(*screen->button("payExact"));
    pad.s.h.runUntilIdle();
    ASSERT_FALSE(pad.s.h.hasAlert()) << pad.s.alertText();
    ASSERT_NE(screen->order(), paid) << "the next sale took the screen";
    ASSERT_EQ(pad.menu()->order(), screen->order());
    EXPECT_TRUE(pad.menu()->additions().empty());
    EXPECT_FALSE(pad.menu()->undoButton()->isEnabled());
}

// The customers list the menu opens for a delivery, answering with the test's customer.
class PickedCustomer : public ViewController, public CustomerPicker {
public:
    void setObserver(Observer observer) override { observer_ = std::move(observer); }
    void setSession(Session*) override {}
    void setAllowRemove(bool) override {}
    Observer observer_;
};

TEST(PadOrderScreen, ADeliveryCustomerPickedInTheMenuTitlesTheOrderBesideIt) {
    PadOrder pad(true);
    InterfaceRegistry::shared().addController(CustomerPicker::kInterfaceName,
                                              [] { return std::make_shared<PickedCustomer>(); });
    pad.delegate->rootViewController()->loadOrder(std::nullopt);
    pad.s.h.runUntilIdle();
    OrderViewController* screen = pad.order();
    ASSERT_NE(screen, nullptr) << pad.s.alertText();
    ASSERT_NE(pad.menu()->orderTypes(), nullptr);
    pad.s.h.pickSegment(*pad.menu()->orderTypes(), Order::typeAbbreviation(OrderType::Delivery));
    Customer guest;
    guest.setCustomerId(std::string("C-7"));
    guest.setFirstName(std::string("Dana"));
    guest.setLastName(std::string("Cruz"));
    pad.s.h.visible<PickedCustomer>().observer_(guest);
    pad.s.h.runUntilIdle();
    EXPECT_EQ(screen->order()->name(), "Dana Cruz");
    EXPECT_EQ(screen->title(), "Dana Cruz");
    auto* title = dynamic_cast<Button*>(screen->navigationItem().titleView().get());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->title(), "Dana Cruz");
    InterfaceRegistry::shared().remove(CustomerPicker::kInterfaceName);
}

} // namespace
} // namespace tavlo::screens
