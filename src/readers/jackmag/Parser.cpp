#include "readers/jackmag/Parser.h"

#include "readers/jackmag/ReaderLog.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

namespace tavlo::jackmag {

namespace {

constexpr int kSilenceSpan = 78;      // envelope spread below which the input is silence
constexpr int kSilenceSkip = 15;      // samples skipped after a silent one
constexpr double kNoChangeLimit = 30; // samples without change that end a burst (2 x B x 3)
constexpr size_t kSoundEntries = 200; // entries of a burst that count as sound

constexpr std::array<int8_t, 8> kPreamble = {1, -1, -1, 1, 1, -1, -1, 1};
constexpr std::array<int8_t, 10> kLeadFrame = {1, 1, -1, -1, 1, 1, -1, -1, 1, -1};
constexpr std::array<int8_t, 10> kSyncFrame = {1, -1, 1, 1, -1, 1, -1, -1, 1, -1};
constexpr size_t kNibbleEntries = 10;
constexpr size_t kByteEntries = 2 * kNibbleEntries;

// The pattern (given for hi = +1) at position p, with every entry multiplied by hi.
template <size_t N>
bool matchesAt(const AByteList& entries, size_t p, const std::array<int8_t, N>& pattern, int8_t hi) {
    if (entries.size() < p + N) return false;
    for (size_t k = 0; k < N; ++k) {
        if (entries.get(p + k) != pattern[k] * hi) return false;
    }
    return true;
}

// One nibble of ten entries: start hi, four bits least significant first, stop lo.
std::optional<uint8_t> readNibble(const AByteList& entries, size_t p, int8_t hi) {
    if (entries.get(p) != hi || entries.get(p + 9) != -hi) return std::nullopt;
    uint8_t value = 0;
    for (int bit = 0; bit < 4; ++bit) {
        int8_t first = entries.get(p + 1 + 2 * bit);
        int8_t second = entries.get(p + 2 + 2 * bit);
        if (first == second) return std::nullopt;
        if (first == hi) value |= static_cast<uint8_t>(1 << bit);
    }
    return value;
}

uint8_t logByte(int value) { return static_cast<uint8_t>(std::clamp(value + 128, 0, 255)); }

} // namespace

Parser::Parser(ParserClient* client, std::string pathPrefix) : client_(client), outFilePrefix_(std::move(pathPrefix)) {
    purge();
}

void Parser::setLog(bool log, bool all) {
    log_ = log;
    logAll_ = all;
}

void Parser::purge() {
    envP_ = 0;
    envN_ = 0;
    silenceSkip_ = 0;
    sdInited_ = false;
    soundReported_ = false;
    sdList_ = AByteList();
    sdDebug_ = SDEntryList();
    lastBurst_ = AByteList();
    sampleIndex_ = 0;
    for (auto* log : {&logInput_, &logEnvP_, &logEnvN_, &logThrP_, &logThrN_, &logHML_}) log->clear();
}

std::optional<Bytes> Parser::parseWaveData(const uint8_t* samples, size_t count) {
    if (log_) logInput_.emplace_back(samples, samples + count);
    lineToHML(samples, count);
    auto bytes = hmlToSd();
    sampleIndex_ += static_cast<int32_t>(count);
    return bytes;
}

std::optional<Bytes> Parser::parseLevels(const std::vector<int8_t>& levels) {
    levels_ = levels;
    auto bytes = hmlToSd();
    sampleIndex_ += static_cast<int32_t>(levels.size());
    return bytes;
}

// Stage 1. Samples are read around the middle level 128, so that silence is 0 and the two
// envelopes start from it.
void Parser::lineToHML(const uint8_t* samples, size_t count) {
    levels_.assign(count, 0);
    bool keepStages = log_ && logAll_;
    Bytes envP, envN, thrP, thrN;
    if (keepStages) {
        for (auto* b : {&envP, &envN, &thrP, &thrN}) b->assign(count, 128);
    }
    int p = envP_;
    int n = envN_;
    for (size_t i = 0; i < count; ++i) {
        if (silenceSkip_ > 0) {
            --silenceSkip_;
            continue;
        }
        int s = static_cast<int>(samples[i]) - 128;
        if (s < 0) {
            n = s > n ? 19 * n / 20 + s / 20 : n / 2 + s / 2;
        } else {
            p = s < p ? 19 * p / 20 + s / 20 : p / 2 + s / 2;
        }
        if (p - n >= kSilenceSpan) {
            int t = (p - n) / 3;
            int upper = n + 2 * t;
            int lower = n + t;
            levels_[i] = s > upper ? 1 : s < lower ? -1 : 0;
            if (keepStages) {
                thrP[i] = logByte(upper);
                thrN[i] = logByte(lower);
            }
        } else {
            silenceSkip_ = kSilenceSkip;
        }
        if (keepStages) {
            envP[i] = logByte(p);
            envN[i] = logByte(n);
        }
    }
    envP_ = static_cast<int16_t>(p);
    envN_ = static_cast<int16_t>(n);
    if (keepStages) {
        Bytes hml(count);
        for (size_t i = 0; i < count; ++i) hml[i] = logByte(levels_[i] * 100);
        logEnvP_.push_back(std::move(envP));
        logEnvN_.push_back(std::move(envN));
        logThrP_.push_back(std::move(thrP));
        logThrN_.push_back(std::move(thrN));
        logHML_.push_back(std::move(hml));
    }
}

// Stage 2: the start of a burst. From a middle level it starts at the next non-zero one; from a
// high or low level it starts 10 samples (two half-bits) before the end of that run.
size_t Parser::hmlToSdInit(size_t start) {
    sdList_ = AByteList();
    sdDebug_ = SDEntryList();
    noChangeCounter_ = 0;
    accum_ = 0;
    accumNext_ = 0;
    size_t count = levels_.size();
    size_t i = start;
    if (i < count && levels_[i] == 0) {
        while (i < count && levels_[i] == 0) ++i;
    } else if (i < count) {
        int8_t level = levels_[i];
        while (i < count && levels_[i] == level) ++i;
        if (i >= count) return count;
        i = i >= start + 10 ? i - 10 : start;
    }
    if (i >= count) return count;
    sdInited_ = true;
    sdLevel_ = levels_[i] > 0 ? 1 : -1;
    lastLineLevel_ = levels_[i];
    return i;
}

// A run ends: its level once, twice when it lasted longer than one and a half half-bits.
void Parser::endRun() {
    double cut = 1.5 * samplingRate_ / baud_;
    bool resolve = sdLevel_ > 0 ? thresholdResolveHigh_ : thresholdResolveLow_;
    if (accum_ > cut || (accum_ == cut && resolve)) sdList_.add(sdLevel_);
    sdList_.add(sdLevel_);
    if (log_ && logAll_) sdDebug_.updateAcc(accum_);
}

std::optional<Bytes> Parser::endBurst() {
    endRun();
    sdInited_ = false;
    lastBurst_ = std::move(sdList_);
    sdList_ = AByteList();
    return sdToBytes(lastBurst_);
}

std::optional<Bytes> Parser::hmlToSd() {
    size_t count = levels_.size();
    size_t i = 0;
    if (!sdInited_) i = hmlToSdInit(0);
    while (i < count) {
        int8_t h = levels_[i];
        if (h == 0) {
            accum_ += 0.5;
            accumNext_ += 0.5;
        } else if (h == lastLineLevel_) {
            accum_ += 1;
        } else if (h == sdLevel_) {
            accum_ += accumNext_ + 1;
            accumNext_ = 0;
        } else {
            endRun();
            if (log_ && logAll_) sdDebug_.add(sampleIndex_ + static_cast<int32_t>(i));
            if (sdList_.size() > kSoundEntries && !soundReported_) {
                soundReported_ = true;
                if (client_) client_->soundDetected();
            }
            accum_ = accumNext_ + 1;
            accumNext_ = 0;
            sdLevel_ = h;
        }
        noChangeCounter_ = h == lastLineLevel_ ? noChangeCounter_ + 1 : 0;
        lastLineLevel_ = h;
        if (noChangeCounter_ > kNoChangeLimit) {
            if (auto bytes = endBurst()) return bytes;
            i = hmlToSdInit(i);
            continue;
        }
        ++i;
    }
    return std::nullopt;
}

// Stage 3.
std::optional<Bytes> Parser::sdToBytes(const AByteList& entries) {
    size_t count = entries.size();
    size_t p = 0;
    while (true) {
        size_t found = p;
        while (found + kPreamble.size() <= count && !matchesAt(entries, found, kPreamble, 1)) ++found;
        if (found + kPreamble.size() > count) return std::nullopt;
        p = found + kPreamble.size();
        if (count - p < 31) return std::nullopt;

        int8_t hi;
        if (entries.get(p) == -1) {
            hi = 1;
            p += 1;
        } else if (entries.get(p + 1) == -1 && entries.get(p + 2) == 1) {
            hi = -1;
            p += 3;
        } else {
            continue;
        }
        while (matchesAt(entries, p, kLeadFrame, hi)) p += kLeadFrame.size();
        if (!matchesAt(entries, p, kSyncFrame, hi) || !matchesAt(entries, p + kSyncFrame.size(), kSyncFrame, hi)) {
            continue;
        }
        p += 2 * kSyncFrame.size();

        Bytes bytes;
        bool violated = false;
        while (count - p >= kByteEntries) {
            auto high = readNibble(entries, p, hi);
            auto low = high ? readNibble(entries, p + kNibbleEntries, hi) : std::nullopt;
            if (!low) {
                violated = true;
                break;
            }
            bytes.push_back(static_cast<uint8_t>(*high << 4 | *low));
            p += kByteEntries;
        }
        if (violated) continue;
        if (bytes.empty()) return std::nullopt;
        if (client_ && !client_->processParsedData(bytes)) return bytes;
        return std::nullopt;
    }
}

void Parser::saveLoggedData() {
    if (!log_) return;
    writeToFile(".wav", logInput_, 1);
    if (!logAll_) return;
    writeToFile("_envP.wav", logEnvP_, 1);
    writeToFile("_envN.wav", logEnvN_, 1);
    writeToFile("_thrP.wav", logThrP_, 1);
    writeToFile("_thrN.wav", logThrN_, 1);
    writeToFile("_hml.wav", logHML_, 1);
}

bool Parser::writeToFile(const std::string& suffix, const std::vector<Bytes>& data, int byteDepth) {
    std::string path = format("%@%@", outFilePrefix_, suffix);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        logWarning("write log: file open failed %@", path);
        return false;
    }
    size_t size = 0;
    for (const auto& buffer : data) size += buffer.size();
    Bytes header = wavHeader(static_cast<uint32_t>(size), kRecordSampleRate, 1, static_cast<uint16_t>(byteDepth));
    bool ok = std::fwrite(header.data(), 1, header.size(), file) == header.size();
    for (const auto& buffer : data) {
        if (ok && !buffer.empty()) ok = std::fwrite(buffer.data(), 1, buffer.size(), file) == buffer.size();
    }
    if (!ok) logWarning("write log: write failed. ferror: %d", std::ferror(file));
    if (std::fclose(file) != 0) ok = false;
    return ok;
}

} // namespace tavlo::jackmag
