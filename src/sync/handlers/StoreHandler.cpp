#include "sync/handlers/StoreHandler.h"

#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OperationSynchCustomers.h"
#include "sync/storeload/OperationSynchStore.h"
#include "sync/support/OperationLogs.h"
#include "sync/support/OperationTerminalCommand.h"

namespace tavlo {

namespace {
HandlerSlot<StoreHandler>& slot() {
    static auto* s = new HandlerSlot<StoreHandler>(); // never released: the handler lives with the process
    return *s;
}
} // namespace

StoreHandler::Operations StoreHandler::Operations::standard() {
    Operations operations;
    operations.customers = [](const SynchArgs& a) -> std::shared_ptr<Operation> {
        return std::make_shared<OperationSynchCustomers>(a.url, a.storeId, a.password, false, a.logXml, a.coordinator);
    };
    operations.store = [](const SynchArgs& a) -> std::shared_ptr<Operation> {
        return std::make_shared<OperationSynchStore>(a.url, a.storeId.value_or(""), a.password.value_or(""), false,
                                                     std::nullopt, a.timeout, a.logXml, a.coordinator);
    };
    operations.terminalCommand = [](const std::string& url,
                                    std::shared_ptr<ObjectStore> coordinator) -> std::shared_ptr<Operation> {
        return std::make_shared<OperationTerminalCommand>(url, std::move(coordinator));
    };
    operations.logs = [](std::shared_ptr<ObjectStore> coordinator) -> std::shared_ptr<Operation> {
        return std::make_shared<OperationLogs>(std::move(coordinator));
    };
    return operations;
}

std::shared_ptr<StoreHandler> StoreHandler::getInstance(std::shared_ptr<ObjectStore> coordinator,
                                                        const std::string& url,
                                                        const std::optional<std::string>& customerUrl, int interval,
                                                        bool queueing) {
    return slot().getOrMake([&] {
        auto handler = std::make_shared<StoreHandler>(url, std::move(coordinator), interval, queueing);
        handler->setCustomerUrl(customerUrl);
        return handler;
    });
}

std::shared_ptr<StoreHandler> StoreHandler::getInstance() { return slot().getOrThrow(); }
std::shared_ptr<StoreHandler> StoreHandler::instance() { return slot().get(); }
void StoreHandler::releaseInstance() { slot().release(); }

StoreHandler::StoreHandler(std::string url, std::shared_ptr<ObjectStore> coordinator, int interval, bool queueing)
    : OperationHandler(std::move(url), std::move(coordinator), interval, queueing),
      operations_(Operations::standard()) {}

std::optional<std::string> StoreHandler::customerUrl() const {
    std::lock_guard lock(mutex_);
    return customerUrl_;
}

void StoreHandler::setCustomerUrl(std::optional<std::string> url) {
    std::lock_guard lock(mutex_);
    customerUrl_ = std::move(url);
}

void StoreHandler::setOperations(Operations operations) {
    std::lock_guard lock(mutex_);
    operations_ = std::move(operations);
}

void StoreHandler::work() {
    if (size_t pending = queuedCount(); pending > 0) {
        TAVLO_LOG("StoreHandler unable to run, processing %d pending", static_cast<int>(pending));
        return;
    }
    if (!CommHelper::isWiFiConnected()) return;

    auto context = newContext();
    SynchArgs args;
    args.url = gatewayURL();
    auto& defaults = UserDefaults::standardUserDefaults();
    args.storeId = defaults.stringForKey("store_id");
    args.password = defaults.stringForKey("password");
    args.logXml = Parameters::flag(Parameter::LogXml, context.get());
    args.timeout = CommHelper::timeout(Parameter::StoreHandlerReadTimeout, context.get());
    args.coordinator = coordinator();

    Operations operations;
    {
        std::lock_guard lock(mutex_);
        operations = operations_;
    }
    auto add = [this](std::shared_ptr<Operation> operation) {
        if (operation) addOperation(std::move(operation));
    };
    if (synchCustomers() && operations.customers) {
        SynchArgs customerArgs = args;
        customerArgs.url = customerUrl().value_or(args.url);
        add(operations.customers(customerArgs));
    }
    if (operations.store) add(operations.store(args));
    if (operations.terminalCommand) add(operations.terminalCommand(args.url, args.coordinator));
    if (operations.logs) add(operations.logs(args.coordinator));
}

} // namespace tavlo
