// The item flow in a real window on Xvfb: xdotool clicks a seat and a course, the steak's
// temperature, two sides and the salad's dressing as a person would, and the line the flow
// finishes carries them all. Where to click comes from the same screens laid out here, and the
// window's picture of each screen is what the renderer draws for it. Skipped, with the reason,
// where Xvfb or xdotool is missing or Xvfb cannot start.
#include "ItemFlowHost.h"
#include "support/TempHome.h"
#include "support/ui/Golden.h"
#include "support/ui/Xvfb.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::FlowAsks;
using test::ItemFlowHost;
using ui::test::Child;
using ui::test::XvfbDisplay;

Point centreInWindow(View& view) { return view.convertRect(view.bounds(), nullptr).center(); }

// One screen of the flow: its title, what the renderer draws for it, and where to click on it.
struct Step {
    std::string title;
    render::Bitmap picture;
    std::vector<Point> clicks;
};

// The steak's flow on the pad, driven here the way the window test drives the program.
std::vector<Step> steps() {
    ItemFlowHost f(DeviceIdiom::Tablet);
    f.start("I-STEAK", FlowAsks{.seats = true, .courses = true});
    std::vector<Step> made;
    auto step = [&](std::vector<View*> targets) {
        Step s{f.title().value_or(""), f.picture(), {}};
        for (View* v : targets) s.clicks.push_back(centreInWindow(*v));
        made.push_back(s);
    };
    step({&f.h.viewWithText("Seat 2"), &f.h.viewWithText("Course 1")});
    f.h.tap("Seat 2");
    f.h.tap("Course 1");
    step({&f.row("Medium")});
    f.tapRow("Medium");
    step({&f.row("Side Salad"), &f.row("Fries")});
    f.tapRow("Side Salad");
    f.tapRow("Fries");
    step({&f.row("Ranch")});
    f.tapRow("Ranch");
    return made;
}

TEST(ItemFlowWindowUnderXvfb, APersonPicksTheSeatTheTemperatureTheSidesAndTheDressing) {
    tavlo::test::TempHome home;
    const std::string folder = home.path().string();
    XvfbDisplay display(folder + "/xvfb.log");
    if (!display.unavailable().empty()) GTEST_SKIP() << display.unavailable();
    if (ui::test::findProgram("xdotool").empty())
        GTEST_SKIP() << "xdotool is not installed (scripts/setup installs the package xdotool)";
    const std::vector<Step> flow = steps();

    const std::string result = folder + "/line.txt", shots = folder + "/screen";
    Child program({TAVLO_FLOW_WINDOW_HELPER, result, shots}, {display.environment()}, true, folder + "/helper.log");
    auto xdo = [&](std::vector<std::string> args) {
        return ui::test::xdotool(display, std::move(args), folder + "/xdotool.log");
    };
    std::string window = xdo({"search", "--sync", "--onlyvisible", "--name", "Tavlo item flow"});
    const std::string id = window.substr(0, window.find('\n'));
    ASSERT_FALSE(id.empty()) << ui::test::readFile(folder + "/helper.log");
    for (size_t i = 0; i < flow.size(); ++i) {
        const Step& step = flow[i];
        ASSERT_EQ(program.readLine(20), "screen " + step.title) << ui::test::readFile(folder + "/helper.log");
        auto shot = render::Bitmap::readPng(shots + std::to_string(i + 1) + ".png");
        ASSERT_TRUE(shot);
        EXPECT_TRUE(ui::test::picturesMatch(*shot, step.picture, "flow_window_step" + std::to_string(i + 1)))
            << "the window showed " << ui::test::writeTestPicture(*shot, "flow_window_step" + std::to_string(i + 1));
        for (Point at : step.clicks)
            xdo({"mousemove", "--sync", "--window", id, std::to_string(int(at.x)), std::to_string(int(at.y)), "click",
                 "1"});
    }
    ASSERT_TRUE(ui::test::waitForFile(result, 20))
        << "the flow never finished; " << ui::test::readFile(folder + "/helper.log");
    EXPECT_EQ(ui::test::readFile(result), "seat 2, course 1, price 2450, P-MED; Side Salad x1 P-RANCH; Fries x1\n");
    EXPECT_EQ(program.wait(20), 0) << ui::test::readFile(folder + "/helper.log");
}

} // namespace
} // namespace tavlo::screens
