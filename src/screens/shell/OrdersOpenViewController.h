#pragma once

#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/store/FetchedResultsController.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/TableViewController.h"
#include "screens/common/SignedInController.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tavlo {
class Session;
}

namespace tavlo::screens {

class OrdersMainController;

// What a row of an order list shows of an order, by key path ("name", "user.name"): read from the
// order's object or from the values the list read with its rows.
using OrderValues = std::function<Value(std::string_view keyPath)>;
OrderValues orderValues(const ManagedObject& order);

// The read of the file the order lists and their main screen hold while they appear or refresh in
// lite mode, where every read is the local store's: the terminal's row, the settings and the
// list's rows take the file's lock once. None in gateway mode, whose refresh waits on the server
// between its reads, nor without a context.
std::optional<ObjectContext::ReadScope> localReads(const Session* session, ObjectContext* context);

// The open orders of the business day, a segment of the orders main screen: the user's own (all
// of them with ALL_ORDERS or ALL_AREA_ORDERS, other users' in light grey), optionally grouped by
// order type. The lists re-read the local store after a server refresh, on "ordersChange" (with
// HH_SYNCH_ORDERS_AUTO) and on request; a tapped row goes to the main screen's loadOrder.
class OrdersOpenViewController : public SignedInController<ui::TableViewController> {
public:
    static constexpr const char* kInterfaceName = "OrderListView";
    // Tags of the five labels of a row.
    enum CellTag { kMarkTag = 1, kNameTag, kServerTag, kTotalTag, kCreatedTag };

    OrdersOpenViewController();
    ~OrdersOpenViewController() override;

    OrdersMainController* mainViewController() const { return main_; }
    void setMainViewController(OrdersMainController* main) { main_ = main; }
    bool updateOnAppear() const { return updateOnAppear_; }
    void setUpdateOnAppear(bool update) { updateOnAppear_ = update; }
    bool updateOnExit() const { return updateOnExit_; }
    void setUpdateOnExit(bool update) { updateOnExit_ = update; }
    bool root() const { return root_; }
    void setRoot(bool root) { root_ = root; }

    // From the server (outside lite mode, under the wait overlay), then refreshData.
    void refresh();
    // Reads the local store again and reloads the table.
    void refreshData();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    uint32_t supportedInterfaceOrientations() const override;

    int numberOfSections(ui::TableView&) override;
    int numberOfRows(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    std::optional<std::string> titleForHeader(ui::TableView&, int section) override;
    std::vector<std::string> sectionIndexTitles(ui::TableView&) override;
    bool canEditRow(ui::TableView&, ui::IndexPath) override { return false; }
    double heightForRow(ui::TableView&, ui::IndexPath) override { return 50; }
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;

protected:
    // The list's query; the open list builds it again on each call unless HH_OPEN_ORDERS_CACHED.
    FetchedResultsController* fetchedResultsController();
    // A landscape phone with the store open shows the table layout.
    virtual void orientationChanged();
    // A new row cell with its five labels, laid out for the table's width.
    std::shared_ptr<ui::TableViewCell> getCellContentView(const std::string& identifier);

    // The query this list reads; built by fetchedResultsController.
    virtual std::unique_ptr<FetchedResultsController> makeFetchedResultsController();
    // Whether fetchedResultsController keeps the query it built.
    virtual bool keepsQuery() const;
    // What the list reads, as its read failures name it.
    virtual std::string recordsName() const { return "open orders"; }
    // What the list says in place of rows when it has none (the table's header while it is empty).
    virtual std::string emptyText() const { return "No open orders"; }
    // A failed read: logged (with `logText`), then an "Error" alert naming the records, and the
    // order lists are left.
    void readFailed(const std::string& logText);
    // The empty text in place of rows while the list has none.
    void showWhenEmpty();
    // Fills a row's labels with an order.
    virtual void showOrder(ui::TableViewCell& cell, const OrderValues& order);
    // The terminal is missing or disabled: alert and sign out through the main screen.
    bool signedOutOnDisabledTerminal();

    bool openOrders_ = true;

private:
    // Reads the list's rows again, the query's parameters and its rows in one read of the file;
    // false with `error` when the store fails.
    bool fetchRows(Error* error);
    // Whether the list has a row at `path`.
    bool holdsRow(ui::IndexPath path) const;
    void completeRefresh();
    OrdersMainController* main_ = nullptr;
    std::unique_ptr<FetchedResultsController> results_;
    bool updateOnAppear_ = false;
    bool updateOnExit_ = false;
    bool root_ = false;
    ScopedObserver ordersChange_;
    ScopedObserver orientation_;
};

// Fills the five labels of a row with an order: its name, server, total and age; `name` and
// `total` in the colours given.
void showOrderRow(ui::TableViewCell& cell, const OrderValues& order, const ui::Color& name, const ui::Color& total);

} // namespace tavlo::screens
