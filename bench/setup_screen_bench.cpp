// Drawing the store set-up screen: one frame at the pad's 1024x768 as the window draws it (the
// goal is under 4 ms), alone and under the wait overlay.
#include "core/session/DBHelper.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/shell/SettingsViewController.h"
#include "support/TempHome.h"
#include "support/ui/Harness.h"

#include "FrameBench.h"

#include <benchmark/benchmark.h>

using namespace tavlo;
using namespace tavlo::ui;
using namespace tavlo::screens;

using tavlo::bench::drawFrames;

namespace {

// The set-up screen on the pad with a store typed in, on an empty local store.
struct SetupOnThePad {
    tavlo::test::TempHome home;
    ui::test::Harness h{DeviceIdiom::Tablet};
    std::shared_ptr<SettingsViewController> settings = std::make_shared<SettingsViewController>();
    SetupOnThePad() {
        registerSettingsView();
        h.show(settings);
        h.type(*settings->textStoreId(), "1042");
        h.type(*settings->textStorePassword(), "secret");
        h.type(*settings->textStoreGateway(), "till-1");
    }
    ~SetupOnThePad() {
        ActivityIndicator::hide();
        h.runUntilIdle();
        DBHelper::closeSharedStore();
    }
};

void BM_FrameOfTheSetupScreen(benchmark::State& state) {
    SetupOnThePad screen;
    drawFrames(state, screen.h);
}
BENCHMARK(BM_FrameOfTheSetupScreen)->Unit(benchmark::kMillisecond);

void BM_FrameOfTheSetupScreenUnderTheOverlay(benchmark::State& state) {
    SetupOnThePad screen;
    ActivityIndicator::show(screen.settings->view(), false);
    drawFrames(state, screen.h);
}
BENCHMARK(BM_FrameOfTheSetupScreenUnderTheOverlay)->Unit(benchmark::kMillisecond);

} // namespace
