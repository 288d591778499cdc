#pragma once

#include "readers/jackmag/TaskBase.h"

namespace tavlo::jackmag {

// Sends one command frame and waits for the reader's answer.
class TaskCmd : public TaskBase {
public:
    using TaskBase::TaskBase;

protected:
    std::string taskTag() const override { return "Cmd: "; }
    TaskResult taskMain() override;
    void taskCleanUp() override;
};

} // namespace tavlo::jackmag
