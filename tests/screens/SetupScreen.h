#pragma once

#include "RunUntil.h"
#include "StoreServer.h"
#include "core/session/DBHelper.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/NetworkProbe.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/shell/SettingsViewController.h"
#include "support/LocalStoreScope.h"
#include "support/TempHome.h"
#include "support/ui/Harness.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/AppShell.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace tavlo::screens::test {

// The store set-up screen on a terminal with a fresh data directory, against the store server on
// loopback (store "1", password "secret", the store data of storeload/store_full.xml). The shell
// merges the loads' saves into the main context, as in the program. The network line reads a
// fixed Wi-Fi "Bistro-Staff" at 10.1.1.20.
class SetupScreen {
public:
    explicit SetupScreen(ui::DeviceIdiom idiom) : h(idiom) {
        registerSettingsView();
        NetworkProbe::install(std::make_shared<FixedNetworkProbe>(true, "10.1.1.20", "Bistro-Staff"));
        server.setStoreDataFile(tavlo::test::fixturePath("storeload/store_full.xml"));
        server.start();
        SettingsViewController::setHostedServiceURL(server.url() + "/xml/XmlHandler.jsp");
    }
    ~SetupScreen() {
        ActivityIndicator::hide();
        h.runUntilIdle();
        server.stop();
        NetworkProbe::install(nullptr);
        CommHelper::setGateway(std::nullopt);
    }

    void show() {
        settings = std::make_shared<SettingsViewController>();
        settings->setContext(store.context());
        settings->setPersistentStoreCoordinator(DBHelper::sharedStore());
        settings->setObserver([this] { ++saved; });
        h.show(settings);
    }

    ui::TextField& field(const std::string& outlet) { return h.outlet<ui::TextField>(outlet); }
    // Replaces what the field holds, key by key.
    void retype(const std::string& outlet, const std::string& text) {
        ui::TextField& f = field(outlet);
        if (!f.text().empty()) h.backspace(f, static_cast<int>(f.text().size()));
        if (!text.empty()) h.type(f, text);
    }
    void fill(const std::string& storeId, const std::string& password, const std::string& gateway) {
        retype("textStoreId", storeId);
        retype("textStorePassword", password);
        retype("textStoreGateway", gateway);
    }
    // Save, then the association prompt answered with the code.
    void save(const std::string& associationCode = "") {
        h.tap("Save");
        ASSERT_TRUE(h.hasAlert());
        ASSERT_EQ(h.frontAlert().title(), "Association Code");
        if (!associationCode.empty()) h.type(*h.frontAlert().textField(0), associationCode);
        h.clickAlert("Ok");
    }
    // Runs the main loop until the load's thread is done with the overlay.
    bool waitForLoad() {
        bool done = runUntil(h, [] { return !ActivityIndicator::overlay(); });
        h.runUntilIdle();
        return done;
    }
    static std::optional<std::string> defaultsText(const std::string& key) {
        return UserDefaults::standardUserDefaults().stringForKey(key);
    }
    // Rows of the entity as stored.
    static size_t stored(const char* entity) {
        ObjectContext view(DBHelper::sharedStore());
        return view.count(FetchRequest(entity));
    }

    tavlo::test::LocalStoreScope store;
    ui::test::Harness h;
    storesim::StoreServer server{storesim::StoreServer::Options{"1", "secret", 5}};
    AppShell shell{store.context()};
    std::shared_ptr<SettingsViewController> settings;
    int saved = 0;
};

} // namespace tavlo::screens::test
