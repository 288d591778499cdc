#pragma once

#include "platform/ui/TableView.h"
#include "screens/entry/menu/MenuViewController.h"

namespace tavlo::screens {

class BadgedCell;

// The list form of the menu screen (the interface "MenuView", chosen when HH_MENU_LIST is on):
// under the menu bar a table of the current menu's items, one table section per menu section with
// an index down the side, each row with the portions its recipe has left in a badge. A tap on a
// row enters the item.
class SlideMenuViewController : public MenuViewController,
                                public ui::TableViewDataSource,
                                public ui::TableViewDelegate {
public:
    static constexpr const char* kInterfaceName = "MenuView";
    // Section titles longer than this are cut on a phone.
    static constexpr size_t kLongestSectionTitle = 10;

    SlideMenuViewController();
    ~SlideMenuViewController() override;

    ui::TableView& tableView();

    void viewDidLoad() override;
    void refresh() override;

    int numberOfSections(ui::TableView&) override;
    int numberOfRows(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    std::optional<std::string> titleForHeader(ui::TableView&, int section) override;
    std::vector<std::string> sectionIndexTitles(ui::TableView&) override;
    bool canEditRow(ui::TableView&, ui::IndexPath) override { return false; }
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;

protected:
    void completeSelection(const SelectionPtr& selection) override;

private:
    // The badge of a row: the portions left (hundredths, truncated), red with grey text below
    // one portion, green otherwise; no badge for an item whose recipe is not counted.
    void displayAvailability(BadgedCell& cell, const ManagedObjectPtr& recipe);

    // The section's title, cut on a phone when it is long; nil without a name.
    std::optional<std::string> sectionTitle(int section);
};

// The interface: a white screen with the table (outlet "tableView").
void registerMenuView();

} // namespace tavlo::screens
