#include "screens/entry/options/SidesViewController.h"

#include "core/order/Selection.h"
#include "core/session/IDBroker.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"

namespace tavlo::screens {

using namespace ui;

SidesViewController::SidesViewController() : OptionScreen(kInterfaceName) {}

SidesViewController::~SidesViewController() = default;

bool SidesViewController::fetch(Error& error) {
    ObjectContext* context = contextOf(session_.get());
    if (!context) {
        error = Error("Tavlo", -1, "no store to read from");
        return false;
    }
    FetchRequest request("Side", std::nullopt, {{"sequence"}});
    if (const auto& menuId = selection()->menuId()) request.predicate = Predicate::format("menu.menuId == %@", *menuId);
    sides_ = context->fetch(request, &error);
    return !error.isSet();
}

void SidesViewController::viewDidLoad() {
    if (Error error; !fetch(error)) {
        TAVLO_LOG_MAIL("Unable to read sides: %@", error.localizedDescription());
        leaveAfterReadFailure(*this, localized("Unable to read sides, contact technical support"), animated());
    }
    navigationItem().setRightBarButtonItem(BarButtonItem::system(SystemItem::Done, [this](BarButtonItem&) { done(); }));
    setTitle(format("%@ - %@", localized("Sides"), selection()->name().value_or("")));
    showBackButton(backTitle());
}

std::optional<std::string> SidesViewController::titleForHeader(TableView&, int) {
    return format("%@ %ld", localized("Includes"), selection()->includedSides());
}

SelectionPtr SidesViewController::rowSide(const ManagedObject& side) const {
    auto line = std::make_shared<Selection>();
    line->setQuantity(1);
    line->setName(side.text("recipe.name"));
    line->setPrice(side.int32("price"));
    line->setAdditionPrice(side.int32("additionPrice"));
    line->setIncludedSides(0);
    line->setRecipeId(side.text("recipe.recipeId"));
    line->setOrderedBy(userOf(session_.get()));
    return line;
}

std::shared_ptr<TableViewCell> SidesViewController::cellForRow(TableView& table, IndexPath path) {
    auto cell = table.dequeueReusableCell("Cell");
    if (!cell)
        cell = QuantityCellView::counterRow(
            "Cell", table.bounds().width() - 2 * table.groupInset(), 44, [this](Control& b) { minusPressed(b); },
            [this](Control& b) { plusPressed(b); });
    const ManagedObject& side = *sides_[static_cast<size_t>(path.row)];
    if (auto* name = dynamic_cast<Label*>(cell->viewWithTag(kNameTag))) name->setText(side.text("recipe.name"));
    QuantityCellView::showRowCount(*cell, selection()->getQuantity(*rowSide(side)));
    return cell;
}

void SidesViewController::didSelectRow(TableView& table, IndexPath path) {
    table.deselectRow(path, animated());
    if (path.row >= static_cast<int>(sides_.size())) return;
    if (TableViewCell* cell = table.cellForRow(path)) addSide(sides_[static_cast<size_t>(path.row)], *cell);
}

ManagedObjectPtr SidesViewController::sideOf(Control& button, TableViewCell** cell) {
    TableViewCell* row = QuantityCellView::rowHolding(button);
    std::optional<IndexPath> path = row ? tableView().indexPathForCell(*row) : std::nullopt;
    if (!path || path->row >= static_cast<int>(sides_.size())) return nullptr;
    *cell = row;
    return sides_[static_cast<size_t>(path->row)];
}

void SidesViewController::plusPressed(Control& sender) {
    TableViewCell* cell = nullptr;
    if (ManagedObjectPtr side = sideOf(sender, &cell)) addSide(side, *cell);
    else TAVLO_LOG_MAIL("Unable to add side to %@", selection()->name());
}

void SidesViewController::addSide(const ManagedObjectPtr& side, TableViewCell& cell) {
    const int included = selection()->includedSides();
    if (flowControl() && selection()->getSideCount() >= included) {
        alert("Alert",
              format("%@ %ld %@", localized("You can only select"), included,
                     localized("Decrement something else first")),
              {"Ok"});
        return;
    }
    SelectionPtr added = Selection::initFromSide(side->text("sideId"), contextOf(session_.get()));
    SelectionPtr chosen = selection()->addSide(added);
    const int count = selection()->getQuantity(*chosen);
    if (chosen != added) chosen->setNewQuantity(chosen->newQuantity() + 1); // one more unit to send
    added->setOrderedBy(userOf(session_.get()));
    if (count == 1) added->setRemoteId(IDBroker::getInstance().generateRemoteIdSelection());
    QuantityCellView::showRowCount(cell, count);
    if (flowControl() && selection()->getSideCount() >= included) done();
}

void SidesViewController::minusPressed(Control& sender) {
    TableViewCell* cell = nullptr;
    ManagedObjectPtr side = sideOf(sender, &cell);
    if (!side) {
        TAVLO_LOG_MAIL("Unable to remove side from %@", selection()->name());
        return;
    }
    SelectionPtr lowered = selection()->removeSide(rowSide(*side), std::nullopt, session_.get());
    const int count = selection()->getQuantity(*lowered);
    lowered->setNewQuantity(lowered->newQuantity() - 1);
    QuantityCellView::showRowCount(*cell, count);
}

void SidesViewController::done() { moveOn(); }

void registerSidesView() { registerOptionTable(SidesViewController::kInterfaceName); }

} // namespace tavlo::screens
