#include "platform/ui/Button.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScrollView.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

using namespace tavlo::ui;
using tavlo::ui::test::Harness;
using tavlo::ui::test::HarnessError;

namespace {

// A seat wheel and a course wheel, as pickers are used for seats and courses.
class Wheels : public PickerViewDataSource, public PickerViewDelegate {
public:
    std::vector<std::pair<int, int>> picked;
    int numberOfComponents(PickerView&) override { return 2; }
    int numberOfRows(PickerView&, int component) override { return component == 0 ? 50 : 10; }
    std::optional<std::string> titleForRow(PickerView&, int row, int component) override {
        if (row == 0) return "";
        return (component == 0 ? "Seat " : "Course ") + std::to_string(row - 1);
    }
    void didSelectRow(PickerView&, int row, int component) override { picked.emplace_back(row, component); }
};

struct Panel : ViewController {
    std::shared_ptr<PickerView> picker = std::make_shared<PickerView>(Rect(0, 0, 320, 216));
    std::shared_ptr<Slider> slider = std::make_shared<Slider>(Rect(0, 220, 200, 30));
    std::shared_ptr<SegmentedControl> types =
        std::make_shared<SegmentedControl>(std::vector<std::string>{"Menus", "Items", "Shortcuts"});
    std::shared_ptr<Button> button = Button::make(ButtonType::Custom, Rect(0, 260, 100, 40));
    void viewDidLoad() override {
        for (auto v : std::initializer_list<std::shared_ptr<View>>{picker, slider, button}) view()->addSubview(v);
        navigationItem().setTitleView(types);
    }
};

} // namespace

TEST(Controls, PickerSliderAndSegmentsReportAPersonsChoice) {
    Harness h;
    auto panel = std::make_shared<Panel>();
    Wheels wheels;
    panel->picker->setDataSource(&wheels);
    panel->picker->setDelegate(&wheels);
    std::vector<double> values;
    panel->slider->setMinimumValue(1);
    panel->slider->setMaximumValue(50);
    panel->slider->addTarget([&](Control& c) { values.push_back(static_cast<Slider&>(c).value()); },
                             ControlEvent::ValueChanged);
    std::vector<int> segments;
    panel->types->setSelectedSegmentIndex(0);
    panel->types->setEnabled(false, 1);
    panel->types->addTarget(
        [&](Control& c) { segments.push_back(static_cast<SegmentedControl&>(c).selectedSegmentIndex()); },
        ControlEvent::AllEvents);
    h.show(std::make_shared<NavigationController>(panel));

    h.pick(*panel->picker, "Course 3", 1);
    h.pick(*panel->picker, 4);
    EXPECT_EQ(wheels.picked, (std::vector<std::pair<int, int>>{{4, 1}, {4, 0}}));
    EXPECT_EQ(panel->picker->selectedRow(1), 4);
    panel->picker->selectRow(7, 0);
    EXPECT_EQ(wheels.picked.size(), 2u) << "selection by the program is not reported";
    EXPECT_THROW(h.pick(*panel->picker, 10, 1), HarnessError);

    h.slide(*panel->slider, 60);
    EXPECT_EQ(values, (std::vector<double>{50})) << "kept within the limits";

    h.pickSegment(*panel->types, "Shortcuts");
    h.pickSegment(*panel->types, "Shortcuts");
    EXPECT_EQ(segments, (std::vector<int>{2})) << "only a change is reported";
    EXPECT_THROW(h.pickSegment(*panel->types, 1), HarnessError) << "a disabled segment";
}

TEST(Controls, ButtonsShowTheTitleAndImagesOfTheirState) {
    Harness h;
    auto panel = std::make_shared<Panel>();
    Button& b = *panel->button;
    b.setTitle("Shortcuts");
    b.setTitleColor(Color::white());
    b.setTitleColor(Color::lightGray(), ControlState::Highlighted);
    b.setBackgroundImage(Image::named("blueButton.png"));
    b.setTitle("Wait", ControlState::Disabled);
    std::vector<std::string> events;
    b.addTarget([&](Control&) { events.push_back("down"); }, ControlEvent::TouchDown);
    b.addTarget([&](Control&) { events.push_back("up"); }, ControlEvent::TouchUpInside);
    h.show(panel);

    b.setHighlighted(true);
    EXPECT_EQ(b.currentTitleColor(), Color::lightGray());
    EXPECT_EQ(b.currentTitle(), "Shortcuts") << "the normal title stands in";
    EXPECT_EQ(b.currentBackgroundImage()->name(), "blueButton.png");
    b.setHighlighted(false);
    h.tap("Shortcuts");
    EXPECT_EQ(events, (std::vector<std::string>{"down", "up"}));
    EXPECT_EQ(b.titleLabel().text(), "Shortcuts");

    b.setEnabled(false);
    EXPECT_EQ(b.currentTitle(), "Wait");
    EXPECT_THROW(h.tap(b), HarnessError);
    b.setEnabled(true);
    b.setHidden(true);
    EXPECT_THROW(h.tap("Shortcuts"), HarnessError) << "a hidden button cannot be tapped";
}

namespace {

// A zoomable plan: a long press picks a point of the plan, two taps zoom in.
class Plan : public ViewController, public ScrollViewDelegate {
public:
    std::shared_ptr<ScrollView> scroll = std::make_shared<ScrollView>(Rect(0, 0, 480, 320));
    std::shared_ptr<View> plan = std::make_shared<View>(Rect(0, 0, 1024, 768));
    std::vector<Point> pressed;
    void viewDidLoad() override {
        view()->addSubview(scroll);
        scroll->addSubview(plan);
        scroll->setDelegate(this);
        scroll->setMinimumZoomScale(0.5);
        scroll->setMaximumZoomScale(6);
        auto press = std::make_shared<LongPressGestureRecognizer>([this](GestureRecognizer& g) {
            if (g.state() == GestureRecognizer::State::Ended) pressed.push_back(g.locationInView(plan.get()));
        });
        press->setMinimumPressDuration(0.1);
        scroll->addGestureRecognizer(press);
        auto zoomIn = std::make_shared<TapGestureRecognizer>(
            [this](GestureRecognizer&) { scroll->setZoomScale(scroll->zoomScale() * 1.5, true); });
        zoomIn->setNumberOfTapsRequired(2);
        scroll->addGestureRecognizer(zoomIn);
    }
    View* viewForZooming(ScrollView&) override { return plan.get(); }
};

} // namespace

TEST(Controls, GesturesFindTheirPointInTheZoomedPlan) {
    Harness h;
    auto screen = std::make_shared<Plan>();
    h.show(screen);
    screen->scroll->setZoomScale(2);
    screen->scroll->setContentOffset({100, 50});
    EXPECT_EQ(screen->scroll->contentSize(), (Size{2048, 1536}));

    h.longPress(*screen->scroll, {140, 90}); // scroll coordinates include the offset
    ASSERT_EQ(screen->pressed.size(), 1u);
    EXPECT_EQ(screen->pressed[0], (Point{70, 45}));
    EXPECT_THROW(h.longPress(*screen->scroll, {140, 90}, 0.05), HarnessError) << "too short";

    for (int i = 0; i < 5; ++i) h.tapAt(*screen->scroll, {140, 90}, 2);
    EXPECT_EQ(screen->scroll->zoomScale(), 6) << "stops at the maximum";
    EXPECT_THROW(h.tapAt(*screen->scroll, {140, 90}, 1, 2), HarnessError) << "no two-finger tap is set up";
}

TEST(Controls, ZoomingKeepsTheOffsetWithinTheContent) {
    Harness h;
    auto screen = std::make_shared<Plan>();
    h.show(screen);
    // Zoomed in on the far corner, then out: the offset comes back to the smaller content's edge.
    screen->scroll->setZoomScale(4);
    screen->scroll->setContentOffset({4096 - 480, 3072 - 320});
    screen->scroll->setZoomScale(1);
    EXPECT_EQ(screen->scroll->contentOffset(), (Point{1024 - 480, 768 - 320}));
    screen->scroll->setZoomScale(0.25); // below the minimum: half size
    EXPECT_EQ(screen->scroll->zoomScale(), 0.5);
    EXPECT_EQ(screen->scroll->contentOffset(), (Point{512 - 480, 384 - 320}));

    // A rectangle at the plan's edge scrolls no farther than the edge.
    screen->scroll->zoomToRect({-40, 700, 240, 160});
    EXPECT_EQ(screen->scroll->zoomScale(), 2);
    EXPECT_EQ(screen->scroll->contentOffset(), (Point{0, 1536 - 320}));
}

TEST(Controls, FindingViewsByTagTextAndClass) {
    Harness h;
    auto panel = std::make_shared<Panel>();
    auto caption = std::make_shared<Label>(Rect(0, 300, 100, 20));
    caption->setText("Selected: Seat 3");
    caption->setTag(9231);
    auto hidden = std::make_shared<Label>();
    hidden->setText("secret");
    hidden->setHidden(true);
    panel->view()->addSubview(caption);
    panel->view()->addSubview(hidden);
    h.show(panel);

    EXPECT_EQ(&h.viewWithTag<Label>(9231), caption.get());
    EXPECT_EQ(&h.viewWithText<Label>("Selected: Seat 3"), caption.get());
    EXPECT_THROW(h.viewWithText("secret"), HarnessError);
    EXPECT_EQ(h.viewsOf<Slider>().size(), 1u);
    auto texts = h.visibleLabelTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Selected: Seat 3"), texts.end());
    EXPECT_EQ(std::find(texts.begin(), texts.end(), "secret"), texts.end());
}
