#pragma once

#include "core/order/Order.h"
#include "platform/store/ObjectContext.h"

#include <memory>
#include <optional>
#include <string>

namespace tavlo::test {

// A business day's orders as the reports and receipts read them from the local store: the menu
// rows the lines name (recipe groups, recipes, preparations), tables in the areas A1 and A2, and
// builders for orders, lines and tenders. Rows are added to the context, not saved.
namespace salesday {

// Groups "Food" and "Drinks"; recipes r-burger "Burger", r-fries "Fries" (Food), r-soda "Soda"
// (Drinks); preparations p-cheese "Extra cheese", p-rare "Rare"; tables L1 (area A1) and L2 (A2).
// The areas themselves come from the caller's store (StoreFixture::buildSmallStore has them).
void addMenu(ObjectContext& context);

SelectionPtr line(const std::string& remoteId, const std::string& recipeId, const std::string& name, int32_t price,
                  int32_t quantity = 1);
std::shared_ptr<Payment> payment(const std::string& remoteId, int32_t type, int32_t subTotal, int32_t tip = 0,
                                 int32_t gratuity = 0, int32_t change = 0,
                                 const std::optional<std::string>& cardType = std::nullopt);
// An order of the type with the state tax (8.25 %), at a table or as a quick sale.
std::unique_ptr<Order> order(const std::string& remoteId, const std::string& name, OrderType type, int32_t seats,
                             const std::optional<std::string>& tableId);

// `count` orders of every kind in the open business day, stored and saved: dine-in and take-out
// orders with sides, preparations, comps, discounts, cash and card tenders, every 20th a refund.
void addBusyDay(ObjectContext& context, int count);

} // namespace salesday
} // namespace tavlo::test
