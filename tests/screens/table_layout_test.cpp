// The table layout on the pad: the floor plan as drawn (colours by open orders and their server,
// names with the time open and the count, server and amount), its picture, picking a table with a
// press, zooming between its limits, the area picker and the toolbar.
#include "TableLayoutHost.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/RecordingGraphicsContext.h"
#include "platform/ui/render/Snapshot.h"
#include "support/ui/Golden.h"
#include "sync/handlers/OrderHandler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace tavlo::screens {
namespace {

using namespace ui;

// What the plan drew, read back.
struct Recorded {
    Drawing drawing;
    // The colour of the fill that covers exactly this rectangle; none when nothing did.
    std::optional<Color> fillOf(const Rect& shape) const {
        for (const DrawCommand& command : drawing.commands())
            if (command.kind == DrawCommand::Kind::Fill && command.path.elements().size() == 1 &&
                command.path.elements().front().rect == shape)
                return command.state.fillColor;
        return std::nullopt;
    }
    const DrawCommand* text(const std::string& text) const {
        for (const DrawCommand* command : drawing.ofKind(DrawCommand::Kind::Text))
            if (command->text == text) return command;
        return nullptr;
    }
};

class TableLayoutTest : public ::testing::Test, public tavlo::test::TableLayoutHost {
protected:
    Recorded record() {
        RecordingGraphicsContext context(plan().bounds().size);
        plan().draw(context, plan().bounds());
        return {context.drawing()};
    }
    // Ann's two orders at T1, the first opened 65 minutes ago; at T2 Bob's first (by name), then Ann's.
    void addOrders() {
        addOrder("O-1", "A window", "U-ANN", "L1", 65, 4250);
        addOrder("O-2", "B window", "U-ANN", "L1", 20, 800);
        addOrder("O-3", "A booth", "U-BOB", "L2", 10, 1599);
        addOrder("O-4", "B booth", "U-ANN", "L2", 30, 500);
    }
    std::vector<std::string> toolbarTitles() {
        std::vector<std::string> titles;
        for (const auto& item : nav->toolbar().items()) titles.push_back(item->displayTitle().value_or("_"));
        return titles;
    }
    std::vector<std::string> pickerTitles() {
        std::vector<std::string> titles;
        for (int row = 0; row < layout->pickerView().numberOfRows(0); ++row)
            titles.push_back(layout->pickerView().titleForRow(row, 0).value_or(""));
        return titles;
    }
    void snap(const std::string& name, bool golden = false) {
        render::Bitmap picture = render::snapshot(h.window(), h.window().bounds().size);
        if (golden) EXPECT_TRUE(ui::test::matchesGolden(picture, name));
        else ui::test::writeTestPicture(picture, name);
    }
};

TEST_F(TableLayoutTest, TheFloorPlanShowsWhoseTablesAreOpenAndForHowLong) {
    addOrders();
    open();
    ASSERT_TRUE(plan().area());
    EXPECT_EQ(plan().area()->name(), "Dining") << "the terminal's displayed area";

    Recorded drawn = record();
    EXPECT_EQ(drawn.fillOf({0, 0, 1024, 768}), Color::lightGray());
    EXPECT_EQ(drawn.fillOf({100, 100, 160, 100}), Color::red());
    EXPECT_EQ(drawn.fillOf({350, 100, 140, 140}), Color::yellow()) << "the first order is another server's";
    EXPECT_EQ(drawn.fillOf({600, 100, 120, 80}), Color::white());
    EXPECT_EQ(drawn.fillOf({100, 400, 400, 60}), Color::black());
    EXPECT_EQ(drawn.fillOf({620, 420, 50, 50}), Color::black());
    EXPECT_EQ(drawn.drawing.shapes(DrawCommand::Kind::Fill, Path::Op::Ellipse).size(), 2u);

    // Each open table: its name, the count and time of the first order; that order's amount below
    // and its server above. Fixtures without a short name say nothing.
    EXPECT_EQ(drawn.drawing.texts(), (std::vector<std::string>{"T1 (2) (01:05)", "$42.50", "Ann Marie Lee",
                                                               "T2 (2) (00:10)", "$15.99", "Bob", "T3", "Bar"}));
    for (const char* text : {"T1 (2) (01:05)", "Ann Marie Lee", "T3"})
        EXPECT_EQ(drawn.text(text)->state.fillColor, Color::black()) << text;
    EXPECT_EQ(drawn.text("Bar")->state.fillColor, Color::white());
    EXPECT_EQ(drawn.text("T3")->font, Font::named("Arial", 16));

    // Lines centred on the table's centre (180, 150): the name, the server above, the amount below.
    const DrawCommand* title = drawn.text("T1 (2) (01:05)");
    const DrawCommand* server = drawn.text("Ann Marie Lee");
    const DrawCommand* amount = drawn.text("$42.50");
    EXPECT_NEAR(title->rect.midX(), 180, 1);
    EXPECT_NEAR(title->rect.midY(), 150, 1);
    EXPECT_EQ(title->rect.x(), std::trunc(title->rect.x())) << "drawn at whole points";
    EXPECT_NEAR(server->rect.midX(), 180, 0.01);
    EXPECT_NEAR(server->rect.midY(), 150 - 16 - 2, 0.01);
    EXPECT_NEAR(amount->rect.midY(), 150 + 16 + 2, 0.01);
}

TEST_F(TableLayoutTest, OneOrderShowsItsTimeWithoutACount) {
    addOrder("O-1", "Window", "U-BOB", "L3", 125, 1000);
    addOrder("O-2", "Corner", "U-BOB", "L1", -3, 1000); // stamped ahead of this terminal's clock
    open();
    EXPECT_NE(record().text("T3 (02:05)"), nullptr);
    EXPECT_NE(record().text("T1 (00:00)"), nullptr);
}

// A host stand keeps the plan in sight: an order sent or read from the server (posted from the
// handlers' threads) draws it again, on the main thread, while it is shown and not after.
TEST_F(TableLayoutTest, TheShownPlanIsDrawnAgainWhenTheOrdersChange) {
    open();
    h.runUntilIdle();
    const int before = plan().displayCount();
    addOrder("O-1", "Window", "U-BOB", "L3", 5, 1000);
    std::thread poster([] { NotificationCenter::defaultCenter().post(OrderHandler::kOrdersChangeNotification); });
    poster.join();
    EXPECT_EQ(plan().displayCount(), before) << "drawn on the main thread only";
    h.runUntilIdle();
    EXPECT_EQ(plan().displayCount(), before + 1);
    snap("table_layout_orders_change");

    nav->push(std::make_shared<ViewController>(), false);
    h.runUntilIdle();
    const int hidden = plan().displayCount();
    NotificationCenter::defaultCenter().post(OrderHandler::kOrdersChangeNotification);
    h.runUntilIdle();
    EXPECT_EQ(plan().displayCount(), hidden) << "out of sight, the plan no longer listens";
}

TEST_F(TableLayoutTest, ThePictureOfTheFloorPlan) {
    addOrders();
    open();
    snap("table_layout_pad", true);
}

TEST_F(TableLayoutTest, APressOnATableOrItsEdgePicksIt) {
    open();
    struct Case {
        Point at; // in the plan
        std::vector<std::string> picked;
    } cases[] = {
        {{100, 100}, {"L1"}},                       // top-left corner
        {{260, 200}, {"L1"}},                       // bottom-right corner
        {{180.9, 150.9}, {"L1"}}, {{261, 150}, {}}, // just outside
        {{350, 100}, {"L2"}},                       // the ellipse's box
        {{300, 430}, {}},                           // the bar: a fixture
        {{20, 20}, {}},
    };
    for (const Case& c : cases) {
        picked.clear();
        h.longPress(plan(), c.at, 0.1);
        EXPECT_EQ(picked, c.picked) << c.at.x << ", " << c.at.y;
    }
    EXPECT_THROW(h.longPress(plan(), {180, 150}, 0.05), ui::test::HarnessError) << "too short to be a press";
    EXPECT_THROW(h.tapAt(plan(), {180, 150}), ui::test::HarnessError) << "a plain tap does nothing";

    // Zoomed in and scrolled, the press finds its point on the plan.
    ScrollView& scroll = layout->scrollView();
    scroll.setZoomScale(2);
    scroll.setContentOffset({1000, 100});
    picked.clear();
    h.longPress(scroll, {1200, 200});
    EXPECT_EQ(picked, std::vector<std::string>{"L3"});

    // Nobody to hand a table to: no table is found.
    layout->setObserver({}, {}, {});
    EXPECT_FALSE(layout->tableAt(180, 150));
}

TEST_F(TableLayoutTest, ZoomingStopsAtItsLimitsAndKeepsThePlanCentred) {
    open();
    ScrollView& scroll = layout->scrollView();
    ASSERT_EQ(scroll.bounds().size, (Size{1024, 768 - 44})) << "the toolbar takes the bottom";
    EXPECT_EQ(scroll.zoomScale(), 1);

    // Two taps zoom in on the point, which comes to the middle of the screen.
    h.tapAt(plan(), {512, 384}, 2);
    EXPECT_DOUBLE_EQ(scroll.zoomScale(), 1.5);
    Point shown = plan().convertPoint({512, 384}, &scroll);
    EXPECT_NEAR(shown.x - scroll.contentOffset().x, 512, 1e-6);
    EXPECT_NEAR(shown.y - scroll.contentOffset().y, 362, 1e-6);
    // Near the corner the plan scrolls no farther than its edge.
    h.tapAt(plan(), {10, 10}, 2);
    EXPECT_DOUBLE_EQ(scroll.zoomScale(), 2.25);
    EXPECT_EQ(scroll.contentOffset(), (Point{0, 0}));
    for (int i = 0; i < 5; ++i) h.tapAt(plan(), {512, 384}, 2);
    EXPECT_DOUBLE_EQ(scroll.zoomScale(), 6.0);
    EXPECT_EQ(plan().frame().origin, (Point{0, 0}));

    // A two-finger tap zooms out, down to half size, centred in the screen.
    h.tapAt(scroll, {300, 300}, 1, 2);
    EXPECT_DOUBLE_EQ(scroll.zoomScale(), 4.0);
    Rect visible = scroll.bounds();
    EXPECT_TRUE(plan().frame().contains(visible.origin) && plan().frame().contains({visible.maxX(), visible.maxY()}))
        << "the plan fills the screen";
    for (int i = 0; i < 10; ++i) h.tapAt(scroll, {300, 300}, 1, 2);
    EXPECT_DOUBLE_EQ(scroll.zoomScale(), 0.5);
    EXPECT_EQ(plan().frame(), (Rect{256, 170, 512, 384}));
    EXPECT_EQ(scroll.contentOffset(), (Point{0, 0}));
    snap("table_layout_zoomed_out_pad");
}

TEST_F(TableLayoutTest, TheAreaPickerSwitchesAreasAndSkipsDisabledOnes) {
    open();
    EXPECT_TRUE(nav->isNavigationBarHidden());
    EXPECT_FALSE(nav->isToolbarHidden());
    EXPECT_EQ(toolbarTitles(), (std::vector<std::string>{"Logout", "_", "Dining", "_", "Orders"}));

    h.tap("Dining");
    EXPECT_TRUE(layout->pickerViewTextField().isFirstResponder());
    // Terrace is disabled and Lounge has no tables.
    EXPECT_EQ(pickerTitles(), (std::vector<std::string>{"Dining", "Patio"}));
    EXPECT_EQ(layout->pickerView().selectedRow(0), 0);
    snap("table_layout_picker_pad");

    h.pick(layout->pickerView(), "Patio");
    EXPECT_EQ(View::currentFirstResponder(), nullptr) << "choosing closes the picker";
    ASSERT_TRUE(plan().area());
    EXPECT_EQ(plan().area()->areaId(), "A2");
    EXPECT_EQ(toolbarTitles(), (std::vector<std::string>{"Logout", "_", "Patio", "_", "Orders"}));
    EXPECT_EQ(record().drawing.texts(), std::vector<std::string>{"P1"});

    // Cancel and Done close it without a change.
    for (SystemItem button : {SystemItem::Cancel, SystemItem::Done}) {
        h.tap("Patio");
        EXPECT_EQ(layout->pickerView().selectedRow(0), 1);
        h.tap(button);
        EXPECT_EQ(View::currentFirstResponder(), nullptr);
        EXPECT_EQ(plan().area()->areaId(), "A2");
    }
}

TEST_F(TableLayoutTest, ADisabledDisplayedAreaIsNotShown) {
    store.row("Terminal", "terminalId", "T1")->setToOne("areaDisplayed", store.row("Area", "areaId", "A3"));
    open();
    ASSERT_TRUE(plan().area());
    EXPECT_EQ(plan().area()->name(), "Dining") << "the first area offered";
    EXPECT_FALSE(record().text("R1"));
}

TEST_F(TableLayoutTest, WithoutAreasThePlanSaysToContactSupport) {
    for (const char* area : {"A1", "A2"}) store.row("Area", "areaId", area)->setValue("disabled", true);
    open();
    EXPECT_FALSE(plan().area());
    EXPECT_EQ(layout->pickerView().numberOfRows(0), 0);
    EXPECT_EQ(toolbarTitles(), (std::vector<std::string>{"Logout", "_", "Orders"})) << "no area to pick";

    Recorded drawn = record();
    ASSERT_EQ(drawn.drawing.texts(), std::vector<std::string>{"No areas defined, contact Support"});
    const DrawCommand* text = drawn.text("No areas defined, contact Support");
    EXPECT_EQ(text->rect.origin, (Point{100, 100}));
    EXPECT_EQ(text->font, Font::named("Arial", 24));
    auto strokes = drawn.drawing.ofKind(DrawCommand::Kind::Stroke);
    ASSERT_EQ(strokes.size(), 1u);
    std::vector<Point> outline;
    for (const Path::Element& e : strokes.front()->path.elements()) outline.push_back(e.point);
    EXPECT_EQ(outline, (std::vector<Point>{{10, 30}, {310, 30}, {310, 90}, {10, 90}}));
    snap("table_layout_no_areas_pad");
}

TEST_F(TableLayoutTest, TheToolbarGoesBackToTheOrdersOrLogsOut) {
    open();
    h.tap("Orders");
    EXPECT_EQ(orderLists, 1);
    h.tap("Logout");
    EXPECT_EQ(logouts, 1);
}

} // namespace
} // namespace tavlo::screens
