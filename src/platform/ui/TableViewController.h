#pragma once

#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

namespace tavlo::ui {

// A screen that is a table: its own data source and delegate. The interface may supply the table
// (as the root view or the outlet "tableView"); without one the controller makes it.
class TableViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
public:
    explicit TableViewController(std::string interfaceName = {}, TableViewStyle style = TableViewStyle::Plain);

    TableView& tableView();
    bool clearsSelectionOnViewWillAppear() const { return clearsSelection_; }
    void setClearsSelectionOnViewWillAppear(bool clears) { clearsSelection_ = clears; }

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void setEditing(bool editing, bool animated) override;

    int numberOfRows(TableView&, int) override { return 0; }
    std::shared_ptr<TableViewCell> cellForRow(TableView&, IndexPath) override { return nullptr; }

private:
    TableViewStyle style_;
    std::shared_ptr<TableView> table_;
    bool clearsSelection_ = true;
    bool reloadedOnce_ = false;
};

} // namespace tavlo::ui
