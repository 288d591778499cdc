// The pay screen's Done bar: a touch terminal has no Return key, so while a field is edited a bar
// above the keyboard ends the editing ("Done", which runs the field's rules) or, by its arrows, moves to the
// previous or next field the tender takes.
#include "screens/pay/PayViewController.h"

#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Toolbar.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

namespace {

constexpr double kBarHeight = 44;
// The fields in the order the bar moves through them.
constexpr const char* kFieldOrder[] = {"tendered", "amount", "gratuity", "tip", "number", "expDate", "secCode", "zip"};

} // namespace

void PayViewController::addDone(TextField& field) {
    if (!doneBar_) {
        doneBar_ = std::make_shared<Toolbar>(Rect(0, 0, 320, kBarHeight));
        doneButton_ =
            BarButtonItem::titled(localized("Done"), BarButtonStyle::Done, [this](BarButtonItem&) { done(); });
        doneBar_->setItems({BarButtonItem::titled(std::string("\u25C0"), BarButtonStyle::Bordered,
                                                  [this](BarButtonItem&) { moveField(-1); }),
                            BarButtonItem::titled(std::string("\u25B6"), BarButtonStyle::Bordered,
                                                  [this](BarButtonItem&) { moveField(1); }),
                            BarButtonItem::flexibleSpace(), doneButton_});
    }
    field.setInputAccessoryView(doneBar_);
}

void PayViewController::done() {
    if (currentField_ && currentField_->isFirstResponder()) currentField_->resignFirstResponder();
}

void PayViewController::moveField(int step) {
    std::vector<TextField*> open;
    for (const char* name : kFieldOrder)
        if (TextField* each = field(name); each && each->isEnabled() && !each->isHidden()) open.push_back(each);
    const auto at = std::find(open.begin(), open.end(), currentField_);
    if (at == open.end()) return;
    const long next = (at - open.begin()) + step;
    if (next < 0 || next >= static_cast<long>(open.size())) return;
    // The field left runs its rules as its editing ends; the one reached asks whether it may begin.
    open[static_cast<size_t>(next)]->becomeFirstResponder();
}

void PayViewController::observeKeyboard() {
    NotificationCenter& center = NotificationCenter::defaultCenter();
    keyboardTokens_ = {
        center.addObserver(View::keyboardDidShowNotification, nullptr, [this](const Notification&) { keyboardShow(); }),
        center.addObserver(View::keyboardWillHideNotification, nullptr,
                           [this](const Notification&) { keyboardHide(); })};
}

void PayViewController::forgetKeyboard() {
    for (NotificationCenter::Token token : keyboardTokens_) NotificationCenter::defaultCenter().removeObserver(token);
    keyboardTokens_.clear();
}

void PayViewController::keyboardShow() {
    if (doneButton_) doneButton_->setEnabled(true);
}

void PayViewController::keyboardHide() {
    if (doneButton_) doneButton_->setEnabled(false);
}

} // namespace tavlo::screens
