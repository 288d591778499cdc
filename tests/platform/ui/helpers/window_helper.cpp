// The program the window test runs under Xvfb: the field-and-button screen in a real window.
//   ui_window_helper RESULT_FILE SCREENSHOT_FILE
// Prints "ready" once the window is open and "editing" when the field takes the keyboard. Save
// writes what the window shows to SCREENSHOT_FILE, then "field=<text>" and "pressed=1" to
// RESULT_FILE. Runs until it is closed or killed.
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/render/ScreenWindow.h"
#include "support/ui/FieldAndButtonScreen.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace tavlo;
using namespace tavlo::ui;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s RESULT_FILE SCREENSHOT_FILE\n", argv[0]);
        return 2;
    }
    std::string resultPath = argv[1], screenshotPath = argv[2];
    RunLoop::main();
    auto app = std::make_shared<Application>(DeviceIdiom::Tablet);
    Application::install(app);
    auto controller = std::make_shared<test::FieldAndButtonController>();
    app->window().setRootViewController(test::makeFieldAndButtonScreen(controller));
    app->window().makeKeyAndVisible();

    Error error;
    auto window = render::ScreenWindow::open(*app, "Tavlo window test", &error);
    if (!window) {
        std::fprintf(stderr, "%s\n", error.localizedDescription().c_str());
        return 1;
    }
    controller->onSave = [&](const std::string& text) {
        window->displayNow();
        window->screenshot().writePng(screenshotPath);
        // Written whole, then renamed: the test never reads half a file.
        std::string partial = resultPath + ".partial";
        std::ofstream(partial) << "field=" << text << "\npressed=1\n";
        std::filesystem::rename(partial, resultPath);
    };
    // The test waits for the field to take the keyboard before it types.
    controller->field().addTarget(
        [](Control&) {
            std::printf("editing\n");
            std::fflush(stdout);
        },
        ControlEvent::EditingDidBegin);
    std::printf("ready\n");
    std::fflush(stdout);
    RunLoop::main().run();
    return 0;
}
