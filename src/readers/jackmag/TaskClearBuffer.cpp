#include "readers/jackmag/TaskClearBuffer.h"

#include "readers/jackmag/Notifications.h"
#include "readers/jackmag/ReaderLog.h"

namespace tavlo::jackmag {

namespace {
const std::string kClearFirst =
    "0253D1313055555555555555555555555555555555555555555555555555555555555555555555555555555555555555555555556603B1";
const std::string kClearNext = "0253D1100F55555555555555555555555555556603FA";
} // namespace

TaskResult TaskClearBuffer::taskMain() {
    umToneSaveAndStop();
    auto player = playCmd(kClearFirst);
    RecordResult first = recordDecode(3.0);
    if (first.endsTask()) return {};
    if (first.status == RecordResult::TimedOut) return {notes::kCommandTimeout, {}};
    if (first.bytes != Bytes{0x06}) return {notes::kDidReceiveCmd, first.bytes};
    logInfo("ClearBuffer: sending next");
    player = playCmd(kClearNext);
    RecordResult second = recordDecode(3.0);
    if (second.endsTask()) return {};
    if (second.status == RecordResult::TimedOut) return {notes::kCommandTimeout, {}};
    return {notes::kDidReceiveCmd, second.bytes};
}

void TaskClearBuffer::taskCleanUp() { umToneRestore(); }

} // namespace tavlo::jackmag
