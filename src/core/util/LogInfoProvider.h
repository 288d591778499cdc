#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Clock.h"

namespace tavlo {

// What the log's footer shows of a background handler.
struct HandlerFigures {
    std::optional<Date> lastRun;
    int pendingCount = 0;
    std::optional<Date> oldestPending;
    std::optional<Date> newestPending;
};

// The device, network and handler values that the log's header, footer and mailed entries
// show. The layers that know them override these (the program installs the terminal's own,
// TerminalLogInfo of the sync layer); until then each answers a stand-in.
class LogInfoProvider {
public:
    virtual ~LogInfoProvider() = default;

    virtual std::string appVersion();
    virtual std::string deviceName();       // the host's name
    virtual std::string model();            // the machine type
    virtual std::string systemVersion();    // the kernel's name and release
    virtual std::string deviceIdentifier(); // "" until the device identifier exists
    virtual std::string ssid();             // the Wi-Fi network's name, "" when none
    virtual std::string localIPAddress();
    virtual std::string language();               // the user's first preferred language
    virtual std::string freeSpace();              // of the data directory's volume, in words
    virtual std::optional<std::string> gateway(); // the store server's address, nil when unset
    virtual HandlerFigures storeHandler();
    virtual HandlerFigures orderHandler();
};

} // namespace tavlo
