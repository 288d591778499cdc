// The program the item flow's window test runs under Xvfb: the steak's flow (seat and course, its
// temperature, two included sides, the salad's dressing) on a pad, in a real window.
//   flow_window_helper RESULT_FILE SHOT_PREFIX
// Each time another screen of the flow comes up it writes what the window shows to
// SHOT_PREFIX<n>.png (n from 1) and prints "screen <title>", so that the test clicks only once the
// screen is there. When the flow ends it writes the finished line to RESULT_FILE and exits.
#include "../ItemFlowTerminal.h"
#include "WindowHelper.h"

#include <cstdio>

using namespace tavlo;
using namespace tavlo::ui;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s RESULT_FILE SHOT_PREFIX\n", argv[0]);
        return 2;
    }
    const std::string resultPath = argv[1], shotPrefix = argv[2];
    auto app = screens::test::window::installPadApplication();
    screens::test::ItemFlowTerminal terminal;
    auto window = screens::test::window::show(*app, terminal.host, "Tavlo item flow");
    if (!window) return 1;
    terminal.onFinished = [&](const Selection& line) {
        screens::test::window::writeResult(resultPath, screens::test::ItemFlowTerminal::describe(line) + "\n");
        RunLoop::main().stop();
    };
    if (!terminal.start("I-STEAK", screens::test::FlowAsks{.seats = true, .courses = true})) return 1;

    std::optional<std::string> shown;
    int screensShown = 0;
    auto watch = RunLoop::main().scheduleTimer(0.05, true, [&] {
        if (!terminal.flowShown()) return;
        std::optional<std::string> title = terminal.host->visibleViewController()->title();
        if (title == shown) return;
        shown = title;
        screens::test::window::writeShot(*window, shotPrefix + std::to_string(++screensShown) + ".png");
        screens::test::window::say("screen " + title.value_or(""));
    });
    RunLoop::main().run();
    watch->invalidate();
    return 0;
}
