// The session's business day and no-sale: the business day (the order handler) does the day's
// work, the card batch (the host's gateway handler) the batch, the receipt printer the drawer.
#include "core/session/Session.h"

#include "core/ports/BusinessDay.h"
#include "core/ports/CardBatch.h"
#include "core/ports/OrderSender.h"
#include "core/ports/PrinterStream.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "xml/XmlHelper.h"

namespace tavlo {

bool Session::openStore(Error* error) {
    Date now = Date::now();
    if (!BusinessDay::required()->openStore(userId_, now, context_, error)) return false;
    openCardBatch(now, error);
    return true;
}

bool Session::joinOpenDay(Error* error) {
    std::optional<Date> opened = storeOpenDate();
    return !opened || openCardBatch(*opened, error);
}

bool Session::openCardBatch(Date openDate, Error* error) {
    if (!lite_) return true;
    std::optional<std::string> host = Parameters::text(Parameter::CreditHost, context_);
    if (!host) return true;
    std::shared_ptr<CardBatch> cards = CardBatch::required();
    if (!cards->hasHandler(*host)) return true;
    Error batchError;
    if (cards->openBatch(*host, getHostConfig(host, context_), openDate, &batchError) != -1) return true;
    Error::set(error,
               Utils::getError(format("%@ (%@)", localized("Unable to open batch"), batchError.localizedDescription()),
                               Utils::kStoreServerErrorDomain, -1));
    return false;
}

bool Session::closeStore(Error* error) {
    std::shared_ptr<BusinessDay> day = BusinessDay::required();
    day->pauseHandlers();
    auto close = [&] {
        if (lite_ && !day->canClose(context_, error)) return false;
        std::optional<std::string> host = Parameters::text(Parameter::CreditHost, context_);
        Error::set(error, Error());
        if (lite_ && host) {
            Error batchError;
            std::optional<std::vector<std::string>> refs =
                day->getPaymentRefs(2, storeId_, password_, userId_, context_, &batchError);
            bool closed = false;
            if (refs) {
                std::shared_ptr<CardBatch> cards = CardBatch::required();
                if (cards->hasHandler(*host))
                    closed = cards->closeBatch(*host, getHostConfig(host, context_), *refs, &batchError);
                else
                    batchError = Utils::getError(format("%@ (%@)", localized("Unable to close batch"), host),
                                                 Utils::kStoreServerErrorDomain, -1);
            }
            if (!closed) {
                TAVLO_LOG_MAIL("Unable to close batch for store %@: %@", storeId_, batchError.localizedDescription());
                Error::set(error, batchError);
                return false;
            }
        }
        return day->closeStore(userId_, Date::now(), context_, error);
    };
    bool closed = close();
    day->resumeHandlers();
    return closed;
}

bool Session::noSale(const std::optional<std::string>& drawerId, const std::optional<std::string>& authorizedBy,
                     Error* error) {
    std::shared_ptr<PrinterStream> printer = printerStream_;
    if (!printer) {
        Error::set(error, Utils::kStoreServerErrorDomain, -1, localized("No printer configured"));
        return false;
    }
    // A drawer may be wired to several terminals: kick the port this terminal has for it.
    int drawerNumber = cashDrawerURL(drawerId, terminalId_, context_);
    if (drawerNumber < 0) {
        ManagedObjectPtr anyLink =
            DBHelper::getObject("TerminalCashDrawer", "cashDrawer.cashDrawerId == %@", drawerId, context_);
        drawerNumber = intValue(anyLink ? anyLink->text("url") : std::nullopt);
    }
    std::optional<std::string> request =
        XmlHelper::getXmlNoSale(userId_, terminalId_, drawerId, Date::now(), authorizedBy);
    OrderSender::required()->sendNoSale(drawerId, request, userId_, context_, error);
    if (!printer->open(error)) return false;
    printer->openDrawer(drawerNumber);
    printer->close();
    return true;
}

} // namespace tavlo
