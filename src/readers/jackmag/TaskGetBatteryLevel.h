#pragma once

#include "readers/jackmag/TaskBase.h"

namespace tavlo::jackmag {

// Reads the battery level from the reader's settings: the result is 06 and the level, or 15.
class TaskGetBatteryLevel : public TaskBase {
public:
    using TaskBase::TaskBase;
    // The level from a settings reply (tag 'o' of its tag-length-value entries).
    static Bytes batteryResult(const Bytes& reply);

protected:
    std::string taskTag() const override { return "CheckBattery: "; }
    TaskResult taskMain() override;
};

} // namespace tavlo::jackmag
