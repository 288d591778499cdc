// storesim: the store server on 127.0.0.1 for the demo and for trying the terminal by hand.
//   storesim [--port N] [--demo] [--lite] [--printer NAME=ADDRESS]... [--items N | --fixture STORE_DATA.xml]
//            [--store ID] [--password PW] [--card-gateway URL]
// --port 0 takes any free port; the "listening on" line tells which. --demo serves the demo
// restaurant (store "demo", password "demo", resources/demo/demo-store.xml) unless --items asks
// for a generated menu of N items or a fixture is given; the terminal that loads it becomes its
// till, and its business day starts closed (the first manager to sign in opens it). --printer
// gives the demo's printers their addresses (grill=..., bar=..., receipt=...); a printer not
// given has none. Outside lite mode the server prints the demo's kitchen tickets and receipts
// there itself; --lite makes the demo's terminals their own tills, which print their own.
// --card-gateway makes the store's card host the Larch gateway at URL (the loopback gateway,
// tools/gatewaysim, with its user "demo" and password "demo"), and outside lite mode the server
// charges the cards of the orders it is sent there. Serves until interrupted (Ctrl-C or SIGTERM).
#include "DemoStore.h"
#include "StoreServer.h"
#include "sync/storeload/StoreDataGenerator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

int usage(const char* program) {
    std::fprintf(
        stderr,
        "usage: %s [--port N] [--demo] [--lite] [--printer NAME=ADDRESS]... [--items N | --fixture STORE_DATA.xml]"
        " [--store ID] [--password PW] [--card-gateway URL]\n",
        program);
    return 2;
}

// The store parameters that make the Larch gateway at `url` the store's card host.
std::vector<std::pair<std::string, std::string>> cardHost(const std::string& url) {
    return {{"PAYMENT_CREDIT_HOST", "LARCH"},
            {"HOST_LARCH_CAPTURE_URL", url + "/capture"},
            {"HOST_LARCH_DETAILS_URL", url + "/details"},
            {"HOST_LARCH_USER", "demo"},
            {"HOST_LARCH_PASSWORD", "demo"},
            {"HOST_LARCH_RP", "1"},
            {"HOST_LARCH_ALLOW_MANUAL", "YES"},
            {"HOST_LARCH_SETTLE_TZ_ABBREV", "UTC"}};
}

} // namespace

int main(int argc, char** argv) {
    tavlo::storesim::StoreServer::Options options;
    tavlo::storesim::DemoStore restaurant;
    int port = 4444;
    std::string fixture;
    std::string cardGateway;
    std::optional<long> items;
    bool demo = false, lite = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--demo" || arg == "--lite") {
            (arg == "--demo" ? demo : lite) = true;
            continue;
        }
        if (i + 1 >= argc) return usage(argv[0]);
        std::string value = argv[++i];
        if (arg == "--port") {
            port = std::atoi(value.c_str());
        } else if (arg == "--fixture") {
            fixture = value;
        } else if (arg == "--items") {
            items = std::atol(value.c_str());
        } else if (arg == "--store") {
            options.storeId = value;
        } else if (arg == "--password") {
            options.password = value;
        } else if (arg == "--card-gateway") {
            cardGateway = value;
        } else if (arg == "--printer" && value.find('=') != std::string::npos) {
            restaurant.printers[value.substr(0, value.find('='))] = value.substr(value.find('=') + 1);
        } else {
            return usage(argv[0]);
        }
    }
    if (port < 0 || port > 65535 || (items && (*items < 0 || !fixture.empty()))) return usage(argv[0]);
    const bool restaurantServed = demo && !items && fixture.empty();
    // The card host, the printers and lite mode are settings of the stores made here, not of a fixture.
    if (!fixture.empty() && (!cardGateway.empty() || lite)) return usage(argv[0]);
    if (!restaurant.printers.empty() && !restaurantServed) return usage(argv[0]);
    if (demo) {
        options.storeId = options.password = "demo";
        options.dayOpen = false;
    }

    // The signals are taken by sigwait below, never by a handler.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    try {
        tavlo::storesim::StoreServer server(options);
        std::vector<std::pair<std::string, std::string>> params;
        if (!cardGateway.empty()) params = cardHost(cardGateway);
        // Said either way, so that a terminal that loaded the store in the other mode follows.
        if (restaurantServed || lite) params.emplace_back("TAVLO_LITE", lite ? "YES" : "NO");
        // In lite mode the terminal charges its cards itself; otherwise the server does.
        if (!cardGateway.empty() && !lite) server.setCardGateway(cardGateway, "demo", "demo");
        if (!fixture.empty()) server.setStoreDataFile(fixture);
        if (restaurantServed) {
            restaurant.params = params;
            // Read before anyone asks, so that a missing fixture stops the server at once.
            std::string reply = restaurant.reply("");
            tavlo::storesim::StoreCatalogue catalogue = tavlo::storesim::StoreCatalogue::fromStoreData(reply);
            // In lite mode the terminals print their own tickets.
            if (lite) catalogue.printers.clear();
            server.setCatalogue(std::move(catalogue));
            server.setStoreData([restaurant](const tavlo::storesim::StoreDataRequest& asked) {
                return restaurant.reply(asked.deviceId);
            });
        } else if (items) {
            // The generated demo lists its tables by area on the orders main screen.
            if (demo) params.emplace_back("MODULE_TABLE_LAYOUT", "YES");
            // It makes whichever terminal asks its first till, so that its users can sign in there.
            server.setStoreData(
                [demo, params, count = static_cast<size_t>(*items)](const tavlo::storesim::StoreDataRequest& asked) {
                    return demo ? tavlo::StoreDataGenerator::reply(count, params, asked.deviceId)
                                : tavlo::StoreDataGenerator::reply(count, params);
                });
        }
        server.start(port);
        std::printf("storesim: store %s listening on %s\n", options.storeId.c_str(), server.url().c_str());
        std::fflush(stdout);
        int received = 0;
        sigwait(&signals, &received);
        server.stop();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
