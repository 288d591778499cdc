#pragma once

#include "screens/shell/OrdersOpenViewController.h"

#include <vector>

namespace tavlo::screens {

// The tables of the store by area, each with what is open at it, and a last group "OTHER" with
// the open orders at no table. A tap opens the table (its order, a choice among several, or a new
// one) or the order through the main screen.
class AreaListViewController : public OrdersOpenViewController {
public:
    static constexpr const char* kOtherSection = "OTHER";

    int numberOfSections(ui::TableView&) override;
    int numberOfRows(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    std::optional<std::string> titleForHeader(ui::TableView&, int section) override;
    std::vector<std::string> sectionIndexTitles(ui::TableView&) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;

protected:
    std::unique_ptr<FetchedResultsController> makeFetchedResultsController() override;
    bool keepsQuery() const override { return true; }
    std::string recordsName() const override { return "items for Area List"; }
    std::string emptyText() const override { return "No tables"; }

private:
    // The open orders without a table: everybody's with ALL_ORDERS or ALL_AREA_ORDERS, otherwise
    // the user's own, by name.
    std::vector<ManagedObjectPtr> getOtherOrders(ObjectContext& context);

    bool isOtherSection(int section);
    void showTable(ui::TableViewCell& cell, const ManagedObject& table);
};

} // namespace tavlo::screens
