#pragma once

#include "readers/ReplyAudio.h"
#include "support/FakeAudio.h"

#include <functional>
#include <mutex>
#include <optional>

namespace tavlo::test {

// A card reader on the other end of the fake headset jack. It hears every WAV the driver plays,
// recognises commands by their four-tone modulation (decoded here, independently of the driver)
// and answers through `answer` with reply audio queued into the fake input; tones are reported
// by their frequency to `answerTone`. A swipe is audio the reader sends on its own.
class ReaderSimulator {
public:
    explicit ReaderSimulator(FakeAudioSession& session);
    ~ReaderSimulator();

    std::function<std::optional<Bytes>(const Bytes& command)> answer;
    std::function<std::optional<Bytes>(int frequency)> answerTone;
    ReplyAudioOptions audio;

    // Every command heard, in order.
    std::vector<Bytes> commands() const;
    // Sends bytes to the device (as the reader does after a swipe).
    void send(const Bytes& bytes);

    // The command in a 24000 Hz stereo WAV of the command modulation; nothing for a tone.
    static std::optional<Bytes> decodeCommand(const Bytes& wav);
    // The frequency of a tone WAV (its first period), 0 when it is not one.
    static int toneFrequency(const Bytes& wav);

private:
    void heard(const Bytes& wav);

    FakeAudioSession& session_;
    mutable std::mutex mutex_;
    std::vector<Bytes> commands_;
};

// CRC-16 (polynomial 0x1021) bit by bit, as the reader checks the firmware.
uint16_t readerCrc(uint16_t crc, const Bytes& bytes);

} // namespace tavlo::test
