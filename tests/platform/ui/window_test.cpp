// The window on a real display: a program shows the field-and-button screen under Xvfb, xdotool
// clicks and types as a person would, and the test reads what the program saw and what its window
// showed. Skipped, with the reason, where Xvfb or xdotool is missing or Xvfb cannot start.
#include "platform/ui/render/ScreenWindow.h"
#include "platform/ui/render/Snapshot.h"
#include "support/TempHome.h"
#include "support/ui/FieldAndButtonScreen.h"
#include "support/ui/Golden.h"
#include "support/ui/Harness.h"
#include "support/ui/Xvfb.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace tavlo::ui;
using namespace tavlo::ui::test;

TEST(ScreenWindowUnderXvfb, ClicksAndTypingFromXdotoolReachTheFieldAndTheButton) {
    tavlo::test::TempHome home;
    std::string folder = home.path().string();
    XvfbDisplay display(folder + "/xvfb.log");
    if (!display.unavailable().empty()) GTEST_SKIP() << display.unavailable();
    if (findProgram("xdotool").empty())
        GTEST_SKIP() << "xdotool is not installed (scripts/setup installs the package xdotool)";
    std::string displayEnv = display.environment();

    std::string result = folder + "/result.txt", screenshot = folder + "/window.png";
    Child program({TAVLO_WINDOW_HELPER, result, screenshot}, {displayEnv}, true, folder + "/helper.log");
    ASSERT_EQ(program.readLine(20), "ready") << readFile(folder + "/helper.log");

    auto xdo = [&](std::vector<std::string> args) {
        return xdotool(display, std::move(args), folder + "/xdotool.log");
    };
    std::string window = xdo({"search", "--sync", "--onlyvisible", "--name", "Tavlo window test"});
    std::string id = window.substr(0, window.find('\n'));
    ASSERT_FALSE(id.empty());
    xdo({"windowfocus", "--sync", id}); // no window manager gives it the keyboard
    Point field = FieldAndButtonController::kFieldInWindow.center(),
          button = FieldAndButtonController::kButtonInWindow.center();
    xdo({"mousemove", "--sync", "--window", id, std::to_string(int(field.x)), std::to_string(int(field.y)), "click",
         "1"});
    ASSERT_EQ(program.readLine(20), "editing") << readFile(folder + "/helper.log");
    xdo({"type", "--delay", "40", "Ada 12"});
    xdo({"key", "BackSpace"});
    xdo({"type", "--delay", "40", "3"});
    xdo({"mousemove", "--sync", "--window", id, std::to_string(int(button.x)), std::to_string(int(button.y)), "click",
         "1"});

    ASSERT_TRUE(waitForFile(result, 20)) << "the button's action never ran; " << readFile(folder + "/helper.log");
    EXPECT_EQ(readFile(result), "field=Ada 13\npressed=1\n");

    // What the window showed is what the renderer draws for the same screen in the same state.
    auto shot = render::Bitmap::readPng(screenshot);
    ASSERT_TRUE(shot);
    std::string kept = writeTestPicture(*shot, "window_under_xvfb");
    Harness h(DeviceIdiom::Tablet);
    auto controller = std::make_shared<FieldAndButtonController>();
    h.show(makeFieldAndButtonScreen(controller));
    h.type(controller->field(), "Ada 13");
    h.tap("Save");
    EXPECT_EQ(controller->result().text(), "Saved: Ada 13");
    EXPECT_TRUE(picturesMatch(*shot, render::snapshot(h.window(), {1024, 768}), "window_under_xvfb"))
        << "the window's screenshot is " << kept;
}

TEST(ScreenWindowWithoutDisplay, NoWindowOpensAndTheReasonIsGiven) {
    // As on a machine without a display: SDL's drivers that show nothing do not count.
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
        const char* value = std::getenv(name);
        saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        ::unsetenv(name);
    }
    Application app(DeviceIdiom::Tablet);
    tavlo::Error error;
    EXPECT_EQ(render::ScreenWindow::open(app, "Tavlo", &error), nullptr);
    EXPECT_EQ(error.localizedDescription().rfind("No display to open a window on", 0), 0u)
        << error.localizedDescription();
    for (const auto& [name, value] : saved)
        if (value) ::setenv(name.c_str(), value->c_str(), 1);
}
