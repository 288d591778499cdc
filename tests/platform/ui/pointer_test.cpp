// A pointer and keys on the drawn screen reach what a person sees there, through the same paths
// as the harness: the window's input, without a window.
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Slider.h"
#include "platform/ui/render/FingerprintContext.h"
#include "platform/ui/render/PointerInput.h"
#include "support/ui/GuestListScreen.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace tavlo::ui;
using namespace tavlo::ui::test;
using render::PointerInput;

namespace {

class PointerOnTheGuestList : public ::testing::Test {
protected:
    void SetUp() override {
        registerGuestListView();
        h.show(std::make_shared<NavigationController>(std::make_shared<GuestListViewController>()));
    }

    // The middle of a view, in the window.
    static Point centreOf(View& view) { return view.convertRect(view.bounds(), nullptr).center(); }
    Point regionCentre(const std::string& name) {
        for (const auto& region : render::fingerprintScreen(h.app()).regions)
            if (region.name == name) return region.rect.center();
        ADD_FAILURE() << "no region " << name;
        return {};
    }
    // A click: pressed and let go in place, a moment later.
    void click(Point at, int clicks = 1) {
        pointer.press(at, now);
        now += 0.1;
        pointer.release(at, now, clicks);
        settle();
    }
    void settle() {
        now += 1;
        h.runUntilIdle();
    }
    void addGuests(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            click(centreOf(h.outlet<TextField>("name")));
            pointer.text(name);
            click(centreOf(h.viewWithText<Button>("Add")));
        }
    }

    Harness h{DeviceIdiom::Tablet};
    PointerInput pointer{[this] { return render::fingerprintScreen(h.app()).regions; }};
    double now = 100;
};

} // namespace

TEST_F(PointerOnTheGuestList, ClicksAndTypingFillTheFieldAndPressTheButton) {
    auto& field = h.outlet<TextField>("name");
    click(centreOf(field));
    EXPECT_TRUE(field.isFirstResponder());
    pointer.text("Adda");
    pointer.key(PointerInput::Key::Backspace);
    pointer.key(PointerInput::Key::Backspace);
    pointer.text("a Lovelace");
    EXPECT_EQ(field.text(), "Ada Lovelace");

    click(centreOf(h.viewWithText<Button>("Add")));
    EXPECT_EQ(h.outlet<Label>("total").text(), "1 guest");
    EXPECT_EQ(h.viewWithText<Label>("Ada Lovelace").text(), "Ada Lovelace");
    EXPECT_EQ(field.text(), "");
}

TEST_F(PointerOnTheGuestList, ARowAsksAndTheAlertsButtonAnswers) {
    addGuests({"Ada", "Grace"});
    auto& table = h.outlet<TableView>("table");
    click(centreOf(*table.cellForRow({0, 1})));
    ASSERT_TRUE(h.hasAlert());
    EXPECT_EQ(h.frontAlert().message(), "Remove Grace?");

    click(centreOf(h.outlet<Label>("total"))); // under the alert: nothing happens
    EXPECT_TRUE(h.hasAlert());
    click(regionCentre("Yes"));
    EXPECT_FALSE(h.hasAlert());
    EXPECT_EQ(h.outlet<Label>("total").text(), "1 guest");
}

TEST_F(PointerOnTheGuestList, ASwipeShowsTheDeleteButtonAndItsTapDeletes) {
    addGuests({"Ada", "Grace", "Linus"});
    auto& table = h.outlet<TableView>("table");
    Point row = centreOf(*table.cellForRow({0, 1}));
    pointer.press(row, now);
    pointer.move({row.x - 30, row.y + 2}, now + 0.05);
    pointer.release({row.x - 120, row.y + 4}, now + 0.15);
    settle();
    ASSERT_EQ(table.deleteConfirmationRow(), (IndexPath{0, 1}));
    EXPECT_FALSE(h.hasAlert()) << "a swipe is no tap";

    click(centreOf(*table.cellForRow({0, 0}))); // elsewhere: the button goes, nothing else
    EXPECT_FALSE(table.deleteConfirmationRow());
    EXPECT_FALSE(h.hasAlert());

    pointer.press(row, now);
    pointer.release({row.x - 120, row.y}, now + 0.1);
    settle();
    click(regionCentre("Delete"));
    EXPECT_EQ(table.numberOfRows(0), 2);
    EXPECT_EQ(table.cellForRow({0, 1})->textLabel().text(), "Linus");
}

TEST_F(PointerOnTheGuestList, TheWheelAndADragScrollTheTable) {
    for (int i = 0; i < 30; ++i) addGuests({"Guest"});
    auto& table = h.outlet<TableView>("table");
    Point middle = centreOf(table);
    pointer.wheel(middle, 0, -3);
    settle();
    EXPECT_EQ(table.contentOffset().y, 3 * PointerInput::kWheelStep);

    pointer.press(middle, now);
    pointer.move({middle.x, middle.y - 50}, now + 0.1);
    pointer.move({middle.x, middle.y - 100}, now + 0.2);
    pointer.release({middle.x, middle.y - 100}, now + 0.3);
    settle();
    EXPECT_EQ(table.contentOffset().y, 3 * PointerInput::kWheelStep + 100);
    EXPECT_FALSE(h.hasAlert()) << "a drag is no tap on a row";

    pointer.wheel(middle, 0, 100);
    settle();
    EXPECT_EQ(table.contentOffset().y, 0) << "no further than the top";
}

TEST_F(PointerOnTheGuestList, TheBarsItemsAreReachedWhereTheyAreDrawn) {
    addGuests({"Ada"});
    click(regionCentre("stock item 16")); // the trash can
    EXPECT_EQ(h.outlet<Label>("total").text(), "0 guests");
}

TEST(Pointer, AHoldIsALongPressAndNoTap) {
    Harness h(DeviceIdiom::Phone);
    auto screen = std::make_shared<ViewController>();
    h.show(screen);
    int taps = 0, presses = 0;
    auto pad = std::make_shared<View>(Rect(20, 20, 200, 200));
    pad->addGestureRecognizer(std::make_shared<TapGestureRecognizer>([&](GestureRecognizer&) { ++taps; }));
    pad->addGestureRecognizer(std::make_shared<LongPressGestureRecognizer>([&](GestureRecognizer& r) {
        if (r.state() == GestureRecognizer::State::Began) ++presses;
    }));
    screen->view()->addSubview(pad);
    PointerInput pointer([&] { return render::fingerprintScreen(h.app()).regions; });

    pointer.press({100, 100}, 10);
    pointer.hold(10.3);
    EXPECT_EQ(presses, 0) << "too soon";
    pointer.hold(10.6);
    EXPECT_EQ(presses, 1);
    pointer.release({102, 101}, 11);
    EXPECT_EQ(taps, 0);

    pointer.press({100, 100}, 20);
    pointer.release({100, 100}, 20.1);
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(presses, 1);
}

TEST(Pointer, ASecondaryClickIsATwoFingerTap) {
    Harness h(DeviceIdiom::Phone);
    auto screen = std::make_shared<ViewController>();
    h.show(screen);
    int taps = 0, twoFingerTaps = 0;
    auto pad = std::make_shared<View>(Rect(20, 20, 200, 200));
    pad->addGestureRecognizer(std::make_shared<TapGestureRecognizer>([&](GestureRecognizer&) { ++taps; }));
    auto twoFingers = std::make_shared<TapGestureRecognizer>([&](GestureRecognizer&) { ++twoFingerTaps; });
    twoFingers->setNumberOfTouchesRequired(2);
    pad->addGestureRecognizer(twoFingers);
    screen->view()->addSubview(pad);
    PointerInput pointer([&] { return render::fingerprintScreen(h.app()).regions; });

    pointer.secondaryClick({100, 100});
    EXPECT_EQ(twoFingerTaps, 1);
    EXPECT_EQ(taps, 0);
    pointer.secondaryClick({300, 300}); // outside the pad
    EXPECT_EQ(twoFingerTaps, 1);
}

TEST(Pointer, SegmentsSlidersAndTabFollowThePointerAndKeys) {
    Harness h(DeviceIdiom::Phone);
    auto screen = std::make_shared<ViewController>();
    h.show(screen);
    View& root = *screen->view();
    auto segments = std::make_shared<SegmentedControl>(std::vector<std::string>{"A", "B", "C"}, Rect(10, 10, 300, 40));
    auto slider = std::make_shared<Slider>(Rect(10, 60, 300, 40));
    auto first = std::make_shared<TextField>(Rect(10, 110, 300, 40));
    auto second = std::make_shared<TextField>(Rect(10, 160, 300, 40));
    int returns = 0;
    second->addTarget([&](Control&) { ++returns; }, ControlEvent::EditingDidEndOnExit);
    for (std::shared_ptr<View> v : std::vector<std::shared_ptr<View>>{segments, slider, first, second})
        root.addSubview(v);
    PointerInput pointer([&] { return render::fingerprintScreen(h.app()).regions; });

    pointer.press({260, 30}, 1);
    pointer.release({260, 30}, 1.1);
    EXPECT_EQ(segments->selectedSegmentIndex(), 2);

    pointer.press({24, 80}, 2); // the left end of the track
    EXPECT_EQ(slider->value(), 0);
    pointer.move({160, 80}, 2.1);
    pointer.release({160, 80}, 2.2);
    EXPECT_NEAR(slider->value(), 0.5, 0.01);

    pointer.key(PointerInput::Key::Tab);
    EXPECT_TRUE(first->isFirstResponder());
    pointer.key(PointerInput::Key::Tab);
    EXPECT_TRUE(second->isFirstResponder());
    pointer.text("42");
    pointer.key(PointerInput::Key::Return);
    EXPECT_EQ(second->text(), "42");
    EXPECT_EQ(returns, 1);
    pointer.key(PointerInput::Key::BackTab);
    EXPECT_TRUE(first->isFirstResponder());
}

// Segments too narrow for a long title share the width by their titles, and a press lands on
// the segment drawn under it.
TEST(Pointer, NarrowSegmentsFitTheirTitlesAndTakeThePressWhereTheyAreDrawn) {
    Harness h(DeviceIdiom::Phone);
    auto screen = std::make_shared<ViewController>();
    h.show(screen);
    auto segments = std::make_shared<SegmentedControl>(std::vector<std::string>{"I", "Tables", "Closed orders"},
                                                       Rect(10, 10, 260, 40));
    screen->view()->addSubview(segments);
    std::vector<double> widths = segments->segmentWidths(258, 4);
    ASSERT_EQ(widths.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_GE(widths[i], segments->titleFont().measure(segments->titleForSegment(i)).width + 8) << i;
    EXPECT_NEAR(widths[0] + widths[1] + widths[2], 258, 1e-9);
    EXPECT_EQ(segments->segmentWidths(600, 4), (std::vector<double>{200, 200, 200})); // room for all: equal
    EXPECT_EQ(segments->layout(258, 4).font.pointSize(), segments->titleFont().pointSize());

    // Seven tenders in a phone's bar: the titles shrink and break at a space onto two lines until
    // every word of every title is whole.
    SegmentedControl tenders({"Cash", "Credit", "Tab", "Debit", "Check", "Room Charge", "Other"}, Rect(0, 0, 215, 30));
    tenders.setStyle(SegmentedControlStyle::Bar);
    const SegmentedControl::Layout fitted = tenders.layout(213, 4);
    EXPECT_EQ(fitted.lines, 2);
    EXPECT_GE(fitted.font.pointSize(), SegmentedControl::kMinimumTitleSize);
    for (int i = 0; i < tenders.numberOfSegments(); ++i) {
        std::istringstream words(tenders.titleForSegment(i));
        for (std::string word; words >> word;)
            EXPECT_GE(fitted.widths[static_cast<size_t>(i)], fitted.font.measure(word).width + 2 * fitted.padding)
                << word;
    }

    PointerInput pointer([&] { return render::fingerprintScreen(h.app()).regions; });
    double secondMiddle = 10 + 1 + widths[0] + widths[1] / 2;
    pointer.press({secondMiddle, 30}, 1);
    pointer.release({secondMiddle, 30}, 1.1);
    EXPECT_EQ(segments->selectedSegmentIndex(), 1);
    double thirdStart = 10 + 1 + widths[0] + widths[1] + 2;
    pointer.press({thirdStart, 30}, 2);
    pointer.release({thirdStart, 30}, 2.1);
    EXPECT_EQ(segments->selectedSegmentIndex(), 2);
}
