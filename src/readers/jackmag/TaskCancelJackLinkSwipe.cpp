#include "readers/jackmag/TaskCancelJackLinkSwipe.h"

#include "readers/jackmag/Notifications.h"
#include "readers/jackmag/ToneWaves.h"

namespace tavlo::jackmag {

TaskResult TaskCancelJackLinkSwipe::taskMain() {
    engine_.tone_setAs(kTone8000);
    engine_.tone_resume();
    RecordResult reply = recordDecode(3.0);
    engine_.tone_stop();
    if (reply.endsTask()) return {};
    if (reply.bytes == Bytes{0x02}) return {notes::kDidReceiveCmd, reply.bytes};
    return {notes::kCommandTimeout, {}};
}

} // namespace tavlo::jackmag
