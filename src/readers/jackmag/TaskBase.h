#pragma once

#include "platform/foundation/Operation.h"
#include "readers/jackmag/JackMagEngine.h"
#include "readers/jackmag/Parser.h"

#include <any>
#include <memory>
#include <string>

namespace tavlo::jackmag {

// How a task ended: the notification to post (none when the name is empty) and its object.
struct TaskResult {
    std::string name;
    std::any object;
};

// What one recording gave.
struct RecordResult {
    enum Status { TimedOut = 0, Decoded = 1, NoAudioInput = 2, Cancelled = 3 };
    Status status = TimedOut;
    Bytes bytes;
    // Cancelled: the task ends at once without a notification. (Without audio input a recording
    // waits out its time and times out.)
    bool endsTask() const { return status == NoAudioInput || status == Cancelled; }
};

// One exchange with the reader, run on the engine's task queue: play a command as sound,
// record the answer for a bounded time, decode it and judge it; the task ends with one
// notification that the engine posts on the main thread.
class TaskBase : public Operation, public ParserClient {
public:
    explicit TaskBase(JackMagEngine& engine) : engine_(engine) {}

    void setArgs(TaskArgs args) { ta_ = std::move(args); }
    void main() override;

    // A decoded answer: the base takes the first one (false: stop recording).
    bool processParsedData(const Bytes& bytes) override;
    void soundDetected() override {}

protected:
    virtual std::string taskTag() const { return ""; }
    // A task whose recording may hold a swipe: neither its sound nor its bytes are ever written
    // down, whatever the debugging switches say.
    virtual bool mayHearSwipe() const { return false; }
    virtual TaskResult taskMain() { return {}; }
    virtual void taskCleanUp() {}

    void umToneSaveAndStop();
    void umToneRestore();
    // Plays the command (hexadecimal text or bytes) at full volume; the player while it plays.
    std::unique_ptr<AudioPlayer> playCmd(const std::string& hex, int closing = kClosingCommand);
    std::unique_ptr<AudioPlayer> playCmdBytes(const Bytes& bytes, int closing = kClosingCommand);
    // Records for `duration` seconds of the clock (0: until cancelled) or until the answer.
    RecordResult recordDecode(double duration);
    // Sleeps on the clock.
    static void sleepFor(double seconds);

    JackMagEngine& engine_;
    TaskArgs ta_;
    int savedTone_ = 0;
};

} // namespace tavlo::jackmag
