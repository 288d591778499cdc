#include "sync/AppShell.h"

#include "core/DBHelper.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "sync/OrderHandler.h"
#include "sync/StoreHandler.h"

namespace tavlo {

namespace {

class Waker : public HandlerWaker {
public:
    void wakeStore() override {
        if (auto handler = StoreHandler::instance()) handler->wakeUp();
    }
    void wakeOrders() override {
        if (auto handler = OrderHandler::instance()) handler->wakeUp();
    }
};

} // namespace

AppShell::AppShell(std::shared_ptr<ObjectContext> mainContext)
    : mainContext_(std::move(mainContext)),
      saves_(ObjectContext::kDidSaveNotification, nullptr, [this](const Notification& n) { contextChanged(n); }) {}

AppShell::~AppShell() = default;

int AppShell::intervalSeconds(const std::optional<std::string>& milliseconds) {
    if (!milliseconds) return 60;
    // A run every loop pass would keep the main thread busy for nothing.
    return std::max(1, intValue(*milliseconds) / 1000);
}

void AppShell::setupHandlers(bool queueing, const std::string& gateway) {
    ObjectContext* context = mainContext_.get();
    std::shared_ptr<ObjectStore> coordinator = mainContext_->store();
    auto value = [context](const char* name) { return DBHelper::getValue(name, context); };

    std::optional<std::string> customerUrl = value("HH_CUSTOMER_URL");
    auto storeHandler =
        StoreHandler::getInstance(coordinator, gateway, customerUrl ? customerUrl : gateway,
                                  intervalSeconds(value("TS_STORE_MANAGER_SLEEP_INTERVAL")), queueing);
    std::optional<std::string> synchCustomers = value("HH_SYNCH_CUSTOMERS");
    storeHandler->setSynchCustomers(boolValue(value("MODULE_CUSTOMER_ACCOUNTS")) &&
                                    (queueing || !synchCustomers || boolValue(synchCustomers)));
    storeHandler->pause();

    auto orderHandler = OrderHandler::getInstance(coordinator, gateway,
                                                  intervalSeconds(value("TS_ORDER_MANAGER_SLEEP_INTERVAL")), queueing);
    orderHandler->setSynchDown(!queueing && boolValue(value("HH_SYNCH_ORDERS_AUTO")));
}

void AppShell::login() {
    StoreHandler::getInstance()->start();
    OrderHandler::getInstance()->start();
}

void AppShell::contextChanged(const Notification& didSave) {
    if (didSave.sender == mainContext_.get()) return;
    if (RunLoop::isMainThread()) {
        mainContext_->mergeChanges(didSave);
        return;
    }
    performOnMainThread([this, &didSave] { mainContext_->mergeChanges(didSave); }, true);
}

std::shared_ptr<HandlerWaker> AppShell::handlerWaker() { return std::make_shared<Waker>(); }

} // namespace tavlo
