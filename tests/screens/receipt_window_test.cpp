// A receipt printer that refuses, in a real window on Xvfb: the alert says why and the person
// clicks "Reprint" once the printer is back; the receipt then prints. Where to click comes from
// the same alert laid out here. Skipped, with the reason, where Xvfb or xdotool is missing or
// Xvfb cannot start.
#include "platform/ui/AlertView.h"
#include "platform/ui/render/FingerprintContext.h"
#include "platform/ui/render/Renderer.h"
#include "screens/common/ReceiptJob.h"
#include "support/RecordingPrinterStream.h"
#include "support/TempHome.h"
#include "support/ui/Golden.h"
#include "support/ui/Harness.h"
#include "support/ui/Xvfb.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using ui::test::Child;
using ui::test::XvfbDisplay;

// The alert's "Reprint" on a pad, from the alert the refused printer leaves.
Point reprintButton() {
    ui::test::Harness h(DeviceIdiom::Tablet);
    h.show(std::make_shared<ViewController>());
    ReceiptJob::showFailure("Cannot connect to printer, verify printer is on and has paper",
                            std::make_shared<tavlo::test::RecordingPrinterStream>(), {});
    render::FingerprintContext context;
    render::Renderer renderer(context);
    renderer.drawScreen(h.app());
    for (const render::HitRegion& region : renderer.hitRegions())
        if (region.name == "Reprint") return region.rect.center();
    return {};
}

TEST(ReceiptWindowUnderXvfb, APersonReprintsFromTheAlertOnceThePrinterIsBack) {
    const Point reprint = reprintButton();
    ASSERT_GT(reprint.x, 0) << "no Reprint on the alert";
    tavlo::test::TempHome home;
    const std::string folder = home.path().string();
    XvfbDisplay display(folder + "/xvfb.log");
    if (!display.unavailable().empty()) GTEST_SKIP() << display.unavailable();
    if (ui::test::findProgram("xdotool").empty())
        GTEST_SKIP() << "xdotool is not installed (scripts/setup installs the package xdotool)";
    const std::string result = folder + "/receipt.txt", shot = folder + "/screen.png";
    Child program({TAVLO_RECEIPT_WINDOW_HELPER, result, shot}, {display.environment()}, true, folder + "/helper.log");
    auto xdo = [&](std::vector<std::string> args) {
        return ui::test::xdotool(display, std::move(args), folder + "/xdotool.log");
    };
    const std::string window = xdo({"search", "--sync", "--onlyvisible", "--name", "Tavlo receipt"});
    const std::string id = window.substr(0, window.find('\n'));
    ASSERT_FALSE(id.empty()) << ui::test::readFile(folder + "/helper.log");
    ASSERT_EQ(program.readLine(20), "ready") << ui::test::readFile(folder + "/helper.log");
    std::optional<render::Bitmap> picture = render::Bitmap::readPng(shot);
    ASSERT_TRUE(picture);
    ui::test::writeTestPicture(*picture, "receipt_window_refused");

    xdo({"windowfocus", "--sync", id});
    xdo({"mousemove", "--sync", "--window", id, std::to_string(int(reprint.x)), std::to_string(int(reprint.y)), "click",
         "1"});
    ASSERT_TRUE(ui::test::waitForFile(result, 30))
        << "the receipt never printed; " << ui::test::readFile(folder + "/helper.log");
    EXPECT_EQ(program.wait(20), 0) << ui::test::readFile(folder + "/helper.log");
    EXPECT_EQ(ui::test::readFile(result), "printed Burger\n");
}

} // namespace
} // namespace tavlo::screens
