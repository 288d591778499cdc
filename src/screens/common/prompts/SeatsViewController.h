#pragma once

#include "platform/ui/PickerView.h"
#include "platform/ui/ViewController.h"

#include <functional>
#include <memory>

namespace tavlo {
class Order;
}

namespace tavlo::screens {

// Asks for the number of guests of an order on a wheel of 0 to 30. Each turn of the wheel sets the
// order's seats at once; Done refuses a count below 1, else closes the screen and then tells the
// observer.
class SeatsViewController : public ui::ViewController, public ui::PickerViewDataSource, public ui::PickerViewDelegate {
public:
    static constexpr const char* kInterfaceName = "SeatsView";
    static constexpr int kMaximumSeats = 30;

    SeatsViewController();
    ~SeatsViewController() override;

    const std::shared_ptr<Order>& order() const { return order_; }
    void setOrder(std::shared_ptr<Order> order) { order_ = std::move(order); }
    // Told, without an argument, once Done closed the screen with a count chosen.
    using Observer = std::function<void()>;
    void setObserver(Observer observer) { observer_ = std::move(observer); }
    bool useAnimation() const { return useAnimation_; }
    void setUseAnimation(bool use) { useAnimation_ = use; }

    // Outlet, connected by the interface.
    ui::PickerView* pickerView() const { return outlet<ui::PickerView>("pickerView"); }

    // The left bar button.
    void done();
    // Closes the screen without telling the observer; the order's seats become -1.
    void cancel();

    void viewDidLoad() override;
    int numberOfComponents(ui::PickerView&) override { return 1; }
    int numberOfRows(ui::PickerView&, int component) override;
    std::optional<std::string> titleForRow(ui::PickerView&, int row, int component) override;
    void didSelectRow(ui::PickerView&, int row, int component) override;

private:
    std::shared_ptr<Order> order_;
    Observer observer_;
    bool useAnimation_ = false;
};

} // namespace tavlo::screens
