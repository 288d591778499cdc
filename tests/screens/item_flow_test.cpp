// An item's flow driven as a person would: the steak with seat and course, its required
// temperature, two included sides of which the side salad needs its dressing. The screens come in
// their order, the one-choice groups and the sides' cap move on by themselves, every Back lands on
// the screen before, and the finished line reaches the menu screen's side with everything chosen.
#include "ItemFlowHost.h"
#include "screens/common/SlideView.h"
#include "screens/common/prompts/AmountViewController.h"
#include "screens/entry/options/PreparationGroupViewController.h"
#include "screens/entry/options/SeatCourseViewController.h"
#include "screens/entry/options/SidesViewController.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::FlowAsks;
using test::ItemFlowHost;

constexpr auto preparationIds = &test::ItemFlowTerminal::preparationIds;

// The line's sides as "name x quantity (preparations)".
std::vector<std::string> sidesOf(const Selection& line) {
    std::vector<std::string> sides;
    for (const SelectionPtr& side : line.getSides()) {
        std::string text = side->name().value_or("") + " x" + std::to_string(side->quantity());
        for (const std::string& id : preparationIds(*side)) text += " " + id;
        sides.push_back(text);
    }
    return sides;
}

class ItemFlowTest : public ::testing::Test {
protected:
    TextField& priceField() { return *f.screen<AmountViewController>().amountView(); }
    // Clears the price shown and types the cents.
    void enterPrice(const std::string& cents) {
        f.h.backspace(priceField(), static_cast<int>(priceField().text().size()));
        f.h.type(priceField(), cents);
        f.h.tap("Save");
    }
    void tapSeat(const std::string& title) { f.h.tap(title); }
    // Taps the "+" or "-" of the side's row.
    void step(const std::string& side, const std::string& sign) {
        TableView& table = f.table();
        for (int row = 0; row < table.numberOfRows(0); ++row) {
            TableViewCell* cell = table.cellForRow({0, row});
            if (!cell || ItemFlowHost::rowText(*cell) != side) continue;
            for (const auto& view : cell->contentView().subviews())
                if (auto* button = dynamic_cast<Button*>(view.get()); button && button->currentTitle() == sign)
                    return f.h.tap(*button);
        }
        FAIL() << "no " << sign << " for " << side;
    }
    std::string sideCount(const std::string& side) {
        TableView& table = f.table();
        for (int row = 0; row < table.numberOfRows(0); ++row)
            if (TableViewCell* cell = table.cellForRow({0, row}); cell && ItemFlowHost::rowText(*cell) == side)
                return dynamic_cast<Label*>(cell->viewWithTag(SidesViewController::kCountTag))->text().value_or("");
        return "?";
    }

    ItemFlowHost f;
};

TEST_F(ItemFlowTest, TheStepsComeInOrderAndTheFinishedLineReachesTheTarget) {
    ASSERT_TRUE(f.start("I-STEAK", FlowAsks{.seats = true, .courses = true, .price = true}));

    // Seat and course: one tap each; the second finishes the screen.
    ASSERT_NO_THROW(f.screen<SeatCourseViewController>());
    EXPECT_EQ(f.title(), "Seat/Course Selection");
    tapSeat("Seat 2");
    EXPECT_EQ(f.screen<SeatCourseViewController>().seatLabel()->text(), "Selected: Seat 2");
    tapSeat("Course 1");

    // The price, starting from the item's.
    EXPECT_EQ(f.title(), "Enter price");
    enterPrice("2100");

    // The required temperature: one choice of one moves on by itself, without a Done button.
    auto& temperature = f.screen<PreparationGroupViewController>();
    EXPECT_EQ(f.title(), "Temperature - Steak");
    EXPECT_EQ(temperature.titleForHeader(f.table(), 0), "Select 1 option");
    EXPECT_FALSE(temperature.navigationItem().rightBarButtonItem());
    f.tapRow("Medium");

    // The sides: two included; the second unit reaches the cap and moves on.
    ASSERT_NO_THROW(f.screen<SidesViewController>());
    EXPECT_EQ(f.title(), "Sides - Steak");
    EXPECT_EQ(f.screen<SidesViewController>().titleForHeader(f.table(), 0), "Includes 2");
    step("Side Salad", "+");
    EXPECT_EQ(sideCount("Side Salad"), "1");
    f.tapRow("Fries");

    // The side salad's own dressing; the fries need nothing, so the dressing ends the flow.
    EXPECT_EQ(f.title(), "Dressing - Side Salad");
    EXPECT_EQ(f.stackDepth(), 5u);
    f.tapRow("Ranch");

    EXPECT_FALSE(f.flowShown());
    ASSERT_EQ(f.finished.size(), 1u);
    const Selection& line = *f.finished[0];
    EXPECT_EQ(line.name(), "Steak");
    EXPECT_EQ(line.seat(), 2);
    EXPECT_EQ(line.course(), 1);
    EXPECT_EQ(line.price(), 2100);
    EXPECT_EQ(preparationIds(line), std::vector<std::string>{"P-MED"});
    EXPECT_EQ(sidesOf(line), (std::vector<std::string>{"Side Salad x1 P-RANCH", "Fries x1"}));
    for (const SelectionPtr& side : line.getSides()) {
        EXPECT_EQ(side->orderedBy(), "U-ANN");
        EXPECT_TRUE(side->remoteId()) << side->name().value_or("");
    }
    // The entry over, the flow goes with its screens.
    f.h.runUntilIdle();
    EXPECT_TRUE(f.flow.expired());
}

TEST_F(ItemFlowTest, EveryBackLandsOnTheScreenBeforeAndTheSidesRestart) {
    ASSERT_TRUE(f.start("I-STEAK", FlowAsks{.seats = true, .courses = true, .price = true}));
    tapSeat("Seat 3");
    tapSeat("Course 2");
    enterPrice("1999");
    f.tapRow("Rare");
    step("Side Salad", "+");
    step("Fries", "+");
    ASSERT_EQ(f.title(), "Dressing - Side Salad");
    EXPECT_EQ(f.h.visibleController().navigationItem().leftBarButtonItem()->title(), "Back");

    // From the first side screen back to the sides screen, which still shows the counts.
    f.h.tap("Back");
    ASSERT_EQ(f.title(), "Sides - Steak");
    EXPECT_EQ(f.flow.lock()->currentSide(), -1);
    EXPECT_TRUE(f.flow.lock()->subFlows().empty());
    EXPECT_EQ(sideCount("Side Salad"), "1");
    EXPECT_EQ(sideCount("Fries"), "1");

    // At the cap another side is refused until one is taken off.
    step("Rice", "+");
    ASSERT_TRUE(f.h.hasAlert());
    EXPECT_EQ(f.h.frontAlert().title(), "Alert");
    EXPECT_EQ(f.h.frontAlert().message(), "You can only select 2 Decrement something else first");
    f.h.clickAlert("Ok");
    EXPECT_EQ(sideCount("Rice"), "");
    step("Fries", "-");
    EXPECT_EQ(sideCount("Fries"), "");
    step("Side Salad", "+"); // two salads: the cap again, and the side flows start afresh

    ASSERT_EQ(f.title(), "Dressing - Side Salad");
    EXPECT_EQ(f.stackDepth(), 5u); // the first dressing screen went with its Back

    // Back through every screen: dressing, sides, temperature, price (showing the price given),
    // seat and course.
    f.h.tap("Back");
    ASSERT_EQ(f.title(), "Sides - Steak");
    f.h.tap("Back");
    ASSERT_EQ(f.title(), "Temperature - Steak");
    EXPECT_FALSE(f.flow.lock()->selection()->getSides().empty()); // the sides stay on the line
    f.h.tap("Back");
    ASSERT_EQ(f.title(), "Enter price");
    EXPECT_EQ(priceField().text(), "$19.99");
    f.h.tap("Back");
    ASSERT_EQ(f.title(), "Seat/Course Selection");
    EXPECT_EQ(f.stackDepth(), 1u);

    // Forward again: one tap (the course was given before), the price, another temperature in
    // place of the one chosen, the sides as they are (Done), the dressing.
    tapSeat("Seat 1");
    ASSERT_EQ(f.title(), "Enter price");
    enterPrice("2000");
    f.tapRow("Well Done");
    ASSERT_EQ(f.title(), "Sides - Steak");
    f.h.tap(SystemItem::Done);
    ASSERT_EQ(f.title(), "Dressing - Side Salad");
    f.tapRow("Vinaigrette");
    ASSERT_EQ(f.finished.size(), 1u);
    EXPECT_EQ(f.finished[0]->seat(), 1);
    EXPECT_EQ(f.finished[0]->course(), 2);
    EXPECT_EQ(f.finished[0]->price(), 2000);
    EXPECT_EQ(preparationIds(*f.finished[0]), std::vector<std::string>{"P-WELL"});
    EXPECT_EQ(sidesOf(*f.finished[0]), std::vector<std::string>{"Side Salad x2 P-VIN"});
    EXPECT_EQ(f.finished[0]->getSides()[0]->newQuantity(), 2);
}

TEST_F(ItemFlowTest, BackFromTheSidesGoesToTheLastGroupThenToTheSeatAndOut) {
    ASSERT_TRUE(f.start("I-STEAK", FlowAsks{.seats = true}));
    EXPECT_EQ(f.title(), "Seat selection");
    tapSeat("Seat 4"); // only the seat is asked: one tap finishes
    f.tapRow("Well Done");
    ASSERT_EQ(f.title(), "Sides - Steak");

    f.h.tap("Back");
    ASSERT_EQ(f.title(), "Temperature - Steak");
    EXPECT_EQ(f.flow.lock()->currentPreparation(), 0);
    // The earlier choice is there; another replaces it and moves on.
    f.tapRow("Rare");
    ASSERT_EQ(f.title(), "Sides - Steak");
    EXPECT_EQ(preparationIds(*f.flow.lock()->selection()), std::vector<std::string>{"P-RARE"});

    f.h.tap("Back");
    f.h.tap("Back");
    ASSERT_NO_THROW(f.screen<SeatCourseViewController>());
    EXPECT_EQ(f.flow.lock()->currentPreparation(), -1);
    // Back on the first screen drops the whole entry: nothing reaches the target.
    f.h.tap("Back");
    EXPECT_FALSE(f.flowShown());
    EXPECT_TRUE(f.finished.empty());
    f.h.runUntilIdle();
    EXPECT_TRUE(f.flow.expired());
}

TEST_F(ItemFlowTest, AGroupOpeningTheFlowOffersCancelWhichDropsTheLine) {
    ASSERT_TRUE(f.start("I-STEAK"));
    EXPECT_EQ(f.title(), "Temperature - Steak");
    EXPECT_EQ(f.h.visibleController().navigationItem().leftBarButtonItem()->title(), "Cancel");
    f.tapRow("Medium");
    EXPECT_EQ(f.h.visibleController().navigationItem().leftBarButtonItem()->title(), "Back");
    f.h.tap("Back");
    f.h.tap("Cancel");
    EXPECT_FALSE(f.flowShown());
    EXPECT_TRUE(f.finished.empty());
}

TEST_F(ItemFlowTest, AnItemWithNothingToAskIsFinishedAtOnce) {
    EXPECT_FALSE(f.start("I-SOUP"));
    ASSERT_EQ(f.finished.size(), 1u);
    EXPECT_EQ(f.finished[0]->name(), "Soup");
    EXPECT_FALSE(f.flowShown());
}

} // namespace
} // namespace tavlo::screens
