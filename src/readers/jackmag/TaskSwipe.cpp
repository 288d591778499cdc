#include "readers/jackmag/TaskSwipe.h"

#include "readers/jackmag/Notifications.h"
#include "readers/jackmag/ReaderLog.h"

namespace tavlo::jackmag {

bool TaskSwipe::isValidSwipe(const Bytes& data) {
    size_t n = data.size();
    if (n >= 1 && (data[0] == '%' || data[0] == ';' || data[0] == 0x7F) && data[n - 1] == 0x0D) return true;
    if (n < 6) return false;
    uint8_t x = 0;
    uint8_t sum = 0;
    for (size_t i = 3; i <= n - 4; ++i) {
        x ^= data[i];
        sum = static_cast<uint8_t>(sum + data[i]);
    }
    return data[n - 3] == x && data[n - 2] == sum;
}

bool TaskSwipe::processParsedData(const Bytes& bytes) {
    if (state_ != 0) return true;
    Bytes data(bytes.begin() + (bytes.empty() ? 0 : 1), bytes.end());
    gotValidSwipe_ = isValidSwipe(data);
    logInfo("Swipe: received %@ swipe data. %@ recording", gotValidSwipe_ ? "valid" : "invalid",
            gotValidSwipe_ ? "stopping" : "continuing");
    // The person is told at once; the reader keeps listening for the next swipe.
    if (!gotValidSwipe_) engine_.postNote(notes::kInvalidSwipe);
    return !gotValidSwipe_;
}

void TaskSwipe::soundDetected() {
    if (state_ != 0) return;
    logInfo("Swipe: data processing notification");
    engine_.postNote(notes::kDataProcessing);
}

TaskResult TaskSwipe::taskMain() {
    if (isCancelled()) return {};
    state_ = 0;
    RecordResult swipe;
    if (!gotValidSwipe_) {
        logInfo("--recordDecode");
        swipe = recordDecode(ta_.duration);
    }
    if (swipe.endsTask()) return {};
    if (swipe.status == RecordResult::TimedOut || !gotValidSwipe_ || swipe.bytes.empty()) {
        logInfo("Swipe: timed-out. No swipe read");
        return {notes::kTimeoutSwipe, {}};
    }
    engine_.setSwipe_statusByte({swipe.bytes[0]});
    return {notes::kDidReceiveData, Bytes(swipe.bytes.begin() + 1, swipe.bytes.end())};
}

} // namespace tavlo::jackmag
