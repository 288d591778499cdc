#pragma once

// The small store with floor plans, signed in as Ann (a server), and the table layout shown as
// the orders main screen shows it: full screen in a navigation controller (on the pad unless told).
//
// Areas: "Dining" (A1, the terminal's displayed area) with tables T1 (rectangle 100,100 160x100),
// T2 (ellipse 350,100 140x140), T3 (rectangle 600,100 120x80), the fixture "Bar" (rectangle
// 100,400 400x60) and a plant (ellipse 620,420 50x50, no name); "Patio" (A2) with table P1;
// "Terrace" (A3, disabled) with table R1; "Lounge" (A4) without locations.
#include "core/session/Session.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "screens/layout/TableLayoutViewController.h"
#include "support/FakePorts.h"
#include "support/StoreFixture.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tavlo::test {

class TableLayoutHost {
public:
    explicit TableLayoutHost(ui::DeviceIdiom idiom = ui::DeviceIdiom::Tablet) : h(idiom) {
        store.buildSmallStore();
        store.row("Terminal", "terminalId", "T1")->setToOne("areaDisplayed", store.row("Area", "areaId", "A1"));
        store.row("Area", "areaId", "A1")->setValue("disabled", false);
        store.row("Area", "areaId", "A2")->setValue("disabled", false);
        store.addArea("A3", "Terrace")->setValue("disabled", true);
        store.addArea("A4", "Lounge")->setValue("disabled", false);
        store.addStoreBatch("B1", Date::now().addingSeconds(-7200), std::nullopt);
        addLocation("L1", "A1", "T1", 4, {100, 100, 160, 100}, "rectangle");
        addLocation("L2", "A1", "T2", 2, {350, 100, 140, 140}, "ellipse");
        addLocation("L3", "A1", "T3", 4, {600, 100, 120, 80}, "rectangle");
        addLocation("F1", "A1", "Bar", 0, {100, 400, 400, 60}, "rectangle");
        addLocation("F2", "A1", std::nullopt, 0, {620, 420, 50, 50}, "ellipse");
        addLocation("P1", "A2", "P1", 6, {200, 200, 200, 120}, "rectangle");
        addLocation("R1", "A3", "R1", 2, {50, 50, 80, 80}, "rectangle");
        store.save();
        screens::registerTableLayoutScreen();
    }
    ~TableLayoutHost() { h.runUntilIdle(); }

    ManagedObjectPtr addLocation(const std::string& id, const char* area, std::optional<std::string> shortName,
                                 int seats, ui::Rect at, const char* type) {
        ManagedObjectPtr shape = store->insert("AreaShape");
        shape->setValue("areaShapeId", "S-" + id);
        shape->setValue("type", type);
        shape->setValue("width", static_cast<int>(at.width()));
        shape->setValue("height", static_cast<int>(at.height()));
        ManagedObjectPtr location = store->insert("AreaLocation");
        location->setValue("areaLocationId", id);
        location->setValue("name", "Table " + id);
        if (shortName) location->setValue("shortName", *shortName);
        location->setValue("seats", seats);
        location->setValue("x", static_cast<int>(at.x()));
        location->setValue("y", static_cast<int>(at.y()));
        location->setToOne("areaShape", shape);
        location->setToOne("area", store.row("Area", "areaId", area));
        return location;
    }
    // An open order at the table, opened some minutes ago, with the server's total in cents.
    ManagedObjectPtr addOrder(const std::string& remoteId, const std::string& name, const char* user, const char* table,
                              int minutesAgo, int total) {
        ManagedObjectPtr order = store.addOrder(remoteId, store.row("User", "userId", user));
        order->setValue("name", name);
        order->setValue("total", total);
        order->setValue("type", "dineIn");
        order->setValue("created", Date::now().addingSeconds(-60.0 * minutesAgo));
        order->setToOne("areaLocation", store.row("AreaLocation", "areaLocationId", table));
        store.save();
        return order;
    }

    // Signs Ann in and shows the layout, which hands pressed tables and its toolbar back here.
    void open(bool updateOnAppear = false) {
        store.save();
        session = std::make_shared<Session>(store.context().get());
        ASSERT_TRUE(session->authenticate("U-ANN"));
        auto screen = ui::InterfaceRegistry::shared().instantiate(screens::TableLayoutViewController::kInterfaceName);
        layout = std::dynamic_pointer_cast<screens::TableLayoutViewController>(screen);
        ASSERT_TRUE(layout);
        layout->setSession(session);
        layout->setUpdateOnAppear(updateOnAppear);
        layout->setObserver(
            [this](const ManagedObjectPtr& table) { picked.push_back(table->text("areaLocationId").value_or("")); },
            [this] { ++logouts; }, [this] { ++orderLists; });
        nav = std::make_shared<ui::NavigationController>(layout);
        nav->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
        h.show(nav);
    }
    screens::TableLayoutView& plan() { return layout->planView(); }
    std::string alertText() {
        if (!h.hasAlert()) return "<no alert>";
        return h.frontAlert().title().value_or("") + " / " + h.frontAlert().message().value_or("");
    }

    ui::test::Harness h;
    StoreFixture store;
    FakePorts ports;
    std::shared_ptr<Session> session;
    std::shared_ptr<screens::TableLayoutViewController> layout;
    std::shared_ptr<ui::NavigationController> nav;
    std::vector<std::string> picked;
    int logouts = 0, orderLists = 0;
};

} // namespace tavlo::test
