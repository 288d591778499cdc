#pragma once

#include "core/order/Order.h"
#include "core/order/Selection.h"
#include "core/ports/OrderSender.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/common/prompts/PromptScreens.h"
#include "screens/entry/menu/MenuScreens.h"
#include "screens/entry/menu/MenuViewController.h"
#include "screens/entry/options/OptionScreen.h"
#include "screens/entry/order/OrderViewController.h"
#include "support/FakePorts.h"
#include "support/RecordingPrinterStream.h"
#include "support/StoreFixture.h"
#include "support/TimeZoneScope.h"
#include "support/ui/Harness.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens::test {

// A terminal of the small store (T1 "Front", its own till: lite, the day open) where Ann is signed
// in with the rights to take, send, pay and close orders; its receipt printer records what it
// prints, and orders handed over go to a fake order sender. The order screen is pushed over an
// "Orders" screen, as the orders main screen pushes it.
class OrderScreenTerminal {
public:
    explicit OrderScreenTerminal(bool lite = true, ui::DeviceIdiom idiom = ui::DeviceIdiom::Phone) : h(idiom) {
        store.buildSmallStore();
        for (const char* right : {"NEW_ORDER", "ADD_ITEM", "CLOSE_ORDER", "PAY", "CANCEL_ORDER", "PRINT_ORDER"})
            store.row("Role", "roleId", "R-SERVER")->addTo("permissions", store.addPermission(right));
        if (lite) store.addStoreParam("TAVLO_LITE", "YES");
        store.addStoreBatch("B1", Date(1'700'000'000.0), std::nullopt);
        store.save();
        IDBroker::initWithMOC(store.context());
        registerOptionScreens();
        registerPromptScreens();
        registerMenuScreens();
        registerOrderView();
        OrderSender::install(sender);
        signIn("U-ANN");
    }
    ~OrderScreenTerminal() { OrderSender::install(nullptr); }

    void signIn(const std::string& userId) {
        session = std::make_shared<Session>(store.context().get());
        session->setUserId(userId);
        session->setTerminalId(std::string("T1"));
        session->setTerminalAreaId(std::string("A1"));
        session->setDateStarted(Date(1'700'000'100.0));
        session->setPrinterStream(printer);
    }

    // A store value, saved.
    void setParam(const std::string& name, const std::optional<std::string>& value) {
        store.addStoreParam(name, value);
        store.save();
    }

    // A line of an item at a price, as the menu makes it.
    SelectionPtr line(const std::string& name, int32_t price, int32_t quantity = 1) {
        auto selection = std::make_shared<Selection>();
        selection->setItemId("I-" + name);
        selection->setName(name);
        selection->setPrice(price);
        selection->setQuantity(quantity);
        selection->setOrderedBy(session->userId());
        return selection;
    }

    // Opens the order screen for a stored order (by its id), a table or a new quick sale.
    OrderViewController& open(std::optional<std::string> remoteId = std::nullopt,
                              std::optional<std::string> table = std::nullopt) {
        auto made = ui::InterfaceRegistry::shared().instantiate(OrderViewController::kInterfaceName);
        screen = std::dynamic_pointer_cast<OrderViewController>(made);
        screen->setSession(session);
        screen->setRemoteId(std::move(remoteId));
        screen->setAreaLocationId(table);
        screen->setQuickSale(!table);
        host = std::make_shared<ui::ViewController>();
        host->setTitle(std::string("Orders"));
        navigation = std::make_shared<ui::NavigationController>(host);
        h.show(navigation);
        navigation->push(screen, false);
        h.runUntilIdle();
        return *screen;
    }

    // Stores an order of Ann's (or another server's) with the lines, as sent before.
    std::shared_ptr<Order> storedOrder(const std::vector<SelectionPtr>& lines, const std::string& serverId = "U-ANN") {
        auto order = std::make_shared<Order>(store.context().get());
        order->setRemoteId(std::string("O-1"));
        order->setName(std::string("Table 5"));
        order->setServerId(serverId);
        order->setTerminalId(std::string("T1"));
        order->setAreaLocationId(std::string("L1"));
        order->setOrderType(OrderType::DineIn);
        for (const auto& selection : lines) order->addSelection(selection, session.get());
        order->write(*store.context());
        store.save();
        return order;
    }

    bool onScreen() const { return navigation->topViewController() == screen.get(); }
    std::string text(const char* outlet) { return screen->label(outlet)->text().value_or(""); }
    ui::render::Bitmap picture() { return ui::render::snapshot(h.window(), h.window().bounds().size); }

    tavlo::test::TimeZoneScope utc{"UTC"};
    tavlo::test::StoreFixture store;
    ui::test::Harness h;
    std::shared_ptr<tavlo::test::FakeOrderSender> sender = std::make_shared<tavlo::test::FakeOrderSender>();
    std::shared_ptr<tavlo::test::RecordingPrinterStream> printer =
        std::make_shared<tavlo::test::RecordingPrinterStream>();
    std::shared_ptr<Session> session;
    std::shared_ptr<ui::ViewController> host;
    std::shared_ptr<ui::NavigationController> navigation;
    std::shared_ptr<OrderViewController> screen;
};

} // namespace tavlo::screens::test
