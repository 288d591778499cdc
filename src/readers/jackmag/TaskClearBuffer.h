#pragma once

#include "readers/jackmag/TaskBase.h"

namespace tavlo::jackmag {

// Clears the reader's buffer in two steps, the second when the first is acknowledged.
class TaskClearBuffer : public TaskBase {
public:
    using TaskBase::TaskBase;

protected:
    std::string taskTag() const override { return "ClearBuffer: "; }
    bool mayHearSwipe() const override { return true; }
    TaskResult taskMain() override;
    void taskCleanUp() override;
};

} // namespace tavlo::jackmag
