#pragma once

#include "StoreServer.h"
#include "core/session/Session.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/NetworkProbe.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/render/Snapshot.h"
#include "support/RecordingPrinterStream.h"
#include "support/StoreFixture.h"
#include "support/TimeZoneScope.h"
#include "support/ui/Harness.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/AppShell.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavlo::screens::test {

// A terminal of the small store (this device is "Front", T1) with Ann signed in, a recording
// receipt printer on her session, the handlers set up (and paused) against the store server on
// loopback as the gateway (store "1", password "secret"), Wi-Fi up on "Bistro-Staff". A screen
// the administration screen opens by name is shown at the root of a navigation controller.
class SignedInTerminal {
public:
    struct Options {
        ui::DeviceIdiom idiom = ui::DeviceIdiom::Tablet;
        bool lite = false;
        std::vector<std::pair<std::string, std::string>> values; // store values
    };

    explicit SignedInTerminal(Options options) : h(options.idiom) {
        store.buildSmallStore();
        if (options.lite) store.addStoreParam("TAVLO_LITE", std::string("YES"));
        for (const auto& [name, value] : options.values) store.addStoreParam(name, value);
        store.save();
        NetworkProbe::install(std::make_shared<FixedNetworkProbe>(true, "10.1.1.20", "Bistro-Staff"));
        server.start();
        UserDefaults& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(std::string("1"), "store_id");
        defaults.setObject(std::string("secret"), "password");
        shell.setupHandlers(options.lite, server.url());
        session = std::make_shared<Session>(store.context().get());
        session->authenticate("U-ANN");
        session->setPrinterStream(printer);
    }
    ~SignedInTerminal() {
        h.runUntilIdle();
        AppShell::endHandlers();
        server.stop();
        NetworkProbe::install(nullptr);
        CommHelper::setGateway(std::nullopt);
    }

    // Gives the user a permission of their own, saved.
    void grant(const std::string& userId, const std::string& permission) {
        store.row("User", "userId", userId)->addTo("permissions", store.addPermission(permission));
        store.save();
    }
    void show(const std::shared_ptr<ui::ViewController>& screen) {
        h.show(std::make_shared<ui::NavigationController>(screen));
    }
    std::string alertText() {
        if (!h.hasAlert()) return "(no alert)";
        return h.frontAlert().title().value_or("") + " / " + h.frontAlert().message().value_or("");
    }
    ui::render::Bitmap picture() { return ui::render::snapshot(h.window(), h.window().bounds().size); }

    tavlo::test::TimeZoneScope utc{"UTC"};
    tavlo::test::StoreFixture store;
    ui::test::Harness h;
    storesim::StoreServer server{storesim::StoreServer::Options{"1", "secret", 5}};
    AppShell shell{store.context()};
    std::shared_ptr<tavlo::test::RecordingPrinterStream> printer =
        std::make_shared<tavlo::test::RecordingPrinterStream>();
    std::shared_ptr<Session> session;
};

} // namespace tavlo::screens::test
