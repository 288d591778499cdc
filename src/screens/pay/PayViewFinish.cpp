// The pay screen after a payment was taken: the change, the drawer, the merchant and customer
// slips (printed or mailed), leaving the screen, and the answers of its alerts.
#include "screens/pay/PayViewController.h"

#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/ui/NavigationController.h"
#include "printing/EmailPrinter.h"
#include "printing/ReceiptHelper.h"
#include "screens/prompts/TextViewController.h"

namespace tavlo::screens {

using namespace ui;

void PayViewController::showChangeDue() {
    const int32_t t = parsed(tendered()), a = parsed(amount()), g = parsed(gratuity()), p = parsed(tip());
    const int32_t change = t - a - g - p;
    if (t < 1 || change < 1) return;
    std::string message = format("%@: %@\n%@: %@", localized("Tendered"), tendered()->text(), localized("Amount"),
                                 amount()->text());
    if (g + p >= 1) message += format("\n%@: %@", localized("Gratuity and/or Tip"), Utils::formatCurrency(g + p));
    message += format("\n%@: %@", localized("Change"), Utils::formatCurrency(change));
    alert("Change Due", message, "Ok");
}

bool PayViewController::openDrawer(Error* error) {
    const std::shared_ptr<PrinterStream>& stream = session_->printerStream();
    if (!stream || !payment_ || !payment_->drawerId()) return true;
    Error openError;
    if (!stream->open(&openError)) {
        Error::set(error, openError);
        alert("Error", localized("Unable to open drawer. Verify printer is on and has paper"), "Ok");
        return false;
    }
    stream->openDrawer(Session::cashDrawerURL(payment_->drawerId(), session_->terminalId(),
                                              session_->managedObjectContext()));
    stream->close();
    return true;
}

void PayViewController::printPaymentReceipts(bool captured) {
    const int32_t type = payment_->type();
    const bool cash = type == Payment::kCash;
    const bool noCashCopy = cash && isTrue("DO_NOT_PRINT_CASH_CUSTOMER_COPY");
    const bool customerCopy = order_->isQuickSale() ? !(isTrue("QS_DO_NOT_PRINT_CUSTOMER_RECEIPT") || noCashCopy)
                                                    : !noCashCopy;
    bool merchantCopy = type == Payment::kCredit || type == Payment::kTab || type == Payment::kGift ||
                        type == Payment::kDebit;
    if (merchantCopy && (type == Payment::kCredit || type == Payment::kTab)) {
        if (std::optional<std::string> minimum = value("MINIMUM_AMOUNT_MERCHANT_COPY");
            minimum && payment_->subTotal() < intValue(*minimum))
            merchantCopy = false;
    }
    if (captured && isTrue("SUPPRESS_RECEIPT_IF_CAPTURED")) merchantCopy = false;

    const std::shared_ptr<PrinterStream>& stream = session_->printerStream();
    if (merchantCopy) {
        Error error;
        if (!stream) {
            alert("Alert", localized("No printer configured"), "Cancel");
        } else if (!stream->open(&error)) {
            alert("Error", error.localizedDescription(), "Cancel");
        } else {
            ReceiptHelper::printPayment(*payment_, *order_, true, false, *session_, &error, *stream);
            stream->close();
            if (error.isSet()) {
                alert("Error", error.localizedDescription(), "Ok");
                TAVLO_LOG("Unable to print merchant receipt %@", error.localizedDescription());
            }
        }
    }
    if (!customerCopy) return paid();
    if (boolValue(DBHelper::getStoreValue("EMAIL_CUSTOMER_RECEIPTS", session_->managedObjectContext()).value_or(""))) {
        if (!stream) return emailPrompt();
        alert("Question", localized("Would you like the receipt printed or emailed?"), "No receipt",
              {localized("Print"), localized("Email")}, kReceiptChoiceTag);
        return;
    }
    if (stream) printCustomerReceipt();
    else paid();
}

void PayViewController::printCustomerReceipt() {
    const std::shared_ptr<PrinterStream>& stream = session_->printerStream();
    Error error;
    if (!stream || !stream->open(&error)) {
        alert("Error", stream ? error.localizedDescription() : localized("No printer configured"), "Cancel");
        return paid();
    }
    ReceiptHelper::printPayment(*payment_, *order_, false, false, *session_, &error, *stream);
    stream->close();
    paid();
}

void PayViewController::emailPrompt() {
    ObjectContext* context = session_->managedObjectContext();
    if (!DBHelper::getStoreValue("EMAIL_FROM", context)) {
        paid();
        alert("Alert", localized("Configuration is missing the from email address for receipts. Please contact support"),
              "Cancel");
        return;
    }
    std::string address;
    ManagedObjectPtr customer;
    if (order_->customerId()) customer = DBHelper::getObject("Customer", "customerId == %@", *order_->customerId(), context);
    else if (order_->customerRemoteId())
        customer = DBHelper::getObject("Customer", "remoteId == %@", *order_->customerRemoteId(), context);
    if (customer) address = customer->text("email").value_or("");

    auto prompt = std::make_shared<TextViewController>();
    prompt->setTitle(localized("Enter email address to send receipt to:"));
    prompt->setText(address);
    prompt->setKeyboardType(KeyboardType::EmailAddress);
    prompt->setMaxLength(250);
    std::weak_ptr<ViewController> self = weak_from_this();
    prompt->setObserver([self](const std::optional<std::string>& answer, const std::optional<std::string>&) {
        if (auto screen = std::dynamic_pointer_cast<PayViewController>(self.lock())) screen->emailCustomerReceipt(answer);
    });
    auto navigation = std::make_shared<NavigationController>(prompt);
    navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    present(navigation, session_->useAnimation());
}

void PayViewController::emailCustomerReceipt(const std::optional<std::string>& address) {
    dismiss(session_->useAnimation());
    const std::optional<std::string> from = DBHelper::getStoreValue("EMAIL_FROM", session_->managedObjectContext());
    if (address && !address->empty() && from && payment_) {
        EmailPrinter mail(*address, *from, session_->storeName(), session_->storeId(), session_->password(), nullptr);
        Error error;
        if (!mail.open(&error)) {
            alert("Error", error.localizedDescription(), "Cancel");
        } else {
            ReceiptHelper::printPayment(*payment_, *order_, false, false, *session_, &error, mail);
            mail.close();
        }
    }
    paid();
}

void PayViewController::paid() {
    endEditing();
    // Paid in full or in part, the opener decides what follows. (A part payment would go on in
    // the order's payments list, which this terminal does not have yet.)
    if (action_) action_();
}

void PayViewController::cancel() {
    if (isCharging()) {
        // The host may have charged the card already: the answer must be taken, not dropped.
        alert("Alert", localized("The card is being charged and this cannot be cancelled, please wait for the answer"),
              "Ok");
        return;
    }
    deleteFailedPayments();
    paid();
}

void PayViewController::alertClicked(AlertView& shown, int index) {
    auto typed = [&shown]() -> std::optional<std::string> {
        if (TextField* input = shown.textField(0)) return input->text();
        return std::nullopt;
    };
    switch (shown.tag()) {
    case kForceTag:
        if (index >= 1) forcePayment(typed());
        break;
    case kRefundReferenceTag:
        if (index >= 1) refundByReference(typed());
        break;
    case kReceiptChoiceTag:
        if (index == 1) printCustomerReceipt();
        else if (index == 2) emailPrompt();
        else paid();
        break;
    case kRefundConfirmTag:
        if (index >= 1) processPayment(std::nullopt, std::nullopt);
        break;
    case kDrawerTag:
        if (index >= 1 && index <= static_cast<int>(offeredDrawers_.size()))
            verifyAndProcess(offeredDrawers_[index - 1], selectedType(), std::nullopt, std::nullopt);
        break;
    case kTerminalTag:
        if (index >= 1 && index <= static_cast<int>(offeredTerminals_.size()))
            gatewayPayVia(offeredTerminals_[index - 1]->text("networkName").value_or(""));
        break;
    default: break;
    }
}

} // namespace tavlo::screens
