#include "screens/entry/combo/ComboGroupViewController.h"

#include "core/order/ComboSelection.h"
#include "core/session/IDBroker.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "screens/common/QuantityCellView.h"

namespace tavlo::screens {

using namespace ui;

ComboGroupViewController::ComboGroupViewController() : OptionScreen(kInterfaceName) {}

ComboGroupViewController::~ComboGroupViewController() = default;

ComboSelection& ComboGroupViewController::combo() const { return dynamic_cast<ComboSelection&>(*selection()); }

bool ComboGroupViewController::fetch(Error& error) {
    ObjectContext* context = contextOf(session_.get());
    if (!context) {
        error = Error("Tavlo", -1, "no store to read from");
        return false;
    }
    FetchRequest request("ComboGroupItem", std::nullopt, {{"sequence"}});
    if (!comboGroupId_.empty()) request.predicate = Predicate::format("comboGroup.comboGroupId == %@", comboGroupId_);
    items_ = context->fetch(request, &error);
    return !error.isSet();
}

void ComboGroupViewController::viewDidLoad() {
    if (Error error; !fetch(error)) {
        TAVLO_LOG_MAIL("Unable to read items for ComboGroupViewController: %@", error.localizedDescription());
        leaveAfterReadFailure(*this, localized("Unable to read combo group, contact technical support"), animated());
    }
    navigationItem().setRightBarButtonItem(BarButtonItem::system(SystemItem::Done, [this](BarButtonItem&) { done(); }));
    setTitle(selection()->name());
    showBackButton(backTitle());
}

std::optional<std::string> ComboGroupViewController::titleForHeader(TableView&, int) {
    return format("%@ %ld", localized("Includes"), count_);
}

SelectionPtr ComboGroupViewController::rowItem(const ManagedObject& row) const {
    return ComboSelection::groupComponentFrom(row, userOf(session_.get()));
}

std::shared_ptr<TableViewCell> ComboGroupViewController::cellForRow(TableView& table, IndexPath path) {
    auto cell = table.dequeueReusableCell("Cell");
    if (!cell)
        cell = QuantityCellView::counterRow(
            "Cell", table.bounds().width() - 2 * table.groupInset(), kRowHeight,
            [this](Control& b) { minusPressed(b); }, [this](Control& b) { plusPressed(b); });
    const ManagedObject& row = *items_[static_cast<size_t>(path.row)];
    if (auto* name = dynamic_cast<Label*>(cell->viewWithTag(QuantityCellView::kRowNameTag)))
        name->setText(row.text("item.name"));
    QuantityCellView::showRowCount(*cell, combo().getQuantity(*rowItem(row), comboGroupId_));
    return cell;
}

void ComboGroupViewController::didSelectRow(TableView& table, IndexPath path) {
    table.deselectRow(path, animated());
    if (path.row >= static_cast<int>(items_.size())) return;
    if (TableViewCell* cell = table.cellForRow(path)) addSelection(*cell, path);
}

std::optional<IndexPath> ComboGroupViewController::rowOf(Control& button, TableViewCell** cell) {
    TableViewCell* row = QuantityCellView::rowHolding(button);
    std::optional<IndexPath> path = row ? tableView().indexPathForCell(*row) : std::nullopt;
    if (!path || path->row >= static_cast<int>(items_.size())) return std::nullopt;
    *cell = row;
    return path;
}

void ComboGroupViewController::plusPressed(Control& sender) {
    TableViewCell* cell = nullptr;
    if (std::optional<IndexPath> path = rowOf(sender, &cell)) addSelection(*cell, *path);
}

void ComboGroupViewController::addSelection(TableViewCell& cell, IndexPath path) {
    ComboSelection& group = combo();
    if (group.getSelectionCount(comboGroupId_) >= count_) {
        alert(
            "Alert",
            format("%@ %ld %@", localized("You can only select"), count_, localized("Decrement something else first")),
            {"Ok"});
        return;
    }
    SelectionPtr added = group.addSelection(rowItem(*items_[static_cast<size_t>(path.row)]), comboGroupId_);
    const int quantity = group.getQuantity(*added, comboGroupId_);
    if (quantity == 1) added->setRemoteId(IDBroker::getInstance().generateRemoteIdSelection());
    added->setNewQuantity(added->newQuantity() + 1);
    QuantityCellView::showRowCount(cell, quantity);
    if (flowControl() && group.getSelectionCount(comboGroupId_) >= count_) done();
}

void ComboGroupViewController::minusPressed(Control& sender) {
    TableViewCell* cell = nullptr;
    std::optional<IndexPath> path = rowOf(sender, &cell);
    if (!path) return;
    SelectionPtr item = rowItem(*items_[static_cast<size_t>(path->row)]);
    SelectionPtr lowered = combo().removeSelection(item, comboGroupId_);
    lowered->setNewQuantity(lowered->newQuantity() - 1);
    QuantityCellView::showRowCount(*cell, combo().getQuantity(*item, comboGroupId_));
}

void ComboGroupViewController::done() { moveOn(); }

void registerComboGroupView() { registerOptionTable(ComboGroupViewController::kInterfaceName); }

} // namespace tavlo::screens
