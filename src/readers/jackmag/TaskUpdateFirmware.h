#pragma once

#include "readers/jackmag/TaskBase.h"

namespace tavlo::jackmag {

// Updates the reader's firmware: enters the boot loader, sends the image block by block (each
// acknowledged or sent again up to three times) and has the reader verify the checksum.
class TaskUpdateFirmware : public TaskBase {
public:
    using TaskBase::TaskBase;

protected:
    std::string taskTag() const override { return "FwUpdate: "; }
    TaskResult taskMain() override;
    void taskCleanUp() override;

private:
    TaskResult message(int code, const std::string& text, int block = -1) const;
    void postMessage(int code, const std::string& text, int block = -1);
    bool originalIdleTimerDisabled_ = false;
};

} // namespace tavlo::jackmag
