#pragma once

#include "readers/jackmag/IdleTimer.h"

namespace tavlo::screens {

// The installed application's idle timer for the card reader drivers: a firmware update keeps
// the terminal awake while it runs. Changes are made on the main thread.
class ApplicationIdleTimer : public jackmag::IdleTimer {
public:
    bool isIdleTimerDisabled() const override;
    void setIdleTimerDisabled(bool disabled) override;
};

} // namespace tavlo::screens
