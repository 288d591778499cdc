#include "readers/jackmag/TaskCmd.h"

#include "readers/jackmag/Notifications.h"

namespace tavlo::jackmag {

// The command waits for its answer as long as the engine's command time-out says (3 to 30 s).
TaskResult TaskCmd::taskMain() {
    umToneSaveAndStop();
    auto player = playCmdBytes(ta_.cmd_cmd);
    RecordResult reply = recordDecode(ta_.duration > 0 ? ta_.duration : JackMagEngine::kDefaultCmdDuration);
    if (player) player->stop();
    if (reply.endsTask()) return {};
    if (reply.status == RecordResult::Decoded) return {notes::kDidReceiveCmd, reply.bytes};
    return {notes::kCommandTimeout, {}};
}

void TaskCmd::taskCleanUp() { umToneRestore(); }

} // namespace tavlo::jackmag
