#pragma once

#include "platform/store/ManagedObject.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/ViewController.h"
#include "screens/common/NoSale.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/SignedInController.h"
#include "screens/shell/OrdersOpenViewController.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class ObjectContext;
}

namespace tavlo::screens {

// The waiter's home screen ("OrdersView"): the open orders, the tables (with the table-layout
// module) and the closed orders behind a segmented title; Logout, "+" for a quick sale, No Sale,
// the administration and system status screens. It opens the order screen ("OrderView") for a
// picked order, a table or a quick sale, and presents the table layout ("TableLayoutView"). On
// the pad it sits in the root pane, which opens the order screens and signs out for it.
class OrdersMainController : public SignedInController<ui::ViewController, OrdersMainScreen> {
public:
    static constexpr const char* kInterfaceName = kOrdersInterface;
    // Names the "Select a drawer:" alert among the alerts.
    static constexpr int kDrawerAlertTag = NoSale::kDrawerAlertTag;

    OrdersMainController();
    ~OrdersMainController() override;

    bool isRoot() const { return root_; }
    void setRoot(bool root) override { root_ = root; }
    bool updateOnExit() const { return updateOnExit_; }
    void setUpdateOnExit(bool update) override { updateOnExit_ = update; }
    bool updateOnAppear() const override { return updateOnAppear_; }
    void setUpdateOnAppear(bool update) override { updateOnAppear_ = update; }
    bool showLayout() const override { return showLayout_; }
    void setShowLayout(bool show) override { showLayout_ = show; }
    bool inOrder() const { return inOrder_; }

    ui::SegmentedControl* segmentedControl() const { return segmentedControl_.get(); }
    ui::ViewController* activeViewController() const { return active_.get(); }
    const std::vector<std::shared_ptr<OrdersOpenViewController>>& segmentedViewControllers() const { return lists_; }

    // The terminal row of this device is missing or disabled.
    static bool isTerminalDisabled(ObjectContext* context);
    // "Terminal has been disabled, ..." under the title given.
    static void alertTerminalDisabled(const char* title = "Alert");
    // "WiFi Disconnected! ..."
    static void alertWiFiDisconnected();

    void refresh();
    void logout();
    // `orders`: the names and remote ids of the table's open orders.
    struct OpenOrder {
        std::optional<std::string> remoteId;
        std::optional<std::string> name;
    };
    void showOrders();
    void showTableLayout(bool updateOnAppear) override;
    void loadOrder(const std::optional<std::string>& remoteId);
    void loadOrderAt(const std::string& areaLocationId);
    void loadOrderView(const std::optional<std::string>& remoteId, const std::optional<std::string>& areaLocationId,
                       bool quickSale, bool updateOrders);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    uint32_t supportedInterfaceOrientations() const override;
    std::vector<ui::ViewController*> visibleChildren() const override;

private:
    void getOrderSummaries(const std::string& areaLocationId);
    void systemStatus();
    void noSale();
    void quickSale();

    // A table pressed on the layout (its AreaLocation row; null does nothing).
    void tableSelected(const ManagedObjectPtr& table);
    void completeTableSelected(const std::vector<OpenOrder>& orders, const std::string& locationId);
    std::vector<std::shared_ptr<OrdersOpenViewController>> segmentedViewControllerContent();
    void didChangeForSegmentedControl();
    void admin();
    void noSaleCheckAuth(const std::string& drawerId);
    void buildToolbar();
    // The local open orders of a table, by name.
    std::vector<OpenOrder> localOpenOrders(const std::string& areaLocationId) const;
    // The table's orders on the server (open only); none when the request fails.
    std::vector<OpenOrder> serverOpenOrders(const std::string& areaLocationId) const;
    void pickOrder(std::vector<OpenOrder> orders);
    // Runs `call` with showLayout held NO.
    template <typename Call> void withoutLayout(Call call);

    bool root_ = false;
    bool updateOnExit_ = false;
    bool updateOnAppear_ = false;
    bool showLayout_ = false;
    bool inOrder_ = false;
    std::shared_ptr<ui::SegmentedControl> segmentedControl_;
    std::shared_ptr<OrdersOpenViewController> active_;
    std::vector<std::shared_ptr<OrdersOpenViewController>> lists_;
};

// Registers the orders main screen ("OrdersView") and the order lists ("OrderListView").
void registerOrderListScreens();

} // namespace tavlo::screens
