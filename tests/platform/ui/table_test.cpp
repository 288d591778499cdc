#include "platform/ui/NavigationController.h"
#include "platform/ui/TableViewController.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

using namespace tavlo::ui;
using tavlo::ui::test::Harness;
using tavlo::ui::test::HarnessError;

namespace {

// Two sections of fruit and vegetables; remembers what the table told it.
class Produce : public TableViewController {
public:
    Produce() : TableViewController({}, TableViewStyle::Grouped) {}
    std::vector<std::vector<std::string>> sections{{"Apple", "Banana", "Cherry"}, {"Kale", "Leek"}};
    std::vector<IndexPath> selected, deselected, accessories, deleted;
    int cellsMade = 0;

    int numberOfSections(TableView&) override { return static_cast<int>(sections.size()); }
    int numberOfRows(TableView&, int s) override { return static_cast<int>(sections[s].size()); }
    std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath p) override {
        auto cell = table.dequeueReusableCell("Cell");
        if (!cell) {
            cell = std::make_shared<TableViewCell>(TableViewCellStyle::Value1, "Cell");
            ++cellsMade;
        }
        cell->textLabel().setText(sections[p.section][p.row]);
        cell->detailTextLabel()->setText(p.section == 0 ? "fruit" : "vegetable");
        cell->setAccessoryType(p.section == 1 ? AccessoryType::DetailDisclosureButton : AccessoryType::None);
        return cell;
    }
    std::optional<std::string> titleForHeader(TableView&, int s) override { return s == 0 ? "Fruit" : "Vegetables"; }
    std::vector<std::string> sectionIndexTitles(TableView&) override { return {"F", "V"}; }
    bool canEditRow(TableView&, IndexPath p) override { return p.section == 1; }
    void commitEditing(TableView& table, EditingStyle style, IndexPath p) override {
        if (style != EditingStyle::Delete) return;
        deleted.push_back(p);
        sections[p.section].erase(sections[p.section].begin() + p.row);
        table.reloadData();
    }
    double heightForRow(TableView&, IndexPath p) override { return p.section == 0 ? 60 : 44; }
    void didSelectRow(TableView&, IndexPath p) override { selected.push_back(p); }
    void didDeselectRow(TableView&, IndexPath p) override { deselected.push_back(p); }
    void accessoryButtonTapped(TableView&, IndexPath p) override { accessories.push_back(p); }
    std::optional<std::string> titleForDeleteConfirmation(TableView&, IndexPath) override { return "Clock Out"; }
};

} // namespace

TEST(Tables, DataSourceAndDelegateRoundTrip) {
    Harness h;
    auto screen = std::make_shared<Produce>();
    h.show(std::make_shared<NavigationController>(screen));
    TableView& table = screen->tableView();

    EXPECT_EQ(table.numberOfSections(), 2);
    EXPECT_EQ(table.numberOfRows(0), 3);
    EXPECT_EQ(table.headerTitle(1), "Vegetables");
    EXPECT_EQ(table.sectionIndexTitles(), (std::vector<std::string>{"F", "V"}));
    EXPECT_EQ(table.rectForRow({1, 0}).y(), 44 + 3 * 60 + 44) << "headers and row heights from the delegate";
    EXPECT_EQ(h.viewWithText<Label>("Leek").text(), "Leek");

    h.tapRow(table, {0, 1});
    h.tapRow(table, {0, 2});
    EXPECT_EQ(screen->selected, (std::vector<IndexPath>{{0, 1}, {0, 2}}));
    EXPECT_EQ(screen->deselected, (std::vector<IndexPath>{{0, 1}})) << "single selection moves";
    EXPECT_EQ(table.indexPathForSelectedRow(), (IndexPath{0, 2}));
    EXPECT_TRUE(table.cellForRow({0, 2})->isSelected());

    h.tapAccessory(table, {1, 1});
    EXPECT_EQ(screen->accessories, (std::vector<IndexPath>{{1, 1}}));
    EXPECT_THROW(h.tapAccessory(table, {0, 0}), HarnessError) << "no detail button on fruit rows";

    EXPECT_EQ(table.deleteConfirmationTitle({0, 0}), std::nullopt);
    EXPECT_EQ(h.swipeDelete(table, {1, 0}), "Clock Out");
    EXPECT_EQ(screen->deleted, (std::vector<IndexPath>{{1, 0}}));
    EXPECT_EQ(table.numberOfRows(1), 1);
    EXPECT_EQ(table.cellForRow({1, 0})->textLabel().text(), "Leek");
}

TEST(Tables, EditingAllowsSeveralRowsAndTheEditItemSwitchesIt) {
    Harness h;
    auto screen = std::make_shared<Produce>();
    screen->navigationItem().setRightBarButtonItem(screen->editButtonItem());
    h.show(std::make_shared<NavigationController>(screen));
    TableView& table = screen->tableView();
    table.setAllowsMultipleSelectionDuringEditing(true);

    h.tap(SystemItem::Edit);
    EXPECT_TRUE(table.isEditing());
    EXPECT_EQ(screen->editButtonItem()->displayTitle(), "Done");
    EXPECT_EQ(table.cellForRow({0, 0})->cellState() & CellState::ShowingEditControl, CellState::ShowingEditControl);
    for (IndexPath p : {IndexPath{0, 0}, IndexPath{1, 1}, IndexPath{0, 2}, IndexPath{0, 0}}) h.tapRow(table, p);
    EXPECT_EQ(table.indexPathsForSelectedRows(), (std::vector<IndexPath>{{0, 2}, {1, 1}}));
    EXPECT_EQ(screen->deselected, (std::vector<IndexPath>{{0, 0}}));

    h.tap("Done");
    EXPECT_FALSE(table.isEditing());
    EXPECT_TRUE(table.indexPathsForSelectedRows().empty());
    EXPECT_EQ(table.cellForRow({0, 0})->cellState(), 0u);
}

TEST(Tables, RowsOutOfSightGiveTheirCellsToTheRowsComingIn) {
    Harness h;
    auto screen = std::make_shared<Produce>();
    screen->sections = {{}};
    for (int i = 0; i < 40; ++i) screen->sections[0].push_back("Item " + std::to_string(i));
    h.show(std::make_shared<NavigationController>(screen));
    TableView& table = screen->tableView();

    int shown = static_cast<int>(table.indexPathsForVisibleRows().size());
    EXPECT_LT(shown, 40);
    EXPECT_EQ(table.cellForRow({0, 39}), nullptr) << "out of sight";
    h.tapRow(table, {0, 39});
    ASSERT_NE(table.cellForRow({0, 39}), nullptr);
    EXPECT_EQ(table.cellForRow({0, 39})->textLabel().text(), "Item 39");
    EXPECT_EQ(table.cellForRow({0, 0}), nullptr);
    EXPECT_LE(screen->cellsMade, shown + 1) << "scrolling reuses the cells";
    EXPECT_TRUE(table.cellForRow({0, 39})->isSelected());

    // Scrolled back by its offset, the top rows come into view again.
    table.setContentOffset({0, 0});
    h.runUntilIdle();
    ASSERT_NE(table.cellForRow({0, 0}), nullptr);
    EXPECT_EQ(table.cellForRow({0, 0})->textLabel().text(), "Item 0");
}
