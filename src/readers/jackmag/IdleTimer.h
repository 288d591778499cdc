#pragma once

#include <memory>

namespace tavlo::jackmag {

// The application's idle timer, which a firmware update keeps from dimming or locking the
// terminal. The program installs the application's; with none installed nothing is switched.
class IdleTimer {
public:
    virtual ~IdleTimer() = default;
    virtual bool isIdleTimerDisabled() const = 0;
    virtual void setIdleTimerDisabled(bool disabled) = 0;

    static void install(std::shared_ptr<IdleTimer> timer);
    static std::shared_ptr<IdleTimer> current();
};

} // namespace tavlo::jackmag
