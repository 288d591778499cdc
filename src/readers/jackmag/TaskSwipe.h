#pragma once

#include "readers/jackmag/TaskBase.h"

namespace tavlo::jackmag {

// Records until a valid swipe arrives or the swipe time runs out; the reader's first byte is its
// status, the rest the card data.
class TaskSwipe : public TaskBase {
public:
    using TaskBase::TaskBase;
    // Clear track data (a start sentinel and CR at the end) or encrypted data with its XOR and sum.
    static bool isValidSwipe(const Bytes& data);
    bool processParsedData(const Bytes& bytes) override;
    void soundDetected() override;

protected:
    std::string taskTag() const override { return "Swipe: "; }
    bool mayHearSwipe() const override { return true; }
    TaskResult taskMain() override;

private:
    std::atomic<int> state_{0};
    bool gotValidSwipe_ = false;
};

} // namespace tavlo::jackmag
