// The order screen's printing: the receipt on this terminal's printer, on a printer or terminal
// reached through the gateway, or by e-mail, and the kitchen tickets (announce).
#include "screens/entry/order/OrderViewController.h"

#include <algorithm>

#include "core/order/Order.h"
#include "core/order/Selection.h"
#include "core/ports/Announcer.h"
#include "core/ports/PrinterStream.h"
#include "core/records/Customer.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextInput.h"
#include "printing/EmailPrinter.h"
#include "printing/ReceiptHelper.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/ReceiptJob.h"
#include "screens/common/prompts/TextViewController.h"
#include "sync/exchange/CommHelper.h"
#include "sync/exchange/OrderDocument.h"

namespace tavlo::screens {

using namespace ui;

namespace {

constexpr int kConnectionFailure = -95;
const char* const kWiFiDown = "WiFi Disconnected! Make sure you are within the WiFi area of the store";

void logFailure(const char* message, const Error& error) {
    if (error.code() == kConnectionFailure) TAVLO_LOG(message, error.localizedDescription());
    else TAVLO_LOG_MAIL(message, error.localizedDescription());
}

// Every line still on the order with all its units new: the ticket of the whole order.
std::shared_ptr<Order> wholeTicket(const Order& order) {
    std::shared_ptr<Order> ticket = order.clone();
    for (const SelectionPtr& line : ticket->getSelections()) {
        line->setVoidedQuantity(0);
        if (!line->deleted()) line->setNewQuantity(line->quantity());
    }
    return ticket;
}

// Whether the order went before and some unit of a line still on it went with it.
bool hasSentLines(const Order& order) {
    if (order.new_()) return false;
    const auto& lines = order.getSelections();
    return std::any_of(lines.begin(), lines.end(), [](const SelectionPtr& line) {
        return !line->deleted() && line->quantity() > line->newQuantity();
    });
}

// Prints the whole ticket; answers the failure, unset when every printer took it.
Error printTicketAgain(const Order& order, Session& session) {
    Error error;
    if (std::unique_ptr<Announcer> announcer = Announcer::initWithSession(session))
        announcer->announce(*wholeTicket(order), &error);
    if (error.isSet()) logFailure("Unable to announce order: %@", error);
    return error;
}

} // namespace

void OrderViewController::printCommand() {
    if (!session()->isGranted(Right::PrintOrder)) {
        alert("Error", localized("You do not have the required access"), {"OK"});
        return;
    }
    // In lite mode this terminal prints the kitchen's tickets: once the order went, the person
    // can print its ticket again from here (a kitchen that lost it, a printer that jammed).
    if (session()->isLite() && hasSentLines(*order())) {
        alert("Print", localized("What would you like to print?"),
              {"Cancel", {localized("Receipt"), localized("Kitchen ticket")}}, [this](int button) {
                  if (button == 1) printReceiptCommand();
                  else if (button == 2) announce();
              });
        return;
    }
    printReceiptCommand();
}

void OrderViewController::printReceiptCommand() {
    if (Parameters::flag(Parameter::EmailReceipts, context()))
        alert("Question", localized("Customer wants the receipt printed or emailed?"),
              {"Cancel", {localized("Print"), localized("Email")}}, [this](int button) {
                  if (button == 1) print();
                  else if (button == 2) emailPrompt();
              });
    else print();
}

void OrderViewController::print() {
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Printing"));
    if (session()->isLite()) printLocally();
    else if (auto printer = session()->printerURL()) printVia(CommHelper::gateway(), printer);
    else printViaGateway(localized("Where would you like to print the receipt?"));
    ActivityIndicator::hide();
}

void OrderViewController::printLocally() {
    if (!totalOrderNow()) return;
    const std::shared_ptr<PrinterStream>& printer = session()->printerStream();
    if (!printer) {
        alert("Alert", localized("No printer configured"), {"OK"});
        return;
    }
    ReceiptJob::print(printer, [order = order(), session = session_](PrinterStream& stream) {
        ReceiptHelper::printReceipt(*order, *session, nullptr, stream);
    });
}

OrderViewController::PrintTargets OrderViewController::printTargets() {
    PrintTargets targets;
    ObjectContext* moc = context();
    if (!Parameters::flag(Parameter::DoNotPrintToNetwork, moc))
        for (const ManagedObjectPtr& printer :
             moc->fetch(FetchRequest("Printer", Predicate::format("type != nil && disabled='NO'"), {{"name"}})))
            if (printer->boolean("handheldAccessible")) targets.printers.push_back(printer);
    for (const ManagedObjectPtr& terminal :
         moc->fetch(FetchRequest("Terminal", Predicate::format("networkName != nil && disabled='NO'"), {{"number"}}))) {
        if (Parameters::terminalFlag(Parameter::Accessible, terminal->text("terminalId"), moc))
            targets.terminals.push_back(terminal);
    }
    return targets;
}

void OrderViewController::printTo(int button) {
    if (button < 1) return;
    const PrintTargets targets = printTargets();
    const size_t at = static_cast<size_t>(button - 1);
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Printing"));
    if (at < targets.printers.size()) printVia(CommHelper::gateway(), targets.printers[at]->text("url"));
    else if (at - targets.printers.size() < targets.terminals.size())
        printVia(targets.terminals[at - targets.printers.size()]->text("networkName"), std::nullopt);
    ActivityIndicator::hide();
}

void OrderViewController::printViaGateway(const std::string& message) {
    const PrintTargets targets = printTargets();
    std::vector<std::string> names;
    for (const auto& printer : targets.printers) names.push_back(printer->text("name").value_or(""));
    for (const auto& terminal : targets.terminals) names.push_back(terminal->text("name").value_or(""));
    if (names.empty()) alert("Alert", localized("No terminal available to print to"), {"OK"});
    else alert("Alert", message, {"Cancel", names}, [this](int button) { printTo(button); });
}

void OrderViewController::printVia(const std::optional<std::string>& terminal,
                                   const std::optional<std::string>& printer) {
    const std::string address = CommHelper::formatTavloURL(terminal).value_or("");
    ObjectContext* moc = context();
    OrderDocument document(*order());
    Error error;
    if (CommHelper::sendOrder(document, address, session()->userId(), true, printer, std::nullopt, false, moc,
                              &error)) {
        std::vector<std::shared_ptr<Order>> fetched;
        Error fetchError;
        if (CommHelper::getOrder(remoteId_.value_or(""), CommHelper::gateway().value_or(""), session()->userId(),
                                 CommHelper::loadOrders(fetched, moc), moc, &fetchError) &&
            !fetched.empty()) {
            order()->copy(*fetched.front());
            order()->write(*moc);
            if (Error saveError; !moc->save(&saveError))
                TAVLO_LOG_MAIL("Unable to save order %@", saveError.localizedDescription());
        }
        order()->clearTempData();
        if (Button* total = button("totalButton")) total->setHidden(true);
        tableView().reloadData();
        if (error.isSet()) {
            TAVLO_LOG("Unable to print order: %@", error.localizedDescription());
            alert("Warning", error.localizedDescription(), {"Ok"});
        }
        return;
    }
    logFailure("Unable to send order: %@", error);
    if (!CommHelper::isWiFiConnected()) {
        alert("Error", localized(kWiFiDown), {"Ok"});
        return;
    }
    const std::string failed = printer && printer == session()->printerURL() ? *printer : address;
    printViaGateway(format("%@ (%@) %@", localized("Unable to print"), failed,
                           localized("Would you like to print the receipt somewhere else?")));
}

void OrderViewController::emailPrompt() {
    auto prompt = std::make_shared<TextViewController>();
    prompt->setTitle(localized("Enter email address to send receipt to:"));
    prompt->setKeyboardType(KeyboardType::EmailAddress);
    prompt->setMaxLength(250);
    ObjectContext* moc = context();
    ManagedObjectPtr row;
    if (order()->customerId()) row = moc->fetchFirst("Customer", "customerId == %@", *order()->customerId());
    if (!row && order()->customerRemoteId())
        row = moc->fetchFirst("Customer", "remoteId == %@", *order()->customerRemoteId());
    if (!row) prompt->setText(std::string());
    else if (auto address = row->text("email")) prompt->setText(address);
    prompt->setObserver(
        [this](const std::optional<std::string>& value, const std::optional<std::string>&) { email(value); });
    presentSheet(prompt, true);
}

void OrderViewController::email(const std::optional<std::string>& address) {
    dismissPresented();
    if (!address) return;
    ObjectContext* moc = context();
    const auto from = Parameters::text(Parameter::EmailFrom, moc);
    if (!from) {
        alert("Alert",
              localized("Configuration is missing the from email address for receipts. Please contact support"),
              {"OK"});
        return;
    }
    Error error;
    if (!order()->send(*session(), &error)) {
        alert("Error", error.localizedDescription(), {"Ok"});
        logFailure("Unable to send order: %@", error);
        return;
    }
    EmailPrinter mail(*address, *from, session()->storeName(), session()->storeId(), session()->password(), nullptr);
    Error mailError;
    if (mail.open(&mailError)) {
        ReceiptHelper::printReceipt(*order(), *session(), nullptr, mail);
        mail.close();
        mailError = mail.lastError();
    }
    tableView().reloadData();
    if (mailError.isSet())
        alert("Unable to e-mail receipt",
              format("%@\n%@", mailError.localizedDescription(),
                     localized("Would you like the receipt printed instead?")),
              {"OK", {localized("Print")}}, [this](int button) {
                  if (button == 1) print();
              });
}

void OrderViewController::announce() {
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Announcing"));
    Error error = printTicketAgain(*order(), *session());
    ActivityIndicator::hide();
    if (error.isSet()) kitchenTicketFailed(error, order(), session_);
}

void OrderViewController::kitchenTicketFailed(const Error& error, std::shared_ptr<Order> order,
                                              std::shared_ptr<Session> session) {
    auto shown = AlertView::make(
        localized("Kitchen ticket"),
        format("%@: %@", localized("Sent, but the kitchen ticket did not print"), error.localizedDescription()),
        localized("OK"), {localized("Print ticket again")});
    shown->setClickHandler([order, session](AlertView&, int index) {
        if (index != 1) return;
        if (Error again = printTicketAgain(*order, *session); again.isSet()) kitchenTicketFailed(again, order, session);
    });
    shown->show();
}

} // namespace tavlo::screens
