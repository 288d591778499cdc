#pragma once
// What the programs the window tests run under Xvfb share: a pad application on the main run
// loop, its real window, the lines they say to the test on stdout, the pictures they take and
// the result they leave for it.
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/render/ScreenWindow.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace tavlo::screens::test::window {

// The pad application, installed, with the main run loop made on this thread.
inline std::shared_ptr<ui::Application> installPadApplication() {
    RunLoop::main();
    auto app = std::make_shared<ui::Application>(ui::DeviceIdiom::Tablet);
    ui::Application::install(app);
    return app;
}

// The root screen shown in a window of its own; none, with the reason on stderr, when the display
// has no room for one.
inline std::unique_ptr<ui::render::ScreenWindow> show(ui::Application& app, std::shared_ptr<ui::ViewController> root,
                                                      const std::string& title) {
    app.window().setRootViewController(std::move(root));
    app.window().makeKeyAndVisible();
    Error error;
    auto window = ui::render::ScreenWindow::open(app, title, &error);
    if (!window) std::fprintf(stderr, "%s\n", error.localizedDescription().c_str());
    return window;
}

// A line for the test, which waits for it before it clicks.
inline void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// What the window shows now, as a PNG.
inline void writeShot(ui::render::ScreenWindow& window, const std::string& path) {
    window.displayNow();
    window.screenshot().writePng(path);
}

// The result, written whole and then renamed: the test never reads half a file.
inline void writeResult(const std::string& path, const std::string& text) {
    const std::string partial = path + ".partial";
    std::ofstream(partial) << text;
    std::filesystem::rename(partial, path);
}

} // namespace tavlo::screens::test::window
