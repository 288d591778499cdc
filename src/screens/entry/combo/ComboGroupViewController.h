#pragma once

#include "platform/foundation/Error.h"
#include "platform/ui/Control.h"
#include "platform/ui/TableViewController.h"
#include "screens/entry/options/OptionScreen.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class ComboSelection;
class ManagedObject;
using ManagedObjectPtr = std::shared_ptr<ManagedObject>;
} // namespace tavlo

namespace tavlo::screens {

// The items of one combo group (the drink of a meal deal), a "-" and a "+" per item with the
// units chosen between them, up to the number of items the group includes: that cap holds with
// or without a flow, and reaching it in a flow moves on by itself. The chosen items go into the
// combo under the group's id, told apart by recipe. A tap on a row counts as "+". The interface
// "ComboGroupView".
class ComboGroupViewController : public OptionScreen<ui::TableViewController> {
public:
    static constexpr const char* kInterfaceName = "ComboGroupView";
    static constexpr double kRowHeight = 60;

    ComboGroupViewController();
    ~ComboGroupViewController() override;

    const std::string& comboGroupId() const { return comboGroupId_; }
    void setComboGroupId(std::string id) { comboGroupId_ = std::move(id); }
    // How many items the group includes.
    int count() const { return count_; }
    void setCount(int count) { count_ = count; }

    // The "+" and "-" of a row (the sender is the button).
    void plusPressed(ui::Control& sender);
    void minusPressed(ui::Control& sender);
    // One more unit of the row's item in the group, unless the group is full.
    void addSelection(ui::TableViewCell& cell, ui::IndexPath path);
    // Bar button: the flow's next screen, or its end; outside a flow, back.
    void done();

    void viewDidLoad() override;
    int numberOfRows(ui::TableView&, int) override { return static_cast<int>(items_.size()); }
    double heightForRow(ui::TableView&, ui::IndexPath) override { return kRowHeight; }
    std::optional<std::string> titleForHeader(ui::TableView&, int) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;

private:
    // The group's ComboGroupItem rows by sequence; false on a store failure.
    bool fetch(Error& error);
    ComboSelection& combo() const;
    // The row's item as a line of the combo.
    SelectionPtr rowItem(const ManagedObject& row) const;
    // The row of the cell that holds a button; none when the button is in no row.
    std::optional<ui::IndexPath> rowOf(ui::Control& button, ui::TableViewCell** cell);

    std::string comboGroupId_;
    int count_ = 0;
    std::vector<ManagedObjectPtr> items_;
};

// The interface: the table of the group's items.
void registerComboGroupView();

} // namespace tavlo::screens
