#pragma once

#include "core/records/Customer.h"

#include <functional>
#include <optional>

namespace tavlo {

class Session;

namespace screens {

// What the menu screen asks of the customers list that it opens by its interface name when a
// quick sale becomes a delivery: the list answers the observer with the customer chosen, or nil
// when the person backs out or takes the customer off the order. The customers screen
// implements it and registers its controller under kInterfaceName.
class CustomerPicker {
public:
    static constexpr const char* kInterfaceName = "CustomersView";
    using Observer = std::function<void(const std::optional<Customer>& customer)>;

    virtual ~CustomerPicker() = default;
    virtual void setObserver(Observer observer) = 0;
    virtual void setSession(Session* session) = 0;
    // Whether the list offers to take the order's customer off.
    virtual void setAllowRemove(bool allow) = 0;
};

} // namespace screens
} // namespace tavlo
