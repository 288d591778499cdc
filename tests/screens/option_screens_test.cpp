// The option screens on their own and at their edges: the preparation group and the sides
// outside a flow (the selection editor's way), the limits of a group, the seat and course grids
// for every count the store's values give, and the wheels.
#include "ItemFlowHost.h"
#include "screens/common/QuantityCellView.h"
#include "screens/common/SlideView.h"
#include "screens/entry/options/PreparationGroupViewController.h"
#include "screens/entry/options/SeatCourseViewController.h"
#include "screens/entry/options/SidesViewController.h"
#include "support/LogLines.h"
#include "support/MenuRows.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::FlowAsks;
using test::ItemFlowHost;

constexpr auto preparationIds = &test::ItemFlowTerminal::preparationIds;

std::vector<std::string> rowTexts(ItemFlowHost& f) {
    std::vector<std::string> texts;
    TableView& table = f.table();
    for (int row = 0; row < table.numberOfRows(0); ++row)
        if (TableViewCell* cell = table.cellForRow({0, row}))
            texts.push_back(ItemFlowHost::rowText(*cell).value_or(""));
    return texts;
}

// ---- the preparation group

TEST(PreparationGroupHeader, TheTextFollowsTheMinimumAndMaximum) {
    struct Case {
        int minimum, maximum;
        const char* text;
    };
    for (const Case& c : std::vector<Case>{{1, 1, "Select 1 option"},
                                           {0, 1, "Select up to 1 option"},
                                           {1, 3, "You must select at least 1, You can select up to 3"},
                                           {2, 2, "You must select at least 2, You can select up to 2"},
                                           {0, 3, "You can select up to 3"},
                                           {2, 1, ""},
                                           {0, 0, ""}}) {
        SCOPED_TRACE(std::to_string(c.minimum) + "-" + std::to_string(c.maximum));
        EXPECT_EQ(PreparationGroupViewController::headerText(c.minimum, c.maximum), c.text);
    }
}

class OptionScreenTest : public ::testing::Test {
protected:
    std::shared_ptr<PreparationGroupViewController> group(const SelectionPtr& line, const std::string& groupId) {
        auto screen = std::make_shared<PreparationGroupViewController>();
        screen->setSession(&f.session);
        screen->setSelection(line);
        screen->setPreparationGroupId(groupId);
        return screen;
    }
    std::shared_ptr<SidesViewController> sides(const SelectionPtr& line) {
        auto screen = std::make_shared<SidesViewController>();
        screen->setSession(&f.session);
        screen->setSelection(line);
        return screen;
    }
    bool onEditor() { return f.title() == "Editor"; }

    ItemFlowHost f;
};

TEST_F(OptionScreenTest, OutsideAFlowDoneInsistsOnTheMinimumAndAChoiceIsReplacedAtOnce) {
    SelectionPtr steak = f.line("I-STEAK");
    f.openAlone(group(steak, "G-TEMP"));
    EXPECT_EQ(f.title(), "Temperature - Steak");
    EXPECT_EQ(f.h.visibleController().navigationItem().leftBarButtonItem()->title(), "Back");
    ASSERT_TRUE(f.h.visibleController().navigationItem().rightBarButtonItem()); // Done outside a flow
    EXPECT_EQ(rowTexts(f), (std::vector<std::string>{"Rare", "Medium", "Well Done"}));

    // Nothing chosen: Done keeps the screen and says why.
    f.h.tap(SystemItem::Done);
    ASSERT_TRUE(f.h.hasAlert());
    EXPECT_EQ(f.h.frontAlert().title(), "Alert");
    EXPECT_EQ(f.h.frontAlert().message(), "You must select at least the minimum amount of preparation choices (1)");
    f.h.clickAlert("Ok");
    EXPECT_EQ(f.title(), "Temperature - Steak");

    f.tapRow("Rare"); // the one choice: the screen leaves
    EXPECT_TRUE(onEditor());
    EXPECT_EQ(preparationIds(*steak), std::vector<std::string>{"P-RARE"});

    // Opened again with the choice: another replaces it and leaves at once; a tap on the chosen
    // one drops it, even below the minimum.
    f.h.visibleController().navigationController()->push(group(steak, "G-TEMP"), false);
    f.h.runUntilIdle();
    EXPECT_EQ(f.table().cellForRow({0, 0})->accessoryType(), AccessoryType::Checkmark);
    f.tapRow("Medium");
    EXPECT_TRUE(onEditor());
    EXPECT_EQ(preparationIds(*steak), std::vector<std::string>{"P-MED"});
    f.h.visibleController().navigationController()->push(group(steak, "G-TEMP"), false);
    f.h.runUntilIdle();
    f.tapRow("Medium");
    EXPECT_TRUE(preparationIds(*steak).empty());
    EXPECT_EQ(f.table().cellForRow({0, 1})->accessoryType(), AccessoryType::None);
    f.h.tap("Back");
    EXPECT_TRUE(onEditor());
}

// A title longer than the bar leaves between Back and Done shows whole, smaller.
TEST_F(OptionScreenTest, ALongTitleShowsWholeBetweenTheBarsButtons) {
    f.store->fetchFirst("PreparationGroup", "preparationGroupId == %@", std::string("G-TEMP"))
        ->setValue("name", std::string("Choices 0"));
    f.store.save();
    SelectionPtr steak = f.line("I-STEAK");
    steak->setName(std::string("Item 2"));
    f.openAlone(group(steak, "G-TEMP"));
    EXPECT_EQ(f.title(), "Choices 0 - Item 2");
    EXPECT_TRUE(ui::test::matchesGolden(f.picture(), "flow_preparation_long_title_phone"));
}

TEST_F(OptionScreenTest, TheMaximumLeavesTheScreenAndThenRefusesAnotherChoice) {
    SelectionPtr steak = f.line("I-STEAK");
    f.openAlone(group(steak, "G-TOP"));
    EXPECT_EQ(f.screen<PreparationGroupViewController>().titleForHeader(f.table(), 0), "You can select up to 3");
    f.tapRow("Mushrooms");
    f.tapRow("Onions");
    EXPECT_EQ(f.title(), "Toppings - Steak");
    f.tapRow("Peppercorn"); // the third: the maximum
    EXPECT_TRUE(onEditor());

    f.h.visibleController().navigationController()->push(group(steak, "G-TOP"), false);
    f.h.runUntilIdle();
    f.tapRow("Garlic Butter");
    ASSERT_TRUE(f.h.hasAlert());
    EXPECT_EQ(f.h.frontAlert().message(), "You have the maximum preparations selected, deselect something else first");
    f.h.clickAlert("Ok");
    EXPECT_EQ(preparationIds(*steak), (std::vector<std::string>{"P-MUSH", "P-ONION", "P-PEPPER"}));
    EXPECT_EQ(f.table().cellForRow({0, 3})->accessoryType(), AccessoryType::None);
    // Each preparation carries its charge.
    EXPECT_EQ(steak->getCharge("P-MUSH"), 150);
}

TEST_F(OptionScreenTest, AGroupOfMaximumZeroTakesNoChoice) {
    tavlo::test::MenuRows rows(f.store.context().get());
    rows.preparationGroup("G-NONE", "Nothing", 0, 0, {rows.preparation("P-X", "Extra", 0)});
    f.store.save();
    SelectionPtr steak = f.line("I-STEAK");
    f.openAlone(group(steak, "G-NONE"));
    EXPECT_EQ(f.screen<PreparationGroupViewController>().titleForHeader(f.table(), 0), "");
    f.tapRow("Extra");
    ASSERT_TRUE(f.h.hasAlert());
    f.h.clickAlert("Ok");
    EXPECT_TRUE(preparationIds(*steak).empty());
}

TEST_F(OptionScreenTest, AGroupTheStoreDoesNotHoldShowsAnEmptyList) {
    f.openAlone(group(f.line("I-STEAK"), "G-GONE"));
    EXPECT_EQ(f.title(), "Steak");
    EXPECT_EQ(f.table().numberOfRows(0), 0);
    f.h.tap(SystemItem::Done); // minimum 0: nothing is missing
    EXPECT_TRUE(onEditor());
}

TEST_F(OptionScreenTest, AListThatCannotBeReadIsSaidAndTheScreenLeaves) {
    Session storeless(nullptr);
    struct Case {
        std::shared_ptr<ViewController> screen;
        const char* message;
        const char* logged;
    };
    auto prepared = group(f.line("I-STEAK"), "G-TEMP");
    auto chosen = sides(f.line("I-STEAK"));
    prepared->setSession(&storeless);
    chosen->setSession(&storeless);
    for (const Case& c : {Case{prepared, "Unable to read preparations, contact technical support",
                               "Unable to read preparations: no store to read from"},
                          Case{chosen, "Unable to read sides, contact technical support",
                               "Unable to read sides: no store to read from"}}) {
        SCOPED_TRACE(c.message);
        f.openAlone(c.screen);
        ASSERT_TRUE(f.h.hasAlert());
        EXPECT_EQ(f.h.frontAlert().title(), "Error");
        EXPECT_EQ(f.h.frontAlert().message(), c.message);
        EXPECT_TRUE(tavlo::test::logged(c.logged));
        f.h.clickAlert("Ok");
        EXPECT_TRUE(onEditor());
        f.host->dismiss(false);
        f.h.runUntilIdle();
    }
}

// ---- the sides

TEST_F(OptionScreenTest, OutsideAFlowTheSidesHaveNoCapAndMinusTakesOneOff) {
    SelectionPtr steak = f.line("I-STEAK");
    f.openAlone(sides(steak));
    EXPECT_EQ(rowTexts(f), (std::vector<std::string>{"Side Salad", "Fries", "Rice"})); // the steak's menu only
    for (int i = 0; i < 3; ++i) f.tapRow("Fries");
    f.tapRow("Rice");
    EXPECT_FALSE(f.h.hasAlert());
    EXPECT_EQ(f.title(), "Sides - Steak"); // no moving on by itself
    EXPECT_EQ(steak->getSideCount(), 4);

    auto minus = [&](int row) {
        TableViewCell* cell = f.table().cellForRow({0, row});
        for (const auto& view : cell->contentView().subviews())
            if (auto* b = dynamic_cast<Button*>(view.get()); b && b->currentTitle() == "-") return f.h.tap(*b);
    };
    auto count = [&](int row) {
        return dynamic_cast<Label*>(f.table().cellForRow({0, row})->viewWithTag(SidesViewController::kCountTag))->text();
    };
    EXPECT_EQ(count(1), "3");
    minus(1);
    EXPECT_EQ(count(1), "2");
    EXPECT_EQ(steak->getSides()[0]->newQuantity(), 2); // units not yet sent
    minus(2);                                          // Rice at 1 leaves the line
    EXPECT_EQ(count(2), "");
    minus(0); // the salad was never chosen: nothing happens
    EXPECT_EQ(count(0), "");
    ASSERT_EQ(steak->getSides().size(), 1u);
    EXPECT_EQ(steak->getSides()[0]->name(), "Fries");

    f.h.tap(SystemItem::Done);
    EXPECT_TRUE(onEditor());
}

TEST_F(OptionScreenTest, ALineWithoutAMenuShowsEverySideOfTheStore) {
    SelectionPtr steak = f.line("I-STEAK");
    steak->setMenuId(std::nullopt);
    f.openAlone(sides(steak));
    std::vector<std::string> shown = rowTexts(f);
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::string>{"Coleslaw", "Fries", "Rice", "Side Salad"}));
}

TEST(QuantityCell, ItsButtonsWorkAndAreSwitchedTogether) {
    int plus = 0, minus = 0;
    QuantityCellView cell(
        TableViewCellStyle::Default, "Cell", Rect(0, 0, 540, 44), [&](Control&) { ++plus; },
        [&](Control&) { ++minus; });
    auto& plusButton = dynamic_cast<Button&>(*cell.viewWithTag(QuantityCellView::kPlusTag));
    auto& minusButton = dynamic_cast<Button&>(*cell.viewWithTag(QuantityCellView::kMinusTag));
    EXPECT_EQ(plusButton.frame(), Rect(242, 2, 48, 40)); // fixed places, whatever the width
    EXPECT_EQ(minusButton.frame(), Rect(10, 2, 48, 40));
    EXPECT_EQ(cell.viewWithTag(QuantityCellView::kCountTag)->frame(), Rect(60, 10, 180, 25));
    plusButton.sendActions(ControlEvent::TouchUpInside);
    minusButton.sendActions(ControlEvent::TouchUpInside);
    EXPECT_EQ(std::pair(plus, minus), std::pair(1, 1));
    cell.countLabel().setText(std::string("2"));
    cell.setEnabled(false);
    EXPECT_FALSE(plusButton.isEnabled());
    EXPECT_FALSE(minusButton.isEnabled());
    EXPECT_EQ(cell.countLabel().text(), "2");
    cell.setEnabled(true);
    EXPECT_TRUE(plusButton.isEnabled() && minusButton.isEnabled());
}

// ---- the seat and course grids

std::vector<std::string> titles(const SlideView* grid) {
    std::vector<std::string> shown;
    if (grid)
        for (const auto& b : grid->buttons()) shown.push_back(b->title().value_or(""));
    return shown;
}

std::vector<std::string> numbered(const std::string& word, int first, int last) {
    std::vector<std::string> made;
    for (int n = first; n <= last; ++n) made.push_back(word + " " + std::to_string(n));
    return made;
}

TEST(SeatCourseGrids, TheGridsFollowTheOrdersSeatsAndTheStoresValues) {
    struct Case {
        const char* name;
        int seats;
        std::vector<std::pair<const char*, const char*>> params;
        std::vector<std::string> seatButtons, courseButtons;
    };
    const std::vector<Case> cases{
        {"defaults", 4, {}, numbered("Seat", 1, 4), numbered("Course", 1, 10)},
        {"additional -2 adds nothing",
         4,
         {{"HH_SEATS_ADDITIONAL", "-2"}},
         numbered("Seat", 1, 4),
         numbered("Course", 1, 10)},
        {"additional 3", 4, {{"HH_SEATS_ADDITIONAL", "3"}}, numbered("Seat", 1, 7), numbered("Course", 1, 10)},
        {"from zero",
         4,
         {{"HH_SEATS_ADDITIONAL", "3"},
          {"HH_SEATS_USE_ZERO", "YES"},
          {"HH_COURSES_USE_ZERO", "YES"},
          {"HH_COURSE_MAX", "3"}},
         numbered("Seat", 0, 6),
         numbered("Course", 0, 2)},
        {"course maximum 0", 2, {{"HH_COURSE_MAX", "0"}}, numbered("Seat", 1, 2), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ItemFlowHost host;
        host.order->setSeats(c.seats);
        for (auto [name, value] : c.params) host.setParam(name, std::string(value));
        ASSERT_TRUE(host.start("I-SOUP", FlowAsks{.seats = true, .courses = true}));
        auto& screen = host.screen<SeatCourseViewController>();
        EXPECT_EQ(titles(screen.seatGrid()), c.seatButtons);
        EXPECT_EQ(titles(screen.courseGrid()), c.courseButtons);
        EXPECT_FALSE(screen.pickerView() && screen.pickerView()->superview());
        for (const SlideView* grid : {screen.seatGrid(), screen.courseGrid()}) {
            if (!grid) continue;
            for (const auto& b : grid->buttons()) // each button answers its number
                EXPECT_EQ(b->tag(), std::stoi(b->title()->substr(b->title()->find(' ') + 1)));
        }
    }
}

TEST_F(OptionScreenTest, WithoutSeatsOnlyTheCourseIsWaitedFor) {
    f.order->setSeats(0);
    ASSERT_TRUE(f.start("I-SOUP", FlowAsks{.seats = true, .courses = true}));
    auto& screen = f.screen<SeatCourseViewController>();
    ASSERT_EQ(screen.seatGrid(), nullptr);
    ASSERT_NE(screen.courseGrid(), nullptr);
    // The course grid takes the place the seat grid would have had.
    EXPECT_EQ(screen.courseLabel()->frame().minY(), SeatCourseViewController::kFirstGridTop + 16);
    EXPECT_EQ(screen.courseGrid()->frame().minY(), 91);
    f.h.tap("Course 3");
    ASSERT_EQ(f.finished.size(), 1u);
    EXPECT_EQ(f.finished[0]->seat(), -1);
    EXPECT_EQ(f.finished[0]->course(), 3);
}

TEST_F(OptionScreenTest, WithCourseMaximumZeroASeatFinishes) {
    f.setParam("HH_COURSE_MAX", std::string("0"));
    ASSERT_TRUE(f.start("I-SOUP", FlowAsks{.seats = true, .courses = true}));
    f.h.tap("Seat 4");
    ASSERT_EQ(f.finished.size(), 1u);
    EXPECT_EQ(f.finished[0]->seat(), 4);
    EXPECT_EQ(f.finished[0]->course(), -1);
}

TEST_F(OptionScreenTest, WithNoSeatsAndCourseMaximumZeroTheScreenFinishesByItself) {
    f.order->setSeats(0);
    f.setParam("HH_COURSE_MAX", std::string("0"));
    ASSERT_TRUE(f.start("I-STEAK", FlowAsks{.seats = true, .courses = true}));
    // Nothing to ask: the flow went on to the steak's temperature.
    ASSERT_EQ(f.title(), "Temperature - Steak");
    const SelectionPtr line = f.flow.lock()->selection();
    EXPECT_EQ(line->seat(), -1);
    EXPECT_EQ(line->course(), -1);
    // Back to the empty screen stays there: it only finishes by itself the first time.
    f.h.tap("Back");
    ASSERT_NO_THROW(f.screen<SeatCourseViewController>());
    EXPECT_EQ(f.screen<SeatCourseViewController>().seatGrid(), nullptr);
    EXPECT_EQ(f.screen<SeatCourseViewController>().courseGrid(), nullptr);
    f.h.tap("Back");
    EXPECT_FALSE(f.flowShown());
    EXPECT_TRUE(f.finished.empty());
}

TEST_F(OptionScreenTest, ThirtySeatsOnThePhoneTakeThreeRowsAndScrollSideways) {
    f.order->setSeats(30);
    ASSERT_TRUE(f.start("I-SOUP", FlowAsks{.seats = true}));
    SlideView* grid = f.screen<SeatCourseViewController>().seatGrid();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->buttons().size(), 30u);
    EXPECT_EQ(grid->rows(), 3);
    EXPECT_EQ(grid->frame().height(), 3 * SeatCourseViewController::kRowHeight);
    EXPECT_GT(grid->scroll().contentSize().width, grid->frame().width());
    EXPECT_LE(grid->frame().maxX(), f.screen<SeatCourseViewController>().view()->bounds().width());
    for (const auto& b : grid->buttons()) EXPECT_LT(b->frame().minY(), 3 * SeatCourseViewController::kRowHeight);
    ui::test::writeTestPicture(f.picture(), "seat_grid_thirty_phone");
    // The grid's last seat is reachable and answers.
    f.h.tap(*grid->getButton("Seat 30"));
    ASSERT_EQ(f.finished.size(), 1u);
    EXPECT_EQ(f.finished[0]->seat(), 30);
}

// ---- the wheels

TEST_F(OptionScreenTest, TheWheelsOfferSeatsAndCoursesAfterABlankRow) {
    f.setParam("HH_SEATS_USE_SCROLLER", std::string("YES"));
    ASSERT_TRUE(f.start("I-SOUP", FlowAsks{.seats = true, .courses = true}));
    auto& screen = f.screen<SeatCourseViewController>();
    PickerView& wheels = *screen.pickerView();
    ASSERT_TRUE(wheels.superview());
    EXPECT_EQ(screen.seatGrid(), nullptr);
    ASSERT_EQ(wheels.numberOfComponents(), 2);
    EXPECT_EQ(wheels.numberOfRows(0), 50);
    EXPECT_EQ(wheels.numberOfRows(1), 10);
    EXPECT_EQ(wheels.titleForRow(0, 0), "");
    EXPECT_EQ(wheels.titleForRow(1, 0), "Seat 0");
    EXPECT_EQ(wheels.titleForRow(49, 0), "Seat 48");
    EXPECT_EQ(wheels.titleForRow(0, 1), "");
    EXPECT_EQ(wheels.titleForRow(9, 1), "Course 8");

    f.h.pick(wheels, "Seat 5", 0); // a seat alone does not finish
    EXPECT_TRUE(f.flowShown());
    f.h.pick(wheels, 0, 1); // the blank course: no answer
    EXPECT_TRUE(f.flowShown());
    EXPECT_TRUE(ui::test::matchesGolden(f.picture(), "flow_seat_course_wheels_phone"));
    f.h.pick(wheels, "Course 0", 1);
    ASSERT_EQ(f.finished.size(), 1u);
    EXPECT_EQ(f.finished[0]->seat(), 5);
    EXPECT_EQ(f.finished[0]->course(), 0);
}

TEST_F(OptionScreenTest, OnlyCoursesOnTheWheelsIsOneWheelOfTen) {
    f.setParam("HH_SEATS_USE_SCROLLER", std::string("YES"));
    ASSERT_TRUE(f.start("I-SOUP", FlowAsks{.courses = true}));
    EXPECT_EQ(f.title(), "Course selection");
    PickerView& wheels = *f.screen<SeatCourseViewController>().pickerView();
    ASSERT_EQ(wheels.numberOfComponents(), 1);
    EXPECT_EQ(wheels.numberOfRows(0), 10);
    EXPECT_EQ(wheels.titleForRow(1, 0), "Course 0");
    EXPECT_EQ(wheels.titleForRow(9, 0), "Course 8");
    f.h.pick(wheels, "Course 8", 0);
    ASSERT_EQ(f.finished.size(), 1u);
    EXPECT_EQ(f.finished[0]->seat(), -1);
    EXPECT_EQ(f.finished[0]->course(), 8);
}

} // namespace
} // namespace tavlo::screens
