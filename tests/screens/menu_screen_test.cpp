// The menu screens driven as a person would: the menu bar offers the menus of this terminal's
// area that are on now, a tap on an item adds its line (or starts its flow), undo and redo walk
// the last line's quantity and keep the recipe's stock in step, a sold-out item is refused and
// the list read again, the store's rules give a new order its default items and a line its tax
// exemptions, and a quick sale switches its order type (a delivery asks for its customer).
#include "MenuHost.h"
#include "core/records/Customer.h"
#include "platform/ui/InterfaceRegistry.h"
#include "screens/common/BadgedCell.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/SlideView.h"
#include "screens/entry/options/PreparationGroupViewController.h"
#include "screens/entry/options/SeatCourseViewController.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::MenuTerminal;

std::vector<std::string> titlesOf(const SlideView& bar) {
    std::vector<std::string> titles;
    for (const auto& button : bar.buttons()) titles.push_back(button->title().value_or(""));
    return titles;
}

class MenuScreenTest : public ::testing::Test {
protected:
    SlideMenuViewController& openList() { return f.open<SlideMenuViewController>(); }
    TableView& table() { return dynamic_cast<SlideMenuViewController&>(*f.menu).tableView(); }
    // The row that shows the item's name; throws when none does.
    BadgedCell& row(const std::string& name) {
        TableView& t = table();
        for (int section = 0; section < t.numberOfSections(); ++section)
            for (int r = 0; r < t.numberOfRows(section); ++r)
                if (auto* cell = dynamic_cast<BadgedCell*>(t.cellForRow({section, r}));
                    cell && cell->textLabel().text() == name)
                    return *cell;
        throw ui::test::HarnessError("no row shows \"" + name + "\"");
    }
    void tapItem(const std::string& name) { f.h.tapRow(table(), *table().indexPathForCell(row(name))); }
    void tapMenu(const std::string& title) { f.h.tap(*f.menu->menuBar()->getButton(title)); }
    std::string action() { return f.menu->lblAction()->text().value_or(""); }
    std::vector<std::string> names() {
        std::vector<std::string> shown;
        TableView& t = table();
        for (int section = 0; section < t.numberOfSections(); ++section)
            for (int r = 0; r < t.numberOfRows(section); ++r)
                shown.push_back(t.cellForRow({section, r})->textLabel().text().value_or(""));
        return shown;
    }

    MenuTerminal f;
};

TEST_F(MenuScreenTest, TheBarOffersTheMenusOfThisAreaThatAreOnNowWithTheShortcutsFirst) {
    openList();
    // Late Night is not on before 23:00, Patio Drinks belongs to the patio, Desserts is disabled.
    EXPECT_EQ(titlesOf(*f.menu->menuBar()), (std::vector<std::string>{"Appetizers", "Steak and Wine", "Specials"}));
    EXPECT_EQ(f.menu->currentMenuId(), "M1");
    EXPECT_TRUE(f.menu->menuBar()->getButton("Appetizers")->isHighlighted());
    EXPECT_EQ(names(), (std::vector<std::string>{"Wings", "Nachos", "Soup", "Caesar Salad"}));

    // Shortcuts on: their button comes first and is the one shown, in shortcut order.
    f.setParam("HH_USE_SHORTCUTS", std::string("Y"));
    f.h.clock().advance(3600); // 23:13:20: Late Night is on
    openList();
    EXPECT_EQ(titlesOf(*f.menu->menuBar()),
              (std::vector<std::string>{"Shortcuts", "Appetizers", "Steak and Wine", "Late Night", "Specials"}));
    EXPECT_EQ(f.menu->currentMenuId(), "-999");
    EXPECT_EQ(f.menu->menuBar()->buttons().front()->tag(), MenuViewController::kShortcutsTag);
    EXPECT_TRUE(f.menu->menuBar()->getButton("Shortcuts")->isHighlighted());
    EXPECT_EQ(names(), (std::vector<std::string>{"Caesar Salad", "Soup"}));

    tapMenu("Late Night");
    EXPECT_EQ(names(), (std::vector<std::string>{"Late Fries"}));
    EXPECT_TRUE(f.menu->menuBar()->getButton("Late Night")->isHighlighted());
    EXPECT_FALSE(f.menu->menuBar()->getButton("Shortcuts")->isHighlighted());

    // Past midnight the menu is over: its button greys and the list stays; a tap on one of its
    // items says so.
    f.h.clock().advance(3600);
    tapMenu("Late Night");
    EXPECT_EQ(f.menu->menuBar()->getButton("Late Night")->titleColor(ControlState::Highlighted), Color::lightGray());
    tapItem("Late Fries");
    ASSERT_TRUE(f.h.hasAlert());
    EXPECT_EQ(f.h.frontAlert().message(), "Menu is no longer available");
    f.h.clickAlert("Ok");
    EXPECT_TRUE(f.order->selections().empty());
}

TEST_F(MenuScreenTest, WidthsPaddingAndRowsOfTheBarComeFromTheStoreValues) {
    f.setParam("HH_MENU_FONT_WIDTH", std::string("10"));
    f.setParam("HH_MENU_Y_PADDING", std::string("5"));
    f.setParam("HH_ROW_COUNT", std::string("2"));
    openList();
    SlideView& bar = *f.menu->menuBar();
    EXPECT_EQ(bar.getButton("Appetizers")->frame().width(), 10 * 11);
    EXPECT_EQ(bar.getButton("Steak and Wine")->frame().width(), 10 * 15);
    EXPECT_EQ(bar.rows(), 2);
    EXPECT_EQ(bar.frame(), Rect(0, 5, 320, 2 * (5 + 45)));
    EXPECT_EQ(f.menu->menuBarHeight(), 2 * (5 + 45) + 5);
    EXPECT_EQ(table().frame().y(), f.menu->menuBarHeight());

    // All as wide as the longest name, and icons for the names the keyword table knows.
    UserDefaults::standardUserDefaults().setBool(true, "menus_fixed_width");
    UserDefaults::standardUserDefaults().setBool(true, "menu_icons");
    openList();
    SlideView& icons = *f.menu->menuBar();
    EXPECT_EQ(icons.getButton("Appetizers")->backgroundImage(ControlState::Normal)->name(), "fries.png");
    EXPECT_EQ(icons.getButton("Steak and Wine")->backgroundImage(ControlState::Normal)->name(), "beef.png");
    EXPECT_EQ(icons.getButton("Specials")->backgroundImage(ControlState::Normal)->name(), "chef.png");
    EXPECT_EQ(f.menu->menuBarHeight(), 2 * (5 + 64) + 5);
}

TEST_F(MenuScreenTest, AnItemWithoutOptionsIsAddedAndUndoAndRedoWalkItsQuantityAndStock) {
    openList();
    EXPECT_EQ(action(), "Select an item");
    EXPECT_FALSE(f.menu->undoButton()->isEnabled());
    tapItem("Soup");
    ASSERT_EQ(f.order->selections().size(), 1u);
    const SelectionPtr soup = f.order->selections().front();
    EXPECT_TRUE(soup->remoteId().has_value());
    EXPECT_EQ(action(), "Added: 1 Soup");
    EXPECT_EQ(f.available("R-I-SOUP"), 900);
    EXPECT_EQ(row("Soup").badgeString(), "9");
    EXPECT_TRUE(f.menu->undoButton()->isEnabled());
    EXPECT_TRUE(f.menu->redoButton()->isEnabled());
    EXPECT_EQ(f.refreshes, 1);

    f.h.tap(*f.menu->redoButton());
    f.h.tap(*f.menu->redoButton());
    EXPECT_EQ(soup->quantity(), 3);
    EXPECT_EQ(action(), "Added: 3 Soup");
    EXPECT_EQ(f.available("R-I-SOUP"), 700);

    f.h.tap(*f.menu->undoButton()); // 3 to 2
    EXPECT_EQ(soup->quantity(), 2);
    EXPECT_EQ(action(), "Added: 2 Soup");
    EXPECT_EQ(f.available("R-I-SOUP"), 800);
    f.h.tap(*f.menu->undoButton());
    f.h.tap(*f.menu->undoButton()); // quantity 1: the line goes
    EXPECT_TRUE(soup->deleted().has_value());
    EXPECT_TRUE(f.order->activeSelections().empty());
    EXPECT_TRUE(f.menu->additions().empty());
    EXPECT_EQ(action(), "Select an item");
    EXPECT_EQ(f.available("R-I-SOUP"), 1000);
    EXPECT_EQ(row("Soup").badgeString(), "10");
    EXPECT_FALSE(f.menu->undoButton()->isEnabled());
    EXPECT_FALSE(f.menu->redoButton()->isEnabled());
}

TEST_F(MenuScreenTest, UndoOfTheLastLineShowsTheOneBeforeAndRedoStopsAtTheLastPortion) {
    openList();
    tapItem("Soup");
    tapItem("Nachos"); // 150 -> 50: half a portion left
    EXPECT_EQ(row("Nachos").badgeString(), "0");
    EXPECT_EQ(row("Nachos").badgeColor(), Color(0.197, 0.592, 0.219, 1));
    f.setAvailable("R-I-NACHOS", 0);
    f.h.tap(*f.menu->redoButton());
    ASSERT_TRUE(f.h.hasAlert());
    EXPECT_EQ(f.h.frontAlert().message(), "Unable to order, we are currently out of this item");
    f.h.clickAlert("Ok");
    EXPECT_EQ(f.order->selections().back()->quantity(), 1);

    f.h.tap(*f.menu->undoButton());
    EXPECT_EQ(action(), "Added: 1 Soup");
    EXPECT_EQ(f.menu->additions().size(), 1u);
}

TEST_F(MenuScreenTest, ASoldOutItemIsRefusedAndTheListReadAgain) {
    openList();
    EXPECT_EQ(row("Nachos").badgeString(), "1");
    f.setAvailable("R-I-NACHOS", 0); // sold elsewhere meanwhile; the list still says 1
    tapItem("Nachos");
    ASSERT_TRUE(f.h.hasAlert());
    EXPECT_EQ(f.h.frontAlert().title(), "Alert");
    EXPECT_EQ(f.h.frontAlert().message(), "Unable to order, we are currently out of this item");
    f.h.clickAlert("Ok");
    EXPECT_TRUE(f.order->selections().empty());
    EXPECT_EQ(row("Nachos").badgeString(), "0");
    EXPECT_EQ(row("Nachos").badgeColor(), Color(0.792, 0.197, 0.219, 1));
    EXPECT_FALSE(table().indexPathForSelectedRow().has_value());
}

TEST_F(MenuScreenTest, AnItemThatNeedsOptionsStartsItsFlowAndItsEndAddsTheLine) {
    f.selectSeat = true; // a table order in seat mode: the flow asks for the seat first
    f.order->setSeats(2);
    openList();
    tapMenu("Steak and Wine");
    tapItem("Steak");
    EXPECT_TRUE(f.order->selections().empty());
    EXPECT_EQ(f.h.visibleController().title(), "Seat selection");
    f.h.tap("Seat 2");
    ASSERT_NO_THROW(f.h.visible<PreparationGroupViewController>());
    f.h.tapRow(f.h.visible<PreparationGroupViewController>().tableView(), {0, 0}); // Rare
    ASSERT_EQ(f.order->selections().size(), 1u);
    EXPECT_EQ(f.order->selections().front()->seat(), 2);
    EXPECT_EQ(action(), "Added: 1 Steak");
    EXPECT_EQ(&f.h.visibleController(), f.menu.get()); // the flow is gone
}

TEST_F(MenuScreenTest, WithoutTheRightToAddTheLineIsNotAddedAndTheFlowStays) {
    f.store.row("Role", "roleId", "R-SERVER")->removeFrom("permissions", f.store.row("Permission", "name", "ADD_ITEM"));
    f.store.save();
    openList();
    tapMenu("Steak and Wine");
    tapItem("Steak");
    f.h.tapRow(f.h.visible<PreparationGroupViewController>().tableView(), {0, 0});
    ASSERT_TRUE(f.h.hasAlert());
    EXPECT_EQ(f.h.frontAlert().message(), "You do not have the required access");
    f.h.clickAlert("Ok");
    EXPECT_TRUE(f.order->selections().empty());
    EXPECT_NO_THROW(f.h.visible<PreparationGroupViewController>());
}

TEST_F(MenuScreenTest, TheRulesGiveANewOrderItsDefaultItemsAndALineItsTaxExemptions) {
    f.addRule("CustomerOrderDefaultItem", {{"DEFAULT_ITEM_ID", "I-SOUP"}, {"ORDER_TYPE_1", "-3"}});
    f.addRule("CustomerOrderDefaultItem", {{"DEFAULT_ITEM_ID", "I-CAESAR"}, {"AREA_ID_1", "A1"}});
    f.addRule("CustomerOrderDefaultItem", {{"DEFAULT_ITEM_ID", "I-NACHOS"}, {"ORDER_TYPE_1", "-1"}}); // take-out
    f.addRule("CustomerOrderDefaultItem", {{"DEFAULT_ITEM_ID", "I-WINGS"}, {"AREA_ID_1", "A2"}});     // the patio
    f.addRule("CustomerOrderTaxExempt", {{"TAX_NAME_1", "State"}, {"TAX_NAME_2", "City"}, {"ORDER_TYPE_1", "-3"}});
    f.addRule("CustomerOrderTaxExempt", {{"TAX_NAME_1", "Liquor"}, {"ORDER_TYPE_1", "-1"}});
    // The recipe group is known only for a table order when courses go by group; here it is not.
    f.addRule("CustomerOrderTaxExempt", {{"TAX_NAME_1", "Grill"}, {"RECIPE_GROUP_1", "Grill"}});
    openList();
    ASSERT_EQ(f.menu->defaultItems().size(), 2u);
    f.menu->addDefaultItems();
    f.h.runUntilIdle();
    ASSERT_EQ(f.order->selections().size(), 2u);
    EXPECT_EQ(f.order->selections()[0]->name(), "Soup");
    EXPECT_EQ(f.order->selections()[1]->name(), "Caesar Salad");
    for (const SelectionPtr& line : f.order->selections())
        EXPECT_EQ(line->taxExemptions(), (std::vector<std::string>{"State", "City"})) << *line->name();
}

TEST_F(MenuScreenTest, CoursesAndGroupExemptionsFollowTheRecipeGroupWhenCoursesGoByGroup) {
    auto group = [&](const std::string& id, const std::string& name, const std::string& recipeId) {
        auto row = f.store->insert("RecipeGroup");
        row->setValue("recipeGroupId", id);
        row->setValue("name", name);
        f.store->fetchFirst("Recipe", "recipeId == %@", recipeId)->setToOne("recipeGroup", row);
    };
    group("RG1", "Grill", "R-I-NACHOS");
    group("RG2", "Kitchen", "R-I-SOUP");
    f.setParam("HH_COURSE_SALES_GROUPS", std::string("Grill,Bar"));
    f.addRule("CustomerOrderTaxExempt", {{"TAX_NAME_1", "Grill Tax"}, {"RECIPE_GROUP_1", "Grill"}});
    f.selectCourse = true;
    openList();

    tapItem("Soup"); // a kitchen item: no course asked, no exemption
    ASSERT_EQ(f.order->selections().size(), 1u);
    EXPECT_TRUE(f.order->selections().front()->taxExemptions().empty());

    tapItem("Nachos"); // a grill item asks for its course
    auto& courses = f.h.visible<SeatCourseViewController>();
    EXPECT_EQ(courses.selection()->taxExemptions(), (std::vector<std::string>{"Grill Tax"}));
}

// The customers list as the menu screen sees it by its interface name, until the customers
// screen comes: it answers with the customer the test gives it.
class StandInCustomers : public ViewController, public CustomerPicker {
public:
    StandInCustomers() : ViewController() {}
    void setObserver(Observer observer) override { observer_ = std::move(observer); }
    void setSession(Session* session) override { session_ = session; }
    void setAllowRemove(bool allow) override { allowRemove_ = allow; }
    void choose(const std::optional<Customer>& customer) { observer_(customer); }
    Observer observer_;
    Session* session_ = nullptr;
    bool allowRemove_ = true;
};

TEST_F(MenuScreenTest, AQuickSaleSwitchesItsOrderTypeAndADeliveryAsksForItsCustomer) {
    InterfaceRegistry::shared().addController(CustomerPicker::kInterfaceName,
                                              [] { return std::make_shared<StandInCustomers>(); });
    f.order->setAreaLocationId(std::nullopt);
    f.order->setOrderType(OrderType::TakeOut);
    openList();
    SegmentedControl* types = f.menu->orderTypes();
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(f.menu->navigationItem().titleView().get(), types);
    ASSERT_GE(f.menu->orderTypesSupported().size(), 2u);
    EXPECT_EQ(types->titleForSegment(types->selectedSegmentIndex()), Order::typeAbbreviation(OrderType::TakeOut));

    f.h.pickSegment(*types, Order::typeAbbreviation(OrderType::Delivery));
    EXPECT_EQ(f.order->orderType(), OrderType::Delivery);
    auto& customers = f.h.visible<StandInCustomers>();
    EXPECT_EQ(customers.title(), "Customers");
    EXPECT_EQ(customers.session_, &f.session);
    EXPECT_FALSE(customers.allowRemove_);
    Customer guest;
    guest.setCustomerId(std::string("C-7"));
    guest.setRemoteId(std::string("R-7"));
    guest.setCompany(std::string("Acme Catering"));
    customers.choose(guest);
    f.h.runUntilIdle();
    EXPECT_EQ(f.order->customerId(), "C-7");
    EXPECT_EQ(f.order->customerRemoteId(), "R-7");
    EXPECT_EQ(f.order->name(), "Acme Catering");
    EXPECT_EQ(&f.h.visibleController(), f.menu.get());

    f.menu->setOrderType(OrderType::Refund);
    EXPECT_EQ(f.menu->title(), "Refund");
    EXPECT_EQ(f.menu->navigationItem().titleView(), nullptr);
    InterfaceRegistry::shared().remove(CustomerPicker::kInterfaceName);
}

TEST_F(MenuScreenTest, ATableOrderIsTitledMenuAndTheHelpButtonIsOff) {
    openList();
    EXPECT_EQ(f.menu->title(), "Menu");
    EXPECT_EQ(f.menu->orderTypes(), nullptr);
    EXPECT_FALSE(f.menu->navigationItem().rightBarButtonItem()->isEnabled());
    f.menu->itemDescription();
    EXPECT_EQ(f.h.frontAlert().message(), "Item description not currently supported");
}

TEST_F(MenuScreenTest, TheListShowsSectionsTheIndexAndTheBadges) {
    openList();
    TableView& t = table();
    ASSERT_EQ(t.numberOfSections(), 2);
    // On the phone a section name of 11 characters or more is cut to ten.
    EXPECT_EQ(t.headerTitle(0), "Hot Starte...");
    EXPECT_EQ(t.headerTitle(1), "Cold Plate...");
    EXPECT_EQ(t.sectionIndexTitles(), (std::vector<std::string>{"Hot Starte...", "Cold Plate..."}));
    EXPECT_EQ(row("Wings").badgeString(), "0");
    EXPECT_EQ(row("Wings").badgeColor(), Color(0.792, 0.197, 0.219, 1));
    EXPECT_EQ(row("Wings").textLabel().textColor(), Color::gray());
    EXPECT_EQ(row("Nachos").badgeString(), "1");
    EXPECT_EQ(row("Nachos").badgeColor(), Color(0.197, 0.592, 0.219, 1));
    EXPECT_EQ(row("Nachos").textLabel().textColor(), Color::black());
    EXPECT_EQ(row("Caesar Salad").badgeString(), std::nullopt);
    EXPECT_EQ(row("Nachos").badge().radius(), 9);

    // One section: neither headers nor index.
    tapMenu("Steak and Wine");
    EXPECT_EQ(t.headerTitle(0), std::nullopt);
    EXPECT_TRUE(t.sectionIndexTitles().empty());
}

TEST_F(MenuScreenTest, ANegativeCountIsShownAsNone) {
    f.setAvailable("R-I-NACHOS", -5);
    openList();
    EXPECT_EQ(row("Nachos").badgeString(), "0");
    EXPECT_EQ(row("Nachos").badgeColor(), Color(0.792, 0.197, 0.219, 1));
}

TEST(MenuScreenPad, SectionNamesAreShownWholeOnThePad) {
    MenuTerminal f(DeviceIdiom::Tablet);
    auto& screen = f.open<SlideMenuViewController>();
    EXPECT_EQ(screen.tableView().headerTitle(1), "Cold Plates and Salads");
}

// ---- the button variant

class MenuButtonsTest : public ::testing::Test {
protected:
    MenuButtonsViewController& openButtons() { return f.open<MenuButtonsViewController>(); }
    MenuTerminal f;
};

TEST_F(MenuButtonsTest, ThirteenItemsFillThreeRowsOfThreeWholeColumnsAndStartASecondScreenful) {
    // Paddings that leave room for 3 rows of 3 whole columns on the phone's 320 x 372 points under
    // the bars (a fourth would be cut at the edge).
    f.setParam("HH_MENU_X_PADDING", std::string("1"));
    f.setParam("HH_MENU_Y_PADDING", std::string("30"));
    auto& screen = openButtons();
    f.h.tap(*screen.menuBar()->getButton("Specials"));
    SlideView& grid = *screen.grid();
    ASSERT_EQ(grid.buttons().size(), 13u);
    EXPECT_EQ(grid.rows(), 3);
    EXPECT_EQ(grid.columns(), 3);
    // The grid is as wide as a screenful, in the middle; its content holds both screenfuls, and a
    // swipe moves by a screenful.
    EXPECT_EQ(grid.frame(), Rect(23, grid.frame().y(), 3 * 91 + 1, grid.frame().height()));
    EXPECT_EQ(grid.scroll().pageWidth(), grid.maxWidth());
    EXPECT_GE(grid.scroll().contentSize().width, grid.maxWidth() + 91);
    grid.scroll().setContentOffset(Point(grid.maxWidth(), 0));
    EXPECT_EQ(grid.scroll().bounds().x(), grid.maxWidth());
    const auto& buttons = grid.buttons();
    EXPECT_EQ(buttons[0]->frame(), Rect(1, 0, 90, 50));
    EXPECT_EQ(buttons[2]->frame().y(), 0);
    EXPECT_EQ(buttons[3]->frame().y(), 80);                               // the second row
    EXPECT_EQ(buttons[9]->frame(), Rect(grid.maxWidth() + 1, 0, 90, 50)); // the second screenful
    EXPECT_EQ(buttons[9]->title(), "Special 10");
    EXPECT_EQ(buttons[0]->backgroundImage(ControlState::Normal)->name(), "blueButton.png");
    EXPECT_EQ(buttons[0]->titleColor(ControlState::Normal), Color::white());
}

TEST_F(MenuButtonsTest, NineItemsFitOneScreenful) {
    f.setParam("HH_MENU_X_PADDING", std::string("1"));
    f.setParam("HH_MENU_Y_PADDING", std::string("30"));
    for (const char* id : {"I-SP10", "I-SP11", "I-SP12", "I-SP13"})
        f.store->deleteObject(f.store->fetchFirst("Item", "itemId == %@", std::string(id)));
    f.store.save();
    auto& screen = openButtons();
    f.h.tap(*screen.menuBar()->getButton("Specials"));
    EXPECT_EQ(screen.grid()->buttons().size(), 9u);
    EXPECT_EQ(screen.grid()->rows(), 3);
    EXPECT_EQ(screen.grid()->frame().width(), 320);
    EXPECT_EQ(screen.grid()->scroll().pageWidth(), 0) << "nothing to page to";
    EXPECT_EQ(screen.grid()->scroll().contentSize().width, screen.grid()->width());
}

TEST_F(MenuButtonsTest, AButtonEntersItsItemAndAGoneItemRebuildsTheGrid) {
    auto& screen = openButtons();
    f.h.tap(*screen.grid()->getButton("Soup"));
    ASSERT_EQ(f.order->selections().size(), 1u);
    EXPECT_EQ(screen.lblAction()->text(), "Added: 1 Soup");

    f.store->deleteObject(f.store->fetchFirst("Item", "itemId == %@", std::string("I-NACHOS")));
    f.h.tap(*screen.grid()->getButton("Nachos"));
    ASSERT_TRUE(f.h.hasAlert());
    EXPECT_EQ(f.h.frontAlert().message(), "Item no longer available, menu was modified");
    f.h.clickAlert("Ok");
    EXPECT_EQ(screen.grid()->getButton("Nachos"), nullptr);
    EXPECT_EQ(screen.grid()->buttons().size(), 3u);
}

TEST_F(MenuButtonsTest, AMenuWithoutItemsShowsAnEmptyGrid) {
    f.store->deleteObject(f.store->fetchFirst("Item", "itemId == %@", std::string("I-STEAK")));
    f.store.save();
    auto& screen = openButtons();
    f.h.tap(*screen.menuBar()->getButton("Steak and Wine"));
    EXPECT_TRUE(screen.grid()->buttons().empty());
}

} // namespace
} // namespace tavlo::screens
