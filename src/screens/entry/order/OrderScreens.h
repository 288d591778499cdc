#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tavlo {
class Order;
class Selection;
class Session;
using SelectionPtr = std::shared_ptr<Selection>;
} // namespace tavlo

namespace tavlo::screens {

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

class MenuViewController;

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

} // namespace tavlo::screens
