// A combo item's flow driven from the menu list as a person would: seat, an empty price screen,
// the fixed burger's temperature, then the combo groups in their sequence (not the store's order)
// with the items chosen there and their own screens; the group's cap, its automatic advance, the
// back steps between groups and fixed items, and the finished combo on the order with its group
// lines and prices.
#include "ComboMenu.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/common/BadgedCell.h"
#include "screens/common/prompts/AmountViewController.h"
#include "screens/entry/options/PreparationGroupViewController.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::ComboGroupRows;
using test::ComboMenuTerminal;

// A line's preparation ids, in the order chosen.
std::string preparationsOf(const Selection& line) {
    std::string ids;
    for (const Preparation& p : line.getPreparations())
        ids += (ids.empty() ? "" : " ") + p.preparationId().value_or("");
    return ids;
}

class ComboFlowTest : public ::testing::Test {
protected:
    explicit ComboFlowTest(DeviceIdiom idiom = DeviceIdiom::Phone) : f(idiom) { f.order->setSeats(2); }

    // Opens the list on the combos and taps the item.
    void order(const std::string& name) {
        auto& menu = f.open<SlideMenuViewController>();
        f.h.tap(*menu.menuBar()->getButton("Combos"));
        TableView& table = menu.tableView();
        for (int section = 0; section < table.numberOfSections(); ++section)
            for (int r = 0; r < table.numberOfRows(section); ++r)
                if (table.cellForRow({section, r})->textLabel().text() == name) return f.h.tapRow(table, {section, r});
        FAIL() << "no " << name << " on the menu";
    }
    std::optional<std::string> title() { return f.h.visibleController().title(); }
    std::optional<std::string> header() { return groups.screen().titleForHeader(groups.screen().tableView(), 0); }
    void choose(const std::string& preparation) {
        auto& screen = f.h.visible<PreparationGroupViewController>();
        TableView& table = screen.tableView();
        for (int r = 0; r < table.numberOfRows(0); ++r)
            if (table.cellForRow({0, r})->textLabel().text() == preparation) return f.h.tapRow(table, {0, r});
        FAIL() << "no " << preparation;
    }
    std::string backTitle() {
        return f.h.visibleController().navigationItem().leftBarButtonItem()->title().value_or("");
    }

    ComboMenuTerminal f;
    ComboGroupRows groups{f.h};
};

TEST_F(ComboFlowTest, TheScreensComeInOrderTheGroupsCapRestartsAndTheComboLandsOnTheOrder) {
    f.selectSeat = true;
    order("Burger Deal");

    EXPECT_EQ(title(), "Seat selection");
    f.h.tap("Seat 2");

    // The combo's price screen opens empty.
    ASSERT_EQ(title(), "Enter price");
    TextField& price = *f.h.visible<AmountViewController>().amountView();
    EXPECT_EQ(price.text(), "");
    f.h.type(price, "1600");
    f.h.tap("Save");

    // The fixed burger's required temperature.
    EXPECT_EQ(title(), "Temperature - Burger");
    choose("Rare");

    // The groups by sequence: the drinks (one) first; one tap fills it and moves on.
    ASSERT_NO_THROW(groups.screen());
    EXPECT_EQ(title(), "Burger Deal");
    EXPECT_EQ(header(), "Includes 1");
    EXPECT_EQ(groups.names(), (std::vector<std::string>{"Cola", "Shake"}));
    groups.tapRow("Shake");

    EXPECT_EQ(header(), "Includes 2");
    EXPECT_EQ(groups.names(), (std::vector<std::string>{"House Salad", "Chips"}));
    groups.step("House Salad", "+");
    EXPECT_EQ(groups.count("House Salad"), "1");
    groups.step("Chips", "+");

    // The first chosen item's dressing; back lands on its group screen with the choices shown.
    EXPECT_EQ(title(), "Dressing - House Salad");
    f.h.tap("Back");
    ASSERT_EQ(header(), "Includes 2");
    EXPECT_EQ(groups.count("House Salad"), "1");
    EXPECT_EQ(groups.count("Chips"), "1");
    EXPECT_TRUE(ui::test::matchesGolden(f.picture(), "combo_group_phone"));

    // The group is full: another unit is refused until one is taken off.
    groups.step("House Salad", "+");
    ASSERT_TRUE(f.h.hasAlert());
    EXPECT_EQ(f.h.frontAlert().title(), "Alert");
    EXPECT_EQ(f.h.frontAlert().message(), "You can only select 2 Decrement something else first");
    f.h.clickAlert("Ok");
    groups.step("Chips", "-");
    EXPECT_EQ(groups.count("Chips"), "");
    groups.step("House Salad", "+"); // full again: on to the chosen items afresh

    EXPECT_EQ(title(), "Dressing - House Salad");
    choose("Ranch");

    // The combo is on the order, and the order's totals count its price and its surcharges.
    ASSERT_EQ(f.order->selections().size(), 1u);
    auto combo = std::dynamic_pointer_cast<ComboSelection>(f.order->selections().front());
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->name(), "Burger Deal");
    EXPECT_EQ(combo->price(), 1600);
    EXPECT_EQ(combo->seat(), 2);
    ASSERT_EQ(combo->getSelections().size(), 1u);
    EXPECT_EQ(preparationsOf(*combo->getSelections()[0]), "P-RARE");
    const auto* drinks = combo->getSelections("CG-DRINK");
    const auto* sides = combo->getSelections("CG-SIDES");
    ASSERT_TRUE(drinks && sides);
    ASSERT_EQ(drinks->size(), 1u);
    const Selection& shake = *drinks->front();
    EXPECT_EQ(shake.name(), "Shake");
    EXPECT_EQ(shake.additionPrice(), 150);
    EXPECT_EQ(shake.referenceId(), "CG-DRINK");
    EXPECT_EQ(shake.quantity(), 1);
    EXPECT_EQ(shake.newQuantity(), 1);
    EXPECT_TRUE(shake.remoteId());
    ASSERT_EQ(sides->size(), 1u); // the chips were taken off
    const Selection& salad = *sides->front();
    EXPECT_EQ(salad.name(), "House Salad");
    EXPECT_EQ(salad.quantity(), 2);
    EXPECT_EQ(salad.newQuantity(), 2);
    EXPECT_EQ(preparationsOf(salad), "P-RANCH");
    EXPECT_EQ(salad.orderedBy(), "U-ANN");
    EXPECT_EQ(f.order->getSubTotal(), 1600 + 150 + 2 * 100);
    EXPECT_EQ(f.order->getTotal(), f.order->getSubTotal() + f.order->getTaxTotal());
    EXPECT_EQ(&f.h.visibleController(), f.menu.get());
}

TEST_F(ComboFlowTest, BackFromAGroupLandsOnThePreviousGroupOrFixedItemThenThePriceAndDropsTheCombo) {
    order("Burger Deal");
    ASSERT_EQ(title(), "Enter price");
    f.h.tap("Save"); // nothing typed: the item's price stays
    choose("Well Done");
    EXPECT_EQ(backTitle(), "Back");
    groups.tapRow("Cola");
    ASSERT_EQ(header(), "Includes 2");
    EXPECT_EQ(backTitle(), "Back");

    // The drinks chosen need no screen: back from the sides lands on the drinks.
    f.h.tap("Back");
    ASSERT_EQ(header(), "Includes 1");
    EXPECT_EQ(groups.count("Cola"), "1");
    groups.tapRow("Shake");
    ASSERT_TRUE(f.h.hasAlert());
    EXPECT_EQ(f.h.frontAlert().message(), "You can only select 1 Decrement something else first");
    f.h.clickAlert("Ok");

    // Back from the first group: the fixed burger's temperature; then the price, empty again.
    f.h.tap("Back");
    EXPECT_EQ(title(), "Temperature - Burger");
    f.h.tap("Back");
    ASSERT_EQ(title(), "Enter price");
    EXPECT_EQ(f.h.visible<AmountViewController>().amountView()->text(), "");
    f.h.tap("Back"); // the first screen: the combo is dropped
    EXPECT_EQ(&f.h.visibleController(), f.menu.get());
    EXPECT_TRUE(f.order->selections().empty());
}

TEST_F(ComboFlowTest, AComboWithNothingToAskIsAddedAtOnce) {
    order("Soup Pair");
    EXPECT_EQ(&f.h.visibleController(), f.menu.get());
    ASSERT_EQ(f.order->selections().size(), 1u);
    auto combo = std::dynamic_pointer_cast<ComboSelection>(f.order->selections().front());
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->getSelections().size(), 2u);
    EXPECT_EQ(f.order->getSubTotal(), 900);
}

TEST_F(ComboFlowTest, OutsideAFlowTheGroupStaysCappedAndDoneGoesBack) {
    auto combo = std::make_shared<ComboSelection>();
    combo->setName(std::string("Burger Deal"));
    auto screen = std::make_shared<ComboGroupViewController>();
    screen->setSession(&f.session);
    screen->setSelection(combo);
    screen->setComboGroupId("CG-DRINK");
    screen->setCount(1);
    auto opener = std::make_shared<ViewController>();
    opener->setTitle(std::string("Opener"));
    auto navigation = std::make_shared<NavigationController>(opener);
    f.h.show(navigation);
    navigation->push(screen, false);
    f.h.runUntilIdle();

    EXPECT_EQ(backTitle(), "Back");
    groups.tapRow("Cola"); // full, but no flow to move on
    EXPECT_EQ(groups.count("Cola"), "1");
    groups.step("Shake", "+");
    ASSERT_TRUE(f.h.hasAlert());
    EXPECT_EQ(f.h.frontAlert().message(), "You can only select 1 Decrement something else first");
    f.h.clickAlert("Ok");
    groups.step("Shake", "-"); // not chosen: nothing changes
    EXPECT_EQ(groups.count("Shake"), "");
    EXPECT_EQ(combo->getSelectionCount("CG-DRINK"), 1);
    f.h.tap(SystemItem::Done);
    EXPECT_EQ(f.h.visibleController().title(), "Opener");
}

class ComboFlowPad : public ComboFlowTest {
protected:
    ComboFlowPad() : ComboFlowTest(DeviceIdiom::Tablet) {}
};

TEST_F(ComboFlowPad, TheGroupScreenInTheFormSheet) {
    order("Burger Deal");
    f.h.tap("Save");
    choose("Rare");
    groups.step("Shake", "-"); // nothing chosen: the counts stay empty
    ASSERT_EQ(header(), "Includes 1");
    EXPECT_TRUE(ui::test::matchesGolden(f.picture(), "combo_group_pad"));
}

} // namespace
} // namespace tavlo::screens
