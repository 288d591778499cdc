#include "core/order/ComboSelection.h"
#include "core/order/Order.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/foundation/NotificationCenter.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "support/LocalStoreScope.h"
#include "support/MenuRows.h"

namespace tavlo {
namespace {

// Orders working on a store of their own, for a session of U-ANN on terminal T1.
class OrderRecordTest : public ::testing::Test {
protected:
    OrderRecordTest() : rows(store.context().get()) {
        IDBroker::initWithMOC(store.context());
        rows.recipe("pie", "Pie", 1000);
        rows.recipe("bread", "Bread");
        store.save();
        session = std::make_unique<Session>(store.context().get());
        session->setUserId(std::string("U-ANN"));
        session->setTerminalId(std::string("T1"));
    }
    ObjectContext* context() { return store.context().get(); }
    int32_t pies() { return Selection::available(std::string("pie"), context()); }
    // What the store file holds, as another context (or a later run) reads it.
    int32_t storedPies() {
        ObjectContext other(context()->store());
        return Selection::available(std::string("pie"), &other);
    }
    // Runs SQL on the store file through a connection of its own.
    void sql(const std::string& statement) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(context()->store()->path().c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    SelectionPtr pie(int32_t quantity, int32_t newQuantity) {
        auto s = std::make_shared<Selection>();
        s->setRemoteId(std::string("S-") + std::to_string(++made_));
        s->setRecipeId(std::string("pie"));
        s->setName(std::string("Pie"));
        s->setQuantity(quantity);
        s->setNewQuantity(newQuantity);
        return s;
    }

    test::LocalStoreScope store;
    test::MenuRows rows;
    std::unique_ptr<Session> session;
    int made_ = 0;
};

TEST_F(OrderRecordTest, HeaderSettersAndTheModifiedFlag) {
    struct Case {
        const char* what;
        bool isNew;
        std::function<void(Order&)> change;
        bool modified;
    };
    const Case cases[] = {
        {"same name, stored order", false, [](Order& o) { o.setName(std::string("Table 4")); }, false},
        {"other name, new order", true, [](Order& o) { o.setName(std::string("Smith")); }, false},
        {"other name, stored order", false, [](Order& o) { o.setName(std::string("Smith")); }, true},
        {"name cleared, stored order", false, [](Order& o) { o.setName(std::nullopt); }, true},
        {"server cleared is ignored", false, [](Order& o) { o.setServerId(std::nullopt); }, false},
        {"same server", false, [](Order& o) { o.setServerId(std::string("U-ANN")); }, false},
        {"other server", false, [](Order& o) { o.setServerId(std::string("U-BOB")); }, true},
        {"order type, new order", true, [](Order& o) { o.setOrderType(OrderType::TakeOut); }, false},
        {"order type, stored order", false, [](Order& o) { o.setOrderType(OrderType::TakeOut); }, true},
        {"same order type", false, [](Order& o) { o.setOrderType(OrderType::DineIn); }, false},
        {"seats, new order", true, [](Order& o) { o.setSeats(5); }, true},
        {"same seats", false, [](Order& o) { o.setSeats(2); }, false},
        {"gratuity rate, new order", true, [](Order& o) { o.setGratuityPercentage(1500); }, true},
        {"gratuity seats, new order", true, [](Order& o) { o.setGratuitySeats(8); }, true},
        {"plain gratuity seats", false, [](Order& o) { o.setGratuityMinSeats(8); }, false},
        {"customer, stored order", false, [](Order& o) { o.setCustomerId(std::string("C1")); }, true},
        {"customer, new order", true, [](Order& o) { o.setCustomerRemoteId(std::string("C1")); }, false},
        {"discount, new order", true, [](Order& o) { o.addDiscount(std::make_shared<OrderDiscount>()); }, false},
        {"discount, stored order", false, [](Order& o) { o.addDiscount(std::make_shared<OrderDiscount>()); }, true},
        {"no discounts to remove", false, [](Order& o) { o.removeDiscounts(); }, false},
        {"payment", true, [](Order& o) { o.addPayment(std::make_shared<Payment>()); }, true},
    };
    for (const auto& c : cases) {
        Order o;
        o.setName(std::string("Table 4"));
        o.setServerId(std::string("U-ANN"));
        o.setOrderType(OrderType::DineIn);
        o.setSeats(2);
        o.setNew(c.isNew);
        o.setModified(false);
        c.change(o);
        EXPECT_EQ(o.modified(), c.modified) << c.what;
    }
    Order o;
    o.setServerId(std::string("U-ANN"));
    o.setServerId(std::nullopt);
    EXPECT_EQ(o.serverId(), "U-ANN");
}

TEST_F(OrderRecordTest, ModifiedAsksTheLinesAndTenders) {
    Order o;
    EXPECT_TRUE(o.new_());
    EXPECT_FALSE(o.modified());
    auto s = pie(1, 1);
    o.addSelection(s, nullptr);
    o.savedRemotely();
    EXPECT_FALSE(o.new_());
    EXPECT_TRUE(o.modified()); // the line itself is new
    s->setNew(false);
    s->setModified(false);
    EXPECT_FALSE(o.modified());
    s->setComment(std::string("warm"));
    EXPECT_TRUE(o.modified());
    s->setModified(false);

    auto p = std::make_shared<Payment>();
    p->setNew(false);
    o.addPayment(p);
    o.savedRemotely();
    EXPECT_FALSE(o.modified());
    p->setTip(150);
    EXPECT_TRUE(o.modified());
}

TEST_F(OrderRecordTest, AvailabilityFollowsTheUnits) {
    struct Step {
        const char* what;
        std::function<void(Order&, const SelectionPtr&)> act;
        int32_t ordinary, refund;
    };
    const Step steps[] = {
        {"add two new units", [&](Order& o, const SelectionPtr& s) { o.addSelection(s, session.get()); }, 800, 1200},
        {"increment", [&](Order& o, const SelectionPtr& s) { o.increment(s, session.get()); }, 700, 1300},
        {"decrement", [&](Order& o, const SelectionPtr& s) { o.decrement(s, std::nullopt, session.get()); }, 800, 1200},
        {"void two units", [&](Order& o, const SelectionPtr& s) { o.removeSelection(s, std::nullopt, session.get()); },
         1000, 1000},
        {"void again changes nothing",
         [&](Order& o, const SelectionPtr& s) { o.removeSelection(s, std::nullopt, session.get()); }, 1000, 1000},
    };
    for (bool refund : {false, true}) {
        Order o;
        if (refund) o.setOrderType(OrderType::Refund);
        auto s = pie(2, 2);
        for (const auto& step : steps) {
            step.act(o, s);
            EXPECT_EQ(pies(), refund ? step.refund : step.ordinary) << step.what << (refund ? " (refund)" : "");
        }
    }
}

TEST_F(OrderRecordTest, AnOrdersStockIsCommittedWithTheOrderInOneSave) {
    int saves = 0;
    ScopedObserver counting(ObjectContext::kDidSaveNotification, context(), [&](const Notification&) { ++saves; });
    Order o(context());
    o.setRemoteId(std::string("O1"));
    for (int i = 0; i < 3; ++i) o.addSelection(pie(1, 1), session.get());
    o.increment(o.getSelections()[0], session.get());
    EXPECT_EQ(pies(), 600); // counted at once where the screens look
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(storedPies(), 1000);

    // Another context's save merged meanwhile leaves the count in place.
    ObjectContext background(context()->store());
    ScopedObserver merging(ObjectContext::kDidSaveNotification, &background,
                           [&](const Notification& n) { context()->mergeChanges(n); });
    background.fetchFirst("Recipe", "recipeId == %@", std::string("pie"))->setValue("name", std::string("Apple pie"));
    ASSERT_TRUE(background.save(nullptr));
    EXPECT_EQ(pies(), 600);

    o.write(*context());
    ASSERT_TRUE(context()->save(nullptr));
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(storedPies(), 600);
    o.write(*context()); // stored again, unchanged: nothing taken twice
    ASSERT_TRUE(context()->save(nullptr));
    EXPECT_EQ(storedPies(), 600);
}

TEST_F(OrderRecordTest, AFailedSaveOfTheOrderKeepsItsStockForTheNextSave) {
    Order o(context());
    o.setRemoteId(std::string("O2"));
    o.addSelection(pie(2, 2), session.get());
    o.write(*context());
    sql("CREATE TRIGGER refuse BEFORE UPDATE ON Recipe BEGIN SELECT RAISE(ABORT, 'disk trouble'); END");
    Error error;
    EXPECT_FALSE(context()->save(&error));
    EXPECT_EQ(pies(), 800);
    EXPECT_EQ(storedPies(), 1000);

    sql("DROP TRIGGER refuse");
    o.write(*context());
    ASSERT_TRUE(context()->save(&error)) << error.localizedDescription();
    EXPECT_EQ(storedPies(), 800); // taken once
}

TEST_F(OrderRecordTest, RollbackGivesBackTheUnsentUnits) {
    for (bool refund : {false, true}) {
        const int32_t start = pies();
        Order o;
        if (refund) o.setOrderType(OrderType::Refund);
        auto sent = pie(3, 1);
        o.addSelection(sent, session.get());
        auto fresh = pie(2, 2);
        o.addSelection(fresh, session.get());
        auto bread = std::make_shared<Selection>();
        bread->setRecipeId(std::string("bread"));
        bread->setNewQuantity(4);
        o.addSelection(bread, session.get());
        EXPECT_EQ(pies(), start + (refund ? 300 : -300));
        o.rollbackAvailability(context());
        EXPECT_EQ(pies(), start) << (refund ? "refund" : "ordinary");
        EXPECT_EQ(fresh->newQuantity(), 2); // the lines stay as they were
        EXPECT_EQ(Selection::available(std::string("bread"), context()), -1);
    }
}

TEST_F(OrderRecordTest, VoidsAndDecrementsOfSentUnitsAreLogged) {
    Order o;
    o.setName(std::string("Table 4"));
    auto sentOne = pie(1, 0);
    auto partSent = pie(3, 1);
    auto unsent = pie(2, 2);
    auto combo = std::make_shared<ComboSelection>();
    combo->setName(std::string("Meal"));
    combo->setQuantity(1);
    for (const auto& s : {sentOne, partSent, unsent, std::static_pointer_cast<Selection>(combo)})
        o.addSelection(s, session.get());

    o.decrement(unsent, std::nullopt, session.get()); // an unsent unit: no entry
    EXPECT_EQ(unsent->newQuantity(), 1);
    EXPECT_EQ(unsent->quantity(), 1);
    o.removeSelection(unsent, std::nullopt, session.get()); // never sent: no entry
    EXPECT_TRUE(o.logs().empty());

    o.decrement(sentOne, std::string("U-MGR"), session.get());
    ASSERT_EQ(o.logs().size(), 1u);
    const ActivityLog& decremented = o.logs()[0];
    EXPECT_EQ(decremented.action(), "removeMainSelection");
    EXPECT_EQ(decremented.name(), "Pie");
    EXPECT_EQ(decremented.description(), "Quantity changed from 1 to 0");
    EXPECT_EQ(decremented.valueOld(), "1");
    EXPECT_EQ(decremented.valueNew(), "0");
    EXPECT_EQ(decremented.userId(), "U-ANN");
    EXPECT_EQ(decremented.forcedBy(), "U-MGR");
    EXPECT_EQ(decremented.terminalId(), "T1");
    EXPECT_TRUE(decremented.remoteId().has_value());
    EXPECT_TRUE(sentOne->deleted().has_value());
    EXPECT_EQ(sentOne->quantity(), 0);
    EXPECT_EQ(sentOne->newQuantity(), 0);

    o.removeSelection(partSent, std::nullopt, session.get());
    ASSERT_EQ(o.logs().size(), 2u);
    EXPECT_EQ(o.logs()[1].description(), "Voided");
    EXPECT_EQ(o.logs()[1].valueOld(), "3");
    EXPECT_EQ(o.logs()[1].valueNew(), "0");

    o.removeSelection(combo, std::nullopt, session.get());
    ASSERT_EQ(o.logs().size(), 3u);
    EXPECT_EQ(o.logs()[2].action(), "removeComboMainSelection");
    EXPECT_EQ(o.logs()[2].name(), "Meal");

    EXPECT_TRUE(o.isEmpty());
    EXPECT_TRUE(o.activeSelections().empty());
    EXPECT_EQ(o.deletedSelections().size(), 4u);
}

TEST_F(OrderRecordTest, SelectionsNotOnTheOrderAreLeftAlone) {
    Order o;
    auto stranger = pie(2, 2);
    o.removeSelection(stranger, std::nullopt, session.get());
    o.decrement(stranger, std::nullopt, session.get());
    o.increment(stranger, session.get());
    EXPECT_EQ(stranger->quantity(), 2);
    EXPECT_FALSE(stranger->deleted().has_value());
    EXPECT_EQ(pies(), 1000);
    EXPECT_FALSE(o.modified());
}

TEST_F(OrderRecordTest, LineEntriesLandInTheOrdersLog) {
    rows.preparation("rare", "Rare", 0);
    Order o;
    auto s = pie(1, 1);
    s->addPreparation(Preparation(std::string("rare")));
    s->addSide(pie(1, 0));
    o.addSelection(s, session.get());
    s->setNew(false);
    s->setPrice(450, session.get());
    s->removePreparation("rare", std::string("U-MGR"), session.get());
    s->removeSide(pie(1, 0), std::nullopt, session.get());
    ASSERT_EQ(o.logs().size(), 3u);
    EXPECT_EQ(o.logs()[0].action(), "priceChange");
    EXPECT_EQ(o.logs()[0].description(), "Changed price from $0.00 to $4.50");
    EXPECT_EQ(o.logs()[0].valueNew(), "450");
    EXPECT_EQ(o.logs()[1].action(), "removePreparation");
    EXPECT_EQ(o.logs()[1].description(), "Removed preparation Rare ");
    EXPECT_EQ(o.logs()[1].forcedBy(), "U-MGR");
    EXPECT_EQ(o.logs()[2].action(), "removeSideSelection");
    EXPECT_EQ(o.logs()[2].description(), "Removed side Pie from Pie");
    EXPECT_EQ(s->getSideCount(), 0);

    // a line that outlives its order reports to nobody
    auto kept = s;
    {
        Order gone;
        gone.addSelection(kept, nullptr);
    }
    kept->setPrice(500, session.get());
}

TEST_F(OrderRecordTest, ReOpenOnlyAClosedOrder) {
    Order o;
    o.setName(std::string("Bar 2"));
    auto s = pie(1, 1);
    s->setPrice(1250);
    o.addSelection(s, nullptr);
    o.reOpen(std::nullopt, session.get());
    EXPECT_TRUE(o.logs().empty());
    o.setClosed(Date::now());
    EXPECT_FALSE(o.isOpen());
    o.reOpen(std::string("U-MGR"), session.get());
    EXPECT_TRUE(o.isOpen());
    ASSERT_EQ(o.logs().size(), 1u);
    EXPECT_EQ(o.logs()[0].action(), "reOpenOrder");
    EXPECT_EQ(o.logs()[0].description(), "");
    EXPECT_EQ(o.logs()[0].valueOld(), "1250");
    EXPECT_EQ(o.logs()[0].valueNew(), "1250");
}

TEST_F(OrderRecordTest, TendersAndDiscounts) {
    ScopedFakeClock clock;
    Order o;
    EXPECT_EQ(o.lastPayment(), nullptr);
    auto first = std::make_shared<Payment>();
    auto second = std::make_shared<Payment>(); // taken at the same time
    second->setType(Payment::kTab);
    o.addPayment(first);
    o.addPayment(second);
    EXPECT_EQ(o.lastPayment(), first);
    EXPECT_TRUE(o.hasOpenTab());
    EXPECT_TRUE(o.hasNewPayments());
    second->voidPayment(std::string("U-MGR"));
    EXPECT_FALSE(o.hasOpenTab());
    clock->advance(5);
    auto later = std::make_shared<Payment>();
    o.addPayment(later);
    EXPECT_EQ(o.lastPayment(), later);
    o.removePayment(later);
    EXPECT_EQ(o.getPayments().size(), 2u);

    auto a = std::make_shared<OrderDiscount>();
    auto b = std::make_shared<OrderDiscount>();
    o.addDiscount(a);
    o.addDiscount(b);
    o.removeDiscount(a);
    ASSERT_EQ(o.activeDiscounts().size(), 1u);
    EXPECT_EQ(o.activeDiscounts()[0], b);
    EXPECT_EQ(o.discounts().size(), 2u);
    o.setModified(false);
    o.removeDiscounts();
    EXPECT_TRUE(o.activeDiscounts().empty());
    EXPECT_TRUE(o.modified());

    a->setName(std::string("Birthday"));
    a->setAmount(500);
    auto copy = a->clone();
    EXPECT_FALSE(copy->removed());
    EXPECT_TRUE(copy->new_());
    EXPECT_EQ(copy->amount(), 500);
}

TEST_F(OrderRecordTest, GratuityRulesAndCloseRulesFromTheConfiguration) {
    store.addStoreParam("TIP_AND_GRATUITY_AFTER_TAX", std::string("YES"));
    store.addStoreParam("TIP_AND_GRATUITY_BEFORE_COMP_AND_DISC", std::string("false"));
    store.save();
    Order configured(context());
    EXPECT_TRUE(configured.tipGratuityAfterTax());
    EXPECT_FALSE(configured.tipGratuityBeforeCompDisc());
    EXPECT_TRUE(configured.new_());

    using T = std::optional<std::string>;
    struct Case {
        const char* what;
        bool quickSale;
        T qsAuto, qsCash, orderAuto, orderCash;
        bool autoClose, cashAutoClose;
    };
    const Case cases[] = {
        {"nothing configured", true, T(), T(), T(), T(), false, false},
        {"quick sale, cash says no", true, "YES", "NO", T(), T(), true, false},
        {"quick sale, no cash value", true, "YES", T(), T(), T(), true, true},
        {"quick sale, cash says yes", true, "NO", "YES", T(), T(), false, true},
        {"quick sale ignores table values", true, T(), T(), "YES", "YES", false, false},
        {"table order, cash says no", false, T(), T(), "YES", "NO", true, false},
        {"table order, no cash value", false, T(), T(), "YES", T(), true, true},
    };
    for (const auto& c : cases) {
        for (const char* name : {"QS_AUTO_CLOSE", "QS_CASH_AUTO_CLOSE", "ORDER_AUTO_CLOSE", "ORDER_CASH_AUTO_CLOSE"})
            for (const auto& row : context()->fetch("StoreParam", "name == %@", std::string(name)))
                context()->deleteObject(row);
        auto set = [&](const char* name, const T& value) {
            if (value) store.addStoreParam(name, value);
        };
        set("QS_AUTO_CLOSE", c.qsAuto);
        set("QS_CASH_AUTO_CLOSE", c.qsCash);
        set("ORDER_AUTO_CLOSE", c.orderAuto);
        set("ORDER_CASH_AUTO_CLOSE", c.orderCash);
        Order o;
        if (!c.quickSale) o.setAreaLocationId(std::string("table-4"));
        EXPECT_EQ(o.needsAutoClose(*session), c.autoClose) << c.what;
        EXPECT_EQ(o.needsCashAutoClose(*session), c.cashAutoClose) << c.what;
    }
    Order o;
    EXPECT_FALSE(o.needsOrderCloseReceipt(*session));
    store.addStoreParam("PRINT_ORDER_CLOSE_RECEIPT", std::string("1"));
    EXPECT_TRUE(o.needsOrderCloseReceipt(*session));
}

TEST(OrderTypes, LabelTables) {
    struct Case {
        int32_t type;
        const char *xml, *ui, *abbreviation;
    };
    const Case cases[] = {
        {-12, "pickUp", "Pick Up", "PU"},
        {-11, "catering", "Catering", "CT"},
        {-10, "driveThru", "Drive Thru", "DT"},
        {-9, "refund", "Refund", "RF"},
        {-8, "", "", ""},
        {-7, "tournament", "Tournament", "TA"},
        {-6, "beverageCart", "Beverage Cart", "BC"},
        {-5, "roomService", "Room Service", "RS"},
        {-4, "banquet", "Banquet", "BQ"},
        {-3, "dineIn", "Dine In", "DI"},
        {-2, "delivery", "Delivery", "DE"},
        {-1, "takeOut", "Take Out", "TO"},
        {0, "", "", ""},
        {-13, "", "", ""},
        {5, "", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Order::typeLabel(orderTypeOf(c.type)), c.xml) << c.type;
        EXPECT_EQ(Order::typeUILabel(orderTypeOf(c.type)), c.ui) << c.type;
        EXPECT_EQ(Order::typeAbbreviation(orderTypeOf(c.type)), c.abbreviation) << c.type;
        if (*c.xml) {
            EXPECT_EQ(storedNumber(Order::typeFromXMLLabel(std::string(c.xml))), c.type) << c.xml;
            EXPECT_EQ(storedNumber(Order::typeFromUILabel(std::string(c.ui))), c.type) << c.ui;
        }
    }
    using T = std::optional<std::string>;
    struct Reading {
        T label;
        int32_t xmlType, uiType;
    };
    const Reading readings[] = {
        {"DINEIN", -3, -1},  {"dine in", -1, -3}, {"Take Out", -1, -1}, {"DELIVERY", -2, -2},
        {"unknown", -1, -1}, {"", -1, -1},        {T(), -1, -1},        {"PICKUP", -12, -1},
    };
    for (const auto& r : readings) {
        EXPECT_EQ(storedNumber(Order::typeFromXMLLabel(r.label)), r.xmlType) << r.label.value_or("(nil)");
        EXPECT_EQ(storedNumber(Order::typeFromUILabel(r.label)), r.uiType) << r.label.value_or("(nil)");
    }
}

} // namespace
} // namespace tavlo
