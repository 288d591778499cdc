#pragma once

#include "readers/jackmag/TaskBase.h"

namespace tavlo::jackmag {

// Belongs to the JackLink mode, which this system never selects.
class TaskCancelJackLinkSwipe : public TaskBase {
public:
    using TaskBase::TaskBase;

protected:
    std::string taskTag() const override { return "CancelJackLinkSwipe: "; }
    bool mayHearSwipe() const override { return true; }
    TaskResult taskMain() override;
};

} // namespace tavlo::jackmag
