// Drawing the terminal's screens: one frame of the example screen at the pad's 1024x768 (the goal
// is under 4 ms), and the look at an unchanged screen the window takes a few times a second.
#include "platform/ui/NavigationController.h"
#include "platform/ui/render/FingerprintContext.h"
#include "support/ui/GuestListScreen.h"
#include "support/ui/Harness.h"

#include "FrameBench.h"

#include <benchmark/benchmark.h>

using namespace tavlo::ui;
using namespace tavlo::ui::test;

using tavlo::bench::drawFrames;

namespace {

// The guest list with a screenful of guests and a name being typed, on the pad.
struct GuestListOnThePad {
    Harness h{DeviceIdiom::Tablet};
    GuestListOnThePad() {
        registerGuestListView();
        h.show(std::make_shared<NavigationController>(std::make_shared<GuestListViewController>()));
        for (int i = 1; i <= 20; ++i) {
            h.type(h.outlet<TextField>("name"), "Guest number " + std::to_string(i));
            h.tap("Add");
        }
        h.type(h.outlet<TextField>("name"), "Barbara");
    }
};

void BM_FrameOfTheGuestList(benchmark::State& state) {
    GuestListOnThePad screen;
    drawFrames(state, screen.h);
}
BENCHMARK(BM_FrameOfTheGuestList)->Unit(benchmark::kMillisecond);

void BM_FrameOfTheGuestListWithAnAlert(benchmark::State& state) {
    GuestListOnThePad screen;
    screen.h.tapRow(screen.h.outlet<TableView>("table"), {0, 3});
    drawFrames(state, screen.h);
}
BENCHMARK(BM_FrameOfTheGuestListWithAnAlert)->Unit(benchmark::kMillisecond);

// What an idle window pays each time it looks whether anything changed.
void BM_FingerprintOfTheGuestList(benchmark::State& state) {
    GuestListOnThePad screen;
    for (auto _ : state) benchmark::DoNotOptimize(render::fingerprintScreen(screen.h.app()).value);
}
BENCHMARK(BM_FingerprintOfTheGuestList)->Unit(benchmark::kMicrosecond);

} // namespace
