// Pictures of the menu screens: the list on the phone (sections, index, badges in red and green,
// the toolbar after an addition) and the buttons on the pad (the blue grid under a bar of menus
// with icons); the keys are compared with golden files.
#include "MenuHost.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::MenuTerminal;

TEST(MenuSnapshot, TheListOnThePhone) {
    MenuTerminal f(DeviceIdiom::Phone);
    auto& screen = f.open<SlideMenuViewController>();
    f.h.tapRow(screen.tableView(), {0, 2});  // Soup
    EXPECT_TRUE(ui::test::matchesGolden(f.picture(), "menu_list_phone"));
}

TEST(MenuSnapshot, TheListOnThePadWithTheShortcuts) {
    MenuTerminal f(DeviceIdiom::Tablet);
    f.setParam("HH_USE_SHORTCUTS", std::string("Y"));
    f.open<SlideMenuViewController>();
    ui::test::writeTestPicture(f.picture(), "menu_list_shortcuts_pad");
}

TEST(MenuSnapshot, TheButtonsOnThePadUnderMenusWithIcons) {
    MenuTerminal f(DeviceIdiom::Tablet);
    UserDefaults::standardUserDefaults().setBool(true, "menu_icons");
    auto& screen = f.open<MenuButtonsViewController>();
    f.h.tap(*screen.menuBar()->getButton("Specials"));
    EXPECT_TRUE(ui::test::matchesGolden(f.picture(), "menu_buttons_pad"));
}

TEST(MenuSnapshot, TheButtonsOnThePhone) {
    MenuTerminal f(DeviceIdiom::Phone);
    auto& screen = f.open<MenuButtonsViewController>();
    f.h.tap(*screen.menuBar()->getButton("Specials"));
    ui::test::writeTestPicture(f.picture(), "menu_buttons_phone");
}

// Every menu icon in one bar, to look at.
TEST(MenuSnapshot, EveryIconInTheBar) {
    MenuTerminal f(DeviceIdiom::Tablet);
    UserDefaults::standardUserDefaults().setBool(true, "menu_icons");
    f.setParam("HH_ROW_COUNT", std::string("3"));
    int32_t sequence = 10;
    for (const char* name : {"Food", "Beer", "Wine", "Desserts", "Coffee", "Meat", "Combos", "Burgers", "Pizza",
                             "Liquor", "Happy Hour", "Beverages", "Sushi", "Fish", "Cheese", "Receipts", "Add-ons",
                             "Vegetables"}) {
        auto menu = f.store->insert("Menu");
        menu->setValue("menuId", "X" + std::to_string(sequence));
        menu->setValue("name", std::string(name));
        menu->setValue("sequence", ++sequence);
        menu->setValue("disabled", false);
    }
    f.store.save();
    f.open<MenuButtonsViewController>();
    ui::test::writeTestPicture(f.picture(), "menu_every_icon_pad");
}

} // namespace
} // namespace tavlo::screens
