// The pay screen's two roads for a verified payment: on a terminal that is its own till a card is
// charged through the store's card gateway here and the order is queued; otherwise the order goes
// with the payment to the store gateway or to a terminal that takes payments for the others.
#include "screens/pay/PayViewController.h"

#include <algorithm>

#include "core/ports/OrderSender.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "payments/CardAttempts.h"
#include "payments/CardRequest.h"
#include "payments/PaymentHandlerFactory.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/ui/NavigationController.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/pay/SignatureCapture.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

namespace {

// The card fields the gateway is given, each set only when the payment has it.
void fillTransaction(PaymentTransaction& transaction, const Payment& payment) {
    auto set = [&transaction](const char* field, const std::optional<std::string>& value) {
        if (value) transaction.setValue(value, field);
    };
    set("TAVLO_ORDER", payment.order());
    set("TAVLO_CUSTOMER", payment.customer());
    set("TAVLO_NAME", payment.name());
    set("NUMBER", payment.accountNumber());
    set("EXP_DATE", payment.expDate());
    set("TAVLO_STREET", payment.street());
    set("TAVLO_ZIP", payment.zipCode());
    set("SUB_TOTAL", format("%ld", static_cast<long>(payment.subTotal())));
    set("TAX", format("%ld", static_cast<long>(payment.tax())));
    set("CARD_CONF", payment.securityCode());
    set("TAVLO_RAW_SWIPE", payment.rawSwipe());
    set("TRACK_1", payment.track1());
    set("TRACK_2", payment.track2());
    set("TRACK_3", payment.track3());
    set("TRACK_1_ENCRYPTED", payment.encryptedTrack1());
    set("TRACK_2_ENCRYPTED", payment.encryptedTrack2());
    set("TRACK_3_ENCRYPTED", payment.encryptedTrack3());
    set("ENCRYPT_KEY", payment.encryptionKey());
    set("ENCRYPT_DATA", payment.encryptedData());
    set("ENCRYPT_STATUS", payment.encryptedStatus());
    set("APPROVAL", payment.approval());
    if (payment.tip() >= 1 || payment.gratuity() >= 1)
        set("TIP", format("%ld", static_cast<long>(payment.tip() + payment.gratuity())));
}

} // namespace

bool PayViewController::needsSignature(int32_t type) {
    const char* name = Tender::of(type).signatureParameter;
    const std::optional<Parameter> parameter = name ? Parameters::find(name) : std::nullopt;
    return parameter && Parameters::flag(*parameter, context());
}

void PayViewController::captureSignature(std::function<void()> completion) {
    auto capture = std::make_shared<SignatureCapture>(payment_, false, std::move(completion));
    capture->setSession(session_);
    navigationController()->push(capture, session_->useAnimation());
    captured_ = true;
}

// ---- lite: this terminal is its own till

void PayViewController::localProcess(const std::optional<std::string>& reference) {
    if (isCharging()) return;
    showActivity();
    const Tender& tender = payment_->tender();
    if (tender.chargedAtHost) {
        ObjectContext* context = session_->managedObjectContext();
        const std::optional<std::string> host = creditHost();
        if (!host) {
            hideActivity();
            alert("Alert", localized("Merchant account has not been setup"), {"Ok"});
            return;
        }
        std::shared_ptr<PaymentHandlerAdapter> handler = PaymentHandlerFactory::getInstance().getPaymentHandler(host);
        if (!handler) {
            hideActivity();
            alert("Error", format("%@ (%@)", localized("Host not supported, please contact support"), *host), {"OK"});
            return;
        }
        const HostConfig config = Session::getHostConfig(host, context);
        if (!chargeable(*handler, config)) return;
        Error error;
        std::shared_ptr<PaymentTransaction> transaction = handler->newTransaction(config, &error);
        const bool refund = order_->orderType() == OrderType::Refund;
        // A tab is an authorisation only, which this terminal cannot take on its own.
        if (!transaction || (!refund && tender.authorisesOnly)) {
            hideActivity();
            showError("Error", error, "Unable to process payment", "OK");
            return;
        }
        fillTransaction(*transaction, *payment_);
        transaction->setValue(order_->remoteId(), CardAttempts::kOrderField);
        if (refund && toUpper(*host) == "LARCH") transaction->setHostData(reference);
        charge(*host, config, transaction, refund);
        return;
    }
    if (!tender.takenOnTill) {
        // Debit, gift, bills and room charges have no road on a terminal that is its own till:
        // say so instead of taking nothing.
        hideActivity();
        alert("Alert",
              format(localized("%@ payments are not available on this terminal"), Payment::uiLabel(payment_->type())),
              {"Ok"});
        return;
    }
    accept();
}

void PayViewController::charge(const std::string& host, const HostConfig& config,
                               std::shared_ptr<PaymentTransaction> transaction, bool refund) {
    // The screen stays until the answer is in: what the host charged must reach the order.
    auto self = std::static_pointer_cast<PayViewController>(shared_from_this());
    charging_ = CardRequest::start(
        session_->managedObjectContext()->store(), host,
        [transaction, config, refund](PaymentHandlerAdapter& handler, Error* error) {
            return refund ? handler.refund(*transaction, config, error) : handler.sale(*transaction, config, error);
        },
        [self, transaction, paying = payment_](bool called, const Error& error) {
            // The payment charged, whatever the screen went through meanwhile.
            self->payment_ = paying;
            self->charged(*transaction, called, error);
        });
    showWaiting();
    std::weak_ptr<ViewController> weak = weak_from_this();
    waitingTimer_ = RunLoop::main().scheduleTimer(1, true, [weak] {
        if (auto screen = std::dynamic_pointer_cast<PayViewController>(weak.lock())) screen->showWaiting();
    });
}

bool PayViewController::isCharging() const { return charging_ && !charging_->isFinished(); }

void PayViewController::showWaiting() {
    if (!charging_) return;
    ActivityIndicator::setStatus(
        format(localized("Waiting for %@ to answer (%d s)"), charging_->host(), charging_->elapsedSeconds()));
}

void PayViewController::charged(const PaymentTransaction& transaction, bool called, const Error& error) {
    if (waitingTimer_) waitingTimer_->invalidate();
    waitingTimer_.reset();
    charging_.reset();
    if (!called || !transaction.wasApproved()) {
        hideActivity();
        showError("Error", error, "Unable to process payment", "OK");
        return;
    }
    payment_->setApproval(transaction.approvalCode());
    payment_->setRefNum(transaction.transactionId());
    payment_->setHostData(transaction.hostData());
    const bool partial = transaction.approvedAmount() != payment_->getTotal();
    if (partial) payment_->applyApprovedAmount(transaction.approvedAmount());
    if (!payment_->accountNumber()) payment_->setAccountNumber(transaction.valueForField("NUMBER"));
    std::string text;
    if (partial) text = format("%@ %@", localized("Partial approval"), Utils::formatCurrency(payment_->getTotal()));
    else if (std::optional<std::string> message = transaction.responseMessage()) text = *message;
    else text = format("%@ (%@)", localized("Payment was approved"), transaction.approvalCode().value_or(""));
    if (partial || !Parameters::flag(Parameter::DoNotShowApproval, context())) alert("Alert", text, {"Ok"});
    accept();
}

void PayViewController::accept() {
    order_->addPayment(payment_);
    if (order_->getDue() == 0 && !order_->hasOpenTab() && order_->needsAutoClose(*session_))
        order_->setClosed(Date::now());
    order_->clearTempData();
    hideActivity();
    // At the program's end nobody is left to sign: the payment is stored as it stands.
    if (needsSignature(payment_->type()) && !CardRequest::isClosing()) captureSignature([this] { localFinalize(); });
    else localFinalize();
}

bool PayViewController::chargeable(PaymentHandlerAdapter& handler, const HostConfig& config) {
    // An earlier charge of this order whose answer never came is asked about first: charged again
    // the order could be paid twice.
    Error error;
    handler.checkCharges(config, order_->remoteId(), &error);
    std::shared_ptr<Payment> recovered;
    for (const ManagedObjectPtr& charge : handler.storedCharges(order_->remoteId())) {
        const auto& payments = order_->payments();
        const std::optional<std::string> reference = PaymentHandlerAdapter::hostReference(charge);
        if (std::none_of(payments.begin(), payments.end(), [&](const auto& p) { return p->hostData() == reference; }))
            order_->addPayment(recovered = PaymentHandlerAdapter::paymentOf(charge, *order_));
    }
    if (recovered) {
        hideActivity();
        alert("Alert",
              localized("An earlier card charge of this order was approved by the card host: the order is "
                        "paid with it"),
              {"Ok"});
        payment_ = recovered;
        localFinalize();
        return false;
    }
    if (!handler.hasUnknownCharge(config, order_->remoteId())) return true;
    hideActivity();
    alert("Alert",
          localized("An earlier card charge of this order got no answer from the card host. The order is "
                    "not charged again until the host says what became of it: try again shortly"),
          {"Ok"});
    return false;
}

void PayViewController::localFinalize() {
    // The signature screen stays until the screen is finished: going back to the pay screen
    // would start it afresh.
    Error error;
    if (!OrderSender::required()->sendOrder(*order_, session_->userId(), session_->managedObjectContext(), &error)) {
        order_->setClosed(std::nullopt);
        alert("Error", error.localizedDescription(), {"Ok"});
        TavloLog::logFile(__FILE__, __LINE__, error.code() != -95, "Unable to save payment: %@",
                          error.localizedDescription());
        return;
    }
    if (payment_->tender().givesChange) showChangeDue();
    Error drawerError;
    if (openDrawer(&drawerError) && !drawerError.isSet()) printPaymentReceipts(captured_);
    else paid();
}

// ---- gateway: the order travels with the payment

void PayViewController::gatewaySelect() {
    if (payTerminals_.empty()) {
        alert("Alert", localized("No terminal available to use for payment"), {"OK"});
        return;
    }
    // Done on the signature screen may come again after a question was cancelled.
    const auto& payments = order_->payments();
    if (std::find(payments.begin(), payments.end(), payment_) == payments.end()) order_->addPayment(payment_);
    const std::optional<std::string> gateway = CommHelper::gateway();
    const bool promptTerminals = Parameters::flag(Parameter::PromptPayTerminal, session_->managedObjectContext());
    if (gateway && (!promptTerminals || session_->hasCashDrawer())) return gatewayPayVia(*gateway);
    if (payTerminals_.size() == 1) return gatewayPayVia(payTerminals_.front()->text("networkName").value_or(""));
    offerTerminals("Payments", localized("Where would you like to pay?"), payTerminals_);
}

void PayViewController::offerTerminals(const std::string& title, const std::string& message,
                                       std::vector<ManagedObjectPtr> terminals) {
    std::vector<std::string> names;
    for (const ManagedObjectPtr& terminal : terminals) names.push_back(terminal->text("name").value_or(""));
    showAlert(this, title, message, {"Cancel", names}, [this, terminals](int button) {
        if (button >= 1 && button <= static_cast<int>(terminals.size()))
            gatewayPayVia(terminals[button - 1]->text("networkName").value_or(""));
    })->setTag(kTerminalTag);
}

void PayViewController::gatewayPayVia(const std::string& address) {
    ObjectContext* context = session_->managedObjectContext();
    const std::string url = CommHelper::formatTavloURL(address).value_or(address);
    if (needsSignature(payment_->type())) {
        // Back from the signature screen; the pay screen's appearance must not drop the payment.
        std::shared_ptr<Payment> paying = payment_;
        if (NavigationController* navigation = navigationController();
            navigation && navigation->topViewController() != this)
            navigation->popTo(*this, session_->useAnimation());
        payment_ = paying;
    }
    showActivity();
    ActivityIndicator::refresh(format("%@ %@", localized("Processing"), url));
    bool receipt = false;
    if (order_->getDue() == 0 && !order_->hasOpenTab()) {
        const bool close = payment_->tender().kind == TenderKind::Cash ? order_->needsCashAutoClose(*session_)
                                                                       : order_->needsAutoClose(*session_);
        if (close) {
            order_->setClosed(Date::now());
            receipt = order_->needsOrderCloseReceipt(*session_);
        }
    }
    std::optional<std::string> drawerURL;
    if (payment_->drawerId())
        drawerURL = format(
            "%ld", static_cast<long>(Session::cashDrawerURL(payment_->drawerId(), session_->terminalId(), context)));
    Error error;
    const bool sent = OrderHandler::getInstance()->sendOrder(*order_, session_->userId(), url, session_->printerURL(),
                                                             drawerURL, receipt, context, &error);
    const bool warning = error.isSet() && error.code() == 0;
    if ((sent && !error.isSet()) || warning) {
        if (payment_->isNew()) payment_->setNew(false);
        order_->write(*context);
        Error saveError;
        if (!context->save(&saveError)) TAVLO_LOG_MAIL("Unable to save order %@", order_->remoteId());
        else order_->clearTempData();
        if (payment_->tender().givesChange) showChangeDue();
        if (warning) alert("Warning", error.localizedDescription(), {"Ok"});
        hideActivity();
        paid();
        return;
    }
    order_->setClosed(std::nullopt);
    hideActivity();
    const std::string description = error.isSet() ? error.localizedDescription() : "";
    if (!CommHelper::isWiFiConnected()) {
        alert("Error", localized("WiFi Disconnected! Make sure you are within the WiFi area of the store"), {"Ok"});
        return;
    }
    if (error.code() == -95) {
        std::vector<ManagedObjectPtr> others = Session::getOtherTerminals(address, context);
        if (!others.empty()) {
            const std::string question = localized("Would you like to pay via a different terminal?");
            offerTerminals("Error", description.empty() ? question : format("%@ %@", description, question),
                           std::move(others));
            return;
        }
    }
    alert("Error",
          description.empty() ? format("%@ (%@)", localized("Unable to connect to the current gateway"),
                                       CommHelper::gateway().value_or(""))
                              : description,
          {"OK"});
}

} // namespace tavlo::screens
