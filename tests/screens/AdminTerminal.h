#pragma once

#include "StoreServer.h"
#include "core/ports/BusinessDay.h"
#include "core/session/Session.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/admin/LiteAdminViewController.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/prompts/AmountViewController.h"
#include "screens/common/prompts/PromptScreens.h"
#include "screens/reports/ReportViewController.h"
#include "support/FakePorts.h"
#include "support/RecordingPrinterStream.h"
#include "support/StoreFixture.h"
#include "support/TimeZoneScope.h"
#include "support/ui/Golden.h"
#include "support/ui/Harness.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/AppShell.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens::test {

// A business day that opens as the real one does in the local store: a new day row, opened by
// the user now. Closing marks the latest day closed.
class DayKeepingBusinessDay : public tavlo::test::FakeBusinessDay {
public:
    bool openStore(const std::optional<std::string>& user, Date when, ObjectContext* context, Error* error) override {
        if (!FakeBusinessDay::openStore(user, when, context, error)) return false;
        ManagedObjectPtr day = context->insert("StoreBatch");
        day->setValue("remoteId", std::string("B-NEW"));
        day->setValue("openedOn", when);
        day->setToOne("openedBy", context->fetchFirst("User", "userId == %@", *user));
        return context->save();
    }
    bool closeStore(const std::optional<std::string>& user, Date when, ObjectContext* context, Error* error) override {
        if (!FakeBusinessDay::closeStore(user, when, context, error)) return false;
        ManagedObjectPtr day = context->fetchFirst("StoreBatch", "closedOn == nil");
        day->setValue("closedOn", when);
        day->setToOne("closedBy", context->fetchFirst("User", "userId == %@", *user));
        return context->save();
    }
};

// A screen opened by its interface name that comes from another part of the terminal: it keeps
// what it was handed.
class HandedScreen : public ui::ViewController, public AdminPaymentsScreen {
public:
    explicit HandedScreen(std::string name) : ViewController(std::move(name)) {}
    void loadView() override { setView(std::make_shared<ui::View>(ui::Rect(0, 0, 320, 400))); }
    void setSession(std::shared_ptr<Session> s) override { session = std::move(s); }
    void setShowGratuity(bool show) override { gratuity = show; }
    std::shared_ptr<Session> session;
    std::optional<bool> gratuity;
};

// A terminal of the small store (T1 "Front", drawers "Till A" D2 and "Till B" D1, which Ann has
// cashed in) with the administration screen pushed over a first screen, as the sign-in pushes
// it. The store server runs on loopback as the gateway; the order handler is set up (lite: it
// queues) but not started; the business day and the order sender are fakes; the receipt printer
// records. The fake clock stands at 2023-11-14 22:13:20 UTC.
class AdminTerminal {
public:
    explicit AdminTerminal(bool liteStore, ui::DeviceIdiom idiom = ui::DeviceIdiom::Phone) : h(idiom), lite(liteStore) {
        store.buildSmallStore();
        if (liteStore) store.addStoreParam("TAVLO_LITE", std::string("YES"));
        store.save();
        BusinessDay::install(day);
        registerPromptScreens();
        registerReportView();
        registerAdminScreens();
        server.start();
        UserDefaults& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(std::string("1"), "store_id");
        defaults.setObject(std::string("secret"), "password");
        defaults.setObject(server.url(), "gateway");
        shell.setupHandlers(liteStore, server.url());
    }
    ~AdminTerminal() {
        ActivityIndicator::hide();
        h.runUntilIdle();
        AppShell::endHandlers();
        server.stop();
        CommHelper::setGateway(std::nullopt);
        for (const std::string& name : doubles) ui::InterfaceRegistry::shared().remove(name);
    }

    // The user gets these rights of its own.
    void grant(const std::string& userId, const std::vector<std::string>& rights) {
        for (const std::string& right : rights)
            store.row("User", "userId", userId)->addTo("permissions", store.addPermission(right));
        store.save();
    }
    void setParam(const std::string& name, const std::string& value) {
        store.addStoreParam(name, value);
        store.save();
    }
    // The store's day: opened an hour ago by Bob, or closed too, an hour after it opened.
    void openDay(bool closed = false) {
        ManagedObjectPtr batch =
            store.addStoreBatch("B1", Date::now().addingSeconds(-3600 * (closed ? 26 : 1)),
                                closed ? std::optional(Date::now().addingSeconds(-3600 * 25)) : std::nullopt);
        batch->setToOne("openedBy", store.row("User", "userId", "U-BOB"));
        if (closed) batch->setToOne("closedBy", store.row("User", "userId", "U-BOB"));
        store.save();
    }

    // Signs the user in and shows the administration screen.
    LiteAdminViewController& open(const std::string& userId = "U-ANN") {
        store.save();
        session = std::make_shared<Session>(store.context().get());
        EXPECT_TRUE(session->authenticate(userId));
        session->setPrinterStream(printer);
        auto made = ui::InterfaceRegistry::shared().instantiate(LiteAdminViewController::kInterfaceName);
        admin = std::dynamic_pointer_cast<LiteAdminViewController>(made);
        admin->setSession(session);
        admin->setRoot(true);
        auto first = std::make_shared<ui::ViewController>();
        first->setTitle(std::string("Sign In"));
        nav = std::make_shared<ui::NavigationController>(first);
        h.show(nav);
        nav->push(admin, false);
        h.runUntilIdle();
        return *admin;
    }

    // Registers a double under the name and keeps the screens it makes.
    void registerDouble(const std::string& name) {
        doubles.push_back(name);
        ui::InterfaceRegistry::shared().addController(name, [this, name] {
            auto screen = std::make_shared<HandedScreen>(name);
            handed.push_back(screen);
            return screen;
        });
    }

    ui::TableView& table() { return admin->tableView(); }
    // The row's title (and detail, for a two-line row).
    std::string rowText(int section, int row) {
        table().scrollToRow({section, row});
        h.runUntilIdle();
        ui::TableViewCell* cell = table().cellForRow({section, row});
        if (!cell) return "<no cell>";
        auto* title = dynamic_cast<ui::Label*>(cell->viewWithTag(LiteAdminViewController::kTitleTag));
        if (!title) return cell->textLabel().text().value_or("");
        auto* detail = dynamic_cast<ui::Label*>(cell->viewWithTag(LiteAdminViewController::kDetailTag));
        std::string text = title->text().value_or("");
        std::string below = detail ? detail->text().value_or("") : "";
        return below.empty() ? text : text + " / " + below;
    }
    std::vector<std::string> sectionRows(int section) {
        std::vector<std::string> rows;
        for (int i = 0; i < table().numberOfRows(section); ++i) rows.push_back(rowText(section, i));
        return rows;
    }
    void tapRow(int section, int row) {
        table().scrollToRow({section, row});
        h.runUntilIdle();
        h.tapRow(table(), {section, row});
    }
    std::string alertText() {
        if (!h.hasAlert()) return "<no alert>";
        return h.frontAlert().title().value_or("") + " / " + h.frontAlert().message().value_or("");
    }
    // Types the amount into the amount prompt shown and saves it.
    void enterAmount(const std::string& digits) {
        auto& prompt = h.visible<AmountViewController>();
        h.type(*prompt.amountView(), digits);
        h.tap("Save");
    }
    ManagedObjectPtr cashRecord(const std::string& drawerId) {
        return store->fetchFirst("CashInOut", "cashDrawer.cashDrawerId == %@", drawerId);
    }
    // The window with the table scrolled back to its top.
    ui::render::Bitmap picture() {
        table().setContentOffset({0, 0});
        h.runUntilIdle();
        return ui::render::snapshot(h.window(), h.window().bounds().size);
    }

    tavlo::test::TimeZoneScope zone{"UTC"};
    ui::test::Harness h;
    tavlo::test::StoreFixture store;
    tavlo::test::FakePorts ports;
    std::shared_ptr<DayKeepingBusinessDay> day = std::make_shared<DayKeepingBusinessDay>();
    bool lite;
    storesim::StoreServer server{storesim::StoreServer::Options{"1", "secret", 5}};
    AppShell shell{store.context()};
    std::shared_ptr<tavlo::test::RecordingPrinterStream> printer =
        std::make_shared<tavlo::test::RecordingPrinterStream>();
    std::shared_ptr<Session> session;
    std::shared_ptr<LiteAdminViewController> admin;
    std::shared_ptr<ui::NavigationController> nav;
    std::vector<std::string> doubles;
    std::vector<std::shared_ptr<HandedScreen>> handed;
};

} // namespace tavlo::screens::test
