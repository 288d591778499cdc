#pragma once

#include "screens/shell/OrdersOpenViewController.h"

namespace tavlo {
class Order;
}

namespace tavlo::screens {

// The closed orders of the open business day, everybody's: a tapped row asks whether to re-open
// the order (and open it on the order screen) or to print its receipt again.
class OrdersClosedViewController : public OrdersOpenViewController {
public:
    OrdersClosedViewController();

    std::optional<std::string> titleForHeader(ui::TableView&, int) override { return std::nullopt; }
    std::vector<std::string> sectionIndexTitles(ui::TableView&) override { return {}; }
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;

protected:
    void orientationChanged() override {}
    std::unique_ptr<FetchedResultsController> makeFetchedResultsController() override;
    bool keepsQuery() const override { return true; }
    std::string recordsName() const override { return "closed orders"; }
    std::string emptyText() const override { return "No closed orders"; }
    void showOrder(ui::TableViewCell& cell, const OrderValues& order) override;

private:
    // Re-opens the stored order (lite) or the server's, sends it and opens it.
    void reopen(const ManagedObjectPtr& order);
    // Prints the receipt on the receipt printer (lite) or has the server print it.
    void reprint(const ManagedObjectPtr& order);

    // The order to work on: the stored one in lite mode, else the server's current one.
    std::shared_ptr<Order> currentOrder(const ManagedObject& row, Error& error);
    void refuse();
};

} // namespace tavlo::screens
