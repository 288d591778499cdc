#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The test side of the audio-jack link: what the reader sends back, made here independently of
// the driver, and the WAV files the fixtures go through (sox reads and writes them).
namespace tavlo::test {

using Bytes = std::vector<uint8_t>;

struct ReplyAudioOptions {
    bool inverted = false; // the reader's wiring turns the signal upside down
    int amplitude = 110;   // distance of the high and low levels from the middle, 8-bit
    int leadIn = 48;       // alternating half-bits before the preamble (the envelope settles)
    int leadFrames = 2;
    size_t silenceBefore = 960;
    size_t silenceAfter = 2400;
};

// The reader-to-device framing as half-bits (+1 high, -1 low): preamble, polarity mark, lead
// frames, the sync pair twice, then two nibble frames a byte.
std::vector<int8_t> replyHalfBits(const Bytes& bytes, const ReplyAudioOptions& options = {});
// The half-bits as 8-bit mono samples at 48000 Hz, five a half-bit; a change of level passes
// through the middle for one sample.
Bytes halfBitSamples(const std::vector<int8_t>& halfBits, const ReplyAudioOptions& options = {});
Bytes replySamples(const Bytes& bytes, const ReplyAudioOptions& options = {});

// A PCM WAV file of 8-bit samples and the samples of one (its "data" chunk).
Bytes wavFile(const Bytes& samples, uint32_t rate, uint16_t channels);
Bytes wavData(const Bytes& file);
Bytes readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const Bytes& bytes);

// Runs sox with the arguments; answers its exit status.
int runSox(const std::string& arguments);
// A fresh folder under the build's test output.
std::filesystem::path scratchFolder(const std::string& name);

} // namespace tavlo::test
