#include "screens/shell/AreaListViewController.h"

#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Label.h"
#include "screens/shell/OrdersMainController.h"
#include "sync/exchange/CommHelper.h"

namespace tavlo::screens {

using namespace ui;

std::unique_ptr<FetchedResultsController> AreaListViewController::makeFetchedResultsController() {
    FetchRequest request("AreaLocation", Predicate::format("seats > 0 && area.disabled == NO"),
                         {{"area.name"}, {"sortType"}, {"sortNumber"}});
    return std::make_unique<FetchedResultsController>(*context(), std::move(request), "area.name");
}

std::vector<ManagedObjectPtr> AreaListViewController::getOtherOrders(ObjectContext& context) {
    FetchRequest request("Order", Predicate::format("closed==nil && areaLocation==nil"), {{"name"}});
    if (!session()->isGranted(Right::AllOrders) && !session()->isGranted(Right::AllAreaOrders))
        request.predicate =
            Predicate::format("closed==nil && areaLocation==nil && user.userId==%@", session()->userId().value_or(""));
    return context.fetch(request);
}

int AreaListViewController::numberOfSections(TableView& table) {
    return OrdersOpenViewController::numberOfSections(table) + 1;
}

bool AreaListViewController::isOtherSection(int section) {
    FetchedResultsController* results = fetchedResultsController();
    return !results || section >= static_cast<int>(results->sections().size());
}

int AreaListViewController::numberOfRows(TableView& table, int section) {
    if (!isOtherSection(section)) return OrdersOpenViewController::numberOfRows(table, section);
    return context() ? static_cast<int>(getOtherOrders(*context()).size()) : 0;
}

std::optional<std::string> AreaListViewController::titleForHeader(TableView&, int section) {
    if (isOtherSection(section)) return localized(kOtherSection);
    return fetchedResultsController()->sections()[section].name;
}

std::vector<std::string> AreaListViewController::sectionIndexTitles(TableView&) {
    std::vector<std::string> titles;
    if (FetchedResultsController* results = fetchedResultsController())
        for (const FetchedResultsController::Section& section : results->sections()) titles.push_back(section.name);
    titles.push_back(localized(kOtherSection));
    return titles;
}

void AreaListViewController::showTable(TableViewCell& cell, const ManagedObject& table) {
    auto label = [&cell](int tag) { return dynamic_cast<Label*>(cell.viewWithTag(tag)); };
    std::vector<ManagedObjectPtr> orders = context()->fetch(FetchRequest(
        "Order",
        Predicate::format("closed==nil && areaLocation.areaLocationId== %@", table.text("areaLocationId").value_or("")),
        {{"name"}}));
    if (orders.size() == 1) return showOrder(cell, orderValues(*orders.front()));
    for (int tag : {kServerTag, kTotalTag, kCreatedTag})
        if (Label* l = label(tag)) l->setText(std::string());
    if (Label* name = label(kNameTag)) {
        name->setText(orders.empty() ? table.text("name") : orders.front()->text("name"));
        name->setTextColor(Color::black());
    }
    if (Label* total = label(kTotalTag); total && orders.size() > 1) {
        total->setText(format(localized("(%lu orders)"), orders.size()));
        total->setTextColor(Color::blue());
    }
}

std::shared_ptr<TableViewCell> AreaListViewController::cellForRow(TableView& table, IndexPath path) {
    std::shared_ptr<TableViewCell> cell = table.dequeueReusableCell("Cell");
    if (!cell) cell = getCellContentView("Cell");
    if (!isOtherSection(path.section)) {
        if (ManagedObjectPtr location = fetchedResultsController()->objectAt(path.section, path.row))
            showTable(*cell, *location);
        return cell;
    }
    std::vector<ManagedObjectPtr> others = getOtherOrders(*context());
    if (path.row < static_cast<int>(others.size())) {
        showOrder(*cell, orderValues(*others[path.row]));
    } else if (auto* name = dynamic_cast<Label*>(cell->viewWithTag(kNameTag))) {
        // The store changed since the table counted its rows.
        name->setText(localized("UNKNOWN"));
        name->setTextColor(Color::black());
    }
    return cell;
}

void AreaListViewController::didSelectRow(TableView& table, IndexPath path) {
    if (!session() || !mainViewController()) return;
    table.deselectRow(path, animated());
    if (signedOutOnDisabledTerminal()) return;
    if (!session()->isLite() && !CommHelper::isWiFiConnected()) {
        OrdersMainController::alertWiFiDisconnected();
        return;
    }
    if (!isOtherSection(path.section)) {
        if (ManagedObjectPtr location = fetchedResultsController()->objectAt(path.section, path.row))
            mainViewController()->loadOrderAt(location->text("areaLocationId").value_or(""));
        return;
    }
    std::vector<ManagedObjectPtr> others = getOtherOrders(*context());
    if (path.row < static_cast<int>(others.size())) mainViewController()->loadOrder(others[path.row]->text("remoteId"));
}

} // namespace tavlo::screens
