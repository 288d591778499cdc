#include "payments/PaymentHandlerFactory.h"

#include "platform/foundation/Text.h"

namespace tavlo {

namespace {

std::mutex creationMutex;
PaymentHandlerFactory* instance = nullptr;

} // namespace

PaymentHandlerFactory::PaymentHandlerFactory(ObjectContext* context) : context_(context) {}

PaymentHandlerFactory& PaymentHandlerFactory::initWithMOC(ObjectContext* context) {
    std::lock_guard guard(creationMutex);
    if (!instance) instance = new PaymentHandlerFactory(context);  // lives for the whole process
    return *instance;
}

PaymentHandlerFactory& PaymentHandlerFactory::getInstance() {
    std::lock_guard guard(creationMutex);
    if (!instance) throw InconsistencyError::notInitialised("PaymentHandlerFactory", "getInstance");
    return *instance;
}

void PaymentHandlerFactory::registerHandler(const std::string& name, Maker maker) {
    std::lock_guard guard(mutex_);
    makers_[toUpper(name)] = std::move(maker);
}

std::shared_ptr<PaymentHandlerAdapter> PaymentHandlerFactory::getPaymentHandler(const std::optional<std::string>& name) {
    if (!name) return nullptr;
    std::lock_guard guard(mutex_);
    std::string key = toUpper(*name);
    if (auto it = handlers_.find(key); it != handlers_.end()) return it->second;
    auto maker = makers_.find(key);
    if (maker == makers_.end()) return nullptr;
    std::shared_ptr<PaymentHandlerAdapter> handler = maker->second(context_);
    if (handler) handlers_[key] = handler;
    return handler;
}

} // namespace tavlo
