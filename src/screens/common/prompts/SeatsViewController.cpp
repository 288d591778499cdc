#include "screens/common/prompts/SeatsViewController.h"

#include "core/order/Order.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/ui/AlertView.h"

namespace tavlo::screens {

using namespace ui;

SeatsViewController::SeatsViewController() : ViewController(kInterfaceName) {}

SeatsViewController::~SeatsViewController() = default;

void SeatsViewController::viewDidLoad() {
    setTitle(order_ ? order_->name() : std::nullopt);
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Done"), BarButtonStyle::Done, [this](BarButtonItem&) { done(); }));
    PickerView& picker = *pickerView();
    picker.setDataSource(this);
    picker.setDelegate(this);
    picker.reloadAllComponents();
}

int SeatsViewController::numberOfRows(PickerView&, int) { return kMaximumSeats + 1; }

std::optional<std::string> SeatsViewController::titleForRow(PickerView&, int row, int) { return format("%li", row); }

void SeatsViewController::didSelectRow(PickerView&, int row, int) {
    if (order_) order_->setSeats(row);
}

void SeatsViewController::done() {
    if (!order_ || order_->seats() < 1) {
        AlertView::make(localized("Alert"), localized("Please specify amount of guests"), localized("Ok"))->show();
        return;
    }
    auto keep = shared_from_this();
    Observer observer = observer_;
    dismiss(useAnimation_);
    if (observer) observer();
}

void SeatsViewController::cancel() {
    if (order_) order_->setSeats(-1);
    dismiss(useAnimation_);
}

} // namespace tavlo::screens
