// The pay screen after a payment was taken: the change, the drawer, the merchant and customer
// slips (printed or mailed), leaving the screen, and the answers of its alerts.
#include "screens/pay/PayViewController.h"

#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "payments/PaymentHandlerFactory.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "printing/EmailPrinter.h"
#include "printing/ReceiptHelper.h"
#include "screens/common/ReceiptJob.h"
#include "screens/common/prompts/TextViewController.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

void PayViewController::showChangeDue() {
    const int32_t t = parsed(tendered()), a = parsed(amount()), g = parsed(gratuity()), p = parsed(tip());
    const int32_t change = t - a - g - p;
    if (t < 1 || change < 1) return;
    alert("Change Due", Payment::changeDueText(t, a, g + p, change), {"Ok"});
}

bool PayViewController::openDrawer(Error* error) {
    const std::shared_ptr<PrinterStream>& stream = session_->printerStream();
    if (!stream || !payment_ || !payment_->drawerId()) return true;
    Error openError;
    if (!stream->open(&openError)) {
        Error::set(error, openError);
        alert("Error", localized("Unable to open drawer. Verify printer is on and has paper"), {"Ok"});
        return false;
    }
    stream->openDrawer(
        Session::cashDrawerURL(payment_->drawerId(), session()->terminalId(), session()->managedObjectContext()));
    stream->close();
    return true;
}

void PayViewController::printPaymentReceipts(bool captured) {
    const Tender& tender = payment_->tender();
    const bool cash = tender.kind == TenderKind::Cash;
    const bool noCashCopy = cash && Parameters::flag(Parameter::DoNotPrintCashCustomerCopy, context());
    const bool customerCopy =
        order_->isQuickSale()
            ? !(Parameters::flag(Parameter::QuickSaleDoNotPrintCustomerReceipt, context()) || noCashCopy)
            : !noCashCopy;
    bool merchantCopy = tender.merchantCopy;
    if (merchantCopy && tender.chargedAtHost) {
        if (std::optional<std::string> minimum = Parameters::text(Parameter::MinimumAmountMerchantCopy, context());
            minimum && payment_->subTotal() < intValue(*minimum))
            merchantCopy = false;
    }
    if (captured && Parameters::flag(Parameter::SuppressReceiptIfCaptured, context())) merchantCopy = false;

    const std::shared_ptr<PrinterStream>& stream = session_->printerStream();
    std::weak_ptr<ViewController> self = weak_from_this();
    if (merchantCopy && stream) {
        // The customer's copy follows once the merchant's printed or the person gave up on it.
        ReceiptJob::print(stream, slip(true), [self, customerCopy] {
            if (auto screen = std::dynamic_pointer_cast<PayViewController>(self.lock()))
                screen->offerCustomerReceipt(customerCopy);
        });
        return;
    }
    if (merchantCopy) alert("Alert", localized("No printer configured"), {"OK"});
    offerCustomerReceipt(customerCopy);
}

ReceiptJob::Write PayViewController::slip(bool merchant) const {
    return [payment = payment_, order = order_, session = session_, merchant](PrinterStream& stream) {
        Error error;
        ReceiptHelper::printPayment(*payment, *order, merchant, false, *session, &error, stream);
    };
}

void PayViewController::offerCustomerReceipt(bool customerCopy) {
    if (!customerCopy) return paid();
    const std::shared_ptr<PrinterStream>& stream = session_->printerStream();
    if (Parameters::flag(Parameter::EmailCustomerReceipts, session_->managedObjectContext())) {
        if (!stream) return emailPrompt();
        alert("Question", localized("Would you like the receipt printed or emailed?"),
              {"No receipt", {localized("Print"), localized("Email")}}, [this](int button) {
                  if (button == 1) printCustomerReceipt();
                  else if (button == 2) emailPrompt();
                  else paid();
              });
        return;
    }
    if (stream) printCustomerReceipt();
    else paid();
}

void PayViewController::printCustomerReceipt() {
    const std::shared_ptr<PrinterStream>& stream = session_->printerStream();
    if (!stream) {
        alert("Error", localized("No printer configured"), {"OK"});
        return paid();
    }
    std::weak_ptr<ViewController> self = weak_from_this();
    ReceiptJob::print(stream, slip(false), [self] {
        if (auto screen = std::dynamic_pointer_cast<PayViewController>(self.lock())) screen->paid();
    });
}

void PayViewController::emailPrompt() {
    ObjectContext* context = session_->managedObjectContext();
    if (!Parameters::text(Parameter::EmailFrom, context)) {
        paid();
        alert("Alert",
              localized("Configuration is missing the from email address for receipts. Please contact support"),
              {"OK"});
        return;
    }
    std::string address;
    ManagedObjectPtr customer;
    if (order_->customerId())
        customer = DBHelper::getObject("Customer", "customerId == %@", *order_->customerId(), context);
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
        if (auto screen = std::dynamic_pointer_cast<PayViewController>(self.lock()))
            screen->emailCustomerReceipt(answer);
    });
    auto navigation = std::make_shared<NavigationController>(prompt);
    navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    present(navigation, session_->useAnimation());
}

void PayViewController::emailCustomerReceipt(const std::optional<std::string>& address) {
    dismiss(session_->useAnimation());
    const std::optional<std::string> from = Parameters::text(Parameter::EmailFrom, session_->managedObjectContext());
    if (address && !address->empty() && from && payment_) {
        EmailPrinter mail(*address, *from, session_->storeName(), session_->storeId(), session_->password(), nullptr);
        Error error;
        if (mail.open(&error)) {
            slip(false)(mail);
            mail.close();
            error = mail.lastError();
        }
        if (error.isSet()) {
            // The guest has no receipt yet: printing it is the other way to give one.
            std::vector<std::string> instead;
            if (session_->printerStream()) instead.push_back(localized("Print"));
            alert("Unable to e-mail receipt",
                  format("%@\n%@", error.localizedDescription(),
                         localized(instead.empty() ? "The receipt was not sent."
                                                   : "Would you like the receipt printed instead?")),
                  {"OK", instead}, [this](int button) {
                      if (button == 1) printCustomerReceipt();
                      else paid();
                  });
            return;
        }
    }
    paid();
}

void PayViewController::paid() {
    endEditing();
    // Paid in full: the opener decides what follows.
    if (order_->getDue() == 0) {
        if (action_) action_();
        return;
    }
    // A part payment (or none) goes on in the order's payment list: the one below this screen,
    // else a new one, unless there is no payment to list.
    NavigationController* navigation = navigationController();
    const auto isPaymentList = [this](const std::shared_ptr<ViewController>& shown) {
        return shown.get() != this && dynamic_cast<OrderTaskScreen*>(shown.get()) &&
               shown->interfaceName() == OrderTaskScreen::kPaymentsInterface;
    };
    if (navigation &&
        std::any_of(navigation->viewControllers().begin(), navigation->viewControllers().end(), isPaymentList)) {
        navigation->pop(session_->useAnimation());
        return;
    }
    if (!navigation || !order_->hasPayments() ||
        !InterfaceRegistry::shared().containsController(OrderTaskScreen::kPaymentsInterface)) {
        if (action_) action_();
        return;
    }
    std::shared_ptr<ViewController> list = InterfaceRegistry::shared().instantiate(OrderTaskScreen::kPaymentsInterface);
    if (auto* task = dynamic_cast<OrderTaskScreen*>(list.get())) {
        task->setSession(session_.get());
        task->setOrder(order_);
        task->setAction(action_);
    }
    navigation->push(list, session_->useAnimation());
}

void PayViewController::cancel() {
    if (isCharging()) {
        // The host may have charged the card already: the answer must be taken, not dropped.
        alert("Alert", localized("The card is being charged and this cannot be cancelled, please wait for the answer"),
              {"Ok"});
        return;
    }
    if (!voidUnsentCharges()) return;
    deleteFailedPayments();
    paid();
}

std::shared_ptr<Payment> PayViewController::unsentCharge() const {
    if (!session_->isLite()) return nullptr;
    for (const auto& each : order_->payments())
        if (each->isNew() && Payment::carriesHostFields(each->type()) && each->hostData()) return each;
    return nullptr;
}

bool PayViewController::voidUnsentCharges() {
    // An approved charge is money taken: it leaves the terminal only by a void the host answered.
    for (std::shared_ptr<Payment> charged = unsentCharge(); charged; charged = unsentCharge()) {
        const std::optional<std::string> host = creditHost();
        std::shared_ptr<PaymentHandlerAdapter> handler = PaymentHandlerFactory::getInstance().getPaymentHandler(host);
        const HostConfig config = Session::getHostConfig(host, session_->managedObjectContext());
        std::shared_ptr<PaymentTransaction> transaction =
            handler ? handler->transaction(charged->refNum(), config) : nullptr;
        Error error;
        if (!transaction || !handler->cancel(*transaction, config, &error)) {
            showError("Error", error, "Unable to void payment", "OK");
            return false;
        }
        order_->removePayment(charged);
    }
    return true;
}

} // namespace tavlo::screens
