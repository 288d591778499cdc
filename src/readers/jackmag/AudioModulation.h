#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The sound the device plays into the headset jack to drive the audio-jack card reader: square
// tones, the four-tone command modulation, WAV framing, and the CRC of the firmware update.
// Buffers are 8-bit unsigned PCM with 128 as the middle level; a stereo frame carries the two
// channels in opposite phase.
namespace tavlo::jackmag {

using Bytes = std::vector<uint8_t>;

constexpr int kCommandSampleRate = 24000; // command and tone WAVs: stereo
constexpr int kRecordSampleRate = 48000;  // the microphone input and the JackLink mode: mono
constexpr int kCarrierFrequency = 2000;
constexpr size_t kWavHeaderSize = 44;
// Closing carrier lengths (in units of 40 carrier periods) of the command modulator.
constexpr int kClosingCommand = 18;
constexpr int kClosingBootloader = 100;
constexpr int kClosingFirmwareBlock = 150;

void appendLe32(Bytes& out, uint32_t value);
void appendLe16(Bytes& out, uint16_t value);

// The 44-byte header of a PCM WAV file holding `dataSize` bytes of samples.
Bytes wavHeader(uint32_t dataSize, uint32_t sampleRate, uint16_t channels, uint16_t bytesPerSample);
inline Bytes wavHeader8(uint32_t dataSize, uint32_t sampleRate, uint16_t channels) {
    return wavHeader(dataSize, sampleRate, channels, 1);
}

// Bytes of one period of a square tone: round(rate / frequency) frames, twice that for stereo.
size_t periodLength(int frequency, int rate, bool stereo);
// Appends one period: a middle frame, the first half, a middle frame, the second half. With
// polarity the first half is low (mono 1, stereo 1/255) and the second high.
void appendSquareTonePeriod(Bytes& out, int frequency, int rate, bool stereo, bool polarity);

// The tone of each 2-bit symbol: 2400, 3000, 3400 and 4000 Hz.
int symbolFrequency(uint8_t symbol);
// Four 2-bit symbols a byte, bits 0-1 first.
std::vector<uint8_t> splitSymbols(const Bytes& bytes);
// Sample bytes of the symbols' stereo periods at `rate` (one period each).
size_t symbolDataSize(const std::vector<uint8_t>& symbols, int rate);

// A complete 24000 Hz stereo WAV: 720 carrier periods, the preamble FF 00 FF 00 FF 00, the
// bytes (each symbol ten periods of its tone), then 40 x closing carrier periods.
Bytes modulateCommand(const Bytes& bytes, int closing = kClosingCommand);
// A complete 48000 Hz mono WAV of the JackLink mode: a wake tone, then nibble frames of levels.
Bytes modulateJackLink(const Bytes& bytes);

// CRC-16, polynomial 0x1021, no reflection, no final XOR; the table is built on first use.
const std::array<uint16_t, 256>& crcTable();
uint16_t crcUpdate(uint16_t crc, uint8_t byte);
uint16_t crcUpdate(uint16_t crc, const uint8_t* bytes, size_t count);

// 0-15 for a hexadecimal digit ('a'-'f' and 'A'-'F' give 10-15), -1 for anything else.
int hexDigitValue(char c);
// Two digits a byte, high digit first; odd length or any other character gives nothing.
std::optional<Bytes> bytesFromHex(std::string_view hex);

} // namespace tavlo::jackmag
