#pragma once

#include "platform/foundation/Error.h"
#include "screens/common/OrderTableViewController.h"
#include "screens/common/ScreenInterfaces.h"

#include <functional>
#include <memory>
#include <vector>

namespace tavlo::ui {
class Button;
class Control;
} // namespace tavlo::ui

namespace tavlo::screens {

class SlideView;

// Splits an order into several ("SplitView"): the screen works on a clone of the order handed in
// (`original`) and on new orders made beside it ("12-1", "12-2", ...), one button each on a strip
// above the lines. Selected lines move to the order of the button tapped (a copy with a new line id
// is added there, the line is voided where it was); with nothing selected the button shows its
// order. Send sends the source and every new order with lines, then hands the source back so that
// the order screen voids the lines that moved.
//
// Once any send of the screen succeeded the source has left with its lines moved off, so leaving
// by Cancel still hands the source back, and the new orders not yet sent are stored on this
// terminal: no moved line is lost.
class SplitViewController : public OrderTableViewController, public OrderReplacingScreen {
public:
    static constexpr const char* kInterfaceName = "SplitView";
    static constexpr int kAddTag = 100;
    // The label under an order's button that shows its total.
    static constexpr int kTotalTag = 901;

    SplitViewController();

    // ---- what the opener sets
    void setSession(Session* session) override;
    // The order to split; the screen never changes it.
    void setOrder(std::shared_ptr<Order> order) override { handedIn_ = std::move(order); }
    void setAction(std::function<void()> action) override { action_ = std::move(action); }
    void setReplaceAction(std::function<void(std::shared_ptr<Order> order)> action) override {
        replaceAction_ = std::move(action);
    }

    const std::shared_ptr<Order>& original() const { return original_; }
    const std::vector<std::shared_ptr<Order>>& splits() const { return splits_; }
    SlideView* slideView() const { return slideView_.get(); }
    // The order of a button's tag: 0 the source, n the n-th new order; null for any other.
    std::shared_ptr<Order> orderByTag(int tag) const;

    void viewDidLoad() override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    void newSplit();
    // Writes each order's total under its button.
    void showTotals();
    void selectOrder(ui::Control& button);
    void send();
    void cancel();

private:
    bool animated() const;
    void leave();
    // Stores the new orders with lines that were not sent; false when the store refused them.
    bool keepUnsent(Error* error);

    std::shared_ptr<Order> handedIn_, original_;
    std::vector<std::shared_ptr<Order>> splits_;
    std::shared_ptr<SlideView> slideView_;
    ui::Button* current_ = nullptr;
    std::function<void()> action_;
    std::function<void(std::shared_ptr<Order>)> replaceAction_;
    bool sentAny_ = false;
};

void registerSplitView();

} // namespace tavlo::screens
