#pragma once

#include "platform/ui/View.h"

namespace tavlo::ui {

enum class ActivitySpinnerStyle { WhiteLarge, White, Gray };

// The spinning wait indicator; hidden while stopped unless told otherwise.
class ActivitySpinner : public View {
public:
    explicit ActivitySpinner(ActivitySpinnerStyle style = ActivitySpinnerStyle::White, Rect frame = {});

    ActivitySpinnerStyle style() const { return style_; }
    void setStyle(ActivitySpinnerStyle style) { style_ = style; }
    bool isAnimating() const { return animating_; }
    void startAnimating();
    void stopAnimating();
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool hides);

private:
    ActivitySpinnerStyle style_;
    bool animating_ = false;
    bool hidesWhenStopped_ = true;
};

} // namespace tavlo::ui
