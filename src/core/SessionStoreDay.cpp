// The session's business day and no-sale: the order handler does the day's work, the card
// handler the batch, the receipt printer the drawer.
#include "core/Session.h"

#include "core/DBHelper.h"
#include "core/TavloLog.h"
#include "core/Utils.h"
#include "payments/PaymentHandlerFactory.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "core/PrinterStream.h"
#include "sync/CommHelper.h"
#include "sync/OrderHandler.h"
#include "sync/StoreHandler.h"
#include "xml/XmlHelper.h"

namespace tavlo {

namespace {

// The card handler of the store's host; null when there is no host or no handler knows it.
std::shared_ptr<PaymentHandlerAdapter> cardHandler(const std::optional<std::string>& host) {
    if (!host) return nullptr;
    return PaymentHandlerFactory::getInstance().getPaymentHandler(host);
}

} // namespace

bool Session::openStore(Error* error) {
    Date now = Date::now();
    if (!OrderHandler::getInstance()->openStore(userId_, now, context_, error)) return false;
    if (!lite_) return true;
    std::optional<std::string> host = DBHelper::getStoreValue("PAYMENT_CREDIT_HOST", context_);
    if (auto handler = cardHandler(host)) {
        Error batchError;
        if (handler->openBatch(getHostConfig(host, context_), now, &batchError) == -1)
            Error::set(error, Utils::getError(format("%@ (%@)", localized("Unable to open batch"),
                                                     batchError.localizedDescription()),
                                              CommHelper::StoreServerErrorDomain, -1));
    }
    return true;
}

bool Session::closeStore(Error* error) {
    auto orderHandler = OrderHandler::getInstance();
    auto storeHandler = StoreHandler::getInstance();
    orderHandler->pause();
    storeHandler->pause();
    auto close = [&] {
        if (lite_ && !orderHandler->canClose(context_, error)) return false;
        std::optional<std::string> host = DBHelper::getStoreValue("PAYMENT_CREDIT_HOST", context_);
        Error::set(error, Error());
        if (lite_ && host) {
            Error batchError;
            std::optional<std::vector<std::string>> refs = CommHelper::getPaymentRefs(
                2, storeId_, password_, userId_, CommHelper::gateway().value_or(""), context_, &batchError);
            bool closed = false;
            if (refs) {
                if (auto handler = cardHandler(host))
                    closed = handler->closeBatch(getHostConfig(host, context_), *refs, &batchError);
                else
                    batchError = Utils::getError(format("%@ (%@)", localized("Unable to close batch"), host),
                                                 CommHelper::StoreServerErrorDomain, -1);
            }
            if (!closed) {
                TAVLO_LOG_MAIL("Unable to close batch for store %@: %@", storeId_, batchError.localizedDescription());
                Error::set(error, batchError);
                return false;
            }
        }
        return orderHandler->closeStore(userId_, Date::now(), context_, error);
    };
    bool closed = close();
    orderHandler->resume();
    storeHandler->resume();
    return closed;
}

bool Session::noSale(const std::optional<std::string>& drawerId, const std::optional<std::string>& authorizedBy,
                     Error* error) {
    std::shared_ptr<PrinterStream> printer = printerStream_;
    if (!printer) return false;
    // A drawer may be wired to several terminals: kick the port this terminal has for it.
    int drawerNumber = cashDrawerURL(drawerId, terminalId_, context_);
    if (drawerNumber < 0) {
        ManagedObjectPtr anyLink = DBHelper::getObject("TerminalCashDrawer", "cashDrawer.cashDrawerId == %@", drawerId,
                                                       context_);
        drawerNumber = intValue(anyLink ? anyLink->text("url") : std::nullopt);
    }
    std::optional<std::string> request =
        XmlHelper::getXmlNoSale(userId_, terminalId_, drawerId, Date::now(), authorizedBy);
    OrderHandler::getInstance()->sendNoSale(drawerId, request, userId_, context_, error);
    if (!printer->open(error)) return false;
    printer->openDrawer(drawerNumber);
    printer->close();
    return true;
}

} // namespace tavlo
