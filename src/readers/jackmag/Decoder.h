#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tavlo::jackmag {

// Decodes track 2 of a magnetic stripe from a recording of the raw head signal (two-frequency
// coherent-phase coding) in a WAV file of 16-bit signed little-endian PCM: the characters from
// the start sentinel ';' through the end sentinel '?', or an error text. A swipe in either
// direction reads; a track is kept only when its longitudinal check character matches.
class Decoder {
public:
    explicit Decoder(const std::filesystem::path& soundFile);

    // The track ("" when the file is empty or missing; "Error:..." texts on failure).
    std::string decode();

private:
    std::vector<int32_t> amplitudes() const;
    static std::vector<uint8_t> bits(const std::vector<int32_t>& amplitudes);
    static std::string track2(const std::vector<uint8_t>& bits);

    std::vector<uint8_t> soundData_;
};

} // namespace tavlo::jackmag
