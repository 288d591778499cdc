// The wait overlay: attached and drawn before a blocking call goes on, one at a time, taken down
// on the main thread, with status texts from any thread.
#include "RunUntil.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/ActivitySpinner.h"
#include "platform/ui/SplitViewController.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/common/ActivityIndicator.h"
#include "support/LogLines.h"
#include "support/TempHome.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

#include <thread>

namespace tavlo::screens {
namespace {

using namespace ui;
using tavlo::test::loggedStartingWith;
using test::runUntil;

// What the overlay wrote to the log: its waits and the calls it did not expect.
std::vector<std::string> indicatorLog() {
    return loggedStartingWith(
        {"Waiting ", "Waited more than expected to hide activity indicator", "Unexpected call to ActivityIndicator"});
}

// A screen of plain paper, so that the overlay's dimming shows in its pixels.
class PaperScreen : public ViewController {
public:
    void loadView() override {
        auto root = std::make_shared<View>(Rect(0, 0, 320, 480));
        root->setBackgroundColor(Color::white());
        root->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        setView(root);
    }
};

class ActivityIndicatorTest : public ::testing::Test {
protected:
    void SetUp() override { h.show(screen); }
    void TearDown() override {
        ActivityIndicator::setDrawNow(nullptr);
        ActivityIndicator::hide();
        h.runUntilIdle();
    }

    View& view() { return *screen->view(); }
    // The overlays attached to a view.
    int overlaysIn(View& parent) {
        int count = 0;
        for (auto& sub : parent.subviews())
            for (auto& part : sub->subviews()) count += part->tag() == ActivityIndicator::kLabelTag ? 1 : 0;
        return count;
    }
    Label& label() {
        auto* label = dynamic_cast<Label*>(ActivityIndicator::overlay()->viewWithTag(ActivityIndicator::kLabelTag));
        if (!label) throw std::runtime_error("the overlay has no label");
        return *label;
    }

    tavlo::test::TempHome home;
    ui::test::Harness h{DeviceIdiom::Phone};
    std::shared_ptr<PaperScreen> screen = std::make_shared<PaperScreen>();
};

TEST_F(ActivityIndicatorTest, ShowDrawsTheDimmedScreenBeforeTheCallGoesOn) {
    render::Bitmap before = render::snapshot(h.window(), {320, 480});
    std::optional<render::Bitmap> drawn;
    ActivityIndicator::setDrawNow([&] { drawn = render::snapshot(h.window(), {320, 480}); });

    ActivityIndicator::show(screen->view(), false);

    ASSERT_TRUE(drawn) << "no frame was drawn while the caller still held the main thread";
    // White paper under a half-black panel: every channel about halfway down.
    Color corner = drawn->colorAt(5, 5);
    EXPECT_EQ(before.colorAt(5, 5), Color::white());
    EXPECT_NEAR(corner.r(), 0.5, 0.03);
    EXPECT_NEAR(corner.g(), 0.5, 0.03);
    EXPECT_NEAR(corner.b(), 0.5, 0.03);
    EXPECT_EQ(h.visibleLabelTexts(), std::vector<std::string>{"Please wait ..."});
}

TEST_F(ActivityIndicatorTest, TheOverlayCoversTheViewWithItsSpinnerAndLabel) {
    ActivityIndicator::show(screen->view(), false);

    std::shared_ptr<View> panel = ActivityIndicator::overlay();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->superview(), &view());
    EXPECT_EQ(view().subviews().back(), panel);
    EXPECT_EQ(panel->frame(), Rect(0, 0, 320, 480));
    EXPECT_EQ(panel->backgroundColor(), Color(0, 0, 0, 0.5));
    auto* spinner = dynamic_cast<ActivitySpinner*>(panel->viewWithTag(ActivityIndicator::kSpinnerTag));
    ASSERT_TRUE(spinner);
    EXPECT_EQ(spinner->frame(), Rect(148, 154, 24, 24));
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_EQ(spinner->autoresizingMask(), 45u);
    EXPECT_EQ(label().frame(), Rect(0, 180, 320, 60));
    EXPECT_EQ(label().text(), "Please wait ...");
    EXPECT_EQ(label().textAlignment(), TextAlignment::Center);
    EXPECT_EQ(label().font().pointSize(), 16);
}

TEST_F(ActivityIndicatorTest, HideForgetsTheOverlayAndTheMainLoopTakesItOffTheScreen) {
    ActivityIndicator::show(screen->view(), false);
    std::shared_ptr<View> panel = ActivityIndicator::overlay();
    auto* spinner = dynamic_cast<ActivitySpinner*>(panel->viewWithTag(ActivityIndicator::kSpinnerTag));

    ActivityIndicator::hide();
    EXPECT_FALSE(ActivityIndicator::overlay());
    EXPECT_EQ(panel->superview(), &view()) << "the caller's handler is still running";

    h.runUntilIdle();
    EXPECT_EQ(panel->superview(), nullptr);
    EXPECT_FALSE(spinner->isAnimating());
    EXPECT_TRUE(h.visibleLabelTexts().empty());
}

TEST_F(ActivityIndicatorTest, HideWithNothingUpDoesNothingAndLogsNothing) {
    ActivityIndicator::hide();
    ActivityIndicator::hideThreaded();
    h.runUntilIdle();
    EXPECT_FALSE(ActivityIndicator::overlay());
    EXPECT_TRUE(indicatorLog().empty());
}

TEST_F(ActivityIndicatorTest, ASecondShowReplacesTheFirstOverlay) {
    auto other = std::make_shared<View>(Rect(0, 0, 100, 100));
    view().addSubview(other);
    ActivityIndicator::show(screen->view(), false);
    ActivityIndicator::show(other, false);
    h.runUntilIdle();

    EXPECT_EQ(overlaysIn(view()), 0);
    EXPECT_EQ(overlaysIn(*other), 1);
    EXPECT_EQ(ActivityIndicator::overlay()->superview(), other.get());
    EXPECT_EQ(indicatorLog(),
              std::vector<std::string>{"Unexpected call to ActivityIndicator show when already having a view"});
}

TEST_F(ActivityIndicatorTest, RefreshKeepsTheTextAndSetStatusShowsItsOwn) {
    ActivityIndicator::show(screen->view(), false);
    ActivityIndicator::refresh("Sending");
    EXPECT_EQ(label().text(), "Please wait ...");

    ActivityIndicator::setStatus("Synching Store");
    EXPECT_EQ(label().text(), "Synching Store ...");
}

TEST_F(ActivityIndicatorTest, StatusFromAnotherThreadShowsTheLatestTextOnTheMainThread) {
    ActivityIndicator::show(screen->view(), false);
    std::thread([] {
        for (const char* text : {"Synching Store", "Synching Menu", "Saving Store"}) ActivityIndicator::setStatus(text);
    }).join();
    EXPECT_EQ(label().text(), "Please wait ...") << "views change on the main thread only";

    h.runUntilIdle();
    EXPECT_EQ(label().text(), "Saving Store ...");
}

TEST_F(ActivityIndicatorTest, ItShowsTheProgressOfLoads) {
    LoadProgress::install(ActivityIndicator::progressDisplay());
    ActivityIndicator::show(screen->view(), false);
    std::thread([] { LoadProgress::report("Synching Orders"); }).join();
    h.runUntilIdle();
    LoadProgress::install(nullptr);
    EXPECT_EQ(label().text(), "Synching Orders ...");
}

TEST_F(ActivityIndicatorTest, StatusTextsDrawAtMostThirtyFramesASecond) {
    int frames = 0;
    ActivityIndicator::setDrawNow([&] { ++frames; });
    ActivityIndicator::show(screen->view(), false);
    ASSERT_EQ(frames, 1);
    ActivityIndicator::setStatus("Synching Store");
    EXPECT_EQ(frames, 1);
    h.clock().advance(0.02);
    ActivityIndicator::setStatus("Synching Menu");
    EXPECT_EQ(frames, 1);
    h.clock().advance(0.02);
    ActivityIndicator::setStatus("Saving Store");
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(label().text(), "Saving Store ...");
}

TEST_F(ActivityIndicatorTest, AShowFromAnotherThreadGoesUpWhenTheMainThreadIsFree) {
    std::thread([this] { ActivityIndicator::show(screen->view(), false); }).join();
    EXPECT_TRUE(ActivityIndicator::isShowPending());
    EXPECT_FALSE(ActivityIndicator::overlay());

    h.runUntilIdle();
    EXPECT_FALSE(ActivityIndicator::isShowPending());
    EXPECT_EQ(overlaysIn(view()), 1);
}

// A hide right after a show that the main thread has not put up yet leaves no overlay behind,
// whichever thread hides.
TEST_F(ActivityIndicatorTest, AHideBeforeAPendingShowWentUpLeavesNoOverlay) {
    std::thread([this] { ActivityIndicator::show(screen->view(), false); }).join();
    ActivityIndicator::hide(); // the main thread: the show is called off
    h.runUntilIdle();
    EXPECT_EQ(overlaysIn(view()), 0);
    EXPECT_FALSE(ActivityIndicator::isShowPending());

    std::thread([this] {
        ActivityIndicator::show(screen->view(), false);
        ActivityIndicator::hide(); // waits its 2 seconds (of the fake clock), then calls it off
    }).join();
    h.runUntilIdle();
    EXPECT_EQ(overlaysIn(view()), 0);
    std::vector<std::string> lines = indicatorLog();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "Waiting 0.250000 seconds (1)");
    EXPECT_EQ(lines[7], "Waiting 0.250000 seconds (8)");
    EXPECT_EQ(lines[8], "Waited more than expected to hide activity indicator");
}

TEST_F(ActivityIndicatorTest, Hide2TakesItDownFromAThreadOfItsOwn) {
    ActivityIndicator::show(screen->view(), false);
    ActivityIndicator::hide2();
    ASSERT_TRUE(runUntil(h, [&] { return overlaysIn(view()) == 0; }));
    EXPECT_FALSE(ActivityIndicator::overlay());
}

TEST_F(ActivityIndicatorTest, ANullViewGivesAnOverlayOfNoSizeThatHideForgets) {
    ActivityIndicator::show(nullptr, false);
    ASSERT_TRUE(ActivityIndicator::overlay());
    EXPECT_EQ(ActivityIndicator::overlay()->frame(), Rect());
    EXPECT_EQ(ActivityIndicator::overlay()->superview(), nullptr);
    ActivityIndicator::hide();
    h.runUntilIdle();
    EXPECT_FALSE(ActivityIndicator::overlay());
}

// On the pad a split show covers both panes; a show that is not split, or any show on the phone,
// covers the view it is given.
class ActivityIndicatorSplitTest : public ::testing::TestWithParam<std::tuple<DeviceIdiom, bool>> {};

TEST_P(ActivityIndicatorSplitTest, CoversTheSplitViewOnlyOnThePadWhenAskedTo) {
    auto [idiom, split] = GetParam();
    tavlo::test::TempHome home;
    ui::test::Harness h{idiom};
    auto splitView = std::make_shared<SplitViewController>();
    auto detail = std::make_shared<PaperScreen>();
    splitView->setViewControllers(std::make_shared<PaperScreen>(), detail);
    h.show(splitView);

    ActivityIndicator::show(detail->view(), split);
    View* covered = ActivityIndicator::overlay()->superview();
    ActivityIndicator::hide();
    h.runUntilIdle();

    bool wholeSplit = idiom == DeviceIdiom::Tablet && split;
    EXPECT_EQ(covered, wholeSplit ? splitView->view().get() : detail->view().get());
}

INSTANTIATE_TEST_SUITE_P(Devices, ActivityIndicatorSplitTest,
                         ::testing::Combine(::testing::Values(DeviceIdiom::Tablet, DeviceIdiom::Phone),
                                            ::testing::Bool()),
                         [](const auto& instance) {
                             return std::string(std::get<0>(instance.param) == DeviceIdiom::Tablet ? "Pad" : "Phone") +
                                    (std::get<1>(instance.param) ? "Split" : "NotSplit");
                         });

} // namespace
} // namespace tavlo::screens
