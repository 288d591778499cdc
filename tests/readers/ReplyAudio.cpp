#include "readers/ReplyAudio.h"

#include "platform/audio/WavFile.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <sys/wait.h>

namespace tavlo::test {

namespace {

void pushLe(Bytes& out, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

} // namespace

std::vector<int8_t> replyHalfBits(const Bytes& bytes, const ReplyAudioOptions& options) {
    std::vector<int8_t> out;
    auto add = [&](std::initializer_list<int> levels) {
        for (int level : levels) out.push_back(static_cast<int8_t>(level));
    };
    for (int i = 0; i < options.leadIn; ++i) out.push_back(i % 2 == 0 ? 1 : -1);
    add({1, -1, -1, 1, 1, -1, -1, 1}); // preamble
    add({-1});                         // polarity mark
    for (int i = 0; i < options.leadFrames; ++i) add({1, 1, -1, -1, 1, 1, -1, -1, 1, -1});
    for (int i = 0; i < 2; ++i) add({1, -1, 1, 1, -1, 1, -1, -1, 1, -1});
    auto nibble = [&](int value) {
        add({1});
        for (int bit = 0; bit < 4; ++bit) {
            if ((value >> bit) & 1) add({1, -1});
            else add({-1, 1});
        }
        add({-1});
    };
    for (uint8_t b : bytes) {
        nibble(b >> 4);
        nibble(b & 0x0F);
    }
    if (options.inverted) {
        for (auto& level : out) level = static_cast<int8_t>(-level);
    }
    return out;
}

Bytes halfBitSamples(const std::vector<int8_t>& halfBits, const ReplyAudioOptions& options) {
    Bytes out(options.silenceBefore, 128);
    int previous = 0;
    for (int8_t level : halfBits) {
        for (int i = 0; i < 5; ++i) {
            int value = i == 0 && level != previous ? 128 : 128 + level * options.amplitude;
            out.push_back(static_cast<uint8_t>(value));
        }
        previous = level;
    }
    out.insert(out.end(), options.silenceAfter, 128);
    return out;
}

Bytes replySamples(const Bytes& bytes, const ReplyAudioOptions& options) {
    return halfBitSamples(replyHalfBits(bytes, options), options);
}

Bytes wavFile(const Bytes& samples, uint32_t rate, uint16_t channels) {
    Bytes out;
    out.reserve(44 + samples.size());
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(t[i]));
    };
    tag("RIFF");
    pushLe(out, static_cast<uint32_t>(samples.size() + 36), 4);
    tag("WAVE");
    tag("fmt ");
    pushLe(out, 16, 4);
    pushLe(out, 1, 2);
    pushLe(out, channels, 2);
    pushLe(out, rate, 4);
    pushLe(out, rate * channels, 4);
    pushLe(out, channels, 2);
    pushLe(out, 8, 2);
    tag("data");
    pushLe(out, static_cast<uint32_t>(samples.size()), 4);
    out.insert(out.end(), samples.begin(), samples.end());
    return out;
}

Bytes wavData(const Bytes& file) {
    auto pcm = readWav(file);
    if (!pcm) throw std::runtime_error("not a PCM WAV file");
    return pcm->data;
}

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

int runSox(const std::string& arguments) {
    std::string command = "sox -V1 -D " + arguments + " 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::filesystem::path scratchFolder(const std::string& name) {
    auto folder = std::filesystem::path(TAVLO_BINARY_DIR) / "test-output" / "readers" / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

} // namespace tavlo::test
