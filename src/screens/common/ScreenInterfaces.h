#pragma once

// The interfaces of the screens that others open by their interface names alone: a room opens a
// screen of another room through the registry (`InterfaceRegistry`) and talks to it through the
// interface here, never through its class.

#include "core/records/Customer.h"
#include "platform/store/ManagedObject.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class Order;
class Selection;
class Session;
using SelectionPtr = std::shared_ptr<Selection>;
} // namespace tavlo

namespace tavlo::screens {

class MenuViewController;

// The interface names of the screens opened by name across rooms (each screen's own class names
// the same text kInterfaceName). The texts are what the registry, the tests and the stored
// settings look up.
inline constexpr const char* kLoginInterface = "LoginView";
inline constexpr const char* kSettingsInterface = "SettingsView";
inline constexpr const char* kOrdersInterface = "OrdersView";
inline constexpr const char* kAdminInterface = "LiteAdminView";
inline constexpr const char* kOrderInterface = "OrderView";
inline constexpr const char* kTableLayoutInterface = "TableLayoutView";
inline constexpr const char* kSystemStatusInterface = "SystemStatusView";
inline constexpr const char* kAttendanceInterface = "AttendanceView";

// What the screens opened after sign-in are handed. The sign-in screen and the pad's panes make
// them by their interface names ("OrdersView", "LiteAdminView", "OrderView") and need not know
// their classes: a controller registered under such a name answers the interface of its kind.

// A screen that works for the signed-in user.
class SessionScreen {
public:
    virtual ~SessionScreen() = default;
    virtual void setSession(std::shared_ptr<Session> session) = 0;
};

// The first screen after sign-in ("LiteAdminView" and "OrdersView"): with root set, leaving it
// signs the user out.
class SignedInScreen : public SessionScreen {
public:
    virtual void setRoot(bool root) = 0;
};

// The orders main screen ("OrdersView").
class OrdersMainScreen : public SignedInScreen {
public:
    // The table layout is shown instead of the order lists.
    virtual bool showLayout() const = 0;
    virtual void setShowLayout(bool show) = 0;
    // Shows the table layout now (the pad's "Layout" button).
    virtual void showTableLayout(bool show) = 0;
    // The open orders are read from the server each time the screen appears / is left.
    virtual bool updateOnAppear() const = 0;
    virtual void setUpdateOnAppear(bool update) = 0;
    virtual void setUpdateOnExit(bool update) = 0;
};

// The order screen ("OrderView"): an order by its remote id (none: a new one), at a table or as a
// quick sale.
class OrderScreen : public SessionScreen {
public:
    virtual void setRemoteId(std::optional<std::string> remoteId) = 0;
    virtual void setAreaLocationId(std::optional<std::string> areaLocationId) = 0;
    virtual void setQuickSale(bool quickSale) = 0;
};

// The open batch's payments as the administration screen opens them. The same layout
// ("PaymentsView") also lists one order's payments for the order screen, so this controller is
// registered under its own name.
class AdminPaymentsScreen : public SessionScreen {
public:
    static constexpr const char* kInterfaceName = "AdminPaymentsViewController";
    virtual void setShowGratuity(bool show) = 0;
};

// The table layout ("TableLayoutView") as the orders main screen opens it: the floor plan hands a
// pressed table (its AreaLocation row) back, and its toolbar's "Logout" and "Orders" go back too.
class TableLayoutScreen : public SessionScreen {
public:
    using TableSelected = std::function<void(const ManagedObjectPtr& table)>;
    using Action = std::function<void()>;

    // The open orders are read from the server when the layout comes into view.
    virtual void setUpdateOnAppear(bool update) = 0;
    virtual void setObserver(TableSelected selected, Action logout, Action orders) = 0;
};

// What the order screen hands the screens it opens by their interface names alone (the pay
// screens, the order details): a controller registered under such a name answers this interface.
class OrderTaskScreen {
public:
    // The pay screen for an order without payments, the payment list for one with payments, the
    // order details and the selection editor.
    static constexpr const char* kPayInterface = "PayViewController";
    static constexpr const char* kPaymentsInterface = "PaymentsView";
    static constexpr const char* kOrderDetailsInterface = "OrderDetailsView";
    static constexpr const char* kSelectionInterface = "SelectionView";

    virtual ~OrderTaskScreen() = default;
    virtual void setSession(Session* session) = 0;
    virtual void setOrder(std::shared_ptr<Order> order) = 0;
    // Told when the screen is finished (the pay screens' answer).
    virtual void setAction(std::function<void()> action) = 0;
};

// The selection editor ("SelectionView") edits the line the person tapped in place; the order
// screen also hands it its menu screen, told to refresh after the line's quantity changes.
class SelectionEditorScreen : public OrderTaskScreen {
public:
    virtual void setSelection(SelectionPtr selection) = 0;
    virtual void setMenuView(std::shared_ptr<MenuViewController> menuView) = 0;
};

// The order details and split screens answer with the order as they left it (null: unchanged).
class OrderReplacingScreen : public OrderTaskScreen {
public:
    virtual void setReplaceAction(std::function<void(std::shared_ptr<Order> order)> action) = 0;
};

// The comp list ("CompListView") as the selection editor and the order details push it: it answers
// with the reason chosen (nil: "REMOVE COMP") and who authorised it (nil: the session's own
// right), or not at all when the person backs out.
class CompListScreen {
public:
    static constexpr const char* kInterfaceName = "CompListView";
    using Answer =
        std::function<void(const std::optional<std::string>& compId, const std::optional<std::string>& authorizedBy)>;

    virtual ~CompListScreen() = default;
    virtual void setSession(Session* session) = 0;
    // The name of the comp the line or order has now: its row carries the check mark.
    virtual void setCurrentComp(std::optional<std::string> compName) = 0;
    virtual void setAnswer(Answer answer) = 0;
};

// What the menu screen asks of the customers list that it opens by its interface name when a
// quick sale becomes a delivery: the list answers the observer with the customer chosen, or nil
// when the person backs out or takes the customer off the order. The customers screen
// implements it and registers its controller under kInterfaceName.
class CustomerPicker {
public:
    static constexpr const char* kInterfaceName = "CustomersView";
    using Observer = std::function<void(const std::optional<Customer>& customer)>;

    virtual ~CustomerPicker() = default;
    virtual void setObserver(Observer observer) = 0;
    virtual void setSession(Session* session) = 0;
    // Whether the list offers to take the order's customer off.
    virtual void setAllowRemove(bool allow) = 0;
};

// The customer form ("CustomerView") as the order details open it: the order's customer by its
// ids, answered through the observer as the list answers.
class CustomerForm {
public:
    static constexpr const char* kInterfaceName = "CustomerView";

    virtual ~CustomerForm() = default;
    virtual void setSession(Session* session) = 0;
    virtual void setRemoteId(std::optional<std::string> id) = 0;
    virtual void setCustomerId(std::optional<std::string> id) = 0;
    virtual void setObserver(CustomerPicker::Observer observer) = 0;
    // Whether the form shows Done, which answers with the customer shown.
    virtual void setDone(bool done) = 0;
};

// The report viewer ("ReportView") as the administration screen opens it: a report's lines, which
// the person may print or not.
class ReportViewer : public SessionScreen {
public:
    static constexpr const char* kInterfaceName = "ReportView";

    virtual void setLines(std::vector<std::string> lines) = 0;
    virtual void setPrintable(bool printable) = 0;
};

} // namespace tavlo::screens
