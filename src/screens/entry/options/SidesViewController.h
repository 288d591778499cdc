#pragma once

#include "platform/foundation/Error.h"
#include "platform/ui/Control.h"
#include "platform/ui/TableViewController.h"
#include "screens/common/QuantityCellView.h"
#include "screens/entry/options/OptionScreen.h"

#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class ManagedObject;
using ManagedObjectPtr = std::shared_ptr<ManagedObject>;
} // namespace tavlo

namespace tavlo::screens {

// The sides that come with a line (the included sides of a main course), a "-" and a "+" per
// side of the line's menu with the count chosen between them. Inside a flow the count is capped
// at the line's included sides and reaching the cap moves on by itself; outside a flow (the
// selection editor) there is no cap. A tap on a row counts as "+". The interface "SidesView".
class SidesViewController : public OptionScreen<ui::TableViewController> {
public:
    static constexpr const char* kInterfaceName = "SidesView";
    static constexpr int kCountTag = QuantityCellView::kRowCountTag, kNameTag = QuantityCellView::kRowNameTag;

    SidesViewController();
    ~SidesViewController() override;

    // The "+" and "-" of a row (the sender is the button) and a row's "+" itself.
    void plusPressed(ui::Control& sender);
    void minusPressed(ui::Control& sender);
    void addSide(const ManagedObjectPtr& side, ui::TableViewCell& cell);
    // Bar buttons.
    void done();

    void viewDidLoad() override;
    int numberOfRows(ui::TableView&, int) override { return static_cast<int>(sides_.size()); }
    std::optional<std::string> titleForHeader(ui::TableView&, int) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;

private:
    // The Side rows of the line's menu (all when it has none) by sequence; false on a store failure.
    bool fetch(Error& error);
    // The row's side as a line of its own, to find it among the line's sides by its recipe.
    SelectionPtr rowSide(const ManagedObject& side) const;
    // The row of the cell that holds a button; null when the button is in none.
    ManagedObjectPtr sideOf(ui::Control& button, ui::TableViewCell** cell);

    std::vector<ManagedObjectPtr> sides_;
};

// The interface: the table of sides.
void registerSidesView();

} // namespace tavlo::screens
