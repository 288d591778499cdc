#include "screens/shell/AlertHandlerLocationOrders.h"

#include "platform/foundation/LocalizedStrings.h"
#include "screens/common/Alerts.h"

namespace tavlo::screens {

std::shared_ptr<ui::AlertView> AlertHandlerLocationOrders::show(std::vector<Choice> orders, Action action) {
    std::vector<std::string> names;
    for (const Choice& order : orders) names.push_back(order.name.value_or(""));
    return showAlert(nullptr, "Multiple Orders", localized("Select an order:"), {"Cancel", names},
                     [orders = std::move(orders), action = std::move(action)](int button) {
                         if (button < 1 || button > static_cast<int>(orders.size()) || !action) return;
                         if (const std::optional<std::string>& remoteId = orders[button - 1].remoteId)
                             action(*remoteId);
                     });
}

} // namespace tavlo::screens
