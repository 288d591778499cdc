#include "platform/ui/GestureRecognizer.h"

#include "platform/ui/View.h"

namespace tavlo::ui {

Point GestureRecognizer::locationInView(const View* view) const {
    if (!view_) return location_;
    return view_->convertPoint(location_, view);
}

bool GestureRecognizer::recognize(Point location, int touches, int taps, double seconds) {
    if (!enabled_ || !view_ || !accepts(touches, taps, seconds)) return false;
    location_ = location;
    if (isContinuous()) {
        state_ = State::Began;
        if (action_) action_(*this);
    }
    state_ = State::Ended;
    if (action_) action_(*this);
    state_ = State::Possible;
    return true;
}

bool TapGestureRecognizer::accepts(int touches, int taps, double) const {
    return touches == numberOfTouchesRequired() && taps == taps_;
}

bool LongPressGestureRecognizer::accepts(int touches, int taps, double seconds) const {
    return touches == numberOfTouchesRequired() && taps == 1 && seconds >= minimum_;
}

} // namespace tavlo::ui
