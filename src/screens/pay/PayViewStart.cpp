// The pay screen: swipes into the card fields, and starting a payment (refund prompts, the forced
// sale's approval code, the drawer, the verification and the payment itself).
#include "screens/pay/PayViewController.h"

#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "devices/MSRMediator.h"
#include "payments/Encryption.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Application.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

namespace {

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The text of a field, nil when it is empty.
std::optional<std::string> textOf(const TextField* field) {
    if (!field || field->text().empty()) return std::nullopt;
    return field->text();
}

// A two-button prompt with one plain text input.
void askForText(std::shared_ptr<AlertView> prompt) { prompt->setStyle(AlertViewStyle::PlainTextInput); }

} // namespace

void PayViewController::handleMSRNotification(const Notification& notification) {
    // The card being charged stays the one in the fields until the host has answered.
    if (isCharging()) return;
    if (notification.name == kMsrReceivedDataNotification) {
        const bool takesSwipes = Tender::of(selectedType()).kind == TenderKind::Card;
        const auto* bytes = std::any_cast<std::string>(&notification.object);
        if (takesSwipes && bytes) processSwipe(*bytes);
    } else if (notification.name == kMsrErrorNotification) {
        alert("Error", localized("Unable to read card, please try again"), {"Ok"});
    }
}

bool PayViewController::processSwipe(const std::string& bytes) {
    // What the reader sends that is not card data (its own status texts) is dropped; the card's
    // data itself is never written to the log.
    if (!isAscii(bytes) || bytes.rfind("IDT", 0) == 0) {
        TAVLO_LOG("WARNING: Ignoring swipe: %@", isAscii(bytes) ? bytes.substr(0, 3) + "..." : std::string("(binary)"));
        return false;
    }
    swipe_ = std::make_shared<CreditCardSwipe>(bytes, ':', Parameters::flag(Parameter::CreditDebug, context()));
    if (swipe_->hadError()) {
        alert("Alert", localized("Unable to read card, please try again"), {"Ok"});
    } else if (swipe_->expDate() && swipe_->accountNumber() && swipe_->expDate()->size() >= 4) {
        const std::string& yyMM = *swipe_->expDate();
        expDate()->setText(yyMM.substr(2, 2) + yyMM.substr(0, 2));
        number()->setText(*swipe_->accountNumber());
    }
    return true;
}

void PayViewController::manual() {
    // The card is keyed by hand from here: nothing of the swiped card may go with it.
    swipe_.reset();
    number()->setText("");
    expDate()->setText("");
}

bool PayViewController::editingChecked() {
    auto amounts = [this] {
        return std::vector<std::string>{tendered()->text(), amount()->text(), gratuity()->text(), tip()->text()};
    };
    const std::vector<std::string> before = amounts();
    Application* app = Application::current();
    const AlertView* shownBefore = app ? app->frontAlert() : nullptr;
    endEditing();
    return amounts() == before && (app ? app->frontAlert() : nullptr) == shownBefore;
}

void PayViewController::process() {
    if (isCharging() || !editingChecked()) return;
    if (order_->orderType() != OrderType::Refund) return processPayment(std::nullopt, std::nullopt);
    if (Tender::of(selectedType()).chargedAtHost && toUpper(creditHost().value_or("")) == "LARCH") {
        std::shared_ptr<AlertView> prompt =
            ask("Larch", localized("Enter original Larch reference:"), {"Cancel", {localized("Process")}},
                [this](int button, const std::string& typed) {
                    if (button >= 1) refundByReference(typed);
                });
        askForText(prompt);
        prompt->setTag(kRefundReferenceTag);
        return;
    }
    alert("Confirmation",
          localized("If you process this as a refund, funds will go to the customer. Are you sure you want to process "
                    "this as a refund?"),
          {"No", {localized("Yes")}}, [this](int button) {
              if (button >= 1) processPayment(std::nullopt, std::nullopt);
          });
}

void PayViewController::force() {
    if (isCharging() || !editingChecked()) return;
    if (!session_->isGranted(Right::PayCreditForce)) {
        alert("Alert", localized("You do not have access to force transactions"), {"Ok"});
        return;
    }
    if (std::optional<std::string> problem =
            Payment::verify(selectedType(), std::nullopt, textOf(tendered()), textOf(amount()), textOf(gratuity()),
                            textOf(number()), textOf(expDate()), swipe_.get(), *session_)) {
        alert("Error", *problem, {"OK"});
        return;
    }
    askForText(ask("Alert", localized("Enter Approval Code:"), {"Cancel", {localized("Process")}},
                   [this](int button, const std::string& typed) {
                       if (button >= 1) forcePayment(typed);
                   }));
}

void PayViewController::forcePayment(const std::optional<std::string>& approval) {
    if (approval) processPayment(approval, std::nullopt);
}

void PayViewController::refundByReference(const std::optional<std::string>& reference) {
    if (reference && !reference->empty()) processPayment(std::nullopt, reference);
}

void PayViewController::processPayment(const std::optional<std::string>& approval,
                                       const std::optional<std::string>& reference) {
    const int32_t type = selectedType();
    std::optional<std::string> drawerId;
    if (Tender::of(type).needsDrawer) {
        // Drawer id by name; names in the order a person reads them.
        std::vector<std::pair<std::string, std::string>> drawers;
        for (const auto& [id, name] : session_->cashedInDrawers(session_->userId())) drawers.emplace_back(name, id);
        std::sort(drawers.begin(), drawers.end(),
                  [](const auto& a, const auto& b) { return toLower(a.first) < toLower(b.first); });
        if (drawers.size() >= 2) {
            std::vector<std::string> names, ids;
            for (const auto& [name, id] : drawers) {
                names.push_back(name);
                ids.push_back(id);
            }
            alert("Select a drawer", std::nullopt, {"Cancel", names}, [this, ids](int button) {
                if (button >= 1 && button <= static_cast<int>(ids.size()))
                    verifyAndProcess(ids[button - 1], selectedType(), std::nullopt, std::nullopt);
            });
            return;
        }
        if (drawers.size() == 1) {
            drawerId = drawers.front().second;
        } else if (std::vector<std::string> ids = session_->cashDrawerIds(); !ids.empty()) {
            drawerId = ids.front();
        }
    }
    verifyAndProcess(drawerId, type, approval, reference);
}

void PayViewController::verifyAndProcess(const std::optional<std::string>& drawerId, int32_t type,
                                         const std::optional<std::string>& approval,
                                         const std::optional<std::string>& reference) {
    if (std::optional<std::string> problem =
            Payment::verify(type, drawerId, textOf(tendered()), textOf(amount()), textOf(gratuity()), textOf(number()),
                            textOf(expDate()), swipe_.get(), *session_)) {
        alert("Error", *problem, {"OK"});
        return;
    }
    if (!session_->isLite() && Payment::sendsCardFields(type) && !Encryption::getInstance().canEncrypt()) {
        // The card fields would go to the server without the card: nobody could charge it.
        alert("Error",
              localized("Card data cannot be encrypted on this terminal, so it takes no card payment. Please contact "
                        "support"),
              {"OK"});
        return;
    }
    const int32_t t = parsed(tendered()), a = parsed(amount());
    deleteFailedPayments();
    const int32_t p = parsed(tip()), g = parsed(gratuity());
    payment_ = Payment::initWithSession(*session_, session_->isCashedIn(drawerId) ? drawerId : std::nullopt,
                                        order_->name(), type, a, 0, t - a - p - g, p, g, textOf(number()),
                                        textOf(expDate()), textOf(secCode()), textOf(zip()), swipe_.get());
    payment_->setApproval(approval);
    if (session_->isLite()) {
        // A charge the host approved whose order could not be stored is stored now, not charged
        // again.
        if (std::shared_ptr<Payment> charged = unsentCharge()) {
            payment_ = charged;
            localFinalize();
            return;
        }
        localProcess(reference);
    } else if (needsSignature(type)) {
        captureSignature([this] { gatewaySelect(); });
    } else {
        gatewaySelect();
    }
}

void PayViewController::deleteFailedPayments() {
    std::vector<std::shared_ptr<Payment>> unsent;
    const std::shared_ptr<Payment> charged = unsentCharge();
    for (const auto& each : order_->payments())
        if (each->isNew() && each != charged) unsent.push_back(each);
    for (auto it = unsent.rbegin(); it != unsent.rend(); ++it) order_->removePayment(*it);
    payment_.reset();
}

} // namespace tavlo::screens
