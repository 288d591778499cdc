#include "platform/ui/Slider.h"

#include <algorithm>

namespace tavlo::ui {

void Slider::setValue(double value) {
    value_ = std::clamp(value, min_, std::max(min_, max_));
    setNeedsDisplay();
}

void Slider::setMinimumValue(double min) {
    min_ = min;
    setValue(value_);
}

void Slider::setMaximumValue(double max) {
    max_ = max;
    setValue(value_);
}

} // namespace tavlo::ui
