#include "readers/jackmag/TaskGetBatteryLevel.h"

#include "readers/jackmag/CommandFrames.h"
#include "readers/jackmag/Notifications.h"

#include <algorithm>

namespace tavlo::jackmag {

Bytes TaskGetBatteryLevel::batteryResult(const Bytes& reply) {
    Bytes result = {0x15};
    size_t length = reply.size();
    if (length <= 4 || reply[0] != 0x06 || reply[1] != 0x02 || reply[length - 2] != 0x03) return result;
    size_t end = 2 + (length - 4);
    for (size_t p = 2; p + 2 <= end;) {
        uint8_t tag = reply[p];
        size_t size = reply[p + 1];
        if (p + 2 + size > end) break;
        if (tag == 'o') {
            result.assign(size + 1, 0x06);
            std::copy_n(reply.begin() + static_cast<long>(p + 2), size, result.begin() + 1);
            break;
        }
        p += 2 + size;
    }
    return result;
}

TaskResult TaskGetBatteryLevel::taskMain() {
    for (int attempt = 0; attempt < 4; ++attempt) {
        auto player = playCmd(frames::kGetSettings);
        RecordResult reply = recordDecode(3.0);
        if (reply.endsTask()) return {};
        if (reply.status == RecordResult::Decoded) return {notes::kDidReceiveCmd, batteryResult(reply.bytes)};
    }
    return {notes::kCommandTimeout, {}};
}

} // namespace tavlo::jackmag
