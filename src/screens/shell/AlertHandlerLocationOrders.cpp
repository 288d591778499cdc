#include "screens/shell/AlertHandlerLocationOrders.h"

#include "platform/foundation/LocalizedStrings.h"

namespace tavlo::screens {

std::shared_ptr<ui::AlertView> AlertHandlerLocationOrders::show(std::vector<Choice> orders, Action action) {
    auto alert = ui::AlertView::make(localized("Multiple Orders"), localized("Select an order:"), localized("Cancel"));
    for (const Choice& order : orders) alert->addButton(order.name.value_or(""));
    alert->setDelegate(std::make_shared<AlertHandlerLocationOrders>(std::move(orders), std::move(action)));
    alert->show();
    return alert;
}

void AlertHandlerLocationOrders::alertViewClicked(ui::AlertView&, int buttonIndex) {
    if (buttonIndex < 1 || buttonIndex > static_cast<int>(orders_.size()) || !action_) return;
    const std::optional<std::string>& remoteId = orders_[buttonIndex - 1].remoteId;
    if (remoteId) action_(*remoteId);
}

} // namespace tavlo::screens
