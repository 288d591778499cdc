#pragma once

#include "platform/ui/AlertView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

#include <string>
#include <vector>

namespace tavlo::ui::test {

// The example screen: a small guest list. Type a name and press Add; tap a guest to remove them
// after a question, or swipe the guest's row and press its delete button; the count shows below. Its layout lives in the interface "GuestListView"
// (registerGuestListView). Screen tests, snapshots, the window test and the drawing bench use it.
class GuestListViewController : public ViewController,
                                public TableViewDataSource,
                                public TableViewDelegate,
                                public AlertViewDelegate {
public:
    static constexpr int kRemoveAlertTag = 1;

    GuestListViewController() : ViewController("GuestListView") {}

    // Outlets, connected by the interface.
    TableView* table() const { return outlet<TableView>("table"); }
    Label* total() const { return outlet<Label>("total"); }
    TextField* name() const { return outlet<TextField>("name"); }

    void viewDidLoad() override;
    void add();

    int numberOfRows(TableView&, int) override { return static_cast<int>(guests_.size()); }
    std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath path) override;
    void didSelectRow(TableView&, IndexPath path) override;
    void commitEditing(TableView&, EditingStyle style, IndexPath path) override;
    void alertViewClicked(AlertView& alert, int index) override;

private:
    void clear();
    void refresh();

    std::vector<std::string> guests_;
};

// The interface: the views, their layout, the outlets and the actions.
void registerGuestListView();

} // namespace tavlo::ui::test
