// A picture on its way to a receipt printer: a 576 x 2000 picture (the printer's full width, a
// long receipt logo or a page) dithered, then packed into each band layout the printers take.
// The dithering rewrites the pixels, so each round starts from a fresh copy (not timed).
#include "printerlib/iControlMisc.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

using namespace tavlo;
using namespace tavlo::printerlib;

constexpr long kWidth = 576;
constexpr long kHeight = 2000;

// A grey ramp across, with darker stripes down: every grey a dithering meets.
std::vector<uint8_t> picture() {
    std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
    for (long y = 0; y < kHeight; ++y)
        for (long x = 0; x < kWidth; ++x) {
            uint8_t* p = &pixels[(static_cast<size_t>(y) * kWidth + x) * 4];
            const auto grey = static_cast<uint8_t>((x * 255 / (kWidth - 1)) * ((y / 50) % 2 ? 1 : 2) / 2);
            p[0] = p[1] = p[2] = grey;
            p[3] = 255;
        }
    return pixels;
}

void setPixels(benchmark::State& state) { state.SetItemsProcessed(state.iterations() * kWidth * kHeight); }

void BM_Dither(benchmark::State& state) {
    const std::vector<uint8_t> original = picture();
    std::vector<uint8_t> pixels;
    for (auto _ : state) {
        state.PauseTiming();
        pixels = original;
        state.ResumeTiming();
        iControlMisc::makeDiffusionImageData(pixels, kWidth, kHeight, 50, false);
        benchmark::DoNotOptimize(pixels.data());
    }
    setPixels(state);
}
BENCHMARK(BM_Dither)->Unit(benchmark::kMillisecond);

std::vector<uint8_t> dithered() {
    std::vector<uint8_t> pixels = picture();
    iControlMisc::makeDiffusionImageData(pixels, kWidth, kHeight, 50, false);
    return pixels;
}

void BM_RasterBands(benchmark::State& state) {
    const std::vector<uint8_t> pixels = dithered();
    for (auto _ : state) benchmark::DoNotOptimize(iControlMisc::makeMonoGsvData(pixels, kWidth, kHeight, 50, true));
    setPixels(state);
}
BENCHMARK(BM_RasterBands)->Unit(benchmark::kMillisecond);

void BM_ColumnBands(benchmark::State& state) {
    const std::vector<uint8_t> pixels = dithered();
    for (auto _ : state) benchmark::DoNotOptimize(iControlMisc::makeMonoImageData(pixels, kWidth, kHeight, 50));
    setPixels(state);
}
BENCHMARK(BM_ColumnBands)->Unit(benchmark::kMillisecond);

void BM_CompressedBands(benchmark::State& state) {
    const std::vector<uint8_t> pixels = dithered();
    for (auto _ : state)
        benchmark::DoNotOptimize(iControlMisc::makeCompressImageData(pixels, kWidth, kHeight, 50, true));
    setPixels(state);
}
BENCHMARK(BM_CompressedBands)->Unit(benchmark::kMillisecond);

// Scaling a picture twice as large down to the printer's width comes first when printing.
void BM_ScaleToPrinterWidth(benchmark::State& state) {
    std::vector<uint8_t> rgba(static_cast<size_t>(kWidth) * 2 * kHeight * 2 * 4, 0x80);
    const PixelImage large(static_cast<int>(kWidth * 2), static_cast<int>(kHeight * 2), std::move(rgba));
    for (auto _ : state) {
        long size = 0;
        benchmark::DoNotOptimize(iControlMisc::rgbaDataFromImage(large, kWidth, kHeight, &size));
    }
    setPixels(state);
}
BENCHMARK(BM_ScaleToPrinterWidth)->Unit(benchmark::kMillisecond);

} // namespace
