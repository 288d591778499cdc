// The orders main screen on the small store: the open, table and closed lists behind the
// segmented title, opening orders by row, table and quick sale, re-open and re-print of a closed
// order, No Sale with its drawers and rights, and the re-read on "ordersChange".
#include "StoreServer.h"
#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/prompts/AuthenticateViewController.h"
#include "screens/common/prompts/PromptScreens.h"
#include "screens/shell/AreaListViewController.h"
#include "screens/shell/OrdersClosedViewController.h"
#include "screens/shell/OrdersMainController.h"
#include "support/FakePorts.h"
#include "support/RecordingPrinterStream.h"
#include "support/StoreFixture.h"
#include "support/ui/Golden.h"
#include "support/ui/Harness.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <thread>

namespace tavlo::screens {
namespace {

using namespace ui;

// What an opener hands the order screen ("OrderView"); the order screen itself comes later.
class OrderScreenStandIn : public ViewController, public OrderScreen {
public:
    void setSession(std::shared_ptr<Session> s) override { session = std::move(s); }
    void setRemoteId(std::optional<std::string> id) override { remoteId = std::move(id); }
    void setAreaLocationId(std::optional<std::string> id) override { areaLocationId = std::move(id); }
    void setQuickSale(bool q) override { quickSale = q; }

    std::shared_ptr<Session> session;
    std::optional<std::string> remoteId, areaLocationId;
    bool quickSale = false;
};

// What the main screen hands the table layout ("TableLayoutView"), which comes later.
class TableLayoutStandIn : public ViewController, public TableLayoutScreen {
public:
    void setSession(std::shared_ptr<Session> s) override { session = std::move(s); }
    void setUpdateOnAppear(bool update) override { updateOnAppear = update; }
    void setObserver(TableSelected s, Action l, Action o) override {
        selected = std::move(s);
        logout = std::move(l);
        orders = std::move(o);
    }

    std::shared_ptr<Session> session;
    bool updateOnAppear = true;
    TableSelected selected;
    Action logout, orders;
};

struct Row {
    std::string name, server, total;
    bool operator==(const Row&) const = default;
    friend void PrintTo(const Row& row, std::ostream* out) {
        *out << "{" << row.name << " | " << row.server << " | " << row.total << "}";
    }
};

class OrdersMainTest : public ::testing::Test {
protected:
    explicit OrdersMainTest(DeviceIdiom idiom = DeviceIdiom::Phone) : h(idiom) {
        store.buildSmallStore();
        // Ann is on the clock as a server (no ALL_ORDERS); Bob is a manager off the clock.
        store.addPermission("RE_OPEN_ORDER");
        store.addPermission("PRINT_ORDER");
        for (const char* right : {"QUICK_SALE", "NEW_ORDER", "RE_OPEN_ORDER", "PRINT_ORDER"})
            store.row("User", "userId", "U-ANN")->addTo("permissions", store.addPermission(right));
        batch = store.addStoreBatch("B1", Date::now().addingSeconds(-3600), std::nullopt);
        for (const char* area : {"A1", "A2"}) store.row("Area", "areaId", area)->setValue("disabled", false);
        store.save();
        registerOrderListScreens();
        registerPromptScreens();
        InterfaceRegistry::shared().addController(kOrderInterface,
                                                  [] { return std::make_shared<OrderScreenStandIn>(); });
    }
    ~OrdersMainTest() override {
        h.runUntilIdle();
        OrderHandler::releaseInstance();
    }

    ManagedObjectPtr addOrder(const std::string& remoteId, const std::string& name, const char* user, int total,
                              const char* type = "dineIn") {
        ManagedObjectPtr order = store.addOrder(remoteId, store.row("User", "userId", user));
        order->setValue("name", name);
        order->setValue("total", total);
        order->setValue("type", type);
        order->setValue("created", Date::now().addingSeconds(-600));
        order->setToOne("storeBatch", batch);
        return order;
    }
    ManagedObjectPtr addTable(const std::string& id, const std::string& name, const char* area, int seats = 4) {
        ManagedObjectPtr table = store->insert("AreaLocation");
        table->setValue("areaLocationId", id);
        table->setValue("name", name);
        table->setValue("seats", seats);
        table->setValue("sortType", "T");
        table->setValue("sortNumber", static_cast<double>(store->fetchAll("AreaLocation").size()));
        table->setToOne("area", store.row("Area", "areaId", area));
        return table;
    }
    void setParam(const std::string& name, const std::string& value) {
        store.addStoreParam(name, value);
        store.save();
    }

    // Signs the user in and shows the main screen as the sign-in does: the root of a navigation.
    void open(const std::string& userId, bool pushed = false) {
        store.save();
        session = std::make_shared<Session>(store.context().get());
        ASSERT_TRUE(session->authenticate(userId));
        session->setPrinterStream(printer);
        std::shared_ptr<ViewController> screen =
            InterfaceRegistry::shared().instantiate(OrdersMainController::kInterfaceName);
        main = std::dynamic_pointer_cast<OrdersMainController>(screen);
        ASSERT_TRUE(main);
        main->setSession(session);
        main->setRoot(true);
        main->setUpdateOnExit(true);
        // Pushed on a first screen, as the sign-in screen pushes it; else the navigation's root.
        nav = std::make_shared<NavigationController>(pushed ? std::make_shared<ViewController>() : screen);
        if (pushed) nav->push(screen, false);
        h.show(nav);
        h.runUntilIdle();
    }
    TableView& table() { return *h.viewsOf<TableView>().front(); }
    Label* label(TableViewCell& cell, int tag) { return dynamic_cast<Label*>(cell.viewWithTag(tag)); }
    Row row(int section, int index) {
        TableViewCell* cell = table().cellForRow({section, index});
        if (!cell) return {"<no cell>", "", ""};
        auto text = [&](int tag) { return label(*cell, tag)->text().value_or(""); };
        return {text(OrdersOpenViewController::kNameTag), text(OrdersOpenViewController::kServerTag),
                text(OrdersOpenViewController::kTotalTag)};
    }
    std::vector<Row> rows(int section = 0) {
        std::vector<Row> all;
        int count = table().dataSource()->numberOfRows(table(), section);
        for (int i = 0; i < count; ++i) all.push_back(row(section, i));
        return all;
    }
    OrderScreenStandIn* openedOrder() { return dynamic_cast<OrderScreenStandIn*>(nav->topViewController()); }
    std::string alertText() {
        if (!h.hasAlert()) return "<no alert>";
        return h.frontAlert().title().value_or("") + " / " + h.frontAlert().message().value_or("");
    }
    void snap(const std::string& name, bool golden = false) {
        render::Bitmap picture = render::snapshot(h.window(), h.window().bounds().size);
        if (golden) EXPECT_TRUE(ui::test::matchesGolden(picture, name));
        else ui::test::writeTestPicture(picture, name);
    }

    ui::test::Harness h;
    tavlo::test::StoreFixture store;
    tavlo::test::FakePorts ports;
    ManagedObjectPtr batch;
    std::shared_ptr<Session> session;
    std::shared_ptr<tavlo::test::RecordingPrinterStream> printer =
        std::make_shared<tavlo::test::RecordingPrinterStream>();
    std::shared_ptr<OrdersMainController> main;
    std::shared_ptr<NavigationController> nav;
};

TEST_F(OrdersMainTest, TheOpenListShowsOnlyTheUsersOwnOrdersWithoutAllOrders) {
    addOrder("O-1", "Window seat", "U-ANN", 1250);
    addOrder("O-2", "Bar stool", "U-BOB", 800);
    addOrder("O-3", "Anniversary", "U-ANN", 4599);
    addOrder("O-4", "Yesterday", "U-ANN", 100)
        ->setToOne("storeBatch",
                   store.addStoreBatch("B0", Date::now().addingSeconds(-90000), Date::now().addingSeconds(-80000)));
    addOrder("O-5", "Paid", "U-ANN", 100)->setValue("closed", Date::now());
    open("U-ANN");

    EXPECT_EQ(main->segmentedControl()->numberOfSegments(), 2); // no table-layout module
    EXPECT_EQ(main->segmentedControl()->titleForSegment(0), "Open");
    EXPECT_EQ(main->segmentedControl()->titleForSegment(1), "Closed");
    EXPECT_EQ(rows(), (std::vector<Row>{{"Anniversary", "Ann Marie Lee", "$45.99"},
                                        {"Window seat", "Ann Marie Lee", "$12.50"}}));
    TableViewCell* own = table().cellForRow({0, 0});
    EXPECT_EQ(label(*own, OrdersOpenViewController::kNameTag)->textColor(), Color::black());
    EXPECT_EQ(label(*own, OrdersOpenViewController::kTotalTag)->textColor(), Color::blue());
    EXPECT_FALSE(h.hasAlert()) << alertText();
    EXPECT_EQ(table().tableHeaderView(), nullptr) << "rows to show: no empty text";
    snap("orders_open_phone", true);
}

TEST_F(OrdersMainTest, AnEmptyListSaysSo) {
    addOrder("O-5", "Paid", "U-ANN", 100)->setValue("closed", Date::now());
    open("U-ANN");
    EXPECT_TRUE(rows().empty());
    EXPECT_NO_THROW(h.viewWithText("No open orders"));
    snap("orders_open_empty_phone", true);
    h.pickSegment(*main->segmentedControl(), "Closed");
    EXPECT_THROW(h.viewWithText("No closed orders"), ui::test::HarnessError) << "a closed order is listed";
}

TEST_F(OrdersMainTest, WithAllOrdersOtherUsersOrdersAreGreyAndGroupedByType) {
    setParam("HH_OPEN_ORDERS_GROUPED", "YES");
    addOrder("O-1", "Window seat", "U-BOB", 1250, "dineIn");
    addOrder("O-2", "Pick up Lee", "U-ANN", 800, "takeOut");
    addOrder("O-3", "Corner", "U-ANN", 300, "dineIn");
    open("U-BOB");

    TableView& list = table();
    ASSERT_EQ(list.dataSource()->numberOfSections(list), 2);
    EXPECT_EQ(list.dataSource()->titleForHeader(list, 0), "Dine In");
    EXPECT_EQ(list.dataSource()->titleForHeader(list, 1), "Take Out");
    EXPECT_EQ(list.dataSource()->sectionIndexTitles(list), (std::vector<std::string>{"DI", "TO"}));
    EXPECT_EQ(rows(0), (std::vector<Row>{{"Corner", "Ann Marie Lee", "$3.00"}, {"Window seat", "Bob", "$12.50"}}));
    TableViewCell* other = list.cellForRow({0, 0});
    EXPECT_EQ(label(*other, OrdersOpenViewController::kNameTag)->textColor(), Color::lightGray());
    EXPECT_EQ(label(*other, OrdersOpenViewController::kTotalTag)->textColor(), Color::lightGray());
    EXPECT_EQ(label(*list.cellForRow({0, 1}), OrdersOpenViewController::kNameTag)->textColor(), Color::black());
    snap("orders_open_grouped_phone", true);
}

TEST_F(OrdersMainTest, TappingARowOpensTheOrderScreenWithItsRemoteId) {
    setParam("TAVLO_LITE", "YES"); // coming back re-reads the local store only
    addOrder("O-1", "Window seat", "U-ANN", 1250)->setToOne("areaLocation", addTable("L1", "Table 1", "A1"));
    addOrder("O-2", "Quick one", "U-ANN", 500);
    open("U-ANN");

    h.tapRow(table(), {0, 1});
    ASSERT_NE(openedOrder(), nullptr) << alertText();
    EXPECT_EQ(openedOrder()->remoteId, "O-1");
    EXPECT_EQ(openedOrder()->areaLocationId, "L1");
    EXPECT_FALSE(openedOrder()->quickSale);
    EXPECT_EQ(openedOrder()->session, session);
    snap("orders_order_opened_phone");
    EXPECT_TRUE(main->inOrder());

    nav->pop(false);
    h.runUntilIdle();
    EXPECT_FALSE(main->inOrder());
    h.tapRow(table(), {0, 0});
    ASSERT_NE(openedOrder(), nullptr);
    EXPECT_EQ(openedOrder()->remoteId, "O-2");
    EXPECT_FALSE(openedOrder()->areaLocationId);
    EXPECT_TRUE(openedOrder()->quickSale); // an order at no table
}

TEST_F(OrdersMainTest, AnotherUsersOrderIsRefusedWithoutTheRights) {
    addOrder("O-2", "Bar stool", "U-BOB", 800);
    open("U-ANN");
    main->loadOrder(std::string("O-2"));
    EXPECT_EQ(alertText(), "Alert / Unable to work on an order opened by somebody else. If you need to work on it, "
                           "have the manager transfer it to you");
    EXPECT_EQ(openedOrder(), nullptr);
}

TEST_F(OrdersMainTest, QuickSaleNeedsAnOpenStoreAndBothRights) {
    batch->setValue("closedOn", Date::now());
    open("U-ANN");
    h.tap(SystemItem::Add);
    EXPECT_EQ(alertText(), "Alert / Store is currently closed. A manager must open the store before taking orders.");
    EXPECT_EQ(h.frontAlert().buttonTitles(), std::vector<std::string>{"OK"}); // nothing left to cancel
    snap("orders_store_closed_phone");
    h.clickAlert("OK");
    EXPECT_EQ(openedOrder(), nullptr);

    store.addStoreBatch("B2", Date::now(), std::nullopt);
    store.save();
    h.tap(SystemItem::Add);
    ASSERT_NE(openedOrder(), nullptr) << alertText();
    EXPECT_FALSE(openedOrder()->remoteId);
    EXPECT_FALSE(openedOrder()->areaLocationId);
    EXPECT_TRUE(openedOrder()->quickSale);
}

TEST_F(OrdersMainTest, QuickSaleWithoutTheRightIsRefused) {
    open("U-BOB");
    h.tap(SystemItem::Add);
    EXPECT_EQ(alertText(), "Alert / You do not have the required access");
    EXPECT_EQ(openedOrder(), nullptr);
}

class LiteOrdersMainTest : public OrdersMainTest {
protected:
    LiteOrdersMainTest() {
        setParam("TAVLO_LITE", "YES");
        IDBroker::initWithMOC(store.context());
        handler = OrderHandler::getInstance(DBHelper::sharedStore(), "http://127.0.0.1:9", 600, true);
    }
    void showClosed(const std::string& remoteId) {
        addOrder(remoteId, "Paid table", "U-ANN", 2500)->setValue("closed", Date::now().addingSeconds(-60));
        open("U-ANN");
        h.pickSegment(*main->segmentedControl(), "Closed");
        ASSERT_EQ(rows(), (std::vector<Row>{{"Paid table", "Ann Marie Lee", "$25.00"}}));
        h.tapRow(table(), {0, 0});
        ASSERT_EQ(alertText(), "Confirmation / What would you like to do with this order?");
        EXPECT_EQ(h.frontAlert().buttonTitles(), (std::vector<std::string>{"Cancel", "Re-Open", "Re-Print"}));
    }
    std::shared_ptr<OrderHandler> handler;
};

TEST_F(LiteOrdersMainTest, ReOpenOfAClosedOrderReopensQueuesAndOpensIt) {
    showClosed("O-7");
    snap("orders_closed_confirmation_phone", true);
    long queued = handler->pendingCount();
    h.clickAlert("Re-Open");

    EXPECT_EQ(alertText(), "Confirmation / Order was reopened");
    snap("orders_reopened_phone");
    EXPECT_EQ(handler->pendingCount(), queued + 1);
    EXPECT_TRUE(store->fetchFirst("Order", "remoteId == %@", std::string("O-7"))->isNil("closed"));
    ASSERT_NE(openedOrder(), nullptr);
    EXPECT_EQ(openedOrder()->remoteId, "O-7");
    EXPECT_FALSE(openedOrder()->quickSale);
}

TEST_F(LiteOrdersMainTest, ReOpenWithoutTheRightIsRefused) {
    store.row("User", "userId", "U-ANN")->removeFrom("permissions", store.addPermission("RE_OPEN_ORDER"));
    showClosed("O-7");
    h.clickAlert("Re-Open");
    EXPECT_EQ(alertText(), "Error / You do not have the required access");
    EXPECT_EQ(openedOrder(), nullptr);
}

TEST_F(LiteOrdersMainTest, RePrintPrintsTheReceiptOnTheReceiptPrinter) {
    showClosed("O-8");
    h.clickAlert("Re-Print");
    EXPECT_FALSE(h.hasAlert()) << alertText();
    ASSERT_GE(printer->calls.size(), 2u);
    EXPECT_EQ(printer->calls.front(), "open");
    EXPECT_EQ(printer->calls.back(), "close");
    EXPECT_EQ(openedOrder(), nullptr);
}

TEST_F(LiteOrdersMainTest, ARePrintThePrinterCutSaysWhyAndPrintsAgainFromTheAlert) {
    printer->failWrites = true;
    showClosed("O-8");
    h.clickAlert("Re-Print");
    EXPECT_EQ(alertText(), "Unable to print receipt / The printer did not take the whole receipt, verify printer is on "
                           "and has paper");
    printer->failWrites = false;
    h.clickAlert("Reprint");
    EXPECT_FALSE(h.hasAlert()) << alertText();
    EXPECT_EQ(std::count(printer->calls.begin(), printer->calls.end(), "open"), 2);
}

TEST_F(LiteOrdersMainTest, RePrintWithoutAPrinterSaysSo) {
    printer.reset();
    showClosed("O-8");
    h.clickAlert("Re-Print");
    EXPECT_EQ(alertText(), "Error / No printer configured");
}

TEST_F(LiteOrdersMainTest, NoSaleWithTwoDrawersAsksWhichAndWithoutTheRightAsksForAManager) {
    open("U-ANN");
    h.tap("No Sale");
    ASSERT_EQ(alertText(), "Select a drawer: / ");
    EXPECT_EQ(h.frontAlert().buttonTitles(), (std::vector<std::string>{"Cancel", "Till A", "Till B"}));
    EXPECT_EQ(h.frontAlert().tag(), OrdersMainController::kDrawerAlertTag);
    snap("orders_no_sale_drawers_phone", true);
    h.clickAlert("Cancel");
    EXPECT_TRUE(printer->calls.empty());
    EXPECT_EQ(nav->presentedViewController(), nullptr);

    // Ann holds neither NO_SALE nor NO_SALE_WHEN_ASSIGNED: a manager authorises.
    store.row("User", "userId", "U-DAN")->setValue("number", "1004");
    store.save();
    h.tap("No Sale");
    h.clickAlert("Till A");
    auto* prompt = dynamic_cast<AuthenticateViewController*>(&h.visibleController());
    ASSERT_NE(prompt, nullptr) << alertText();
    EXPECT_EQ(prompt->title(), "No Sale");
    snap("orders_no_sale_authorise_phone");
    h.type(h.outlet<TextField>("textNumber"), "1004"); // Dan holds NO_SALE
    h.tap("Done");
    h.runUntilIdle();
    EXPECT_EQ(nav->presentedViewController(), nullptr);
    EXPECT_EQ(printer->calls, (std::vector<std::string>{"open", "drawer 1", "close"}));
    ASSERT_EQ(ports.sender->noSales.size(), 1u);
    EXPECT_EQ(ports.sender->noSales[0].rowId, "D2");
}

TEST_F(LiteOrdersMainTest, NoSaleWhenAssignedOpensOnlyTheUsersOwnDrawer) {
    store.row("User", "userId", "U-ANN")->addTo("permissions", store.addPermission("NO_SALE_WHEN_ASSIGNED"));
    open("U-ANN");
    h.tap("No Sale");
    h.clickAlert("Till B"); // cashed in by Ann
    EXPECT_EQ(printer->calls, (std::vector<std::string>{"open", "drawer 2", "close"}));
    EXPECT_EQ(nav->presentedViewController(), nullptr);
}

// The terminal talks to the loopback store server: closed orders are re-opened and re-printed
// from the server's copy.
class GatewayOrdersMainTest : public OrdersMainTest {
protected:
    GatewayOrdersMainTest() {
        auto& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(std::string("1"), "store_id");
        defaults.setObject(std::string("secret"), "password");
        server.start();
        CommHelper::setGateway(server.url());
        IDBroker::initWithMOC(store.context());
        handler = OrderHandler::getInstance(DBHelper::sharedStore(), server.url(), 600, false);
    }
    ~GatewayOrdersMainTest() override {
        server.stop();
        CommHelper::setGateway(std::nullopt);
    }
    ManagedObjectPtr closedOrder(const std::string& remoteId) {
        ManagedObjectPtr row = addOrder(remoteId, "Paid table", "U-ANN", 2500);
        row->setValue("closed", Date::now().addingSeconds(-60));
        store.save();
        return row;
    }
    void chooseOnClosedRow(const std::string& button) {
        open("U-ANN");
        h.pickSegment(*main->segmentedControl(), "Closed");
        h.tapRow(table(), {0, 0});
        h.clickAlert(button);
    }

    storesim::StoreServer server{{"1", "secret", 5}};
    std::shared_ptr<OrderHandler> handler;
};

TEST_F(GatewayOrdersMainTest, ReOpenOfAnOrderTheServerNoLongerHasFails) {
    closedOrder("O-7");
    chooseOnClosedRow("Re-Open");
    EXPECT_EQ(alertText(), "Error / Unable to reopen (Order not found, must have been closed)");
    EXPECT_EQ(openedOrder(), nullptr);
    EXPECT_FALSE(store->fetchFirst("Order", "remoteId == %@", std::string("O-7"))->isNil("closed"));
    snap("orders_reopen_failed_phone");
}

TEST_F(GatewayOrdersMainTest, RePrintHasTheServerPrintTheReceiptOnTheTerminalsPrinter) {
    ManagedObjectPtr row = closedOrder("O-8");
    Order copy(*row, store.context().get());
    ASSERT_TRUE(handler->sendOrder(copy, std::string("U-ANN"), store.context().get(), nullptr));
    size_t sent = server.requestCount("customerOrder");

    chooseOnClosedRow("Re-Print");
    EXPECT_FALSE(h.hasAlert()) << alertText();
    EXPECT_EQ(server.requestCount("customerOrder"), sent + 1);
    EXPECT_NE(server.requests().back().body.find("receipt.local:9100"), std::string::npos)
        << server.requests().back().body;
    EXPECT_TRUE(printer->calls.empty()); // the server prints
}

TEST_F(GatewayOrdersMainTest, RefreshReplacesTheLocalOrdersWithTheServersAndReportsAFailure) {
    ManagedObjectPtr row = addOrder("O-20", "From the bar", "U-ANN", 900);
    store.save();
    Order copy(*row, store.context().get());
    ASSERT_TRUE(handler->sendOrder(copy, std::string("U-ANN"), store.context().get(), nullptr));
    store->deleteObject(row);
    store.save();
    open("U-ANN");
    ASSERT_TRUE(rows().empty());

    main->refresh();
    EXPECT_FALSE(h.hasAlert()) << alertText();
    // The server's summary: an order without items totals nothing.
    EXPECT_EQ(rows(), (std::vector<Row>{{"From the bar", "Ann Marie Lee", "$0.00"}}));

    server.setFault("getOrders", storesim::Fault::ErrorElement, 1, std::string("Store is offline"));
    main->refresh();
    EXPECT_EQ(alertText(), "Alert / Store is offline");
    h.clickAlert("Ok");
    EXPECT_EQ(rows().size(), 1u); // the list keeps what it had
}

TEST_F(OrdersMainTest, OrdersChangePostedFromABackgroundThreadRefreshesTheListOnTheMainThread) {
    setParam("HH_SYNCH_ORDERS_AUTO", "YES");
    addOrder("O-1", "Window seat", "U-ANN", 1250);
    open("U-ANN");
    ASSERT_EQ(rows().size(), 1u);

    addOrder("O-2", "Booth", "U-ANN", 700);
    store.save();
    std::thread poster([] { NotificationCenter::defaultCenter().post(OrderHandler::kOrdersChangeNotification); });
    poster.join();
    EXPECT_EQ(rows().size(), 1u) << "the re-read waits for the main thread";
    h.runUntilIdle();
    EXPECT_EQ(rows(),
              (std::vector<Row>{{"Booth", "Ann Marie Lee", "$7.00"}, {"Window seat", "Ann Marie Lee", "$12.50"}}));
    snap("orders_change_phone");

    // Out of view, the list no longer listens.
    h.pickSegment(*main->segmentedControl(), "Closed");
    addOrder("O-3", "Late", "U-ANN", 100);
    store.save();
    NotificationCenter::defaultCenter().post(OrderHandler::kOrdersChangeNotification);
    h.runUntilIdle();
    OrdersOpenViewController& open = *main->segmentedViewControllers().front();
    EXPECT_EQ(open.tableView().dataSource()->numberOfRows(open.tableView(), 0), 2);
}

// The open list reads what it shows as stored while the context has nothing unsaved, and through
// the context's objects while it has: an unsaved rename, new order, delete or server's name shows
// on the next re-read, and a saved delete leaves the list.
TEST_F(OrdersMainTest, TheOpenListShowsTheContextsUnsavedChangesAndNoDeletedOrder) {
    addOrder("O-1", "Window seat", "U-ANN", 1250);
    addOrder("O-2", "Booth", "U-ANN", 700);
    addOrder("O-3", "Corner", "U-BOB", 300);
    open("U-BOB");
    OrdersOpenViewController& open = *main->segmentedViewControllers().front();
    ASSERT_EQ(rows(), (std::vector<Row>{{"Booth", "Ann Marie Lee", "$7.00"},
                                        {"Corner", "Bob", "$3.00"},
                                        {"Window seat", "Ann Marie Lee", "$12.50"}}));

    store.row("Order", "remoteId", "O-1")->setValue("name", "Arbor");
    store->deleteObject(store.row("Order", "remoteId", "O-2"));
    addOrder("O-4", "Deck", "U-BOB", 150);
    store.row("User", "userId", "U-ANN")->setValue("name", "Ann");
    open.refreshData();
    h.runUntilIdle();
    const std::vector<Row> changed{{"Arbor", "Ann", "$12.50"}, {"Corner", "Bob", "$3.00"}, {"Deck", "Bob", "$1.50"}};
    EXPECT_EQ(rows(), changed);
    EXPECT_EQ(label(*table().cellForRow({0, 0}), OrdersOpenViewController::kNameTag)->textColor(), Color::lightGray());
    EXPECT_EQ(label(*table().cellForRow({0, 2}), OrdersOpenViewController::kNameTag)->textColor(), Color::black());

    store.save();
    open.refreshData();
    h.runUntilIdle();
    EXPECT_EQ(rows(), changed);
    store->deleteObject(store.row("Order", "remoteId", "O-3"));
    store.save();
    open.refreshData();
    h.runUntilIdle();
    EXPECT_EQ(rows(), (std::vector<Row>{{"Arbor", "Ann", "$12.50"}, {"Deck", "Bob", "$1.50"}}));
}

class TablesTest : public LiteOrdersMainTest {
protected:
    TablesTest() {
        setParam("MODULE_TABLE_LAYOUT", "YES");
        addTable("L1", "Table 1", "A1");
        addOrder("O-1", "Smith party", "U-BOB", 4200)->setToOne("areaLocation", addTable("L2", "Table 2", "A1"));
        ManagedObjectPtr three = addTable("L3", "Table 3", "A1");
        for (const char* id : {"O-4", "O-3", "O-2"})
            addOrder(id, std::string("Guest ") + id, "U-ANN", 1000)->setToOne("areaLocation", three);
        addTable("L4", "Bar end", "A2", 0); // no seats: not a table
        addOrder("O-9", "Quick coffee", "U-ANN", 350);
        addOrder("O-10", "Bob's coffee", "U-BOB", 350);
    }
    void showTables() {
        open("U-ANN");
        EXPECT_EQ(main->segmentedControl()->titleForSegment(1), "Tables"); // lite
        h.pickSegment(*main->segmentedControl(), "Tables");
    }
};

TEST_F(TablesTest, TablesShowTheirOrdersAndOtherHoldsTheQuickSales) {
    showTables();
    TableView& list = table();
    ASSERT_EQ(list.dataSource()->numberOfSections(list), 2);
    EXPECT_EQ(list.dataSource()->titleForHeader(list, 0), "Dining");
    EXPECT_EQ(list.dataSource()->titleForHeader(list, 1), "OTHER");
    EXPECT_EQ(list.dataSource()->sectionIndexTitles(list), (std::vector<std::string>{"Dining", "OTHER"}));
    EXPECT_EQ(rows(0), (std::vector<Row>{
                           {"Table 1", "", ""}, {"Smith party", "Bob", "$42.00"}, {"Guest O-2", "", "(3 orders)"}}));
    EXPECT_EQ(label(*list.cellForRow({0, 1}), OrdersOpenViewController::kNameTag)->textColor(), Color::lightGray());
    EXPECT_EQ(rows(1), (std::vector<Row>{{"Quick coffee", "Ann Marie Lee", "$3.50"}})); // only her own
    snap("orders_tables_phone", true);
}

TEST_F(TablesTest, TheMultipleOrdersPickerAnswersWithTheChosenOrderAndIgnoresCancel) {
    showTables();
    h.tapRow(table(), {0, 2});
    ASSERT_EQ(alertText(), "Multiple Orders / Select an order:");
    EXPECT_EQ(h.frontAlert().buttonTitles(),
              (std::vector<std::string>{"Cancel", "Guest O-2", "Guest O-3", "Guest O-4"}));
    snap("orders_multiple_orders_phone", true);
    h.clickAlert("Cancel");
    EXPECT_EQ(openedOrder(), nullptr);

    h.tapRow(table(), {0, 2});
    h.clickAlert("Guest O-3");
    ASSERT_NE(openedOrder(), nullptr);
    EXPECT_EQ(openedOrder()->remoteId, "O-3");
    EXPECT_EQ(openedOrder()->areaLocationId, "L3");
}

TEST_F(TablesTest, TableRowsOpenTheirOrderANewOneOrRefuse) {
    showTables();
    h.tapRow(table(), {0, 1}); // Bob's order: Ann may not work on it
    EXPECT_EQ(alertText(), "Alert / Unable to work on an order opened by somebody else. If you need to work on it, "
                           "have the manager transfer it to you");
    h.clickAlert("Ok");

    h.tapRow(table(), {0, 0}); // empty table: a new order there
    ASSERT_NE(openedOrder(), nullptr) << alertText();
    EXPECT_FALSE(openedOrder()->remoteId);
    EXPECT_EQ(openedOrder()->areaLocationId, "L1");
    nav->pop(false);
    h.runUntilIdle();

    h.tapRow(table(), {1, 0}); // OTHER
    ASSERT_NE(openedOrder(), nullptr);
    EXPECT_EQ(openedOrder()->remoteId, "O-9");
}

TEST_F(TablesTest, TheLayoutIsPresentedFullScreenAndHandsItsTablesBack) {
    InterfaceRegistry::shared().addController(kTableLayoutInterface,
                                              [] { return std::make_shared<TableLayoutStandIn>(); });
    showTables();
    main->showTableLayout(false);
    auto* navigation = dynamic_cast<NavigationController*>(nav->presentedViewController());
    ASSERT_NE(navigation, nullptr) << alertText();
    auto* layout = dynamic_cast<TableLayoutStandIn*>(navigation->topViewController());
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(navigation->modalPresentationStyle(), ModalPresentationStyle::FullScreen);
    EXPECT_EQ(layout->session, session);
    EXPECT_FALSE(layout->updateOnAppear);
    EXPECT_TRUE(main->showLayout());

    // "Orders" goes back to the lists.
    layout->orders();
    h.runUntilIdle();
    EXPECT_EQ(nav->presentedViewController(), nullptr);
    EXPECT_FALSE(main->showLayout());

    // A table with one order of Ann's opens it and closes the layout, which stays the way back.
    main->showTableLayout(true);
    layout = dynamic_cast<TableLayoutStandIn*>(
        dynamic_cast<NavigationController*>(nav->presentedViewController())->topViewController());
    ASSERT_NE(layout, nullptr);
    ManagedObjectPtr table = store.row("AreaLocation", "areaLocationId", "L1");
    addOrder("O-30", "Corner booth", "U-ANN", 100)->setToOne("areaLocation", table);
    store.save();
    layout->selected(table);
    h.runUntilIdle();
    ASSERT_NE(openedOrder(), nullptr) << alertText();
    EXPECT_EQ(openedOrder()->remoteId, "O-30");
    EXPECT_EQ(nav->presentedViewController(), nullptr);
    EXPECT_TRUE(main->showLayout());
    main->showTableLayout(false); // while the order is open
    EXPECT_EQ(nav->presentedViewController(), nullptr);
}

TEST_F(OrdersMainTest, TurningThePhoneToLandscapeShowsTheLayoutUnlessSetNotTo) {
    InterfaceRegistry::shared().addController(kTableLayoutInterface,
                                              [] { return std::make_shared<TableLayoutStandIn>(); });
    for (bool noAutoShow : {false, true}) {
        SCOPED_TRACE(noAutoShow ? "HH_LAYOUT_NO_AUTO_SHOW" : "default");
        if (noAutoShow) setParam("HH_LAYOUT_NO_AUTO_SHOW", "YES");
        open("U-ANN");
        h.rotate(DeviceOrientation::LandscapeLeft);
        h.runUntilIdle();
        auto* navigation = dynamic_cast<NavigationController*>(nav->presentedViewController());
        EXPECT_EQ(navigation && dynamic_cast<TableLayoutStandIn*>(navigation->topViewController()), !noAutoShow);
        if (navigation) main->showOrders();
        h.rotate(DeviceOrientation::Portrait);
        h.runUntilIdle();
    }
}

TEST_F(OrdersMainTest, WithTheStoreClosedTheLayoutIsNotShown) {
    batch->setValue("closedOn", Date::now());
    open("U-ANN");
    main->showTableLayout(false);
    EXPECT_EQ(alertText(), "Alert / Store is currently closed. A manager must open the store before taking orders.");
    EXPECT_EQ(h.frontAlert().buttonTitles(), std::vector<std::string>{"Ok"});
    EXPECT_EQ(nav->presentedViewController(), nullptr);
}

TEST_F(TablesTest, AnEmptyTableWithoutTheNewOrderRightIsRefused) {
    store.row("User", "userId", "U-ANN")->removeFrom("permissions", store.addPermission("NEW_ORDER"));
    showTables();
    h.tapRow(table(), {0, 0});
    EXPECT_EQ(alertText(), "Alert / You do not have the required access");
    EXPECT_EQ(openedOrder(), nullptr);
}

TEST_F(OrdersMainTest, ADisabledTerminalSignsTheUserOutWhenTheListAppears) {
    open("U-ANN");
    store.row("Terminal", "terminalId", "T1")->setValue("disabled", true);
    store.save();
    h.pickSegment(*main->segmentedControl(), "Closed");
    EXPECT_EQ(alertText(), "Alert / Terminal has been disabled, contact support personnel to re-enable it");
    snap("orders_disabled_terminal_phone");
    EXPECT_FALSE(session->isValid());
}

TEST_F(OrdersMainTest, AFailedReadSaysWhichRecordsAndLeavesTheLists) {
    addOrder("O-1", "Window seat", "U-ANN", 1250)->setValue("closed", Date::now());
    open("U-ANN", true);
    // The store loses its orders' table under the screen.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(store.context()->store()->path().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "ALTER TABLE \"Order\" RENAME TO \"OrderGone\"", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    h.pickSegment(*main->segmentedControl(), "Closed");
    EXPECT_EQ(alertText(), "Error / Unable to read closed orders, contact technical support");
    snap("orders_read_failed_phone");
    h.clickAlert("Ok");
    EXPECT_NE(nav->topViewController(), main.get());
}

TEST_F(OrdersMainTest, TheToolbarFollowsLiteModeAdminAndDrawers) {
    open("U-ANN"); // this terminal has drawers
    std::vector<std::string> titles;
    for (const auto& item : main->toolbarItems()) titles.push_back(item->title().value_or(item->isSpace() ? "_" : "?"));
    EXPECT_EQ(titles, (std::vector<std::string>{"?", "_", "?", "_", "_", "No Sale"}));
    EXPECT_EQ(main->navigationItem().leftBarButtonItem()->title(), "Logout");
    snap("orders_toolbar_phone");

    h.tap("Logout");
    EXPECT_FALSE(session->isValid());
}

class PadOrdersMainTest : public OrdersMainTest {
protected:
    PadOrdersMainTest() : OrdersMainTest(DeviceIdiom::Tablet) {}
};

TEST_F(PadOrdersMainTest, PortraitShowsTheWarning) {
    h.rotate(DeviceOrientation::Portrait);
    open("U-ANN");
    EXPECT_EQ(alertText(),
              "Alert / Application cannot run on portrait mode, make sure your tablet's orientation is not "
              "locked and restart Tavlo");
    snap("orders_pad_portrait");
}

} // namespace
} // namespace tavlo::screens
