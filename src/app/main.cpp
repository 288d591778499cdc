// The terminal program, for now: loads the configured store from its gateway and shows what it
// holds.
//   tavlo [--demo-gateway URL]
// The store comes from the user defaults "store_id", "password" and "gateway". With
// --demo-gateway (the run command passes the demo store server's address), a terminal without a
// store is set up for the demo store, and one set up for it follows the server's address, which
// changes with every start; a terminal of any other store keeps its own settings.
#include "core/session/DBHelper.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/store/ObjectContext.h"
#include "sync/handlers/AppShell.h"
#include "sync/exchange/CommHelper.h"
#include "sync/support/LogMailRelay.h"
#include "sync/storeload/OperationSynchStore.h"
#include "sync/support/TerminalLogInfo.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

using namespace tavlo;

namespace {

constexpr const char* kDemoStore = "demo";
constexpr const char* kDemoPassword = "demo";
constexpr int kLoadTimeout = 30;  // seconds

int fail(const std::string& text) {
    std::fprintf(stderr, "tavlo: %s\n", text.c_str());
    return 1;
}

void configureDemo(UserDefaults& defaults, const std::string& gateway) {
    std::optional<std::string> storeId = defaults.stringForKey("store_id");
    if (storeId && !storeId->empty() && *storeId != kDemoStore) return;
    if (!storeId || storeId->empty()) {
        defaults.setObject(std::string(kDemoStore), "store_id");
        defaults.setObject(std::string(kDemoPassword), "password");
        std::printf("Terminal set up for the demo store\n");
    }
    defaults.setObject(gateway, "gateway");
    defaults.synchronize();
}

// Loads the configured store and shows what it holds; the program's exit status.
int loadStore(const std::optional<std::string>& demoGateway) {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    if (demoGateway) configureDemo(defaults, *demoGateway);
    std::optional<std::string> storeId = defaults.stringForKey("store_id");
    std::optional<std::string> gateway = defaults.stringForKey("gateway");
    if (!storeId || storeId->empty())
        return fail("no store configured: set the \"store_id\", \"password\" and \"gateway\" defaults");
    if (!gateway || gateway->empty()) return fail("no gateway configured for store " + *storeId);

    Error openError;
    std::shared_ptr<ObjectStore> store = DBHelper::sharedStore(&openError);
    if (!store) return fail(openError.localizedDescription());
    CommHelper::setGateway(gateway);
    std::string url = CommHelper::formatTavloURL(gateway).value_or("");
    std::printf("Loading store %s from %s\n", storeId->c_str(), url.c_str());

    OperationSynchStore load(url, *storeId, defaults.stringForKey("password").value_or(""), true, std::nullopt,
                             kLoadTimeout, false, store);
    load.start();
    if (!load.succeeded())
        return fail(load.error() ? load.error()->localizedDescription() : std::string("the store load failed"));

    ObjectContext view(store);
    std::printf("Store: %s\n", DBHelper::getStoreValue("IPHONE_STORE_NAME", &view).value_or("(no name)").c_str());
    for (const char* entity : {"Menu", "Item", "User", "Terminal"})
        std::printf("  %-11s%zu\n", (std::string(entity) + "s:").c_str(), view.count(FetchRequest(entity)));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::optional<std::string> demoGateway;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--demo-gateway" && i + 1 < argc) {
            demoGateway = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--demo-gateway URL]\n", argv[0]);
            return 2;
        }
    }

    // The data folder holds the store's records, card data and the log: what the program makes
    // there is the owner's alone (the folder itself is made so at its first use).
    umask(S_IRWXG | S_IRWXO);
    // Before anything is logged, so that the log's first header shows the terminal's values.
    TerminalLogInfo::install();
    // Flagged log entries reach the support service from the logger's own worker.
    LogMailRelay::install();
    AppShell::installPorts();

    int status = loadStore(demoGateway);

    // The mail worker reads the user defaults and the terminal's values: it stops while they
    // still exist. One still waiting for the relay when the time is up cannot be stopped; the
    // process then ends without tearing down what it reads.
    if (!TavloLog::shutdownMail(TavloLog::exitDrainSeconds)) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
