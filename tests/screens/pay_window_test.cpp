// The pay screen in a real window on Xvfb: a person pays the 12.34 order by cash ($20, Process)
// and, in a second run, by a typed card at the loopback card gateway (Credit, the number and the
// expiry typed on the keyboard, Process), and once more while the card host takes its time.
// Where to click comes from the same screen laid out here.
// Skipped, with the reason, where Xvfb or xdotool is missing or Xvfb cannot start.
#include "PayTerminal.h"
#include "platform/ui/NavigationController.h"
#include "support/TempHome.h"
#include "support/ui/Golden.h"
#include "support/ui/Xvfb.h"

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

namespace tavlo::screens {
namespace {

using namespace ui;
using ui::test::Child;
using ui::test::XvfbDisplay;

Point centreInWindow(View& view) { return view.convertRect(view.bounds(), nullptr).center(); }

// One thing a person does: click at a point, type keys, or click a tender's segment; or waiting
// until the program says a line.
struct Act {
    Point at;
    std::string keys;
    int segment = -1;
    std::string waitFor = "";
};

// Where the pay screen's controls are, from the screen laid out headless.
struct Places {
    Point twenty, process, number, expDate, cancel;
    Rect bar;             // the pay screen's navigation bar, in the window
    double segmentsWidth; // the tender control's width
    int segments;
};

Places places() {
    test::PayTerminal t;
    t.open();
    SegmentedControl& types = *t.screen->payTypes();
    View& sheet = *t.nav->view();
    Rect frame = sheet.convertRect(sheet.bounds(), nullptr);
    return {centreInWindow(t.h.viewWithText("$20")),
            centreInWindow(t.h.viewWithText("Process")),
            centreInWindow(t.field("number")),
            centreInWindow(t.field("expDate")),
            // Cancel is the bar's left item.
            {frame.x() + 40, frame.y() + NavigationController::kNavigationBarHeight / 2},
            {frame.x(), frame.y(), frame.width(), NavigationController::kNavigationBarHeight},
            types.bounds().width(),
            types.numberOfSegments()};
}

// The centre of a tender's segment in the window's picture: the bar draws the control where the
// bar items leave room, so its right edge is found in the picture (the first pixel from the
// bar's right end that is not the bar's colour), and the segments lie evenly to its left.
Point segmentCentre(const render::Bitmap& picture, const Places& at, int index) {
    const int y = static_cast<int>(at.bar.midY());
    const Color barColour = picture.colorAt(static_cast<int>(at.bar.maxX()) - 2, y);
    int right = static_cast<int>(at.bar.maxX()) - 2;
    while (right > at.bar.x() && picture.colorAt(right, y) == barColour) --right;
    const double width = at.segmentsWidth / at.segments;
    return {right - at.segmentsWidth + width * (index + 0.5), at.bar.midY()};
}

std::string pay(const Places& at, const std::vector<Act>& acts, const std::string& name, bool slowHost = false) {
    tavlo::test::TempHome home;
    const std::string folder = home.path().string();
    XvfbDisplay display(folder + "/xvfb.log");
    if (!display.unavailable().empty()) return "skip:" + display.unavailable();
    if (ui::test::findProgram("xdotool").empty())
        return "skip:xdotool is not installed (scripts/setup installs the package xdotool)";
    const std::string result = folder + "/payment.txt", shot = folder + "/screen.png";
    std::vector<std::string> command = {TAVLO_PAY_WINDOW_HELPER, result, shot};
    if (slowHost) command.push_back("slow");
    Child program(command, {display.environment()}, true, folder + "/helper.log");
    auto xdo = [&](std::vector<std::string> args) {
        return ui::test::xdotool(display, std::move(args), folder + "/xdotool.log");
    };
    std::string window = xdo({"search", "--sync", "--onlyvisible", "--name", "Tavlo pay"});
    const std::string id = window.substr(0, window.find('\n'));
    EXPECT_FALSE(id.empty()) << ui::test::readFile(folder + "/helper.log");
    EXPECT_EQ(program.readLine(20), "ready") << ui::test::readFile(folder + "/helper.log");
    std::optional<render::Bitmap> picture = render::Bitmap::readPng(shot);
    EXPECT_TRUE(picture);
    if (!picture) return "";
    ui::test::writeTestPicture(*picture, name);
    // The window takes the keyboard focus, then a click on its empty edge makes sure it takes
    // the pointer too, before the person's first click.
    xdo({"windowfocus", "--sync", id});
    xdo({"mousemove", "--sync", "--window", id, "10", "10", "click", "1"});
    xdo({"mousemove", "--sync", "--window", id, "12", "12", "click", "1"});
    for (const Act& act : acts) {
        if (!act.waitFor.empty()) {
            EXPECT_EQ(program.readLine(20), act.waitFor) << ui::test::readFile(folder + "/helper.log");
            if (std::optional<render::Bitmap> waiting = render::Bitmap::readPng(shot + ".waiting.png"))
                ui::test::writeTestPicture(*waiting, name + "_waiting");
            continue;
        }
        if (!act.keys.empty()) {
            xdo({"type", "--window", id, "--delay", "30", act.keys});
            continue;
        }
        Point point = act.segment >= 0 ? segmentCentre(*picture, at, act.segment) : act.at;
        xdo({"mousemove", "--sync", "--window", id, std::to_string(int(point.x)), std::to_string(int(point.y)), "click",
             "1"});
    }
    EXPECT_TRUE(ui::test::waitForFile(result, 30))
        << "the payment never finished; " << ui::test::readFile(folder + "/helper.log");
    EXPECT_EQ(program.wait(20), 0) << ui::test::readFile(folder + "/helper.log");
    const std::string taken = ui::test::readFile(result);
    if (taken.empty()) std::cerr << ui::test::readFile(folder + "/helper.log");
    return taken;
}

TEST(PayWindowUnderXvfb, APersonPaysByCashThenByATypedCard) {
    const Places at = places();
    std::string cash = pay(at, {{at.twenty, ""}, {at.process, ""}}, "pay_window_cash");
    if (cash.rfind("skip:", 0) == 0) GTEST_SKIP() << cash.substr(5);
    EXPECT_EQ(cash, "1 1234 766 -\n");
    std::string card = pay(at,
                           {{{}, "", 1}, // Credit
                            {at.number, ""},
                            {{}, "4111111111111111"},
                            {at.expDate, ""},
                            {{}, "1228"},
                            {at.process, ""}},
                           "pay_window_card");
    EXPECT_EQ(card, "2 1234 0 approved\n");
}

TEST(PayWindowUnderXvfb, TheWindowAnswersWhileTheCardHostTakesItsTime) {
    // The host holds the sale: the window keeps drawing the wait, a click on Cancel is answered
    // (the charge cannot be called off), and the approval arrives afterwards.
    const Places at = places();
    std::string card = pay(at,
                           {{{}, "", 1}, // Credit
                            {at.number, ""},
                            {{}, "4111111111111111"},
                            {at.expDate, ""},
                            {{}, "1228"},
                            {at.process, ""},
                            {{}, "", -1, "charging"},
                            {at.cancel, ""}},
                           "pay_window_slow_host", true);
    if (card.rfind("skip:", 0) == 0) GTEST_SKIP() << card.substr(5);
    EXPECT_EQ(card, "2 1234 0 approved refused\n");
}

} // namespace
} // namespace tavlo::screens
