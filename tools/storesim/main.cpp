// storesim: the store server on 127.0.0.1 for the demo and for trying the terminal by hand.
//   storesim [--port N] [--demo] [--items N | --fixture STORE_DATA.xml] [--store ID] [--password PW]
//            [--card-gateway URL]
// --port 0 takes any free port; the "listening on" line tells which. --demo serves the demo store
// (store "demo", password "demo") with a generated menu of --items items (default 60) unless a
// fixture is given; the terminal that loads it becomes its first till, where the users "User 0"
// to "User 9" sign in with the numbers 1000 to 1009. --card-gateway makes the generated store's
// card host the Larch gateway at URL (the loopback gateway, tools/gatewaysim, with its user "demo"
// and password "demo"). Serves until interrupted (Ctrl-C or SIGTERM).
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
    std::fprintf(stderr,
                 "usage: %s [--port N] [--demo] [--items N | --fixture STORE_DATA.xml] [--store ID] [--password PW]"
                 " [--card-gateway URL]\n",
                 program);
    return 2;
}

// The store parameters that make the Larch gateway at `url` the store's card host.
std::vector<std::pair<std::string, std::string>> cardHost(const std::string& url) {
    return {{"PAYMENT_CREDIT_HOST", "LARCH"},          {"HOST_LARCH_CAPTURE_URL", url + "/capture"},
            {"HOST_LARCH_DETAILS_URL", url + "/details"}, {"HOST_LARCH_USER", "demo"},
            {"HOST_LARCH_PASSWORD", "demo"},           {"HOST_LARCH_RP", "1"},
            {"HOST_LARCH_ALLOW_MANUAL", "YES"},        {"HOST_LARCH_SETTLE_TZ_ABBREV", "UTC"}};
}

} // namespace

int main(int argc, char** argv) {
    tavlo::storesim::StoreServer::Options options;
    int port = 4444;
    std::string fixture;
    std::string cardGateway;
    std::optional<long> items;
    bool demo = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--demo") {
            demo = true;
            continue;
        }
        if (i + 1 >= argc) return usage(argv[0]);
        std::string value = argv[++i];
        if (arg == "--port")
            port = std::atoi(value.c_str());
        else if (arg == "--fixture")
            fixture = value;
        else if (arg == "--items")
            items = std::atol(value.c_str());
        else if (arg == "--store")
            options.storeId = value;
        else if (arg == "--password")
            options.password = value;
        else if (arg == "--card-gateway")
            cardGateway = value;
        else
            return usage(argv[0]);
    }
    if (port < 0 || port > 65535 || (items && (*items < 0 || !fixture.empty()))) return usage(argv[0]);
    if (demo) {
        options.storeId = options.password = "demo";
        if (!items && fixture.empty()) items = 60;
    }
    // The card host is a setting of the generated store only.
    if (!cardGateway.empty() && !items) return usage(argv[0]);

    // The signals are taken by sigwait below, never by a handler.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    try {
        tavlo::storesim::StoreServer server(options);
        if (!fixture.empty()) server.setStoreDataFile(fixture);
        if (items) {
            std::vector<std::pair<std::string, std::string>> params;
            if (!cardGateway.empty()) params = cardHost(cardGateway);
            // The demo lists its tables by area on the orders main screen, where a person opens one.
            if (demo) params.emplace_back("MODULE_TABLE_LAYOUT", "YES");
            // The demo store makes whichever terminal asks its first till, so that its users can
            // sign in there.
            server.setStoreData([demo, params, count = static_cast<size_t>(*items)](
                                    const tavlo::storesim::StoreDataRequest& asked) {
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
