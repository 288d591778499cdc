// Pictures of the menu screens: the list on the phone (sections, index, badges in red and green,
// the toolbar after an addition) and the buttons on the pad (the blue grid under a bar of menus
// with icons); the keys are compared with golden files.
#include "MenuHost.h"
#include "platform/ui/render/FingerprintContext.h"
#include "platform/ui/render/PointerInput.h"
#include "support/MenuRows.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::MenuTerminal;

TEST(MenuSnapshot, TheListOnThePhone) {
    MenuTerminal f(DeviceIdiom::Phone);
    auto& screen = f.open<SlideMenuViewController>();
    f.h.tapRow(screen.tableView(), {0, 2}); // Soup
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

// Thirty specials on the phone: a screenful of whole columns in the middle, and a swipe or a wheel
// notch comes to rest on the next screenful, so that every button in sight shows whole.
TEST(MenuSnapshot, ThePhonesGridPagesByWholeColumns) {
    MenuTerminal f(DeviceIdiom::Phone);
    tavlo::test::MenuRows rows(f.store.context().get());
    ManagedObjectPtr today = f.store.row("Section", "sectionId", "S7");
    for (int i = 14; i <= 30; ++i) {
        const std::string id = "I-SP" + std::to_string(i), name = "Special " + std::to_string(i);
        ManagedObjectPtr item = rows.item(id, name, 500, rows.recipe("R-" + id, name), today->toOne("menu"));
        item->setToOne("section", today);
        item->setValue("sequence", 100 + i);
    }
    f.store.save();
    auto& screen = f.open<MenuButtonsViewController>();
    f.h.tap(*screen.menuBar()->getButton("Specials"));
    SlideView& grid = *screen.grid();
    ASSERT_EQ(grid.buttons().size(), 30u);
    ScrollView& scroll = grid.scroll();
    // No button in sight is cut at either edge.
    auto cut = [&] {
        std::vector<std::string> names;
        const Rect shown = scroll.bounds();
        for (const auto& button : grid.buttons()) {
            const Rect at = button->frame();
            if (at.maxX() > shown.minX() && at.minX() < shown.maxX() &&
                (at.minX() < shown.minX() || at.maxX() > shown.maxX()))
                names.push_back(button->title().value_or(""));
        }
        return names;
    };
    EXPECT_TRUE(cut().empty()) << cut().front();

    render::PointerInput pointer([&] { return render::fingerprintScreen(f.h.app()).regions; });
    const Point middle = scroll.convertRect(scroll.bounds(), nullptr).center();
    pointer.press(middle, 10);
    pointer.move({middle.x - 80, middle.y}, 10.1);
    pointer.move({middle.x - 190, middle.y}, 10.2);
    pointer.release({middle.x - 190, middle.y}, 10.3);
    f.h.runUntilIdle();
    EXPECT_EQ(scroll.contentOffset().x, 3 * 98)
        << "three columns on, the screenful nearest to where the finger left it";
    EXPECT_TRUE(cut().empty()) << cut().front();
    EXPECT_TRUE(ui::test::matchesGolden(f.picture(), "menu_buttons_paged_phone"));
    pointer.wheel(middle, 1, 0);
    f.h.runUntilIdle();
    EXPECT_EQ(scroll.contentOffset().x, 0) << "a wheel notch back moves a screenful";
    EXPECT_TRUE(cut().empty()) << cut().front();
}

// Every menu icon in one bar, to look at.
TEST(MenuSnapshot, EveryIconInTheBar) {
    MenuTerminal f(DeviceIdiom::Tablet);
    UserDefaults::standardUserDefaults().setBool(true, "menu_icons");
    f.setParam("HH_ROW_COUNT", std::string("3"));
    int32_t sequence = 10;
    for (const char* name :
         {"Food", "Beer", "Wine", "Desserts", "Coffee", "Meat", "Combos", "Burgers", "Pizza", "Liquor", "Happy Hour",
          "Beverages", "Sushi", "Fish", "Cheese", "Receipts", "Add-ons", "Vegetables"}) {
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
