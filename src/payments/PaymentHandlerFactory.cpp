#include "payments/PaymentHandlerFactory.h"

#include "payments/LarchHandler.h"
#include "platform/foundation/Text.h"

namespace tavlo {

namespace {

std::mutex creationMutex;
PaymentHandlerFactory* instance = nullptr;

class HandlerBatch : public CardBatch {
public:
    bool hasHandler(const std::string& host) override { return handler(host) != nullptr; }
    int32_t openBatch(const std::string& host, const HostConfig& config, Date openDate, Error* error) override {
        if (auto h = handler(host)) return h->openBatch(config, openDate, error);
        Error::set(error, PaymentHandlerAdapter::error(format("No card handler for %@", host)));
        return -1;
    }
    bool closeBatch(const std::string& host, const HostConfig& config, const std::vector<std::string>& transactionIds,
                    Error* error) override {
        if (auto h = handler(host)) return h->closeBatch(config, transactionIds, error);
        Error::set(error, PaymentHandlerAdapter::error(format("No card handler for %@", host)));
        return false;
    }

private:
    static std::shared_ptr<PaymentHandlerAdapter> handler(const std::string& host) {
        return PaymentHandlerFactory::getInstance().getPaymentHandler(host);
    }
};

} // namespace

std::shared_ptr<CardBatch> PaymentHandlerFactory::cardBatch() { return std::make_shared<HandlerBatch>(); }

PaymentHandlerFactory::PaymentHandlerFactory(ObjectContext* context) : context_(context) {
    registerHandler(LarchHandler::kName, [](ObjectContext* c) { return std::make_shared<LarchHandler>(c); });
}

PaymentHandlerFactory& PaymentHandlerFactory::initWithMOC(ObjectContext* context) {
    std::lock_guard guard(creationMutex);
    if (!instance) instance = new PaymentHandlerFactory(context); // lives for the whole process
    else instance->setContext(context);
    return *instance;
}

PaymentHandlerFactory& PaymentHandlerFactory::getInstance() {
    std::lock_guard guard(creationMutex);
    if (!instance) throw InconsistencyError::notInitialised("PaymentHandlerFactory", "getInstance");
    return *instance;
}

void PaymentHandlerFactory::setContext(ObjectContext* context) {
    std::lock_guard guard(mutex_);
    if (context == context_) return;
    // The handlers made so far work in the old context, which may be gone.
    context_ = context;
    handlers_.clear();
}

ObjectContext* PaymentHandlerFactory::managedObjectContext() const {
    std::lock_guard guard(mutex_);
    return context_;
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

std::shared_ptr<PaymentHandlerAdapter> PaymentHandlerFactory::makePaymentHandler(const std::optional<std::string>& name,
                                                                                 ObjectContext* context) {
    if (!name) return nullptr;
    Maker maker;
    {
        std::lock_guard guard(mutex_);
        auto it = makers_.find(toUpper(*name));
        if (it == makers_.end()) return nullptr;
        maker = it->second;
    }
    return maker(context);
}

} // namespace tavlo
