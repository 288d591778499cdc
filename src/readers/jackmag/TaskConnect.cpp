#include "readers/jackmag/TaskConnect.h"

#include "readers/jackmag/CommandFrames.h"
#include "readers/jackmag/Notifications.h"
#include "readers/jackmag/ReaderLog.h"
#include "readers/jackmag/ToneWaves.h"

#include <algorithm>

namespace tavlo::jackmag {

namespace {

bool contains(const Bytes& reply, const std::string& text) {
    return std::search(reply.begin(), reply.end(), text.begin(), text.end()) != reply.end();
}

const char* connectedLabel(int replyClass) {
    switch (replyClass) {
    case 1: return "blm";
    case 2: return "baud";
    case 3: return "1";
    default: return "2n3";
    }
}

} // namespace

int TaskConnect::replyClass(const Bytes& reply) {
    if (contains(reply, "MPPMSR1")) return 3;
    if (contains(reply, "MPPMSR3")) return 5;
    if (contains(reply, "MPPMSR")) return 4;
    if (reply == Bytes{0x06, 'V'}) return 1;
    if (reply.size() == 15 && reply[0] == 0x06 && reply[1] == 'V') return 1;
    if (reply.size() == 2 && reply[0] == 0x15) return 1;
    if (reply == Bytes{0x06}) return 2;
    if (reply.size() == 6 && reply[0] == 0x06 && std::equal(reply.begin() + 1, reply.begin() + 5, "9600")) return 2;
    return 0;
}

TaskResult TaskConnect::taskMain() {
    logInfo("--connect Main >>");
    engine_.tone_setAs(kTone2400);
    int connectedClass = 0;
    for (int attempt = 1; attempt <= 3 && connectedClass == 0; ++attempt) {
        if (attempt == 1) {
            if (isCancelled()) return {};
            logInfo("Connect: set channel");
            auto player = playCmd(frames::kSetChannel);
            RecordResult channel = recordDecode(1.5);
            if (channel.endsTask()) return {};
            int c = replyClass(channel.bytes);
            if (c != 0 && c != 3) {
                connectedClass = c;
                break;
            }
            sleepFor(0.4);
            if (isCancelled()) return {};
        }
        if (isCancelled()) return {};
        logInfo("Connect: tone %d", attempt);
        engine_.tone_resume();
        RecordResult tone = recordDecode(1.6);
        if (tone.endsTask()) {
            engine_.tone_stop();
            return {};
        }
        int c = replyClass(tone.bytes);
        if (c != 0 && c != 5) {
            connectedClass = c;
            break;
        }
        engine_.tone_stop();
        sleepFor(0.4);
        if (isCancelled()) return {};
    }
    if (connectedClass == 0) {
        logInfo("Connect: timed out");
        return {notes::kTimeout, {}};
    }
    if (isCancelled()) {
        logInfo("--connect Main cancelled7 <<");
        return {};
    }
    engine_.setState_isReaderConnected(true);
    logInfo("Connect: connected '%@'", connectedLabel(connectedClass));
    if (connectedClass != 3) {
        engine_.tone_stop();
        engine_.tone_setAs(kTone2000);
        sleepFor(0.002);
        if (!engine_.getConnectionStatus()) {
            logInfo("--connect Main, isReaderConnected=NO <<");
            return {};
        }
        engine_.tone_resume();
    }
    logInfo("--connect Main <<");
    return {notes::kDidConnect, {}};
}

} // namespace tavlo::jackmag
