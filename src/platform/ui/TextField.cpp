#include "platform/ui/TextField.h"

namespace tavlo::ui {

void TextField::clearText() {
    if (delegate_ && !delegate_->textFieldShouldClear(*this)) return;
    assignText("");
    sendActions(ControlEvent::EditingChanged);
}

void TextField::pressReturn() {
    if (delegate_ && !delegate_->textFieldShouldReturn(*this)) return;
    sendActions(ControlEvent::EditingDidEndOnExit);
}

bool TextField::shouldChangeText(TextRange range, const std::string& replacement) {
    return !delegate_ || delegate_->textFieldShouldChangeCharacters(*this, range, replacement);
}

void TextField::textDidChange() {
    setNeedsDisplay();
    sendActions(ControlEvent::EditingChanged);
}

bool TextField::shouldBecomeFirstResponder() {
    return canBecomeFirstResponder() && (!delegate_ || delegate_->textFieldShouldBeginEditing(*this));
}

void TextField::didBecomeFirstResponder() {
    if (delegate_) delegate_->textFieldDidBeginEditing(*this);
    sendActions(ControlEvent::EditingDidBegin);
}

bool TextField::shouldResignFirstResponder() { return !delegate_ || delegate_->textFieldShouldEndEditing(*this); }

void TextField::didResignFirstResponder() {
    if (delegate_) delegate_->textFieldDidEndEditing(*this);
    sendActions(ControlEvent::EditingDidEnd);
}

} // namespace tavlo::ui
