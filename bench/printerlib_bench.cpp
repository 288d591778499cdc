// The printer library's own work on every byte a printer sends or is sent: status blocks read on
// the read thread, replies framed out of the receive queue, and text converted to code page 949.
#include "printerlib/RecvQueue.h"
#include "printerlib/TextEncoding.h"
#include "printerlib/iController.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace tavlo::printerlib;

namespace {

// A read buffer full of status blocks (the printer's automatic status back at its busiest).
void BM_StatusBlocksOfAFullRead(benchmark::State& state) {
    iController controller;
    std::vector<uint8_t> blocks;
    for (int i = 0; i < iController::kReadBufferSize / 4; ++i) {
        uint8_t paper = static_cast<uint8_t>(i % 2); // the state changes on every block
        blocks.insert(blocks.end(), {0x10, 0x00, paper, 0x0F});
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(controller.processDataStatus(blocks.data(), static_cast<long>(blocks.size())));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(blocks.size()));
}
BENCHMARK(BM_StatusBlocksOfAFullRead);

// Memory-switch replies ("7", the number, 8 settings, a zero byte) behind some noise, framed
// out of the queue one by one.
void BM_FramedRepliesFromTheQueue(benchmark::State& state) {
    RecvQueue queue;
    std::vector<uint8_t> replies;
    const int count = static_cast<int>(state.range(0));
    for (int i = 0; i < count; ++i)
        replies.insert(replies.end(), {0x01, 0x37, 0x01, '1', '0', '1', '0', '0', '0', '0', '0', 0x00});
    uint8_t frame[16];
    for (auto _ : state) {
        queue.push(replies.data(), static_cast<long>(replies.size()));
        for (int i = 0; i < count; ++i) benchmark::DoNotOptimize(queue.popValue(frame, sizeof frame, 0, 0x37));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * count);
}
BENCHMARK(BM_FramedRepliesFromTheQueue)->Arg(1)->Arg(64);

// One receipt line of Korean text in code page 949.
void BM_KoreanLineInCodePage949(benchmark::State& state) {
    std::string line;
    for (int i = 0; i < 20; ++i) line += "영수증";
    for (auto _ : state) benchmark::DoNotOptimize(encodeText(line, StringEncodingDOSKorean));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(line.size()));
}
BENCHMARK(BM_KoreanLineInCodePage949);

} // namespace
