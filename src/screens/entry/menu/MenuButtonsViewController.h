#pragma once

#include "screens/entry/menu/MenuViewController.h"

namespace tavlo::screens {

// The button form of the menu screen (the interface "MenuButtonsView", chosen when HH_MENU_LIST
// is off): under the menu bar the current menu's items as blue 90 x 50 buttons in a grid that
// scrolls sideways by screenfuls of whole columns. A tap on a button enters the item.
class MenuButtonsViewController : public MenuViewController {
public:
    static constexpr const char* kInterfaceName = "MenuButtonsView";
    static constexpr int kButtonWidth = 90, kButtonHeight = 50;

    MenuButtonsViewController();
    ~MenuButtonsViewController() override;

    void viewDidLoad() override;
    void refresh() override;
    // The grid shown; null before the items are laid out.
    SlideView* grid() const { return grid_.get(); }

private:
    // Lays the grid out anew below the menu bar; answers the height of the item area plus the Y
    // padding.
    int loadItems();
    // An item button: the item with that id is entered.
    void itemSelected(const std::string& itemId);

    std::shared_ptr<SlideView> grid_;
    ui::Size laidOutFor_;
};

// The interface: a white screen that lays the grid out again when its size changes.
void registerMenuButtonsView();

} // namespace tavlo::screens
