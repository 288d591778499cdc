#pragma once

#include "readers/jackmag/AudioModulation.h"
#include "readers/jackmag/ParserLists.h"

#include <optional>
#include <string>
#include <vector>

namespace tavlo::jackmag {

// The side of a recording that hears what the demodulator finds (the running reader task).
class ParserClient {
public:
    virtual ~ParserClient() = default;
    // A byte string was decoded; answer true to keep listening.
    virtual bool processParsedData(const Bytes& bytes) = 0;
    // The recording holds signal (reported once per parser).
    virtual void soundDetected() = 0;
};

// Turns the reader's answer, recorded as 8-bit mono at 48000 Hz, into bytes. The reader sends
// half-bit levels at 9600 a second; the parser finds them in three stages:
//  1. samples to high, middle and low levels, with an envelope follower and thresholds that
//     follow it (integer arithmetic; silence is skipped 16 samples at a time);
//  2. levels to half-bit entries, one list per burst of signal, measuring each run's length;
//  3. entries to bytes: preamble, polarity, lead frames, sync, then nibble frames.
// State carries over from one chunk to the next. One parser serves one recording.
class Parser {
public:
    Parser(ParserClient* client, std::string pathPrefix);

    // Keep the input (log) and also every stage's output (all) for saveLoggedData().
    void setLog(bool log, bool all);
    void purge();
    // One recorded chunk; answers the bytes the client accepted (it said stop), else nothing.
    std::optional<Bytes> parseWaveData(const uint8_t* samples, size_t count);
    std::optional<Bytes> parseWaveData(const Bytes& chunk) { return parseWaveData(chunk.data(), chunk.size()); }
    // Stages 2 and 3 on levels already sliced (+1, 0, -1): what parseWaveData does after stage 1.
    std::optional<Bytes> parseLevels(const std::vector<int8_t>& levels);
    // The half-bit entries of the last burst handed to stage 3.
    const AByteList& lastBurst() const { return lastBurst_; }
    // Writes what was kept: "<prefix>.wav" and, with every stage, "_envP", "_envN", "_thrP",
    // "_thrN" and "_hml" files beside it.
    void saveLoggedData();

private:
    void lineToHML(const uint8_t* samples, size_t count);
    std::optional<Bytes> hmlToSd();
    size_t hmlToSdInit(size_t start);
    void endRun();
    std::optional<Bytes> endBurst();
    std::optional<Bytes> sdToBytes(const AByteList& entries);
    bool writeToFile(const std::string& suffix, const std::vector<Bytes>& data, int byteDepth);

    ParserClient* client_;
    std::string outFilePrefix_;
    bool log_ = false;
    bool logAll_ = false;
    int samplingRate_ = kRecordSampleRate;
    int baud_ = 9600;
    bool thresholdResolveHigh_ = false;
    bool thresholdResolveLow_ = false;

    int16_t envP_ = 0;
    int16_t envN_ = 0;
    int silenceSkip_ = 0;
    std::vector<int8_t> levels_; // stage 1's output for the chunk at hand

    bool sdInited_ = false;
    AByteList sdList_;
    SDEntryList sdDebug_;
    int8_t sdLevel_ = 0;
    int16_t lastLineLevel_ = 0;
    uint32_t noChangeCounter_ = 0;
    double accum_ = 0;
    double accumNext_ = 0;
    bool soundReported_ = false;
    AByteList lastBurst_;
    int32_t sampleIndex_ = 0; // of the chunk's first sample, counted over the recording

    std::vector<Bytes> logInput_, logEnvP_, logEnvN_, logThrP_, logThrN_, logHML_;
};

} // namespace tavlo::jackmag
