#pragma once

#include "platform/foundation/Error.h"
#include "platform/ui/PickerView.h"
#include "screens/common/OrderTableViewController.h"
#include "screens/common/ScreenInterfaces.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class Customer;
class ManagedObject;
class ObjectContext;
using ManagedObjectPtr = std::shared_ptr<ManagedObject>;
} // namespace tavlo

namespace tavlo::ui {
class AlertView;
class BarButtonItem;
class Button;
class Label;
class NavigationController;
} // namespace tavlo::ui

namespace tavlo::screens {

class MenuViewController;

// The screen on which one order is built and worked ("OrderView"): it creates a new order (for a
// table or as a quick sale) or loads an existing one, asks the opening questions (order type,
// customer, name, guest count), opens the menu screen that adds the items, shows the lines and the
// totals, lets the order change owner, and runs the order's commands: send, print, pay, close,
// cancel, and on a lite quick sale the cash buttons that pay the due at once.
//
// Files: OrderViewController.cpp (loading, the checks, prompts and totals), OrderViewCommands.cpp
// (the commands), OrderViewPrint.cpp (print, e-mail, announce),
// OrderViewLayout.cpp (the layout).
class OrderViewController : public OrderTableViewController,
                            public OrderScreen,
                            public ui::PickerViewDataSource,
                            public ui::PickerViewDelegate {
public:
    static constexpr const char* kInterfaceName = kOrderInterface;

    OrderViewController();
    ~OrderViewController() override;

    // ---- what the opener sets (OrderScreen)
    void setSession(std::shared_ptr<Session> session) override { keepSession(std::move(session)); }
    void setRemoteId(std::optional<std::string> remoteId) override { remoteId_ = std::move(remoteId); }
    void setAreaLocationId(std::optional<std::string> areaLocationId) override {
        areaLocationId_ = std::move(areaLocationId);
    }
    void setQuickSale(bool quickSale) override { OrderTableViewController::setQuickSale(quickSale); }
    const std::optional<std::string>& remoteId() const { return remoteId_; }
    const std::optional<std::string>& areaLocationId() const { return areaLocationId_; }
    const std::shared_ptr<MenuViewController>& menuView() const { return menuView_; }

    // ---- outlets
    ui::Label* label(const char* name) const;
    ui::Button* button(const char* name) const;
    ui::BarButtonItem* btnServer() const { return btnServer_.get(); }
    const std::vector<std::string>& serverIdsOrdered() const { return serverIdsOrdered_; }

    // ---- the screen (OrderViewController.cpp)
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;
    // Totals and the table again.
    void refresh();
    // Re-checks the order and goes on with the questions; runs on every appearance.
    void setupScreen();
    void menu();
    // The server picker under the screen (the server item opens it); Done transfers the order to
    // the server on the wheel, Cancel closes it with the order as it was.
    void someButtonTouched();
    ui::PickerView* serverPicker() const { return serverPicker_.get(); }
    int numberOfComponents(ui::PickerView&) override { return 1; }
    int numberOfRows(ui::PickerView&, int) override { return static_cast<int>(serverIdsOrdered_.size()); }
    std::optional<std::string> titleForRow(ui::PickerView&, int row, int) override;
    void didSelectRow(ui::PickerView&, int row, int) override;

    // ---- commands (OrderViewCommands.cpp)
    void cancel();
    void send();
    void totalOrder();
    void pay();
    void paid();
    void exactAmount();
    void upAmount();
    void payAmount(int32_t cents);
    void close();

    // ---- printing (OrderViewPrint.cpp)
    void print();
    void printLocally();
    void emailPrompt();
    void email(const std::optional<std::string>& address);
    // The order's whole ticket (every line still on it) printed for the kitchen again.
    void announce();

private:
    ui::BarButtonItem* btnPrint() const { return btnPrint_.get(); }
    // Cents waiting for the person to choose a drawer.
    int32_t quickTendered() const { return quickTendered_; }
    // Asks the next question due; false when none was.
    bool promptAsNeeded();
    // Pad: shows a screen in the detail pane beside this one, or takes the pane's top screen off
    // for null; false where there is no detail pane (a screen shown without the shell's panes).
    bool loadDetailView(std::shared_ptr<ui::ViewController> screen);
    void orderDetails();
    // The answer "Yes" to removing the discount of the row tapped; nothing when it is no longer one.
    void removeTappedDiscount();
    // The order details' and split screen's answer.
    void replaceOrder(const std::shared_ptr<Order>& order);
    void chooseServer(int row);
    void transferToPickedServer();
    void closeServerPicker();
    void cancelAndRefreshOrders();
    bool sendViaTavlo();
    bool sendViaGateway();
    bool totalOrderNow();
    // Reads the order again from the store, where the pay screen and the payment list left it.
    void readOrderAgain();
    void quickPay(int32_t tendered, const std::optional<std::string>& drawerId);
    void closeViaTavlo();
    void closeViaGateway();
    void amountPressed(ui::Control& button);
    // Print: the receipt or, once a lite order went, its kitchen ticket again.
    void printCommand();
    // The receipt: printed, or e-mailed when the store e-mails receipts and the customer wants it.
    void printReceiptCommand();
    void printViaGateway(const std::string& message);
    void printVia(const std::optional<std::string>& terminal, const std::optional<std::string>& printer);
    // The printer or terminal at that button of the print targets' alert (printers first).
    void printTo(int button);
    // A lite send whose kitchen ticket did not print: the order went, the kitchen does not know.
    // The alert says so and offers to print the whole ticket again (as `announce`).
    static void kitchenTicketFailed(const Error& error, std::shared_ptr<Order> order, std::shared_ptr<Session> session);
    // The pad's detail pane (its navigation); null on the phone and without the shell's panes.
    ui::NavigationController* detailPane() const;
    void completeViewDidLoad(std::shared_ptr<Order> order, const Error& error);
    std::shared_ptr<Order> loadOrder(Error& error);
    void setupOrderScreen();
    void setupPicker();
    void setTitleButton(const std::string& name);
    void newOrderPrompts();
    void setDueCaption();
    void saveName(const std::optional<std::string>& name);
    void saveSeats(const std::optional<std::string>& seats);
    void saveCustomer(const std::optional<Customer>& customer);
    void orderTypeChosen(const std::string& label);
    void presentSheet(const std::shared_ptr<ui::ViewController>& screen, bool inNavigation);
    void dismissSheet();
    void dismissPresented();
    // The automatic gratuity not paid yet (never below 0).
    int32_t unpaidGratuity() const;
    // The due the due label shows: the order's due and its unpaid gratuity.
    int32_t dueShown() const;
    // Nothing left to pay: neither due nor unpaid gratuity.
    bool isSettled() const;
    std::vector<std::pair<std::string, std::string>> drawersByName();
    // "Cancel" and the other terminals by name: the one chosen becomes the gateway, then `then`.
    void offerOtherGateways(const std::string& title, const std::string& message, std::function<void()> then);
    bool switchGateway(int buttonIndex);
    std::vector<ManagedObjectPtr> otherTerminals();
    struct PrintTargets {
        std::vector<ManagedObjectPtr> printers, terminals;
    };
    PrintTargets printTargets();

    std::optional<std::string> remoteId_, areaLocationId_;
    std::shared_ptr<MenuViewController> menuView_;
    std::shared_ptr<ui::BarButtonItem> btnPrint_, btnServer_;
    std::shared_ptr<ui::View> pickerPanel_;
    std::shared_ptr<ui::PickerView> serverPicker_;
    std::map<std::string, std::string> servers_;
    std::vector<std::string> serverIdsOrdered_;
    bool promptForOrderType_ = false, promptForCustomer_ = false, promptForName_ = false, promptForSeats_ = false,
         promptForMenu_ = false, loadDefaultItems_ = false;
    bool handlerPaused_ = false;
    int32_t quickTendered_ = 0;
    int discountRow_ = -1;
};

void registerOrderView();

} // namespace tavlo::screens
