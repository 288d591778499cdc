#include "screens/common/prompts/AmountViewController.h"

#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/AlertView.h"

#include <cstdint>
#include <limits>

namespace tavlo::screens {

using namespace ui;

namespace {

void eraseFirst(std::string& text, std::string_view part) {
    if (size_t at = text.find(part); at != std::string::npos) text.erase(at, part.size());
}

void refuse(const std::string& message) {
    AlertView::make(localized("Alert!"), localized(message), localized("Ok"))->show();
}

} // namespace

AmountViewController::AmountViewController() : PromptViewController(kInterfaceName) {}

AmountViewController::~AmountViewController() = default;

void AmountViewController::viewDidLoad() {
    if (allowCancel_) addBackButton();
    TextField& field = *amountView();
    field.setText(amount_.value_or(""));
    field.setDelegate(this);
    addDoneToolbar(localized("Done"), [this] { done(); });
}

void AmountViewController::viewDidAppear(bool animated) {
    PromptViewController::viewDidAppear(animated);
    TextField& field = *amountView();
    field.becomeFirstResponder();
    // The first key replaces the starting value.
    if (!field.text().empty()) field.selectAll();
}

std::optional<std::string> AmountViewController::centsAfterEdit(std::string_view text, TextRange range,
                                                                std::string_view typed) {
    std::string edited = replacingCharacters(text, range, typed);
    eraseFirst(edited, Utils::kCurrencySymbol);
    eraseFirst(edited, ".");
    std::string_view digits = edited;
    bool negative = !digits.empty() && digits.front() == '-';
    if (negative) digits.remove_prefix(1);
    // Each cent must be a digit, and the whole must fit the 32 bits the amount is kept in.
    const int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + (negative ? 1 : 0);
    int64_t cents = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        cents = cents * 10 + (c - '0');
        if (cents > limit) return std::nullopt;
    }
    return Utils::formatCurrency(negative ? -cents : cents);
}

bool AmountViewController::textFieldShouldChangeCharacters(TextField& field, TextRange range,
                                                           const std::string& typed) {
    if (&field != amountView() || decimals_ < 1) return true;
    // Cents entry: the screen makes every change itself; an edit it refuses leaves the field as it was.
    if (std::optional<std::string> shown = centsAfterEdit(field.text(), range, typed)) field.setText(*shown);
    return false;
}

bool AmountViewController::textFieldShouldReturn(TextField& field) {
    // The return key ends editing; only Save answers.
    field.resignFirstResponder();
    return true;
}

void AmountViewController::saveAmount() {
    const std::string& shown = amountView()->text();
    if (!allowNothing_ && shown.empty()) return refuse("You must enter a value");
    if (minAmount_ && Utils::parseCurrency(minAmount_) >= Utils::parseCurrency(shown))
        return refuse("The amount entered is too low, please reenter");
    endEditing();
    // As shown, with the currency symbol in cents entry: the observer reads it.
    answer(std::string(shown));
}

} // namespace tavlo::screens
