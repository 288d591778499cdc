#pragma once

#include "readers/jackmag/TaskBase.h"

namespace tavlo::jackmag {

// Connects the reader: asks it on its channel, then plays the power tone up to three times and
// listens for its greeting; the reader's answer decides which tone keeps it powered.
class TaskConnect : public TaskBase {
public:
    using TaskBase::TaskBase;
    // 0 nothing usable, 1 a version or NAK, 2 an ACK or baud reply, 3 to 5 the reader's greetings.
    static int replyClass(const Bytes& reply);

protected:
    std::string taskTag() const override { return "Connect: "; }
    TaskResult taskMain() override;
};

} // namespace tavlo::jackmag
