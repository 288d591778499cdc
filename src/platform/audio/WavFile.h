#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tavlo {

// The samples of a PCM WAV file and how they are laid out.
struct WavPcm {
    unsigned channels = 0;
    unsigned sampleRate = 0;
    unsigned bytesPerSample = 0; // 1 (unsigned 8-bit) or 2 (signed 16-bit little-endian)
    std::vector<uint8_t> data;   // whole frames only
    size_t frameBytes() const { return channels * bytesPerSample; }
};

// Reads the "fmt " and "data" chunks of a RIFF WAVE file of 8- or 16-bit PCM; nothing for
// anything else. A data chunk cut short by the end of the file gives what is there.
std::optional<WavPcm> readWav(const std::vector<uint8_t>& file);

} // namespace tavlo
