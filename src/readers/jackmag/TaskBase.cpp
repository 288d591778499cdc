#include "readers/jackmag/TaskBase.h"

#include "platform/foundation/Clock.h"
#include "readers/jackmag/ReaderLog.h"

namespace tavlo::jackmag {

namespace {
constexpr double kNoInputStep = 0.05;
} // namespace

void TaskBase::main() {
    logInfo("%@task start. %@ mode", taskTag(), "um");
    TaskResult result = taskMain();
    taskCleanUp();
    engine_.setState_runningTask(0);
    logInfo("%@task stop", taskTag());
    if (!result.name.empty()) engine_.postNote(result.name, result.object);
}

bool TaskBase::processParsedData(const Bytes&) { return false; }

void TaskBase::umToneSaveAndStop() {
    if (!engine_.getConnectionStatus()) return;
    savedTone_ = engine_.tone_get();
    engine_.tone_stop();
}

void TaskBase::umToneRestore() {
    if (!engine_.getConnectionStatus()) return;
    engine_.tone_setAs(savedTone_);
    engine_.tone_resume();
}

std::unique_ptr<AudioPlayer> TaskBase::playCmd(const std::string& hex, int closing) {
    return playCmdBytes(bytesFromHex(hex).value_or(Bytes{}), closing);
}

std::unique_ptr<AudioPlayer> TaskBase::playCmdBytes(const Bytes& bytes, int closing) {
    logInfo("to sendCMD: %@", hexEncode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
    Error error;
    auto player = engine_.session().makePlayer(modulateCommand(bytes, closing), &error);
    if (!player) {
        logError("PlayCmd: player init failed: %@", error.localizedDescription());
        return nullptr;
    }
    player->setVolume(1.0f);
    player->play();
    return player;
}

void TaskBase::sleepFor(double seconds) { Clock::currentShared()->sleepFor(seconds); }

namespace {

std::string readBytesText(const Bytes& bytes) {
    if (bytes.size() > 100) {
        auto b = [&](size_t i) { return format("%02X", bytes[i]); };
        size_t n = bytes.size();
        return format("RD: read %ld bytes: [%@%@%@%@%@%@%@%@%@]", static_cast<long>(n), b(0), b(1), b(2), b(3), "...",
                      b(n - 4), b(n - 3), b(n - 2), b(n - 1));
    }
    std::string all;
    for (size_t i = 0; i < bytes.size(); ++i) {
        all = format("%@ %02X", all, bytes[i]);
        if (i % 16 == 15) all += "\n";
    }
    return format("RD: read %ld bytes: \n%@", static_cast<long>(bytes.size()), all);
}

} // namespace

RecordResult TaskBase::recordDecode(double duration) {
    std::shared_ptr<BQ> bq = ta_.bq;
    if (!engine_.session().isInputAvailable() || !bq) {
        // Nothing can be heard: the task waits out its time and ends as a time-out does, so that
        // whoever waits for it hears of it (and does not try again at once).
        logError("RD: audio input not available");
        Date start = Date::now();
        while (!isCancelled() && (duration <= 0 || Date::now().secondsSince(start) < duration)) sleepFor(kNoInputStep);
        if (isCancelled()) return {RecordResult::Cancelled, {}};
        return {RecordResult::TimedOut, {}};
    }
    if (isCancelled()) {
        logInfo("RD: cancelled");
        return {RecordResult::Cancelled, {}};
    }
    Parser parser(this, engine_.rec_getFile());
    parser.setLog(engine_.keepsWavePath() && !mayHearSwipe(), false);
    engine_.rec_start();
    Date start = Date::now();
    std::optional<Bytes> bytes;
    while (!isCancelled() && !(duration > 0 && Date::now().secondsSince(start) >= duration)) {
        if (auto chunk = bq->take()) {
            bytes = parser.parseWaveData(*chunk);
            if (bytes) break;
        }
    }
    engine_.rec_stop();
    parser.saveLoggedData();
    if (isCancelled()) {
        logInfo("RD: cancelled");
        return {RecordResult::Cancelled, {}};
    }
    if (!bytes) {
        logInfo("RD: timed out");
        return {RecordResult::TimedOut, {}};
    }
    if (mayHearSwipe()) logInfo("RD: read %ld bytes", static_cast<long>(bytes->size()));
    else logInfo("%@", readBytesText(*bytes));
    return {RecordResult::Decoded, std::move(*bytes)};
}

} // namespace tavlo::jackmag
