#include "platform/audio/WavFile.h"

#include <algorithm>
#include <cstring>

namespace tavlo {

namespace {

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

uint16_t le16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

} // namespace

std::optional<WavPcm> readWav(const std::vector<uint8_t>& file) {
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(&file[8], "WAVE", 4) != 0) {
        return std::nullopt;
    }
    WavPcm pcm;
    bool isPcm = false;
    size_t at = 12;
    while (at + 8 <= file.size()) {
        uint32_t size = le32(file, at + 4);
        if (std::memcmp(&file[at], "fmt ", 4) == 0 && size >= 16 && at + 24 <= file.size()) {
            isPcm = le16(file, at + 8) == 1;
            pcm.channels = le16(file, at + 10);
            pcm.sampleRate = le32(file, at + 12);
            pcm.bytesPerSample = le16(file, at + 22) / 8u;
        } else if (std::memcmp(&file[at], "data", 4) == 0) {
            bool usable =
                isPcm && pcm.channels > 0 && pcm.sampleRate > 0 && (pcm.bytesPerSample == 1 || pcm.bytesPerSample == 2);
            if (!usable) return std::nullopt;
            size_t start = at + 8;
            size_t end = std::min(file.size(), start + size);
            size_t whole = (end - start) / pcm.frameBytes() * pcm.frameBytes();
            pcm.data.assign(file.begin() + static_cast<long>(start), file.begin() + static_cast<long>(start + whole));
            return pcm;
        }
        at += 8 + static_cast<size_t>(size) + (size & 1);
    }
    return std::nullopt;
}

} // namespace tavlo
