#pragma once

#include "core/order/OrderType.h"
#include "core/session/Parameters.h"
#include "platform/foundation/Error.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/ViewController.h"
#include "screens/common/SignedInController.h"
#include "screens/entry/SelectionAdditions.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class Customer;
class ManagedObject;
class ObjectContext;
class Order;
class Selection;
class Session;
using ManagedObjectPtr = std::shared_ptr<ManagedObject>;
using SelectionPtr = std::shared_ptr<Selection>;
} // namespace tavlo

namespace tavlo::screens {

class MenuFetchedResultsController;
class SlideView;

// What the two menu screens share (the list, "MenuView", and the buttons, "MenuButtonsView"):
// the bar of the menus offered now on this terminal's area (the shortcuts first when there are
// any), the toolbar with undo, redo and the last thing done, the title or a quick sale's order
// type switch, the store's default items for a new order, and the entry of one item: its checks,
// its line and its flow, the tax exemptions the rules give it, and the finished line added to the
// order. Undo and redo work on the lines added while the screen is shown.
//
// The items listed are those of the current menu (or the shortcuts), read through a
// MenuFetchedResultsController that both screens keep here; a menu bar button changes the menu.
class MenuViewController : public SignedInController<ui::ViewController> {
public:
    // Receives a finished line: the end of an item's flow.
    using SelectionAction = std::function<void(const SelectionPtr&)>;
    static constexpr int kShortcutsTag = -999;

    ~MenuViewController() override;

    // Set by the order screen.
    const std::shared_ptr<Order>& order() const { return order_; }
    void setOrder(std::shared_ptr<Order> order) { order_ = std::move(order); }
    // Runs after every change this screen makes to the order (the order screen redraws).
    void setRefreshAction(std::function<void()> action) { refreshAction_ = std::move(action); }
    // The order screen's seat and course modes: whether the items' flows offer them.
    bool selectSeat() const { return selectSeat_; }
    void setSelectSeat(bool select) { selectSeat_ = select; }
    bool selectCourse() const { return selectCourse_; }
    void setSelectCourse(bool select) { selectCourse_ = select; }

    // What the screen shows and holds.
    ui::Label* lblAction() const { return lblAction_.get(); }
    const std::vector<SelectionPtr>& additions() const { return additions_.list(); }
    // "-999" for the shortcuts.
    const std::optional<std::string>& currentMenuId() const { return currentMenuId_; }
    void setCurrentMenuId(std::optional<std::string> menuId) { currentMenuId_ = std::move(menuId); }
    const std::vector<ManagedObjectPtr>& defaultItems() const { return defaultItems_; }
    ui::BarButtonItem* undoButton() const { return undoButton_.get(); }
    ui::BarButtonItem* redoButton() const { return redoButton_.get(); }
    SlideView* menuBar() const { return menuBar_.get(); }
    ui::SegmentedControl* orderTypes() const { return orderTypes_.get(); }
    // The order types the switch offers, in its order.
    const std::vector<OrderType>& orderTypesSupported() const { return orderTypesSupported_; }
    int menuBarHeight() const { return menuBarHeight_; }
    // The items of the current menu; made on first use.
    MenuFetchedResultsController& fetchedResultsController();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    uint32_t supportedInterfaceOrientations() const override;

    void addDefaultItems();

    void forgetActions();

    // Shows the items again after the order or the stock changed.
    virtual void refresh() {}

    void setOrderType(OrderType type);
    // The customers list's answer for a delivery.
    void saveCustomer(const std::optional<Customer>& customer);
    void itemDescription();

protected:
    explicit MenuViewController(std::string interfaceName);

    // Starts the entry of one item: false (after telling the person) when it is gone from the
    // store or sold out, and the items are then read again. The finished line goes to `action`.
    bool prepareSelection(const ManagedObjectPtr& item, SelectionAction action);
    // The end of an item's flow: the line joins the order.
    virtual void completeSelection(const SelectionPtr& selection);

    // A store value that counts in points: its number, or `fallback` when absent or 0.
    int pointsValue(Parameter parameter, int fallback) const;
    // Reads the current menu's items again; false when the store fails.
    bool fetchItems(Error& error);
    // Reads them again and shows them; a failure is logged and the items shown stay.
    void refetch();
    // The items could not be read when the screen opened: the person is told and the screen goes.
    void leaveUnreadable();

private:
    void undo();
    void redo();

    // The menu bar, under which the screens lay out their items; answers the height it takes.
    int loadMenuBar();
    void loadToolBars();
    // Shortcuts are on and some item has a shortcut number.
    bool hasShortcuts();
    // The default items of the order's type and this terminal's area, from the store's rules;
    // addDefaultItems enters them one after the other, each through its own flow.
    void loadDefaultItems();
    void completeDefaultSelection(const SelectionPtr& selection);
    // Highlights the menu bar button of the menu shown.
    void selectMenu(ui::Button& button);
    bool isMenuAvailable(const std::string& menuId);
    // A menu bar button: shows that menu's items (the shortcuts for kShortcutsTag); a menu no
    // longer offered greys its button and changes nothing.
    void changeMenu(ui::Button& button, const std::string& menuId);
    void orderTypeChanged();
    std::shared_ptr<ui::Button> menuButton(const std::string& title, const std::string& menuId, int tag, bool icons,
                                           int width, int height);
    void showAction(const std::string& text);
    void showAdded(const Selection& selection);
    void enableUndoRedo(bool enabled);
    void afterChange();
    // Dismisses the flow or the customers list presented over this screen, when one is.
    void dismissPresented();
    void applyTaxExemptions(Selection& selection, const std::optional<std::string>& recipeGroup);
    bool enterItem(const ManagedObjectPtr& item, SelectionAction action);

    std::shared_ptr<Order> order_;
    std::function<void()> refreshAction_;
    bool selectSeat_ = false, selectCourse_ = false;
    std::shared_ptr<ui::Label> lblAction_;
    SelectionAdditions additions_;
    std::optional<std::string> currentMenuId_;
    std::vector<ManagedObjectPtr> defaultItems_;
    std::shared_ptr<ui::BarButtonItem> undoButton_, redoButton_;
    std::shared_ptr<SlideView> menuBar_;
    ui::Button* lastButton_ = nullptr;
    std::shared_ptr<ui::SegmentedControl> orderTypes_;
    std::vector<OrderType> orderTypesSupported_;
    int menuBarHeight_ = 0;
    size_t currentDefaultIndex_ = 0;
    std::unique_ptr<MenuFetchedResultsController> fetchedResultsController_;
};

} // namespace tavlo::screens
