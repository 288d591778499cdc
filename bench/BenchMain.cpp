// The benches' main: each measures its work in a process set up as the terminal's (its heap in
// large pages, as the terminal's main puts it).
#include "platform/foundation/LargePages.h"

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    tavlo::useLargeHeapPages(argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
