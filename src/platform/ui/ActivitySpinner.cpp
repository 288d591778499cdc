#include "platform/ui/ActivitySpinner.h"

namespace tavlo::ui {

ActivitySpinner::ActivitySpinner(ActivitySpinnerStyle style, Rect frame) : View(frame), style_(style) {
    setHidden(true);
}

void ActivitySpinner::startAnimating() {
    animating_ = true;
    setHidden(false);
}

void ActivitySpinner::stopAnimating() {
    animating_ = false;
    if (hidesWhenStopped_) setHidden(true);
}

void ActivitySpinner::setHidesWhenStopped(bool hides) {
    hidesWhenStopped_ = hides;
    setHidden(hides && !animating_);
}

} // namespace tavlo::ui
