#pragma once

#include "platform/store/FetchedResultsController.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewController.h"
#include "screens/common/SignedInController.h"
#include "screens/entry/SelectionAdditions.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class Order;
class Session;
} // namespace tavlo

namespace tavlo::screens {

// The plain list of every item of the store ("ItemsView"), in one section per menu with an index
// down the side: a tap enters the item into the order through the same flows as the menu
// screens. Undo takes back the last lines added one unit at a time, redo adds one more unit of the
// last one; the toolbar's label says what was done.
class ItemsViewController : public SignedInController<ui::TableViewController> {
public:
    static constexpr const char* kInterfaceName = "ItemsView";
    // Letters of a menu's name in the section index.
    static constexpr size_t kIndexTitleLength = 3;

    ItemsViewController();

    // Set by the opener.
    const std::shared_ptr<Order>& order() const { return order_; }
    void setOrder(std::shared_ptr<Order> order) { order_ = std::move(order); }
    // Whether the flows may ask for a seat and a course.
    void setSelectSeat(bool select) { selectSeat_ = select; }
    void setSelectCourse(bool select) { selectCourse_ = select; }

    const std::vector<SelectionPtr>& additions() const { return additions_.list(); }
    ui::Label* lblAction() const { return lblAction_.get(); }
    ui::BarButtonItem* undoButton() const { return undoButton_.get(); }
    ui::BarButtonItem* redoButton() const { return redoButton_.get(); }
    // Every item, by menu; made on first use, null without a store.
    FetchedResultsController* fetchedResultsController();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // The end of an item's flow: the line joins the order.
    void addSelection(const SelectionPtr& selection);
    void undo();
    void redo();

    int numberOfSections(ui::TableView&) override;
    int numberOfRows(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    std::optional<std::string> titleForHeader(ui::TableView&, int section) override;
    std::vector<std::string> sectionIndexTitles(ui::TableView&) override;
    bool canEditRow(ui::TableView&, ui::IndexPath) override { return false; }
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;

private:
    void loadToolbar();
    void fetch();

    std::shared_ptr<Order> order_;
    bool selectSeat_ = false, selectCourse_ = false;
    SelectionAdditions additions_;
    std::shared_ptr<ui::Label> lblAction_;
    std::shared_ptr<ui::BarButtonItem> undoButton_, redoButton_;
    std::unique_ptr<FetchedResultsController> results_;
};

// The interface: the plain table alone.
void registerItemsView();

} // namespace tavlo::screens
