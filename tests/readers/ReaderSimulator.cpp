#include "readers/ReaderSimulator.h"

#include "platform/audio/WavFile.h"

namespace tavlo::test {

namespace {

// Frames per period of each square period in the first channel, in order.
std::vector<size_t> periodLengths(const WavPcm& info) {
    std::vector<size_t> lengths;
    size_t step = info.channels;
    size_t frames = info.data.size() / step;
    size_t i = 0;
    auto sample = [&](size_t frame) { return info.data[frame * step]; };
    while (i < frames && sample(i) == 128) {
        size_t start = i++;
        while (i < frames && sample(i) != 128) ++i; // first half
        if (i >= frames) break;
        ++i;                                        // middle
        while (i < frames && sample(i) != 128) ++i; // second half
        lengths.push_back(i - start);
    }
    return lengths;
}

} // namespace

ReaderSimulator::ReaderSimulator(FakeAudioSession& session) : session_(session) {
    session_.onPlay = [this](const Bytes& wav) { heard(wav); };
}

ReaderSimulator::~ReaderSimulator() { session_.onPlay = nullptr; }

std::vector<Bytes> ReaderSimulator::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

void ReaderSimulator::send(const Bytes& bytes) { session_.queueInput(replySamples(bytes, audio)); }

void ReaderSimulator::heard(const Bytes& wav) {
    if (auto command = decodeCommand(wav)) {
        {
            std::lock_guard lock(mutex_);
            commands_.push_back(*command);
        }
        if (answer) {
            if (auto reply = answer(*command)) send(*reply);
        }
        return;
    }
    int frequency = toneFrequency(wav);
    if (frequency > 0 && answerTone) {
        if (auto reply = answerTone(frequency)) send(*reply);
    }
}

std::optional<Bytes> ReaderSimulator::decodeCommand(const Bytes& wav) {
    auto info = readWav(wav);
    if (!info || info->sampleRate != 24000 || info->channels != 2) return std::nullopt;
    std::vector<size_t> lengths = periodLengths(*info);
    size_t p = 0;
    while (p < lengths.size() && lengths[p] == 12) ++p;
    if (p < 100) return std::nullopt; // a command opens with a long carrier
    std::vector<int> symbols;
    while (p + 10 <= lengths.size() && lengths[p] != 12) {
        int symbol = lengths[p] == 10 ? 0 : lengths[p] == 8 ? 1 : lengths[p] == 7 ? 2 : lengths[p] == 6 ? 3 : -1;
        if (symbol < 0) return std::nullopt;
        for (size_t k = 0; k < 10; ++k) {
            if (lengths[p + k] != lengths[p]) return std::nullopt;
        }
        symbols.push_back(symbol);
        p += 10;
    }
    if (symbols.size() % 4 != 0 || symbols.size() < 24) return std::nullopt;
    Bytes bytes;
    for (size_t s = 0; s < symbols.size(); s += 4) {
        bytes.push_back(
            static_cast<uint8_t>(symbols[s] | symbols[s + 1] << 2 | symbols[s + 2] << 4 | symbols[s + 3] << 6));
    }
    if (Bytes(bytes.begin(), bytes.begin() + 6) != Bytes{0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00}) return std::nullopt;
    return Bytes(bytes.begin() + 6, bytes.end());
}

int ReaderSimulator::toneFrequency(const Bytes& wav) {
    auto info = readWav(wav);
    if (!info) return 0;
    std::vector<size_t> lengths = periodLengths(*info);
    if (lengths.size() < 10) return 0;
    return static_cast<int>(info->sampleRate / lengths[0]);
}

uint16_t readerCrc(uint16_t crc, const Bytes& bytes) {
    for (uint8_t b : bytes) {
        crc ^= static_cast<uint16_t>(b << 8);
        for (int i = 0; i < 8; ++i) crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

} // namespace tavlo::test
