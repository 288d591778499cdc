// The program the item flow's window test runs under Xvfb: the steak's flow (seat and course, its
// temperature, two included sides, the salad's dressing) on a pad, in a real window.
//   flow_window_helper RESULT_FILE SHOT_PREFIX
// Each time another screen of the flow comes up it writes what the window shows to
// SHOT_PREFIX<n>.png (n from 1) and prints "screen <title>", so that the test clicks only once the
// screen is there. When the flow ends it writes the finished line to RESULT_FILE and exits.
#include "../ItemFlowTerminal.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/render/ScreenWindow.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace tavlo;
using namespace tavlo::ui;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s RESULT_FILE SHOT_PREFIX\n", argv[0]);
        return 2;
    }
    const std::string resultPath = argv[1], shotPrefix = argv[2];
    RunLoop::main();
    auto app = std::make_shared<Application>(DeviceIdiom::Tablet);
    Application::install(app);
    screens::test::ItemFlowTerminal terminal;
    app->window().setRootViewController(terminal.host);
    app->window().makeKeyAndVisible();

    Error error;
    auto window = render::ScreenWindow::open(*app, "Tavlo item flow", &error);
    if (!window) {
        std::fprintf(stderr, "%s\n", error.localizedDescription().c_str());
        return 1;
    }
    terminal.onFinished = [&](const Selection& line) {
        // Written whole, then renamed: the test never reads half a file.
        const std::string partial = resultPath + ".partial";
        std::ofstream(partial) << screens::test::ItemFlowTerminal::describe(line) << "\n";
        std::filesystem::rename(partial, resultPath);
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
        window->displayNow();
        window->screenshot().writePng(shotPrefix + std::to_string(++screensShown) + ".png");
        std::printf("screen %s\n", title.value_or("").c_str());
        std::fflush(stdout);
    });
    RunLoop::main().run();
    watch->invalidate();
    return 0;
}
