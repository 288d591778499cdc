// The item list as a person uses it: every item of the store by menu, a tap that enters the item
// through its flow, undo and redo on the last lines added, and the recipes' counts kept in step
// by each of them, a sold-out recipe refused on entry and on redo.
#include "MenuHost.h"
#include "screens/entry/items/ItemsViewController.h"
#include "screens/entry/options/PreparationGroupViewController.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::MenuTerminal;

class ItemsScreenTest : public ::testing::Test {
protected:
    ItemsScreenTest() { registerItemsView(); }

    ItemsViewController& open() {
        screen = std::make_shared<ItemsViewController>();
        screen->setSession(&f.session);
        screen->setOrder(f.order);
        screen->setSelectSeat(f.selectSeat);
        screen->setSelectCourse(f.selectCourse);
        f.h.show(std::make_shared<NavigationController>(screen));
        return *screen;
    }
    TableView& table() { return screen->tableView(); }
    IndexPath rowOf(const std::string& name) {
        TableView& t = table();
        for (int section = 0; section < t.numberOfSections(); ++section)
            for (int row = 0; row < t.numberOfRows(section); ++row) {
                t.scrollToRow({section, row});
                if (t.cellForRow({section, row})->textLabel().text() == name) return {section, row};
            }
        throw ui::test::HarnessError("no row shows \"" + name + "\"");
    }
    void tapItem(const std::string& name) { f.h.tapRow(table(), rowOf(name)); }
    std::string action() { return screen->lblAction()->text().value_or(""); }
    void undo() { f.h.tap(*screen->undoButton()); }
    void redo() { f.h.tap(*screen->redoButton()); }

    MenuTerminal f;
    std::shared_ptr<ItemsViewController> screen;
};

TEST_F(ItemsScreenTest, EveryItemIsListedByMenuWithTheMenusAsIndex) {
    open();
    std::vector<std::string> headers;
    for (int section = 0; section < table().numberOfSections(); ++section)
        headers.push_back(table().headerTitle(section).value_or(""));
    const std::vector<std::string> menus{"Appetizers",   "Steak and Wine", "Late Night",
                                         "Patio Drinks", "Desserts",       "Specials"};
    EXPECT_EQ(headers, menus);
    EXPECT_EQ(table().sectionIndexTitles(), (std::vector<std::string>{"App", "Ste", "Lat", "Pat", "Des", "Spe"}));
    EXPECT_EQ(table().numberOfRows(0), 4);
    EXPECT_EQ(table().numberOfRows(5), 13);
    auto* lists = dynamic_cast<SegmentedControl*>(screen->navigationItem().titleView().get());
    ASSERT_NE(lists, nullptr);
    EXPECT_EQ(lists->selectedSegmentIndex(), 0);
    EXPECT_TRUE(lists->isEnabledForSegment(0));
    EXPECT_FALSE(lists->isEnabledForSegment(1));
    EXPECT_FALSE(lists->isEnabledForSegment(2));
    EXPECT_EQ(action(), "");
    tapItem("Soup");
    EXPECT_TRUE(ui::test::matchesGolden(f.picture(), "items_phone"));
}

TEST_F(ItemsScreenTest, AddingUndoAndRedoKeepTheRecipesCountRight) {
    open();
    tapItem("Soup");
    ASSERT_EQ(f.order->selections().size(), 1u);
    const SelectionPtr soup = f.order->selections().front();
    EXPECT_TRUE(soup->remoteId().has_value());
    EXPECT_EQ(action(), "Added: 1 Soup");
    EXPECT_EQ(f.available("R-I-SOUP"), 900);

    redo();
    redo();
    EXPECT_EQ(soup->quantity(), 3);
    EXPECT_EQ(soup->newQuantity(), 3);
    EXPECT_EQ(action(), "Added: 3 Soup");
    EXPECT_EQ(f.available("R-I-SOUP"), 700);

    undo(); // 3 to 2: the line stays
    EXPECT_EQ(soup->quantity(), 2);
    EXPECT_EQ(soup->newQuantity(), 2);
    EXPECT_EQ(screen->additions().size(), 1u);
    EXPECT_EQ(action(), "Added: 2 Soup");
    EXPECT_EQ(f.available("R-I-SOUP"), 800);

    undo();
    undo(); // quantity 1: voided
    EXPECT_TRUE(soup->deleted().has_value());
    EXPECT_TRUE(f.order->activeSelections().empty());
    EXPECT_EQ(action(), "");
    EXPECT_EQ(f.available("R-I-SOUP"), 1000);

    // With nothing added, neither does anything.
    redo();
    undo();
    EXPECT_EQ(f.available("R-I-SOUP"), 1000);
    EXPECT_FALSE(f.h.hasAlert());
}

TEST_F(ItemsScreenTest, UndoVoidsSingleAdditionsNewestFirst) {
    open();
    for (const char* name : {"Soup", "Nachos", "Caesar Salad"}) tapItem(name);
    EXPECT_EQ(f.available("R-I-NACHOS"), 50);
    undo();
    EXPECT_EQ(action(), "Added: 1 Nachos");
    undo();
    EXPECT_EQ(action(), "Added: 1 Soup");
    EXPECT_EQ(f.available("R-I-NACHOS"), 150);
    undo();
    EXPECT_EQ(action(), "");
    EXPECT_TRUE(f.order->activeSelections().empty());
    EXPECT_EQ(f.available("R-I-SOUP"), 1000);
}

TEST_F(ItemsScreenTest, ASoldOutRecipeIsRefusedOnEntryAndOnRedo) {
    open();
    tapItem("Wings"); // none left
    EXPECT_EQ(f.h.frontAlert().message(), "Unable to order, we are currently out of this item");
    f.h.clickAlert("Ok");
    EXPECT_TRUE(f.order->selections().empty());
    EXPECT_FALSE(table().indexPathForSelectedRow().has_value());

    tapItem("Nachos");
    f.setAvailable("R-I-NACHOS", 0); // sold elsewhere meanwhile
    redo();
    ASSERT_TRUE(f.h.hasAlert());
    EXPECT_EQ(f.h.frontAlert().message(), "Unable to order, we are currently out of this item");
    f.h.clickAlert("Ok");
    EXPECT_EQ(f.order->selections().back()->quantity(), 1);
    EXPECT_EQ(f.available("R-I-NACHOS"), 0);
    EXPECT_EQ(action(), "Added: 1 Nachos");
}

TEST_F(ItemsScreenTest, AnItemWithOptionsGoesThroughItsFlowAndAQuickSaleIsNotAskedForASeat) {
    f.selectSeat = true;
    f.order->setSeats(2);
    open();
    tapItem("Steak");
    EXPECT_EQ(f.h.visibleController().title(), "Seat selection");
    f.h.tap("Seat 2");
    f.h.tapRow(f.h.visible<PreparationGroupViewController>().tableView(), {0, 0}); // Rare
    ASSERT_EQ(f.order->selections().size(), 1u);
    EXPECT_EQ(f.order->selections().front()->seat(), 2);
    EXPECT_EQ(&f.h.visibleController(), screen.get());
    EXPECT_EQ(action(), "Added: 1 Steak");

    f.order->setAreaLocationId(std::nullopt);
    tapItem("Steak");
    ASSERT_NO_THROW(f.h.visible<PreparationGroupViewController>());
}

} // namespace
} // namespace tavlo::screens
