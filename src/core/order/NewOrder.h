#pragma once

#include <memory>
#include <optional>
#include <string>

namespace tavlo {

class Order;
class Session;

// A new order of the signed-in session: the store's taxes and its tax-override, tip and gratuity
// rules, new ids, the user as its server, the day's batch and this terminal. At a table (an area
// location) it is a dine-in order named after the table, with the table's seats unless the store
// sets them ("FORCE_SET_SEATS"); without one it is a quick sale of the store's quick-sale type
// ("QS_ORDER_TYPE", else take out) named by the next quick-sale number, in this terminal's area.
// It is marked modified: nothing of it has reached the store or the server yet.
std::shared_ptr<Order> makeNewOrder(Session& session, const std::optional<std::string>& areaLocationId);

} // namespace tavlo
