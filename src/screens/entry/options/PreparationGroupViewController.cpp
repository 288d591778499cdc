#include "screens/entry/options/PreparationGroupViewController.h"

#include "core/order/Selection.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

PreparationGroupViewController::PreparationGroupViewController() : OptionScreen(kInterfaceName) {}

PreparationGroupViewController::~PreparationGroupViewController() = default;

std::string PreparationGroupViewController::headerText(int minimum, int maximum) {
    if (minimum == 1 && maximum == 1) return localized("Select 1 option");
    if (minimum == 0 && maximum == 1) return localized("Select up to 1 option");
    if (minimum >= 1 && maximum >= 2)
        return format("%@ %ld, %@ %ld", "You must select at least", minimum, "You can select up to", maximum);
    if (minimum == 0 && maximum >= 2) return format("%@ %ld", "You can select up to", maximum);
    return "";
}

bool PreparationGroupViewController::fetch(Error& error) {
    ObjectContext* context = contextOf(session_.get());
    if (!context) {
        error = Error("Tavlo", -1, "no store to read from");
        return false;
    }
    std::vector<ManagedObjectPtr> groups = context->fetch(
        FetchRequest("PreparationGroup", Predicate::format("preparationGroupId == %@", preparationGroupId_),
                     {{"preparationGroupId"}}),
        &error);
    if (error.isSet()) return false;
    group_ = groups.empty() ? nullptr : groups.front();
    preparations_.clear();
    if (!group_) return true; // no such group: an empty list
    minimum_ = group_->int32("minimum");
    maximum_ = group_->int32("maximum");
    preparations_ = group_->toMany("preparationGroupPreparations");
    std::stable_sort(preparations_.begin(), preparations_.end(),
                     [](const ManagedObjectPtr& a, const ManagedObjectPtr& b) {
                         return a->int32("sequence") < b->int32("sequence");
                     });
    return true;
}

void PreparationGroupViewController::viewDidLoad() {
    if (Error error; !fetch(error)) {
        TAVLO_LOG_MAIL("Unable to read preparations: %@", error.localizedDescription());
        leaveAfterReadFailure(*this, localized("Unable to read preparations, contact technical support"), animated());
    }
    // Without its group (the store no longer holds it) the screen is titled by the line alone.
    setTitle(group_ ? format("%@ - %@", group_->text("name").value_or(""), selection()->name().value_or(""))
                    : selection()->name().value_or(""));
    // In a flow a group that its maximum completes moves on by itself; a missing group keeps Done
    // so that the flow can go on.
    if (!(group_ && minimum_ >= maximum_ && flowControl()))
        navigationItem().setRightBarButtonItem(
            BarButtonItem::system(SystemItem::Done, [this](BarButtonItem&) { done(); }));
    showBackButton(backTitle());
}

std::optional<std::string> PreparationGroupViewController::titleForHeader(TableView&, int) {
    return headerText(minimum_, maximum_);
}

std::string PreparationGroupViewController::preparationId(size_t row) const {
    return preparations_[row]->text("preparation.preparationId").value_or("");
}

std::shared_ptr<TableViewCell> PreparationGroupViewController::cellForRow(TableView& table, IndexPath path) {
    auto cell = table.dequeueReusableCell("Cell");
    if (!cell) cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Cell");
    const size_t row = static_cast<size_t>(path.row);
    cell->textLabel().setText(preparations_[row]->text("preparation.name"));
    cell->setAccessoryType(selection()->isSelected(preparationId(row)) ? AccessoryType::Checkmark
                                                                       : AccessoryType::None);
    return cell;
}

int PreparationGroupViewController::chosenCount() const {
    int count = 0;
    for (size_t row = 0; row < preparations_.size(); ++row)
        if (selection()->isSelected(preparationId(row))) ++count;
    return count;
}

void PreparationGroupViewController::drop(size_t row) {
    selection()->removePreparation(preparationId(row), std::nullopt, session_.get());
    if (TableViewCell* cell = tableView().cellForRow({0, static_cast<int>(row)}))
        cell->setAccessoryType(AccessoryType::None);
}

void PreparationGroupViewController::didSelectRow(TableView& table, IndexPath path) {
    table.deselectRow(path, animated());
    const size_t row = static_cast<size_t>(path.row);
    if (row >= preparations_.size()) return;
    if (selection()->isSelected(preparationId(row))) {
        drop(row); // the minimum does not hold a choice
        return;
    }
    int chosen = chosenCount();
    if (maximum_ == 1 && chosen == 1) {
        for (size_t other = 0; other < preparations_.size(); ++other)
            if (selection()->isSelected(preparationId(other))) drop(other);
        chosen = 0;
    }
    if (chosen >= maximum_) {
        alert("Alert", localized("You have the maximum preparations selected, deselect something else first"), {"Ok"});
        return;
    }
    if (TableViewCell* cell = table.cellForRow(path)) cell->setAccessoryType(AccessoryType::Checkmark);
    if (ManagedObjectPtr preparation = preparations_[row]->toOne("preparation"))
        selection()->addPreparation(Preparation::initFromDB(*preparation), contextOf(session_.get()));
    if (chosen + 1 >= maximum_) done();
}

void PreparationGroupViewController::done() {
    if (!flowControl() && chosenCount() < minimum_) {
        alert("Alert",
              format("%@ (%ld)", localized("You must select at least the minimum amount of preparation choices"),
                     minimum_),
              {"Ok"});
        return;
    }
    moveOn();
}

void registerPreparationGroupView() { registerOptionTable(PreparationGroupViewController::kInterfaceName); }

} // namespace tavlo::screens
