#include "support/SoupOrders.h"

#include "core/order/OrderTax.h"
#include "core/order/Selection.h"

namespace tavlo::test {

SelectionPtr soupLine(const std::string& remoteId, int32_t units, int32_t price, const std::string& userId) {
    auto line = std::make_shared<Selection>();
    line->setRemoteId(remoteId);
    line->setRecipeId("r-soup");
    line->setName("Soup");
    line->setPrice(price);
    line->setQuantity(units);
    line->setOrderedBy(userId);
    line->setNewQuantity(units);
    return line;
}

std::unique_ptr<Order> soupOrder(const std::string& remoteId, const SoupOrder& soup) {
    auto order = std::make_unique<Order>();
    order->setRemoteId(remoteId);
    order->setName("Table " + remoteId);
    order->setOrderType(OrderType::DineIn);
    order->setServerId(soup.userId);
    order->setCreated(Date::now());
    if (soup.taxed) order->addTax(OrderTax("State", 825, "round", "tx-state"));
    order->addSelection(soupLine(remoteId + "-1", soup.units, soup.price, soup.userId), soup.session);
    return order;
}

} // namespace tavlo::test
