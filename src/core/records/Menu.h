#pragma once

#include <optional>
#include <string>

namespace tavlo {

class ManagedObject;

// A menu of the store; isActive decides from its schedules whether it is offered now.
class Menu {
public:
    // Not disabled, and without schedules or with one that covers today's weekday, today's date
    // (both ends included) and now's time of day (both ends included, to the second), in the
    // device's calendar and time zone. A daily window that ends before it starts never matches.
    static bool isActive(const ManagedObject& menuRow);

    const std::optional<std::string>& menuId() const { return menuId_; }
    void setMenuId(std::optional<std::string> v) { menuId_ = std::move(v); }

private:
    std::optional<std::string> menuId_;
};

} // namespace tavlo
