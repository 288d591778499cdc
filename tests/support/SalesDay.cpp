#include "support/SalesDay.h"

#include "core/order/OrderDiscount.h"

namespace tavlo::test::salesday {

namespace {

ManagedObjectPtr addRow(ObjectContext& context, const char* entity, const char* key, const std::string& id,
                        const std::string& name) {
    ManagedObjectPtr row = context.insert(entity);
    row->setValue(key, id);
    row->setValue("name", name);
    return row;
}

} // namespace

void addMenu(ObjectContext& context) {
    ManagedObjectPtr food = addRow(context, "RecipeGroup", "recipeGroupId", "g-food", "Food");
    ManagedObjectPtr drinks = addRow(context, "RecipeGroup", "recipeGroupId", "g-drinks", "Drinks");
    addRow(context, "Recipe", "recipeId", "r-burger", "Burger")->setToOne("recipeGroup", food);
    addRow(context, "Recipe", "recipeId", "r-fries", "Fries")->setToOne("recipeGroup", food);
    addRow(context, "Recipe", "recipeId", "r-soda", "Soda")->setToOne("recipeGroup", drinks);
    addRow(context, "Preparation", "preparationId", "p-cheese", "Extra cheese");
    addRow(context, "Preparation", "preparationId", "p-rare", "Rare");
    for (const auto& [table, area] : {std::pair{"L1", "A1"}, std::pair{"L2", "A2"}}) {
        ManagedObjectPtr row = addRow(context, "AreaLocation", "areaLocationId", table, table);
        row->setToOne("area", context.fetchFirst("Area", "areaId == %@", std::string(area)));
    }
}

SelectionPtr line(const std::string& remoteId, const std::string& recipeId, const std::string& name, int32_t price,
                  int32_t quantity) {
    auto s = std::make_shared<Selection>();
    s->setRemoteId(remoteId);
    s->setRecipeId(recipeId);
    s->setMenuId("m-main");
    s->setName(name);
    s->setPrice(price);
    s->setQuantity(quantity);
    return s;
}

std::shared_ptr<Payment> payment(const std::string& remoteId, int32_t type, int32_t subTotal, int32_t tip,
                                 int32_t gratuity, int32_t change, const std::optional<std::string>& cardType) {
    auto p = std::make_shared<Payment>();
    p->setRemoteId(remoteId);
    p->setType(type);
    p->setSubTotal(subTotal);
    p->setTip(tip);
    p->setGratuity(gratuity);
    p->setChange(change);
    p->setCardType(cardType);
    return p;
}

std::unique_ptr<Order> order(const std::string& remoteId, const std::string& name, OrderType type, int32_t seats,
                             const std::optional<std::string>& tableId) {
    auto o = std::make_unique<Order>();
    o->setRemoteId(remoteId);
    o->setName(name);
    o->setOrderType(type);
    o->setSeats(seats);
    o->setAreaLocationId(tableId);
    o->setCreated(Date::now());
    o->addTax(OrderTax(std::string("State"), 825, std::string("round"), std::string("tx-state")));
    return o;
}

void addBusyDay(ObjectContext& context, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string id = "busy-" + std::to_string(i);
        const bool refund = i % 20 == 19, dineIn = i % 2 == 0;
        auto o = order(id, "Order " + std::to_string(100000 + i),
                       refund   ? OrderType::Refund
                       : dineIn ? OrderType::DineIn
                                : OrderType::TakeOut,
                       dineIn ? 1 + i % 4 : 0, dineIn ? std::optional<std::string>(i % 4 ? "L1" : "L2") : std::nullopt);
        SelectionPtr burger = line(id + "-1", "r-burger", "Burger", 1200, 1 + i % 3);
        burger->addPreparation(Preparation(std::string("p-cheese"), 100));
        burger->addSide(line(id + "-1s", "r-fries", "Fries", 400));
        o->addSelection(burger, nullptr);
        SelectionPtr soda = line(id + "-2", "r-soda", "Soda", 250, 1 + i % 2);
        if (i % 10 == 3) {
            soda->setCompName(std::string("Manager"));
            soda->setCompBy(std::string("U-BOB"));
            soda->setCompPercent(10000);
        }
        o->addSelection(soda, nullptr);
        if (i % 15 == 4) {
            auto discount = std::make_shared<OrderDiscount>();
            discount->setRemoteId(id + "-d");
            discount->setName(std::string("Coupon"));
            discount->setAmount(150);
            o->addDiscount(discount);
        }
        const int32_t due = o->getTotal();
        if (i % 3 == 0) o->addPayment(payment(id + "-p", Payment::kCash, due, 0, 0, 500));
        else
            o->addPayment(
                payment(id + "-p", Payment::kCredit, due, 100 + i % 200, 0, 0, std::string(i % 2 ? "VISA" : "MC")));
        o->setClosed(Date::now());
        o->write(context);
    }
    context.save();
}

} // namespace tavlo::test::salesday
