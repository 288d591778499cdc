// The terminal program: the terminal in a window on the display.
//   tavlo [--phone] [--demo-gateway URL]
// The pad's 1024x768 in landscape, or with --phone the phone's 320x480. On a machine with no
// display the first screen is drawn into "first-screen.png" in the data folder instead, and the
// program ends (status 1 when the store could not be loaded).
// The store comes from the user defaults "store_id", "password" and "gateway", or the set-up
// screen asks for it. With --demo-gateway (the run command passes the demo store server's
// address), a terminal without a store is set up for the demo store, and one set up for it
// follows the server's address, which changes with every start; a terminal of any other store
// keeps its own settings.
#include "TerminalRun.h"
#include "core/util/TavloLog.h"
#include "platform/accessory/AccessoryManager.h"
#include "platform/foundation/AlertSink.h"
#include "platform/foundation/Directories.h"
#include "platform/foundation/LargePages.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/ApplicationAlertSink.h"
#include "printing/KitchenAnnouncer.h"
#include "screens/Screens.h"
#include "sync/handlers/AppShell.h"
#include "sync/support/LogMailRelay.h"
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

} // namespace

int main(int argc, char** argv) {
    // The store's load at start writes a great deal of memory for the first time.
    useLargeHeapPages(argv);
    std::optional<std::string> demoGateway;
    TerminalRun terminal;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--demo-gateway" && i + 1 < argc) {
            demoGateway = argv[++i];
        } else if (arg == "--phone") {
            terminal.phone = true;
        } else {
            std::fprintf(stderr, "usage: %s [--phone] [--demo-gateway URL]\n", argv[0]);
            return 2;
        }
    }
    blockStopSignals();

    // The data folder holds the store's records, card data and the log: what the program makes
    // there is the owner's alone (the folder itself is made so at its first use).
    umask(S_IRWXG | S_IRWXO);
    // Before anything is logged, so that the log's first header shows the terminal's values.
    TerminalLogInfo::install();
    // Flagged log entries reach the support service from the logger's own worker.
    LogMailRelay::install();
    AppShell::installPorts();
    // Sending an order in lite mode prints its kitchen tickets.
    KitchenAnnouncer::install();
    // The model's messages to the person at the terminal appear as alerts.
    AlertSink::install(std::make_shared<ui::ApplicationAlertSink>());
    // Card readers on serial or RFCOMM devices, as the terminal lists them.
    Error accessoriesError;
    if (!AccessoryManager::shared().watchSerialAccessories(documentsDirectory() / AccessoryManager::configurationFile,
                                                           &accessoriesError)) {
        TAVLO_LOG("%@", accessoriesError.localizedDescription());
    }
    screens::registerScreens();

    if (demoGateway) configureDemo(UserDefaults::standardUserDefaults(), *demoGateway);
    terminal.firstScreenPath = documentsDirectory() / "first-screen.png";
    int status = terminal.run();

    // The mail worker reads the user defaults and the terminal's values: it stops while they
    // still exist. One still waiting for the relay when the time is up cannot be stopped; the
    // process then ends without tearing down what it reads.
    if (!TavloLog::shutdownMail(TavloLog::kExitDrainSeconds)) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
