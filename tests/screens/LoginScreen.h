#pragma once

#include "RunUntil.h"
#include "StoreServer.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/NetworkProbe.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/shell/LoginViewController.h"
#include "screens/shell/ReceiptPrinters.h"
#include "support/RecordingPrinterStream.h"
#include "support/StoreFixture.h"
#include "support/ui/Harness.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/AppShell.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens::test {

// What the screens a sign-in opens were handed: a stand-in registered under "OrdersView" and
// "LiteAdminView" (and "OrderView" for the pad's order loaders).
class SignedInStandIn : public ui::ViewController, public OrdersMainScreen, public OrderScreen {
public:
    explicit SignedInStandIn(std::string name) : ViewController(std::move(name)) {}
    void loadView() override {
        auto view = std::make_shared<ui::View>(ui::Rect(0, 0, 320, 400));
        view->setBackgroundColor(ui::Color::white());
        setView(view);
    }

    void setSession(std::shared_ptr<Session> s) override { session = std::move(s); }
    void setRoot(bool r) override { root = r; }
    bool showLayout() const override { return layout; }
    void setShowLayout(bool show) override { layout = show; }
    void showTableLayout(bool show) override { layoutRequested = show; }
    bool updateOnAppear() const override { return onAppear; }
    void setUpdateOnAppear(bool update) override { onAppear = update; }
    void setUpdateOnExit(bool update) override { onExit = update; }
    void setRemoteId(std::optional<std::string> id) override { remoteId = std::move(id); }
    void setAreaLocationId(std::optional<std::string> id) override { areaLocationId = std::move(id); }
    void setQuickSale(bool q) override { quickSale = q; }

    std::shared_ptr<Session> session;
    bool root = false, layout = false, layoutRequested = false, onAppear = false;
    std::optional<bool> onExit;
    std::optional<std::string> remoteId, areaLocationId;
    bool quickSale = false;
};

// The sign-in screen on a terminal of the small store (this device is "Front", T1), against the
// store server on loopback as its gateway (store "1", password "secret"), with the handlers set
// up and paused, Wi-Fi up, announcements ignored unless asked for, and the receipt printer of
// type "escpos" a recording one. Users sign in with the numbers 1001 (Ann) and 1002 (Bob).
class LoginScreen {
public:
    struct Options {
        ui::DeviceIdiom idiom = ui::DeviceIdiom::Phone;
        bool lite = false;
        std::vector<std::pair<std::string, std::string>> values; // store values
        // The screen listens to the store server's announcements (a listener joins a multicast
        // group: only in a network namespace of the test's own).
        bool announcements = false;
    };

    explicit LoginScreen(Options options) : h(options.idiom) {
        store.buildSmallStore();
        ManagedObjectPtr front = store.row("Terminal", "terminalId", "T1");
        store.addTerminalParam(front, "TS_PRINTER_TYPE", std::string("EscPos"));
        if (!options.announcements) store.addStoreParam("HH_IGNORE_BROADCASTS", std::string("YES"));
        if (options.lite) store.addStoreParam("TAVLO_LITE", std::string("YES"));
        for (const auto& [name, value] : options.values) store.addStoreParam(name, value);
        store.save();

        registerLoginView();
        for (const char* name : {kOrdersInterface, kAdminInterface, "OrderView"})
            ui::InterfaceRegistry::shared().addController(name, [this, name = std::string(name)] {
                auto screen = std::make_shared<SignedInStandIn>(name);
                opened.push_back(screen);
                return screen;
            });
        ReceiptPrinters::registerMaker(
            "escpos", [this](const ReceiptPrinters::Settings& settings, const std::shared_ptr<PrinterStream>&) {
                printerSettings = settings;
                return printer;
            });
        NetworkProbe::install(std::make_shared<FixedNetworkProbe>(true, "10.1.1.20", "Bistro-Staff"));

        server.start();
        UserDefaults& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(std::string("1"), "store_id");
        defaults.setObject(std::string("secret"), "password");
        defaults.setObject(server.url(), "gateway");
        shell.setupHandlers(options.lite, server.url());
    }
    ~LoginScreen() {
        ActivityIndicator::hide();
        h.runUntilIdle();
        AppShell::endHandlers();
        server.stop();
        ReceiptPrinters::removeMaker("escpos");
        NetworkProbe::install(nullptr);
        CommHelper::setGateway(std::nullopt);
        for (const char* name : {kOrdersInterface, kAdminInterface, "OrderView"})
            ui::InterfaceRegistry::shared().remove(name);
    }

    // The screen at the root of a navigation, as the phone's start-up shows it.
    void show() {
        login = std::make_shared<LoginViewController>();
        login->setManagedObjectContext(store.context());
        h.show(std::make_shared<ui::NavigationController>(login));
    }
    void signIn(const std::string& number) {
        h.type(*login->textNumber(), number);
        h.tap("Login");
    }
    // The screen a sign-in opened last; null when none.
    SignedInStandIn* openedScreen() { return opened.empty() ? nullptr : opened.back().get(); }
    std::string alertText() {
        if (!h.hasAlert()) return "(no alert)";
        return h.frontAlert().title().value_or("") + " / " + h.frontAlert().message().value_or("");
    }
    ManagedObjectPtr row(const std::string& entity, const std::string& key, const std::string& id) {
        return store.row(entity, key, id);
    }

    tavlo::test::StoreFixture store;
    ui::test::Harness h;
    storesim::StoreServer server{storesim::StoreServer::Options{"1", "secret", 5}};
    AppShell shell{store.context()};
    std::shared_ptr<tavlo::test::RecordingPrinterStream> printer =
        std::make_shared<tavlo::test::RecordingPrinterStream>();
    std::optional<ReceiptPrinters::Settings> printerSettings;
    std::shared_ptr<LoginViewController> login;
    std::vector<std::shared_ptr<SignedInStandIn>> opened;
};

} // namespace tavlo::screens::test
