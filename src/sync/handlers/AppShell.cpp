#include "sync/handlers/AppShell.h"

#include "core/ports/CardBatch.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "payments/Encryption.h"
#include "payments/PaymentHandlerFactory.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/handlers/StoreHandler.h"

namespace tavlo {

namespace {

// The store server's public keys for the card fields, as it hands them out.
constexpr const char* kServerKey2048 = "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAk2Rs21EnF0WT590nIFOE/Wh5KIkFNyrv "
                                       "CdNLxQOur19dXj5Dtc39Y0AYz0Np7JhQaCliNd0ov6pYLy8NYeDflsWcY/GONVLFPq9F4EAA1wjP "
                                       "Z2+jqGeSr8tVqlYm8rTkxSfKpd04Ebxp8TQzQQtB60rX/mHHOpF7m85v68dYK9SgZ+cJx9sUTtlj "
                                       "uCzVhhOPWMpyrr/jzdQqy6b53Ti+9AdMf1guxYOm4CPk61ga8r0S/nhU3ZYajH9jfQ/ytx1eAGz2 "
                                       "EXh49bUF2T0tOotR6ff9IAHKHkgmNPM2KeGov3bPxpRrC9yLlVrQxsxqy+LmBrA1B1DhzDuWSKyh "
                                       "qqunfQIDAQAB ";
constexpr const char* kServerKey1024 =
    "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQDB2m4rYrNuAzF+NWHVxjjbr4/VI4c2MHbOCZPDDzUGVWNkUVZF1t8BGFZQ61UHP58dWgNCS+"
    "bge5gxHmIkpC4+zWDhIr0ZqGWfmQqNjbL9Cub4/8U591evthNhL8eTp2Lg/atXAuWCT/cCUYOZY2P1m9O+msrcZi4jTBKbEBXVrwIDAQAB";

class Waker : public HandlerWaker {
public:
    void wakeStore() override {
        if (auto handler = StoreHandler::instance()) handler->wakeUp();
    }
    void wakeOrders() override {
        if (auto handler = OrderHandler::instance()) handler->wakeUp();
    }
};

class HandlerSender : public OrderSender {
public:
    bool sendOrder(Order& order, const std::optional<std::string>& userId, ObjectContext* context,
                   Error* error) override {
        return OrderHandler::getInstance()->sendOrder(order, userId, context, error);
    }
    bool sendNoSale(const std::optional<std::string>& rowId, const std::optional<std::string>& request,
                    const std::optional<std::string>& userId, ObjectContext* context, Error* error) override {
        return OrderHandler::getInstance()->sendNoSale(rowId, request, userId, context, error);
    }
};

class HandlerDay : public BusinessDay {
public:
    bool openStore(const std::optional<std::string>& userId, Date date, ObjectContext* context, Error* error) override {
        return OrderHandler::getInstance()->openStore(userId, date, context, error);
    }
    bool canClose(ObjectContext* context, Error* error) override {
        return OrderHandler::getInstance()->canClose(context, error);
    }
    bool closeStore(const std::optional<std::string>& userId, Date date, ObjectContext* context,
                    Error* error) override {
        return OrderHandler::getInstance()->closeStore(userId, date, context, error);
    }
    void pauseHandlers() override {
        auto orderHandler = OrderHandler::getInstance();
        auto storeHandler = StoreHandler::getInstance();
        orderHandler->pause();
        storeHandler->pause();
    }
    void resumeHandlers() override {
        OrderHandler::getInstance()->resume();
        StoreHandler::getInstance()->resume();
    }
    std::optional<std::vector<std::string>> getPaymentRefs(long paymentType, const std::optional<std::string>& storeId,
                                                           const std::optional<std::string>& password,
                                                           const std::optional<std::string>& userId,
                                                           ObjectContext* context, Error* error) override {
        return CommHelper::getPaymentRefs(paymentType, storeId, password, userId, CommHelper::gateway().value_or(""),
                                          context, error);
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

    std::optional<std::string> customerUrl = Parameters::text(Parameter::CustomerUrl, context);
    auto storeHandler = StoreHandler::getInstance(
        coordinator, gateway, customerUrl ? customerUrl : gateway,
        intervalSeconds(Parameters::text(Parameter::StoreManagerSleepInterval, context)), queueing);
    IDBroker::initWithMOC(mainContext_);
    CommHelper::setGateway(gateway);
    storeHandler->setSynchCustomers(Parameters::flag(Parameter::ModuleCustomerAccounts, context) &&
                                    (queueing || Parameters::flag(Parameter::SynchCustomers, context)));
    storeHandler->pause();

    auto orderHandler = OrderHandler::getInstance(
        coordinator, gateway, intervalSeconds(Parameters::text(Parameter::OrderManagerSleepInterval, context)),
        queueing);
    orderHandler->setSynchDown(!queueing && Parameters::flag(Parameter::SynchOrdersAuto, context));
    if (queueing) return checkCardCharges();

    Encryption& encryption = Encryption::getInstance();
    int keyLength = Parameters::number(Parameter::EncryptionKeyLength, context);
    encryption.setKeyLength(keyLength);
    if (!encryption.getPublicKey()) encryption.setPublicKey(builtInServerKey(keyLength));
}

void AppShell::checkCardCharges() {
    ObjectContext* context = mainContext_.get();
    std::optional<std::string> host = Parameters::text(Parameter::CreditHost, context);
    if (!host) return;
    std::shared_ptr<PaymentHandlerAdapter> handler = PaymentHandlerFactory::getInstance().getPaymentHandler(host);
    if (!handler) return;
    Error error;
    if (!handler->checkCharges(PaymentHandlerAdapter::getHostConfig(*host, *context), std::nullopt, &error))
        TAVLO_LOG_MAIL("Card charges without an answer remain: %@", error.localizedDescription());
}

std::string AppShell::builtInServerKey(int keyLength) { return keyLength == 2048 ? kServerKey2048 : kServerKey1024; }

void AppShell::login() {
    StoreHandler::getInstance()->start();
    OrderHandler::getInstance()->start();
}

void AppShell::endHandlers() {
    if (auto handler = StoreHandler::instance()) handler->end();
    if (auto handler = OrderHandler::instance()) handler->end();
    StoreHandler::releaseInstance();
    OrderHandler::releaseInstance();
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
std::shared_ptr<OrderSender> AppShell::orderSender() { return std::make_shared<HandlerSender>(); }
std::shared_ptr<BusinessDay> AppShell::businessDay() { return std::make_shared<HandlerDay>(); }

void AppShell::installPorts() {
    OrderSender::install(orderSender());
    BusinessDay::install(businessDay());
    CardBatch::install(PaymentHandlerFactory::cardBatch());
}

} // namespace tavlo
