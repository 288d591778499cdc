#pragma once

#include "core/records/Customer.h"
#include "core/session/Rights.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/TableViewController.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/SignedInController.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class Selection;
} // namespace tavlo

namespace tavlo::ui {
class Button;
class Control;
class Label;
} // namespace tavlo::ui

namespace tavlo::screens {

// The order as a whole ("OrderDetailsView"), behind the order screen's title button: a grouped
// table with the order's name (rename), its age (running time, or the creation date when tapped)
// and type; the tools void all, comp all, split and open discount; the customer; the guest count;
// the automatic gratuity rate. It changes the order screen's own order at once; after comps and a
// split it tells the order screen through the replace action.
//
// Files: OrderDetailsViewController.cpp (the table and its rows), OrderDetailsTools.cpp (the
// tools, the rename and the customer).
class OrderDetailsViewController : public SignedInController<ui::TableViewController, OrderReplacingScreen> {
public:
    static constexpr const char* kInterfaceName = OrderTaskScreen::kOrderDetailsInterface;
    enum class Section { Details, Tools, Customer, Seats, Gratuity };
    // Tags of the parts of a row.
    static constexpr int kCaptionTag = 1, kValueTag = 2, kToolTag = 3, kSliderTag = 4, kSliderLabelTag = 5;

    OrderDetailsViewController();
    ~OrderDetailsViewController() override;

    // ---- what the order screen sets (OrderReplacingScreen)
    void setOrder(std::shared_ptr<Order> order) override { order_ = std::move(order); }
    void setAction(std::function<void()> action) override { action_ = std::move(action); }
    void setReplaceAction(std::function<void(std::shared_ptr<Order> order)> action) override {
        replaceAction_ = std::move(action);
    }
    const std::shared_ptr<Order>& order() const { return order_; }
    const std::optional<Customer>& customer() const { return customer_; }
    bool timerRunning() const { return elapsedTimer_ != nullptr; }

    // The sections shown now, in order.
    std::vector<Section> sections();
    // "H:MM:SS" of a number of seconds (hours not wrapped at 24).
    static std::string elapsedText(double seconds);

    // ---- the table
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    int numberOfSections(ui::TableView&) override;
    int numberOfRows(ui::TableView&, int section) override;
    std::optional<std::string> titleForHeader(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;
    void accessoryButtonTapped(ui::TableView& table, ui::IndexPath path) override;
    bool canEditRow(ui::TableView&, ui::IndexPath) override { return false; }

private:
    // ---- actions (OrderDetailsTools.cpp)
    void saveName(const std::optional<std::string>& name);
    void saveCustomer(const std::optional<Customer>& customer);
    void comps();
    void comped(const std::optional<std::string>& compId, const std::optional<std::string>& authorizedBy);
    void saveCompComment(const std::optional<std::string>& comment);
    void split();
    void discount();

    bool elapsedToggle() const { return elapsedToggle_; }
    // The comp every selection of the order carries; none when one differs or has none.
    std::optional<std::string> orderComp() const;
    // Back to the order screen.
    void orderView();
    void orderName();
    void showCustomers();
    void showCustomer();
    void voidConfirmation();
    void voidAll();
    void voidAll(const std::optional<std::string>& forcedBy);
    void saveDiscount(const std::optional<std::string>& amount, const std::optional<std::string>& authorizedBy);
    void plusSeat(ui::Control& sender);
    void minusSeat(ui::Control& sender);
    void seatsChanged(ui::Control& sender);
    void gratuityChanged(ui::Control& sender);
    bool granted(Right right) const;
    // "Alert" / "You do not have the required access" / "Cancel".
    void noAccess();
    void loadCustomer();
    void setTitleButton(const std::string& name);
    // In a navigation controller of its own, as a form sheet.
    void presentSheet(const std::shared_ptr<ui::ViewController>& screen);
    void dismissPresented();
    void stopTimer();
    // Pops the comp list and tells the order screen.
    void finishComps();
    std::shared_ptr<ui::TableViewCell> detailsCell(ui::TableView& table, int row);
    std::shared_ptr<ui::TableViewCell> toolCell(ui::TableView& table, int row);
    std::shared_ptr<ui::TableViewCell> customerCell(ui::TableView& table);
    std::shared_ptr<ui::TableViewCell> seatsCell(ui::TableView& table);
    std::shared_ptr<ui::TableViewCell> gratuityCell(ui::TableView& table);
    void showSeats(ui::View& row);

    std::shared_ptr<Order> order_;
    std::function<void()> action_;
    std::function<void(std::shared_ptr<Order>)> replaceAction_;
    std::optional<Customer> customer_;
    bool elapsedToggle_ = true;
    std::shared_ptr<Timer> elapsedTimer_;
    // The selections comped by the last comp, which the comp comment goes to.
    std::vector<std::shared_ptr<Selection>> comped_;
};

void registerOrderDetailsView();

} // namespace tavlo::screens
