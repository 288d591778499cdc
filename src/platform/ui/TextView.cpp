#include "platform/ui/TextView.h"

namespace tavlo::ui {

bool TextView::shouldChangeText(TextRange range, const std::string& replacement) {
    return editable_ && (!delegate_ || delegate_->textViewShouldChangeText(*this, range, replacement));
}

void TextView::textDidChange() {
    setNeedsDisplay();
    if (delegate_) delegate_->textViewDidChange(*this);
}

bool TextView::shouldBecomeFirstResponder() {
    return editable_ && (!delegate_ || delegate_->textViewShouldBeginEditing(*this));
}

void TextView::didBecomeFirstResponder() {
    if (delegate_) delegate_->textViewDidBeginEditing(*this);
}

void TextView::didResignFirstResponder() {
    if (delegate_) delegate_->textViewDidEndEditing(*this);
}

} // namespace tavlo::ui
