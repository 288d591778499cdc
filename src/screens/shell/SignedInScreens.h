#pragma once

#include <memory>
#include <optional>
#include <string>

namespace tavlo {
class Session;
}

namespace tavlo::screens {

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

} // namespace tavlo::screens
