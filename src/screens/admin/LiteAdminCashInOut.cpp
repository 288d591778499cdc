// Cashing a drawer in and out from the administration screen. In lite mode the record is queued
// through the order handler, and the terminal opens the drawer and prints the drawer report
// itself; in gateway mode each step is a request to the gateway, which prints on this terminal's
// printer (so a terminal without a printer address cannot take part).
#include "screens/admin/LiteAdminViewController.h"

#include "core/ports/PrinterStream.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/NavigationController.h"
#include "printing/ReceiptHelper.h"
#include "printing/ReportGenerator.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/prompts/AmountViewController.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"
#include "xml/XmlHelper.h"

namespace tavlo::screens {

using namespace ui;

namespace {

constexpr const char* kOpenDrawerFailed = "Unable to open drawer. Verify printer is on and has paper";

Error noPrinter() { return Utils::getError(localized("No printer configured"), Utils::kStoreServerErrorDomain, -1); }

std::string gatewayAddress() { return CommHelper::gateway().value_or(""); }

} // namespace

void LiteAdminViewController::amountPrompt(const std::string& title, AmountAnswer answer, const std::string& drawerId) {
    auto prompt = std::make_shared<AmountViewController>();
    prompt->setTitle(title);
    prompt->setDecimals(2);
    prompt->setUseAnimation(animated());
    prompt->setParam(drawerId);
    std::weak_ptr<ViewController> weak = shared_from_this();
    prompt->setObserver(
        [weak, answer](const std::optional<std::string>& text, const std::optional<std::string>& drawer) {
            if (auto screen = std::static_pointer_cast<LiteAdminViewController>(weak.lock()))
                ((*screen).*answer)(text, drawer.value_or(""));
        });
    presentModal(prompt);
}

void LiteAdminViewController::kickDrawer(const std::string& drawerId) {
    std::shared_ptr<PrinterStream> printer = session_->printerStream();
    if (!printer) return;
    if (!printer->open(nullptr)) return alert("Error", localized(kOpenDrawerFailed), {"Ok"});
    printer->openDrawer(Session::cashDrawerURL(drawerId, session_->terminalId(), context()));
    printer->close();
}

std::optional<std::string> LiteAdminViewController::printDrawerReport(const std::string& drawerId,
                                                                      const std::string& title, bool payments,
                                                                      const char* noPrinter, const char* notOpened) {
    std::shared_ptr<PrinterStream> printer = session_->printerStream();
    if (!printer) return localized(noPrinter);
    if (!printer->open(nullptr)) return localized(notOpened);
    std::optional<std::vector<std::string>> lines =
        reportGenerator_->reportCashDrawer(drawerId, kReportWidth, payments);
    ReceiptHelper::printReport(title, session_->storeName(), session_->userName(),
                               lines.value_or(ReportGenerator::Lines{}), trailingBlankLines(), nullptr, *printer);
    printer->close();
    return std::nullopt;
}

// ---- cash in

void LiteAdminViewController::cashIn(const std::optional<std::string>& text, const std::string& drawerId) {
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Cashing in"));
    if (!text) {
        dismiss(animated());
        return ActivityIndicator::hide();
    }
    if (session_->isCashedIn(drawerId)) {
        dismiss(animated());
        alert("Alert!", localized("Cash drawer was already cashed in"), {"Ok"});
        return ActivityIndicator::hide();
    }
    if (text->empty()) {
        alert("Alert", localized("Please specify an amount for cashing in the drawer. If nothing, enter 0."), {"Ok"});
        return ActivityIndicator::hide();
    }
    dismiss(animated());
    const int32_t cents = Utils::parseCurrency(text);
    Error error;
    bool done = false;
    if (session_->isLite()) {
        CashInOut record = cashInObject(cents, drawerId);
        done = OrderHandler::getInstance()->sendCashInOut(record, session_->userId(), context(), &error);
        // The drawer opens for the float whether or not the record could be queued.
        kickDrawer(drawerId);
    } else if (std::optional<std::string> printURL = session_->printerURL()) {
        std::string request = XmlHelper::getXmlCashInCD(
            session_->userId().value_or(""), session_->terminalId().value_or(""),
            {{"1", format("%ld", static_cast<long>(cents))}}, drawerId, std::nullopt, *printURL);
        done = CommHelper::send(gatewayAddress(), session_->userId(), request, context(),
                                Parameters::flag(Parameter::LogXml, context()), &error);
        if (done) keepGatewayCashIn(cents, drawerId);
    } else {
        error = noPrinter();
    }
    if (!done) {
        alert("Error", format("%@ (%@)", localized("Unable to cash in drawer"), error.localizedDescription()), {"Ok"});
        TAVLO_LOG("Unable to cash in drawer (%@)", error.localizedDescription());
        return ActivityIndicator::hide();
    }
    tableView().reloadData();
    std::optional<std::string> message;
    if (session_->isLite()) {
        message =
            printDrawerReport(drawerId, localized("Cash In"), true,
                              "Cash drawer was cashed in but report did not print. Printer has not been configured.",
                              "Cash drawer was cashed in but report did not print. You can print the report by "
                              "selecting Cash Drawer from the report list before you cash out the drawer");
    } else if (error.isSet()) {
        message = error.localizedDescription();
    }
    if (message) alert("Error", *message, {"Ok"});
    else alert("Confirmation", localized("Cash drawer cashed in"), {"Ok"});
    ActivityIndicator::hide();
}

// The gateway took the cash in: the drawer is cashed in here too, as a gateway cash out is kept
// here. The record stands in for the server's (its id "-1", by which the drawer report asks for it
// by drawer and time) until the server's own comes with the orders read again.
void LiteAdminViewController::keepGatewayCashIn(int32_t cents, const std::string& drawerId) {
    CashInOut record = cashInObject(cents, drawerId);
    record.setCashInOutId(std::string("-1"));
    record.write(*context());
    Error saveError;
    if (!context()->save(&saveError)) TAVLO_LOG_MAIL("Unable to save cashIn %@", saveError.localizedDescription());
}

// ---- cash out

void LiteAdminViewController::preCashOutCD(const std::string& drawerId) {
    if (session_->isLite()) {
        kickDrawer(drawerId);
        return amountPrompt(localized("Cash Out"), &LiteAdminViewController::cashOut, drawerId);
    }
    Error error;
    bool started = false;
    if (session_->printerURL()) {
        std::string request = XmlHelper::getXmlPreCashOutCD(
            session_->userId().value_or(""), session_->terminalId().value_or(""), drawerId, std::nullopt);
        started = CommHelper::send(gatewayAddress(), session_->userId(), request,
                                   Parameters::flag(Parameter::LogXml, context()), &error);
    } else {
        error = noPrinter();
    }
    if (started) return amountPrompt(localized("Cash Out"), &LiteAdminViewController::cashOut, drawerId);
    const std::string& reason = error.localizedDescription();
    alert("Error", reason.empty() ? localized("Unable to start cash out") : reason, {"OK"});
}

void LiteAdminViewController::cashOut(const std::optional<std::string>& text, const std::string& drawerId) {
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Cashing out"));
    if (!session_->isCashedIn(drawerId)) {
        dismiss(animated());
        alert("Alert", localized("Cash drawer was already cashed out"), {"Ok"});
        return ActivityIndicator::hide();
    }
    dismiss(animated());
    CashInOut record;
    if (text) {
        record = cashOutObject(Utils::parseCurrency(text), drawerId);
    } else {
        // A cancelled count is still a count: the final cash out reports how many were made.
        ManagedObjectPtr open =
            context()->fetchFirst("CashInOut", "outDate == nil && cashDrawer.cashDrawerId == %@", drawerId);
        if (open) record.read(*open);
        else TAVLO_LOG_MAIL("Attempting cashOut without ever receiving a cashInOut for %@", drawerId);
        record.setOutCount(record.outCount() + 1);
    }
    Error error;
    bool done = false;
    if (session_->isLite()) {
        done = OrderHandler::getInstance()->sendCashInOut(record, session_->userId(), context(), &error);
    } else {
        if (!text) {
            done = true;
        } else if (std::optional<std::string> printURL = session_->printerURL()) {
            std::vector<std::pair<std::string, int64_t>> counted(record.outBreakDown().begin(),
                                                                 record.outBreakDown().end());
            std::string request = XmlHelper::getXmlCashOutCD(
                session_->userId().value_or(""), session_->terminalId().value_or(""), counted,
                std::max(record.outCount(), 1), drawerId, std::nullopt, std::nullopt, *printURL);
            done = CommHelper::send(gatewayAddress(), session_->userId(), request, context(),
                                    Parameters::flag(Parameter::LogXml, context()), &error);
        } else {
            error = noPrinter();
        }
        // Only a cash out the gateway took (or a count that was cancelled) is kept: a refused one
        // leaves the drawer cashed in, to be tried again.
        if (done) {
            record.write(*context());
            Error saveError;
            if (!context()->save(&saveError)) {
                TAVLO_LOG_MAIL("Unable to save cashOut count %@", saveError.localizedDescription());
                if (!text) {
                    done = false;
                    error = saveError;
                }
            }
        }
    }
    if (!done) {
        alert("Error", format("%@ (%@)", localized("Unable to cash out drawer"), error.localizedDescription()), {"Ok"});
        TAVLO_LOG("Unable to cash out drawer (%@)", error.localizedDescription());
        return ActivityIndicator::hide();
    }
    if (!text) return ActivityIndicator::hide();
    tableView().reloadData();
    std::optional<std::string> message;
    if (session_->isLite()) {
        message = printDrawerReport(
            drawerId, localized("Cash Out"), !Parameters::flag(Parameter::CashOutHidePayments, context()),
            "Cash drawer was cashed out but report did not print. Printer has not been configured.",
            "Cash drawer was cashed out but report did not print. You can print the report by "
            "selecting Cash Drawer from the report list before you cash in the drawer again");
    } else if (error.isSet()) {
        message = error.localizedDescription();
    }
    if (message) alert("Error", *message, {"Ok"});
    else alert("Confirmation", localized("Cash drawer cashed out"), {"Ok"});
    ActivityIndicator::hide();
}

} // namespace tavlo::screens
