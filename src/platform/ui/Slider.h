#pragma once

#include "platform/ui/Control.h"

namespace tavlo::ui {

// A value between a minimum and a maximum; a person's move sends ValueChanged.
class Slider : public Control {
public:
    using Control::Control;

    double value() const { return value_; }
    // Kept within the limits.
    void setValue(double value);
    double minimumValue() const { return min_; }
    void setMinimumValue(double min);
    double maximumValue() const { return max_; }
    void setMaximumValue(double max);
    bool isContinuous() const { return continuous_; }
    void setContinuous(bool continuous) { continuous_ = continuous; }

private:
    double value_ = 0;
    double min_ = 0;
    double max_ = 1;
    bool continuous_ = true;
};

} // namespace tavlo::ui
