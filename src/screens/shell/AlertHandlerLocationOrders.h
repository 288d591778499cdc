#pragma once

#include "platform/ui/AlertView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens {

// The order picker behind the "Multiple Orders" alert: a table has several open orders and the
// person chooses one of them by its name.
class AlertHandlerLocationOrders {
public:
    struct Choice {
        std::optional<std::string> remoteId;
        std::optional<std::string> name;
    };
    // Receives the chosen order's remote id.
    using Action = std::function<void(const std::string& remoteId)>;

    // "Multiple Orders" / "Select an order:" / "Cancel" with one button per order's name, in order.
    // Button i (from 1) stands for the i-th order; Cancel, an order without a remote id and a
    // button past the orders do nothing.
    static std::shared_ptr<ui::AlertView> show(std::vector<Choice> orders, Action action);
};

} // namespace tavlo::screens
