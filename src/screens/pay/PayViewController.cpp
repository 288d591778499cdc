// The pay screen's set-up, the tender table, the amount fields with their adjustment rules, the
// quick-cash and tip-percent keys and the entry rules of its fields.
#include "screens/pay/PayViewController.h"

#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "devices/MSRMediator.h"
#include "payments/PaymentHandlerFactory.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Orientation.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/TipLimits.h"
#include "screens/common/prompts/AmountViewController.h"

#include <algorithm>
#include <ctime>

namespace tavlo::screens {

using namespace ui;

namespace {

constexpr const char* kPercentKeys[] = {"percent1", "percent2", "percent3"};
constexpr Parameter kPercentParams[] = {Parameter::TipPercentage1, Parameter::TipPercentage2,
                                        Parameter::TipPercentage3};
constexpr const char* kQuickCash[] = {"amount1", "amount5", "amount10", "amount20", "amount100"};

bool onPhone() {
    Application* app = Application::current();
    return !app || app->idiom() == DeviceIdiom::Phone;
}

} // namespace

PayViewController::PayViewController() : SignedInController(kInterfaceName) {}

PayViewController::~PayViewController() {
    MSRMediator::getInstance().unregisterObserver(this);
    forgetKeyboard();
}

// ---- helpers

std::optional<std::string> PayViewController::creditHost() const {
    return Parameters::text(Parameter::CreditHost, context());
}

int32_t PayViewController::parsed(TextField* field) const { return field ? Utils::parseCurrency(field->text()) : 0; }

void PayViewController::write(TextField* field, int32_t cents) {
    if (field) field->setText(Utils::formatCurrency(cents));
}

void PayViewController::setEnabled(View* view, bool enabled) {
    if (auto* control = dynamic_cast<Control*>(view)) control->setEnabled(enabled);
    // A caption of a field that is off is greyed with it.
    if (auto* caption = dynamic_cast<Label*>(view)) caption->setAlpha(enabled ? 1 : 0.4);
}

int32_t PayViewController::gratuityDue() const { return order_->getGratuity() - order_->getGratuityPaid(); }

int32_t PayViewController::gratuityOwed() const {
    return order_->getGratuity() <= 0 ? order_->getGratuity() : std::max(gratuityDue(), 0);
}

// The headline: what the order still asks for, whatever a tender's fields say.
int32_t PayViewController::orderDue() const {
    return order_->getDue() + (session_->isUsingGratuity() ? gratuityOwed() : 0);
}

void PayViewController::showError(const std::string& title, const Error& error, const std::string& fallback,
                                  const std::string& button) {
    std::string text = error.isSet() ? error.localizedDescription() : "";
    alert(title, text.empty() ? localized(fallback) : text, {button});
}

void PayViewController::showActivity() {
    ActivityIndicator::show(view(), true);
    ActivityIndicator::refresh(localized("Processing"));
}

void PayViewController::hideActivity() { ActivityIndicator::hide(); }

void PayViewController::endEditing() {
    if (View* editing = View::currentFirstResponder()) editing->resignFirstResponder();
}

// ---- set-up and appearance

void PayViewController::viewDidLoad() {
    payTypeIds_ = session_->paymentTypes();
    captured_ = tipButtonUsed_ = false;
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Cancel"), BarButtonStyle::Done, [this](BarButtonItem&) { cancel(); }));
    if (payTypeIds_.empty()) {
        alert("Alert", localized("No payment types are defined, please contact support"), {"Ok"});
        return;
    }
    for (int i = 0; i < 3; ++i) {
        int32_t percent = Parameters::number(kPercentParams[i], context());
        if (percent >= 1) {
            button(kPercentKeys[i])->setHidden(false);
            button(kPercentKeys[i])->setTitle(format("%i%%", percent));
        }
    }
    const bool tipAllowed =
        Parameters::flag(Parameter::AllowCashTip, context()) && session()->isGranted(Right::NewPaymentTipAdjust);
    for (View* tipView : std::initializer_list<View*>{label("lblTip"), tip(), button("percent1"), button("percent2"),
                                                      button("percent3"), button("percentCustom")})
        setEnabled(tipView, tipAllowed);

    SegmentedControl& types = *payTypes();
    types.removeAllSegments();
    for (int32_t code : payTypeIds_) types.insertSegment(Payment::uiLabel(code), types.numberOfSegments());
    types.setStyle(SegmentedControlStyle::Bar);
    types.setSelectedSegmentIndex(0);
    types.addTarget([this](Control&) { paymentTypeChanged(); }, ControlEvent::ValueChanged);
    navigationItem().setTitleView(types.shared_from_this());

    incrementing_ = false;
    payTerminals_ = readPayTerminals();
    if (order_->orderType() == OrderType::Refund)
        alert("Alert", localized("This order is a Refund. When you process the payment, funds will go to the customer"),
              {"Ok"});
    // The first tender's row, so the fields match the selected segment from the start.
    paymentTypeChanged();
}

std::vector<ManagedObjectPtr> PayViewController::readPayTerminals() {
    ObjectContext* context = session_->managedObjectContext();
    std::vector<ManagedObjectPtr> usable;
    for (const ManagedObjectPtr& terminal :
         DBHelper::getObjects("Terminal", "networkName != nil and disabled='NO'", {}, "number", context)) {
        // Only an explicit "no" keeps a terminal from taking payments for others.
        if (Parameters::terminalFlag(Parameter::Accessible, terminal->text("terminalId"), context))
            usable.push_back(terminal);
    }
    return usable;
}

void PayViewController::viewWillAppear(bool) {
    appeared_ = false;
    if (keyboardTokens_.empty()) observeKeyboard();
    payment_.reset();
    const int32_t due = order_->getDue();
    write(amount(), due);
    write(tip(), 0);
    const bool usingGratuity = session_->isUsingGratuity();
    if (usingGratuity) write(gratuity(), gratuityOwed());
    setEnabled(label("lblGratuity"), usingGratuity);
    setEnabled(gratuity(), usingGratuity);
    write(tendered(), orderDue());
    label("lblDue")->setText(Utils::formatCurrency(orderDue()));
}

void PayViewController::viewDidAppear(bool) {
    appeared_ = true;
    std::weak_ptr<ViewController> self = weak_from_this();
    MSRMediator::getInstance().registerObserver(this, [self](const Notification& notification) {
        if (auto screen = std::dynamic_pointer_cast<PayViewController>(self.lock()))
            screen->handleMSRNotification(notification);
    });
}

void PayViewController::viewWillDisappear(bool) {
    MSRMediator::getInstance().unregisterObserver(this);
    forgetKeyboard();
}

uint32_t PayViewController::supportedInterfaceOrientations() const {
    return onPhone() ? OrientationMask::Portrait : OrientationMask::Landscape;
}

// ---- the tender table

int32_t PayViewController::selectedType() const {
    int index = payTypes() ? payTypes()->selectedSegmentIndex() : -1;
    return index >= 0 && index < static_cast<int>(payTypeIds_.size()) ? payTypeIds_[index] : Payment::kUnknownType;
}

void PayViewController::paymentTypeChanged() {
    const int32_t type = selectedType();
    const Tender& tender = Tender::of(type);
    const bool lite = session_->isLite();
    const std::optional<std::string> host = creditHost();
    PayConditions conditions;
    conditions.cardsKeyed = !lite;
    if (lite && host) {
        if (auto handler = PaymentHandlerFactory::getInstance().getPaymentHandler(host))
            conditions.cardsKeyed = handler->allowManual();
    }
    conditions.avsZip = Parameters::flag(Parameter::AvsZipOnlySupport, session_->managedObjectContext());
    conditions.cashTips = Parameters::flag(Parameter::AllowCashTip, context());
    conditions.tipRight = session_->isGranted(Right::NewPaymentTipAdjust);
    conditions.tillOnDefaultHost = lite && (!host || toUpper(*host) == "ZELTA");
    const PayFields row = payFields(tender, conditions);
    const bool card = tender.chargedAtHost;
    if (tender.kind == TenderKind::Cash) {
        if (!row.tip) write(tip(), 0);
        swipe_.reset();
    }

    if (tender.authorisesOnly) {
        write(amount(), Parameters::number(Parameter::CreditAuthOnlyAmount, session_->managedObjectContext()));
        write(tendered(), 0);
        amountModified_ = false;
    } else if (!amountModified_) {
        write(amount(), order_->getDue());
    }
    if (!row.tendered && !tender.authorisesOnly) {
        // A tender without cash in hand pays exactly what it covers: a tendered left from cash
        // would record change on a card.
        const int32_t covered = parsed(amount()) + parsed(gratuity()) + parsed(tip());
        write(tendered(), covered);
    }
    for (const char* key : kQuickCash) setEnabled(button(key), row.quickCash);
    setEnabled(button("next"), row.nextUp);
    setEnabled(label("lblTendered"), row.tendered);
    setEnabled(tendered(), row.tendered);
    label("lblNumber")->setText(localized(row.numberCaption));
    setEnabled(label("lblNumber"), row.number);
    setEnabled(number(), row.number);
    setEnabled(button("manual"), card && row.number);
    number()->setSecureTextEntry(row.secureNumber);
    setEnabled(label("lblExpDate"), row.expiry);
    setEnabled(expDate(), row.expiry);
    setEnabled(label("lblSecCode"), row.securityCode);
    setEnabled(secCode(), row.securityCode);
    setEnabled(label("lblZip"), row.zip);
    setEnabled(zip(), row.zip);
    label("lblZip")->setHidden(!row.zip);
    zip()->setHidden(!row.zip);
    setEnabled(label("lblTip"), row.tip);
    setEnabled(tip(), row.tip);
    for (const char* key : {"percent1", "percent2", "percent3", "percentCustom"})
        setEnabled(button(key), row.tipPercent);
    if (!card) {
        for (TextField* cardField : {number(), expDate(), secCode()}) cardField->setText("");
    }
    Button& forceButton = *button("forceButton");
    if (card && order_->orderType() != OrderType::Refund) {
        const bool forceable =
            lite &&
            boolValue(Parameters::text(Parameter::AllowForceCreditCard, session_->managedObjectContext()).value_or(""));
        forceButton.setHidden(!forceable);
        forceButton.setEnabled(forceable);
    } else if (!card) {
        forceButton.setHidden(true);
        forceButton.setEnabled(false);
    }
}

// ---- quick cash and tip keys

void PayViewController::incrementTendered(int32_t cents) {
    int32_t base = incrementing_ ? parsed(tendered()) : 0;
    incrementing_ = true;
    write(tendered(), base + cents);
    validateTendered();
}

void PayViewController::nextUp() {
    const std::string& text = tendered()->text();
    int32_t cents = Utils::parseCurrency(text.size() < 3 ? text : text.substr(text.size() - 2));
    if (cents < 1) return;
    incrementing_ = true;
    write(tendered(), parsed(tendered()) + 100 - cents);
    validateTendered();
}

void PayViewController::percent(int index) {
    int32_t rate = intValue(button(kPercentKeys[index])->title().value_or(""));
    write(tip(), static_cast<int32_t>(int64_t{rate} * parsed(amount()) / 100));
    validateTip();
    tipButtonUsed_ = true;
}

void PayViewController::percentCustom() {
    auto prompt = std::make_shared<AmountViewController>();
    prompt->setUseAnimation(session_->useAnimation());
    prompt->setTitle(localized("Enter percentage"));
    prompt->setAmount(std::string("0"));
    prompt->setDecimals(0);
    prompt->setAllowNothing(false);
    prompt->setAllowCancel(false);
    std::weak_ptr<ViewController> self = weak_from_this();
    prompt->setObserver([self](const std::optional<std::string>& answer, const std::optional<std::string>&) {
        if (auto screen = std::dynamic_pointer_cast<PayViewController>(self.lock())) screen->savePercent(answer);
    });
    auto navigation = std::make_shared<NavigationController>(prompt);
    navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    present(navigation, session_->useAnimation());
    tipButtonUsed_ = true;
}

void PayViewController::savePercent(const std::optional<std::string>& answer) {
    dismiss(session_->useAnimation());
    if (!answer) return;
    write(tip(), static_cast<int32_t>(int64_t{intValue(*answer)} * parsed(amount()) / 100));
    validateTip();
}

// ---- field rules

void PayViewController::validateTendered() {
    const int32_t t = parsed(tendered()), a = parsed(amount()), g = parsed(gratuity()), p = parsed(tip());
    if (t < a) {
        write(tip(), 0);
        write(gratuity(), 0);
        write(amount(), t);
    } else if (t < a + g) {
        write(tip(), 0);
        write(gratuity(), t - a);
    } else if (t < a + g + p) {
        write(tip(), t - a - g);
    } else if (t > a) {
        const int32_t due = order_->getDue();
        if (t <= due) {
            write(amount(), t);
        } else {
            write(amount(), due);
            const int32_t owed = gratuityDue();
            if (t - due <= owed && tip()->isEnabled()) write(tip(), 0);
            if (gratuity()->isEnabled()) write(gratuity(), owed);
        }
    }
}

void PayViewController::validateAmount() {
    const int32_t t = parsed(tendered()), a = parsed(amount()), g = parsed(gratuity()), p = parsed(tip());
    const int32_t due = order_->getDue();
    const bool tenderedOn = tendered()->isEnabled();
    auto setTendered = [this](int32_t cents) { write(tendered(), cents); };
    if (payment_ && payment_->tender().authorisesOnly && a < 1) {
        alert("Error", localized("Amount to be authorized must be more than 0"), {"OK"});
        return;
    }
    if (a > due) {
        alert("Error",
              localized("Amount to be paid cannot be higher than total due for the order, Amount was auto adjusted, "
                        "verify it."),
              {"OK"});
        if (tenderedOn) {
            write(amount(), std::min(due, t - g - p));
        } else {
            write(amount(), due);
            write(tendered(), due);
        }
        return;
    }
    const int32_t needed = a + g + p;
    if (needed > t) {
        if (tenderedOn)
            alert("Error",
                  localized("Tendered was incremented in order to fulfill the specified Amount. Verify that new "
                            "Tendered is correct"),
                  {"OK"});
        setTendered(needed);
    } else if (needed < t && !tenderedOn) {
        setTendered(needed);
    }
}

void PayViewController::validateGratuity() {
    const int32_t t = parsed(tendered()), a = parsed(amount()), p = parsed(tip());
    int32_t g = parsed(gratuity());
    const int32_t owed = gratuityDue();
    std::optional<std::string> message, followUp;
    if (g > owed) {
        write(gratuity(), owed);
        g = owed;
        message = localized("Gratuity was adjusted based on gratuity due");
        followUp = localized("If you want to increase gratuity further do so from the order details.");
    }
    const int32_t needed = p + a + g;
    const bool tenderedOn = tendered()->isEnabled();
    if (needed > t) {
        write(tendered(), needed);
        if (tenderedOn) {
            message = message ? *message + localized(", as a result, Tendered was incremented. Verify that new "
                                                     "Tendered is correct")
                              : localized("Tendered was incremented in order to fulfill the specified gratuity. Verify "
                                          "that new Tendered is correct");
        }
    } else if (needed < t && !tenderedOn) {
        write(tendered(), needed);
    }
    if (message) alert("Alert", followUp ? format("%@. %@", *message, *followUp) : *message, {"Ok"});
}

void PayViewController::validateTip() {
    switch (judgeTip(parsed(amount()), parsed(tip()), parsed(gratuity()))) {
    case TipVerdict::Refused:
        write(tip(), 0);
        alert("Alert", tipTooLarge(), {"Ok"});
        return;
    case TipVerdict::AskFirst:
        alert("Confirmation", largeTipQuestion(parsed(tip()), parsed(amount())), {"No", {localized("Yes")}},
              [this](int button) {
                  if (button < 1) write(tip(), 0);
                  takeTip();
              });
        return;
    case TipVerdict::Fine: break;
    }
    takeTip();
}

void PayViewController::takeTip() {
    const int32_t t = parsed(tendered()), needed = parsed(gratuity()) + parsed(amount()) + parsed(tip());
    const bool tenderedOn = tendered()->isEnabled();
    auto setTendered = [this](int32_t cents) { write(tendered(), cents); };
    if (needed > t) {
        if (tenderedOn)
            alert("Alert",
                  localized("Tendered was incremented in order to fulfill the specified tip. Verify that new Tendered "
                            "is correct"),
                  {"Ok"});
        setTendered(needed);
    } else if (tipButtonUsed_ || (needed < t && !tenderedOn)) {
        setTendered(needed);
    }
}

void PayViewController::validateExpiration() {
    const std::string& text = expDate()->text();
    const bool digits =
        text.size() == 4 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    const int month = digits ? std::stoi(text.substr(0, 2)) : 0;
    if (month < 1 || month > 12) {
        alert("Alert", localized("Invalid date specified"), {"Ok"});
        return;
    }
    // Expired from midnight at the start of the month's last day.
    std::tm last{};
    last.tm_year = 2000 + std::stoi(text.substr(2, 2)) - 1900;
    last.tm_mon = month; // day 0 of the next month: the last day of this one
    last.tm_mday = 0;
    last.tm_isdst = -1;
    std::time_t start = std::mktime(&last);
    if (Date(static_cast<double>(start)) < Date::now()) alert("Alert", localized("Date has expired"), {"Ok"});
}

// ---- entry rules

bool PayViewController::textFieldShouldBeginEditing(TextField& field) {
    TAVLO_LOG("Called should Begin");
    if (!appeared_) {
        TAVLO_LOG("Called early");
        return false;
    }
    const int32_t type = selectedType();
    if (Tender::of(type).chargedAtHost && (&field == number() || &field == expDate()) &&
        !session_->isGranted(Right::PayCreditManual)) {
        alert("Alert", localized("You do not have the required access"), {"OK"});
        return false;
    }
    typedSinceBegin_ = false;
    currentField_ = &field;
    addDone(field);
    return true;
}

bool PayViewController::textFieldShouldChangeCharacters(TextField& field, TextRange range, const std::string& typed) {
    // A card typed over a swiped one is keyed: the swipe's tracks would name another card.
    if (&field == number() || &field == expDate()) swipe_.reset();
    if (&field == number() || &field == expDate() || &field == zip() || &field == secCode()) return true;
    // Money: each digit moves in from the right, as on a cash register.
    // The first digit typed into a field replaces what it showed; later ones enter from the right.
    const bool fresh = !typedSinceBegin_ && !typed.empty();
    typedSinceBegin_ = true;
    if (std::optional<std::string> shown = fresh ? AmountViewController::centsAfterEdit("", {}, typed)
                                                 : AmountViewController::centsAfterEdit(field.text(), range, typed)) {
        field.setText(*shown);
        if (&field == amount()) amountModified_ = true;
    }
    return false;
}

bool PayViewController::textFieldShouldClear(TextField&) { return appeared_; }

bool PayViewController::textFieldShouldReturn(TextField& field) {
    field.resignFirstResponder();
    return true;
}

void PayViewController::textFieldDidEndEditing(TextField& field) {
    if (&field == tendered()) validateTendered();
    else if (&field == amount()) validateAmount();
    else if (&field == gratuity()) validateGratuity();
    else if (&field == tip()) validateTip();
    else if (&field == expDate() && !field.text().empty()) validateExpiration();
}

} // namespace tavlo::screens
