#pragma once

#include "core/util/LogInfoProvider.h"

namespace tavlo {

class OperationHandler;

// The values the logger shows, as this terminal knows them: its device identifier, the store
// server's address, the network it is on, the free space of the data folder and the figures of
// the two handlers. Any thread may ask.
class TerminalLogInfo : public LogInfoProvider {
public:
    std::string deviceIdentifier() override;
    std::string ssid() override;
    std::string localIPAddress() override;
    std::string freeSpace() override;
    // The address the exchange uses, else the "gateway" default; nil when neither is set.
    std::optional<std::string> gateway() override;
    // Empty figures while the handler does not exist.
    HandlerFigures storeHandler() override;
    HandlerFigures orderHandler() override;

    // Makes the logger show these values. The program calls it before anything is logged, so
    // that the first header has them.
    static void install();

private:
    static HandlerFigures figures(const OperationHandler* handler);
};

} // namespace tavlo
