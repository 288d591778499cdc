// The audio-jack reader's demodulator on recorded input: ten seconds of 48 kHz 8-bit mono with
// three swipe replies in noise, fed in the recorder's 0.2-second chunks. The counter
// "x_realtime" is seconds of audio demodulated per second (the goal is at least 100).
#include "readers/ReplyAudio.h"
#include "readers/jackmag/Parser.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>

using namespace tavlo;

namespace {

constexpr size_t kRate = 48000;
constexpr size_t kChunk = 9600;

struct KeepListening : jackmag::ParserClient {
    size_t strings = 0;
    bool processParsedData(const jackmag::Bytes&) override {
        ++strings;
        return true;
    }
    void soundDetected() override {}
};

jackmag::Bytes recording(double noiseLevel) {
    std::string track = "%B4111111111111111^BENCH/CARD^2912101000000000000000?;4111111111111111=2912101?\r";
    jackmag::Bytes reply(track.size() + 1, 0x06);
    std::copy(track.begin(), track.end(), reply.begin() + 1);
    jackmag::Bytes audio(kRate * 10, 128);
    test::ReplyAudioOptions options;
    for (size_t at : {kRate, kRate * 4, kRate * 7}) {
        options.inverted = !options.inverted;
        jackmag::Bytes samples = test::replySamples(reply, options);
        std::copy(samples.begin(), samples.end(), audio.begin() + static_cast<long>(at));
    }
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, noiseLevel);
    for (auto& s : audio) s = static_cast<uint8_t>(std::clamp(s + noise(random), 0.0, 255.0));
    return audio;
}

void demodulate(benchmark::State& state) {
    jackmag::Bytes audio = recording(static_cast<double>(state.range(0)));
    size_t decoded = 0;
    for (auto _ : state) {
        KeepListening client;
        jackmag::Parser parser(&client, "");
        for (size_t at = 0; at < audio.size(); at += kChunk) {
            benchmark::DoNotOptimize(parser.parseWaveData(audio.data() + at, std::min(kChunk, audio.size() - at)));
        }
        decoded = client.strings;
    }
    state.counters["replies"] = static_cast<double>(decoded);
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(audio.size()) / kRate * state.iterations(), benchmark::Counter::kIsRate);
}

} // namespace

// Argument: the noise's standard deviation in 8-bit steps (0: a clean line).
BENCHMARK(demodulate)->Arg(0)->Arg(8)->Unit(benchmark::kMillisecond);
