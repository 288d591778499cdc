#include "sync/support/TerminalLogInfo.h"

#include <memory>

#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/Directories.h"
#include "platform/foundation/UserDefaults.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/handlers/StoreHandler.h"

namespace tavlo {

std::string TerminalLogInfo::deviceIdentifier() { return IDBroker::deviceIdentifier(); }

std::string TerminalLogInfo::ssid() { return CommHelper::ssid(); }

std::string TerminalLogInfo::localIPAddress() { return CommHelper::localIPAddress(); }

std::string TerminalLogInfo::freeSpace() {
    // Not through the session's reading, which mails its failure: the mail worker asks for this
    // value, and a failure would feed itself.
    return Session::formatSpace(tavlo::freeSpace(documentsDirectory()).value_or(0));
}

std::optional<std::string> TerminalLogInfo::gateway() {
    std::optional<std::string> address = CommHelper::gateway();
    if (!address || address->empty())
        address = CommHelper::formatLocalURL(UserDefaults::standardUserDefaults().stringForKey("gateway"));
    if (!address || address->empty()) return std::nullopt;
    return address;
}

HandlerFigures TerminalLogInfo::storeHandler() { return figures(StoreHandler::instance().get()); }

HandlerFigures TerminalLogInfo::orderHandler() { return figures(OrderHandler::instance().get()); }

HandlerFigures TerminalLogInfo::figures(const OperationHandler* handler) {
    if (!handler) return {};
    HandlerFigures figures;
    figures.lastRun = handler->lastRun();
    figures.pendingCount = static_cast<int>(handler->pendingCount());
    if (figures.pendingCount >= 1) {
        figures.oldestPending = handler->oldestPending();
        figures.newestPending = handler->newestPending();
    }
    return figures;
}

void TerminalLogInfo::install() { TavloLog::setInfoProvider(std::make_shared<TerminalLogInfo>()); }

} // namespace tavlo
