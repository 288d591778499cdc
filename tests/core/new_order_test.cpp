// A new order as the order screen starts one: at a table or as a quick sale, with the store's
// taxes, rules and ids.
#include "core/order/NewOrder.h"
#include "core/order/Order.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/store/ObjectContext.h"

#include <gtest/gtest.h>

#include "support/StoreFixture.h"

namespace tavlo {
namespace {

using test::StoreFixture;
using T = std::optional<std::string>;
using Params = std::vector<std::pair<std::string, std::string>>;

// The small store with table L7 ("Table 7", 6 seats, in the patio) and one tax, the parameters
// added; U-ANN signed in on terminal T1 (in the dining room).
class NewOrderStore {
public:
    explicit NewOrderStore(const Params& params) {
        store.buildSmallStore();
        ManagedObjectPtr table = store->insert("AreaLocation");
        table->setValue("areaLocationId", std::string("L7"));
        table->setValue("name", std::string("Table 7"));
        table->setValue("seats", 6);
        table->setToOne("area", store->fetchFirst("Area", "areaId == %@", std::string("A2")));
        ManagedObjectPtr tax = store->insert("Tax");
        tax->setValue("taxId", std::string("TX-1"));
        tax->setValue("name", std::string("State"));
        tax->setValue("percentage", 825);
        tax->setValue("roundingMethod", std::string("round"));
        for (const auto& [name, value] : params) store.addStoreParam(name, value);
        store.save();
        IDBroker::initWithMOC(store.context());
        EXPECT_TRUE(session.authenticate("U-ANN"));
    }

    StoreFixture store;
    Session session{store.context().get()};
};

TEST(NewOrder, AtATableOrAsAQuickSale) {
    struct Case {
        const char* name;
        T table;
        Params params;
        OrderType type;
        int32_t seats;
        T orderName, areaId, areaLocationId;
    };
    const Case cases[] = {
        {"at a table", "L7", {}, OrderType::DineIn, 6, "Table 7", "A2", "L7"},
        {"at a table, seats set by hand",
         "L7",
         {{"FORCE_SET_SEATS", "YES"}},
         OrderType::DineIn,
         0,
         "Table 7",
         "A2",
         "L7"},
        {"at a table the store lacks", "L99", {}, OrderType::DineIn, 0, T(), T(), "L99"},
        // A quick sale is named by the terminal's number and its first quick-sale number.
        {"quick sale", T(), {}, OrderType::TakeOut, 0, "11", "A1", T()},
        {"quick sale eaten in", T(), {{"QS_ORDER_TYPE", "-3"}}, OrderType::DineIn, 1, "11", "A1", T()},
        {"quick sale picked up", T(), {{"QS_ORDER_TYPE", "-12"}}, OrderType::PickUp, 0, "11", "A1", T()},
        // A number of no type known here is kept as the store gave it.
        {"quick sale of another type", T(), {{"QS_ORDER_TYPE", "-8"}}, orderTypeOf(-8), 0, "11", "A1", T()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NewOrderStore s(c.params);
        std::shared_ptr<Order> order = makeNewOrder(s.session, c.table);
        ASSERT_TRUE(order);
        EXPECT_EQ(storedNumber(order->orderType()), storedNumber(c.type));
        EXPECT_EQ(order->seats(), c.seats);
        EXPECT_EQ(order->name(), c.orderName);
        EXPECT_EQ(order->areaId(), c.areaId);
        EXPECT_EQ(order->areaLocationId(), c.areaLocationId);
        EXPECT_TRUE(order->new_());
        EXPECT_TRUE(order->modified()) << "nothing of it is stored or sent yet";
    }
}

TEST(NewOrder, CarriesTheStoresTaxesRulesAndIds) {
    struct Case {
        const char* name;
        Params params;
        bool taxOverride, afterTax, beforeComp;
        int32_t gratuitySeats, gratuityPercentage;
    };
    const Case cases[] = {
        {"plain store", {}, false, false, false, 0, 0},
        {"rules set",
         {{"TAX_OVERRIDE", "YES"},
          {"TIP_AND_GRATUITY_AFTER_TAX", "YES"},
          {"TIP_AND_GRATUITY_BEFORE_COMP_AND_DISC", "YES"}},
         true,
         true,
         true,
         0,
         0},
        {"gratuity without its module", {{"GRATUITY_MIN_SEATS", "8"}, {"GRATUITY", "1800"}}, false, false, false, 0, 0},
        {"gratuity",
         {{"MODULE_GRATUITY", "YES"}, {"GRATUITY_MIN_SEATS", "8"}, {"GRATUITY", "1800"}},
         false,
         false,
         false,
         8,
         1800},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NewOrderStore s(c.params);
        std::shared_ptr<Order> order = makeNewOrder(s.session, std::string("L7"));
        ASSERT_TRUE(order);
        EXPECT_EQ(order->taxOverride(), c.taxOverride);
        EXPECT_EQ(order->tipGratuityAfterTax(), c.afterTax);
        EXPECT_EQ(order->tipGratuityBeforeCompDisc(), c.beforeComp);
        EXPECT_EQ(order->gratuityMinSeats(), c.gratuitySeats);
        EXPECT_EQ(order->gratuityPercentage(), c.gratuityPercentage);
        ASSERT_EQ(order->taxes().size(), 1u);
        EXPECT_EQ(order->taxes().front().name(), "State");
        EXPECT_EQ(order->serverId(), "U-ANN");
        EXPECT_EQ(order->terminalId(), "T1");
        EXPECT_EQ(order->batchId(), IDBroker::getInstance().currentBatchId());
        ASSERT_TRUE(order->remoteId());
        EXPECT_FALSE(order->remoteId()->empty());
        ASSERT_TRUE(order->created());
        EXPECT_EQ(order->updated(), order->created());
    }
}

TEST(NewOrder, EachGetsItsOwnIdAndQuickSaleNumber) {
    NewOrderStore s({});
    std::shared_ptr<Order> first = makeNewOrder(s.session, std::nullopt);
    std::shared_ptr<Order> second = makeNewOrder(s.session, std::nullopt);
    EXPECT_NE(first->remoteId(), second->remoteId());
    EXPECT_NE(first->name(), second->name());
}

} // namespace
} // namespace tavlo
