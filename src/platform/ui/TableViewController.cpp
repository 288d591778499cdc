#include "platform/ui/TableViewController.h"

namespace tavlo::ui {

TableViewController::TableViewController(std::string interfaceName, TableViewStyle style)
    : ViewController(std::move(interfaceName)), style_(style) {}

TableView& TableViewController::tableView() {
    view();
    return *table_;
}

void TableViewController::loadView() {
    if (!interfaceName().empty()) {
        ViewController::loadView();
        table_ = std::dynamic_pointer_cast<TableView>(view());
        if (!table_) {
            if (auto* outletTable = outlet<TableView>("tableView"))
                table_ = std::static_pointer_cast<TableView>(outletTable->shared_from_this());
        }
    }
    if (!table_) {
        table_ = std::make_shared<TableView>(screenFrame(), style_);
        setView(table_);
    }
    table_->setDataSource(this);
    table_->setTableDelegate(this);
}

void TableViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    if (!reloadedOnce_) {
        reloadedOnce_ = true;
        table_->reloadData();
    } else if (clearsSelection_) {
        for (const IndexPath& p : table_->indexPathsForSelectedRows()) table_->deselectRow(p, animated);
    }
}

void TableViewController::setEditing(bool editing, bool animated) {
    ViewController::setEditing(editing, animated);
    tableView().setEditing(editing, animated);
}

} // namespace tavlo::ui
