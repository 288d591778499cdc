#include "core/order/Order.h"
#include "core/order/StoredOrders.h"
#include "core/session/DBHelper.h"

#include "PersistTestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>

namespace tavlo {
namespace {

using test::LocalStoreScope;
using Text = std::optional<std::string>;

const Date kDrawerIn(1699990000);

// The store the orders of these tests link to: the day, a table in an area, a customer, this
// terminal in another area, a drawer cashed in, a tax and the catalogue of the lines.
class PersistOrder : public ::testing::Test {
protected:
    void SetUp() override {
        ObjectContext& c = *store.context();
        test::addCatalogue(c);
        test::addRow(c, "StoreBatch", "remoteId", "7");
        ManagedObjectPtr main = test::addRow(c, "Area", "areaId", "a-main");
        test::addRow(c, "AreaLocation", "areaLocationId", "t-12")->setToOne("area", main);
        test::addRow(c, "Customer", "customerId", "c-77");
        test::addRow(c, "Customer", "remoteId", "c-new");
        store.addTerminal("T1")->setToOne("area", test::addRow(c, "Area", "areaId", "a-bar"));
        test::addRow(c, "Tax", "name", "City")->setValue("taxId", "tx-city");
        ManagedObjectPtr cash = c.insert("CashInOut");
        cash->setValue("inDate", kDrawerIn);
        cash->setToOne("cashDrawer", test::addRow(c, "CashDrawer", "cashDrawerId", "D1"));
        store.save();
    }

    std::unique_ptr<Order> readBack(const Text& remoteId) {
        other = test::otherContext(store);
        ManagedObjectPtr row = other->fetchFirst("Order", "remoteId == %@", remoteId);
        EXPECT_TRUE(row);
        return row ? std::make_unique<Order>(*row, other.get()) : nullptr;
    }
    size_t count(const char* entity) { return store->fetchAll(entity).size(); }

    ScopedFakeClock clock{Date(1700000000)};
    LocalStoreScope store;
    std::unique_ptr<ObjectContext> other;
};

// A dine-in order with every kind of line, tender, discount and tax.
std::unique_ptr<Order> makeOrder(FakeClock& clock) {
    auto order = std::make_unique<Order>();
    order->setRemoteId("3170000000000000001");
    order->setName("Table 12");
    order->setOrderType(OrderType::DineIn);
    order->setSeats(4);
    order->setTerminalId("T1");
    order->setServerId("u1");
    order->setAreaId("a-main");
    order->setAreaLocationId("t-12");
    order->setCreated(clock.now());
    order->setTaxOverride(true);
    order->setCustomerId("c-77");
    order->setGratuitySeats(6);
    order->setGratuityPercentage(1800);
    order->setSplit(true);
    order->setSummaryTotal(4321);
    order->setSummaryDue(21);
    order->addTax(OrderTax("State", 825, "round", "tx-state"));
    OrderTax city("City", 100, "floor", "tx-city");
    city.setBeforeLoyalty(true);
    order->addTax(city);

    order->addSelection(test::makeBurger(), nullptr);
    clock.advance(60);
    order->addSelection(test::makeCombo(), nullptr);
    clock.advance(60);
    SelectionPtr cake = test::makeLine("sel-cake", "r-cake", 500);
    cake->setDeleted(clock.now());
    order->addSelection(cake, nullptr);

    auto cash = std::make_shared<Payment>();
    cash->setRemoteId("pay-cash");
    cash->setType(Payment::kCash);
    cash->setSubTotal(700);
    cash->setChange(300);
    cash->setCreatedBy("u2");
    cash->setDrawerId("D1");
    cash->setDrawerInDate(kDrawerIn);
    order->addPayment(cash);
    auto card = std::make_shared<Payment>();
    card->setRemoteId("pay-card");
    card->setType(Payment::kCredit);
    card->setName("ADA LOVELACE");
    card->setAccountNumber("4111111111111111");
    card->setExpDate("1230");
    card->setTrack1("%B4111111111111111^LOVELACE/ADA^3012?");
    card->setSecurityCode("123");
    card->setZipCode("97477");
    card->setManual(true);
    card->setSubTotal(2000);
    card->setTip(300);
    card->setGratuity(150);
    card->setApproval("A1B2C3");
    card->setRefNum("ref-9");
    card->setHostData("opaque");
    card->setMessage("APPROVED");
    card->setCaptured(std::vector<uint8_t>{0xFF, 0xD8, 0x00, 0x01});
    card->setMimeType("image/jpg");
    card->setCreatedBy("u1");
    order->addPayment(card);
    auto voided = std::make_shared<Payment>();
    voided->setRemoteId("pay-void");
    voided->setType(Payment::kCheck);
    voided->setSubTotal(100);
    voided->setCreatedBy("u1");
    voided->voidPayment("mgr");
    order->addPayment(voided);

    auto loyalty = std::make_shared<OrderDiscount>();
    loyalty->setRemoteId("disc-1");
    loyalty->setName("Loyalty");
    loyalty->setAmount(200);
    loyalty->setDiscountBy("u1");
    loyalty->setAuthBy("mgr");
    order->addDiscount(loyalty);
    auto dropped = std::make_shared<OrderDiscount>();
    dropped->setRemoteId("disc-2");
    dropped->setAmount(50);
    order->addDiscount(dropped);
    order->removeDiscount(dropped);

    ActivityLog transfer;
    transfer.setRemoteId("log-1");
    transfer.setAction("transferOrder");
    transfer.setDescription("Changed order owner");
    order->addLog(transfer);
    return order;
}

void expectSameStoredPayment(const Payment& got, const Payment& want) {
    SCOPED_TRACE("payment " + want.remoteId().value_or("?"));
    EXPECT_EQ(got.remoteId(), want.remoteId());
    EXPECT_EQ(got.paymentId(), want.paymentId());
    EXPECT_EQ(got.type(), want.type());
    EXPECT_EQ(got.name(), want.name());
    EXPECT_EQ(got.subTotal(), want.subTotal());
    EXPECT_EQ(got.tip(), want.tip());
    EXPECT_EQ(got.gratuity(), want.gratuity());
    EXPECT_EQ(got.change(), want.change());
    EXPECT_EQ(got.refNum(), want.refNum());
    EXPECT_EQ(got.cardType(), want.cardType());
    EXPECT_EQ(got.number(), want.number());
    EXPECT_EQ(got.approval(), want.approval());
    EXPECT_EQ(got.hostData(), want.hostData());
    EXPECT_EQ(got.message(), want.message());
    EXPECT_EQ(got.captured(), want.captured());
    EXPECT_EQ(got.mimeType(), want.mimeType());
    EXPECT_EQ(got.created(), want.created());
    EXPECT_EQ(got.createdBy(), want.createdBy());
    EXPECT_EQ(got.voided(), want.voided());
    EXPECT_EQ(got.voidBy(), want.voidBy());
    EXPECT_EQ(got.drawerId(), want.drawerId());
    EXPECT_EQ(got.drawerInDate(), want.drawerInDate());
    EXPECT_FALSE(got.isNew());
    EXPECT_FALSE(got.modified());
    // Card data beyond the last digits lives in memory only.
    for (auto field :
         {&Payment::accountNumber, &Payment::expDate, &Payment::track1, &Payment::securityCode, &Payment::zipCode})
        EXPECT_EQ((got.*field)(), std::nullopt);
}

// Every field the store keeps: not the activity log, the card data, the split flag or the
// summaries other than the total.
void expectSameStoredOrder(const Order& got, const Order& want) {
    EXPECT_EQ(got.batchId(), want.batchId());
    EXPECT_EQ(got.remoteId(), want.remoteId());
    EXPECT_EQ(got.orderId(), want.orderId());
    EXPECT_EQ(got.name(), want.name());
    EXPECT_EQ(got.seats(), want.seats());
    EXPECT_EQ(got.orderType(), want.orderType());
    EXPECT_EQ(got.terminalId(), want.terminalId());
    EXPECT_EQ(got.serverId(), want.serverId());
    EXPECT_EQ(got.areaId(), want.areaId());
    EXPECT_EQ(got.areaLocationId(), want.areaLocationId());
    EXPECT_EQ(got.created(), want.created());
    EXPECT_EQ(got.updated(), want.updated());
    EXPECT_EQ(got.closed(), want.closed());
    EXPECT_EQ(got.taxOverride(), want.taxOverride());
    EXPECT_EQ(got.customerId(), want.customerId());
    EXPECT_EQ(got.customerRemoteId(), want.customerRemoteId());
    EXPECT_EQ(got.gratuityMinSeats(), want.gratuityMinSeats());
    EXPECT_EQ(got.gratuityPercentage(), want.gratuityPercentage());
    EXPECT_FALSE(got.new_());
    EXPECT_FALSE(got.modified());
    EXPECT_FALSE(got.split());
    EXPECT_TRUE(got.logs().empty());
    ASSERT_EQ(got.taxes().size(), want.taxes().size());
    for (size_t i = 0; i < want.taxes().size(); ++i) {
        EXPECT_EQ(got.taxes()[i].taxId(), want.taxes()[i].taxId());
        EXPECT_EQ(got.taxes()[i].name(), want.taxes()[i].name());
        EXPECT_EQ(got.taxes()[i].percentage(), want.taxes()[i].percentage());
        EXPECT_EQ(got.taxes()[i].rounding(), want.taxes()[i].rounding());
        EXPECT_EQ(got.taxes()[i].calculateTax(150), want.taxes()[i].calculateTax(150)) << "rounds by its rule";
        EXPECT_EQ(got.taxes()[i].beforeLoyalty(), want.taxes()[i].beforeLoyalty());
    }
    ASSERT_EQ(got.selections().size(), want.selections().size());
    for (size_t i = 0; i < want.selections().size(); ++i)
        test::expectSameStoredLine(*got.selections()[i], *want.selections()[i]);
    ASSERT_EQ(got.payments().size(), want.payments().size());
    for (size_t i = 0; i < want.payments().size(); ++i)
        expectSameStoredPayment(*got.payments()[i], *want.payments()[i]);
    std::vector<Order::DiscountPtr> active = want.activeDiscounts();
    ASSERT_EQ(got.discounts().size(), active.size());
    for (size_t i = 0; i < active.size(); ++i) {
        const OrderDiscount& g = *got.discounts()[i];
        EXPECT_EQ(g.remoteId(), active[i]->remoteId());
        EXPECT_EQ(g.name(), active[i]->name());
        EXPECT_EQ(g.amount(), active[i]->amount());
        EXPECT_EQ(g.discountBy(), active[i]->discountBy());
        EXPECT_EQ(g.authBy(), active[i]->authBy());
        EXPECT_FALSE(g.new_());
    }
}

TEST_F(PersistOrder, EveryStoredFieldComesBackInAnotherContext) {
    std::unique_ptr<Order> order = makeOrder(*clock);
    order->write(*store.context());
    store.save();
    EXPECT_FALSE(order->new_());
    EXPECT_FALSE(order->modified());
    EXPECT_EQ(order->batchId(), "7") << "the open business day";
    EXPECT_EQ(order->updated(), clock->now());

    std::unique_ptr<Order> got = readBack(order->remoteId());
    ASSERT_TRUE(got);
    expectSameStoredOrder(*got, *order);
    EXPECT_EQ(got->summaryTotal(), 4321) << "outside lite mode the server's summary is kept";
    EXPECT_EQ(got->summaryDue(), 0) << "not read back";
    EXPECT_EQ(got->getTotal(), order->getTotal());
    EXPECT_EQ(got->getTaxTotal(), order->getTaxTotal());
    EXPECT_EQ(count("OrderDiscount"), 1u) << "a removed discount made here leaves nothing";
    ManagedObjectPtr city = order->getOrderTax("City", *store.context());
    ASSERT_TRUE(city);
    EXPECT_EQ(city->text("roundingMethod"), "floor");
    EXPECT_FALSE(order->getOrderTax("Liquor", *store.context()));
    EXPECT_EQ(store->fetchFirst("Order", "remoteId == %@", *order->remoteId())->toOne("terminal.area")->text("areaId"),
              "a-bar");
}

// Orders read after Order::prefetch are what reading them alone gives, and reading them reads no
// row or list more: no statement by one key or one owner is prepared for them.
TEST_F(PersistOrder, PrefetchedOrdersReadAsOrdersReadAlone) {
    std::unique_ptr<Order> order = makeOrder(*clock);
    order->write(*store.context());
    Order plain;
    plain.setRemoteId("3170000000000000002");
    plain.setOrderType(OrderType::TakeOut);
    plain.addSelection(test::makeLine("sel-tea", "r-tea", 300), nullptr);
    plain.write(*store.context());
    store.save();

    other = test::otherContext(store);
    ObjectContext::ReadScope read(*other, ObjectContext::ReadScope::Hold::Objects);
    std::vector<ManagedObjectPtr> rows = other->fetchAll("Order");
    ASSERT_EQ(rows.size(), 2u);
    Order::prefetch(*other, rows);
    const size_t statements = other->preparedStatements();
    for (const ManagedObjectPtr& row : rows) {
        Order got;
        got.read(*row);
        expectSameStoredOrder(got, got.remoteId() == order->remoteId() ? *order : plain);
    }
    EXPECT_EQ(other->preparedStatements(), statements);
}

// Orders read by column for their figures hold the lines Order::read gives, but for what no
// figure uses, and every figure of the orders read one by one: a combo, sides, preparations with
// fixed taxes, exemptions, a voided line, a tax-included line, live and voided tenders, a
// discount, the tax override; and an order with no line paid in two tenders, at a table in no
// area (its terminal's area is not taken).
TEST_F(PersistOrder, OrdersReadByColumnHaveTheFiguresOfOrdersReadOneByOne) {
    makeOrder(*clock)->write(*store.context());
    Order plain;
    plain.setRemoteId("3170000000000000002");
    plain.setName("Bar 1");
    plain.setOrderType(OrderType::TakeOut);
    plain.setTerminalId("T1");
    plain.addTax(OrderTax("State", 825, "round", "tx-state"));
    SelectionPtr tea = test::makeLine("sel-tea", "r-tea", 300);
    tea->setTaxIncluded(true);
    tea->setMultiplier(200);
    tea->setCompName("Staff");
    tea->setCompBy("u2");
    tea->setCompPercent(2500);
    plain.addSelection(tea, nullptr);
    plain.addSelection(test::makeBurger("sel-burger-2"), nullptr);
    plain.write(*store.context());
    test::addRow(*store.context(), "AreaLocation", "areaLocationId", "t-patio");
    Order empty;
    empty.setRemoteId("3170000000000000003");
    empty.setName("Patio");
    empty.setAreaLocationId("t-patio");
    empty.setTerminalId("T1");
    for (const char* id : {"pay-split-1", "pay-split-2"}) {
        auto part = std::make_shared<Payment>(Date(1700000100));
        part->setRemoteId(std::string(id));
        part->setType(Payment::kCash);
        part->setSubTotal(500);
        empty.addPayment(part);
    }
    empty.write(*store.context());
    store.save();

    other = test::otherContext(store);
    const FetchRequest request("Order", std::nullopt, std::vector<SortDescriptor>{{"name"}});
    const std::vector<std::unique_ptr<Order>> got = StoredOrders::read(*other, request);
    const std::vector<ManagedObjectPtr> rows = other->fetch(request);
    ASSERT_EQ(got.size(), 3u);
    ASSERT_EQ(rows.size(), 3u);
    for (size_t i = 0; i < rows.size(); ++i) {
        Order want;
        want.read(*rows[i]);
        const Order& o = *got[i];
        SCOPED_TRACE(want.name().value_or("?"));
        EXPECT_EQ(o.remoteId(), want.remoteId());
        EXPECT_EQ(o.batchId(), std::nullopt) << "not read";
        EXPECT_EQ(o.name(), std::nullopt) << "not read";
        EXPECT_EQ(o.orderType(), want.orderType());
        EXPECT_EQ(o.seats(), want.seats());
        EXPECT_EQ(o.areaId(), want.areaId());
        EXPECT_EQ(o.areaLocationId(), want.areaLocationId());
        EXPECT_EQ(o.taxOverride(), want.taxOverride());
        EXPECT_EQ(o.summaryTotal(), want.summaryTotal());
        EXPECT_FALSE(o.new_());
        EXPECT_FALSE(o.modified());
        ASSERT_EQ(o.taxes().size(), want.taxes().size());
        for (size_t t = 0; t < want.taxes().size(); ++t) {
            EXPECT_EQ(o.taxes()[t].name(), want.taxes()[t].name());
            EXPECT_EQ(o.getTax(o.taxes()[t].name()), want.getTax(want.taxes()[t].name()));
        }
        ASSERT_EQ(o.selections().size(), want.selections().size());
        for (size_t l = 0; l < want.selections().size(); ++l) {
            const Selection& line = *o.selections()[l];
            test::expectSameStoredLine(line, *want.selections()[l], "line", test::LineFields::Figures);
            EXPECT_EQ(o.getSubTotal(line), want.getSubTotal(*want.selections()[l]));
            EXPECT_EQ(o.compPerUnit(line), want.compPerUnit(*want.selections()[l]));
            EXPECT_EQ(o.getTaxFor(line), want.getTaxFor(*want.selections()[l]));
        }
        ASSERT_EQ(o.payments().size(), want.payments().size());
        for (size_t p = 0; p < want.payments().size(); ++p) {
            const Payment& g = *o.payments()[p];
            const Payment& w = *want.payments()[p];
            EXPECT_EQ(g.remoteId(), w.remoteId());
            EXPECT_EQ(g.type(), w.type());
            EXPECT_EQ(g.cardType(), w.cardType());
            EXPECT_EQ(g.getTotal(), w.getTotal());
            EXPECT_EQ(g.change(), w.change());
            EXPECT_EQ(g.isVoided(), w.isVoided());
            EXPECT_EQ(g.voided(), w.voided());
            EXPECT_EQ(g.created(), std::nullopt) << "not read";
        }
        ASSERT_EQ(o.discounts().size(), want.discounts().size());
        for (size_t d = 0; d < want.discounts().size(); ++d) {
            EXPECT_EQ(o.discounts()[d]->name(), want.discounts()[d]->name());
            EXPECT_EQ(o.discounts()[d]->amount(), want.discounts()[d]->amount());
        }
        EXPECT_EQ(o.getSubTotal(), want.getSubTotal());
        EXPECT_EQ(o.getCompTotal(), want.getCompTotal());
        EXPECT_EQ(o.getDiscountTotal(), want.getDiscountTotal());
        EXPECT_EQ(o.getTaxTotal(), want.getTaxTotal());
        EXPECT_EQ(o.getTotal(), want.getTotal());
        EXPECT_EQ(o.getGratuity(), want.getGratuity());
        EXPECT_EQ(o.getPaid(), want.getPaid());
        EXPECT_EQ(o.getGratuityPaid(), want.getGratuityPaid());
    }
    auto patio =
        std::find_if(got.begin(), got.end(), [](const auto& o) { return o->remoteId() == "3170000000000000003"; });
    ASSERT_NE(patio, got.end());
    EXPECT_EQ((*patio)->areaLocationId(), "t-patio");
    EXPECT_EQ((*patio)->areaId(), std::nullopt) << "a table in no area, not the terminal's";
    EXPECT_EQ((*patio)->getPaid(), 1000);
}

// The sides read by column with their links: a link to a side row no longer in the file is left
// out, as Order::read leaves it, and a side row with every column empty is still a side (of no
// price), as Order::read reads it.
TEST_F(PersistOrder, OrdersReadByColumnLeaveOutASideWhoseRowIsGone) {
    Order order;
    order.setRemoteId("o-sides");
    order.setOrderType(OrderType::TakeOut);
    order.addTax(OrderTax("State", 825, "round", "tx-state"));
    order.addSelection(test::makeBurger(), nullptr);
    order.write(*store.context());
    store.save();
    auto sql = [&](const std::string& statement) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(store.context()->store()->path().c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    };
    sql("DELETE FROM Selection WHERE remoteId = 'sel-burger-fries'");
    sql("UPDATE Selection SET remoteId = NULL, name = NULL, menuId = NULL, multiplier = NULL, price = NULL,"
        " additionPrice = NULL, quantity = NULL, includedSides = NULL, defaultSideCount = NULL, created = NULL,"
        " deleteDate = NULL, taxIncluded = NULL, recipe = NULL, isCombo = NULL, complimentaryBy = NULL,"
        " complimentaryName = NULL, complimentaryPercentage = NULL WHERE remoteId = 'sel-burger-salad'");

    other = test::otherContext(store);
    const std::vector<std::unique_ptr<Order>> got = StoredOrders::read(*other, FetchRequest("Order"));
    ASSERT_EQ(got.size(), 1u);
    Order want;
    want.read(*other->fetchFirst("Order", "remoteId == %@", std::string("o-sides")));
    ASSERT_EQ(want.selections().size(), 1u);
    ASSERT_EQ(want.selections()[0]->selectedSides().size(), 1u) << "the salad's emptied row, not the fries";
    ASSERT_EQ(got[0]->selections().size(), 1u);
    test::expectSameStoredLine(*got[0]->selections()[0], *want.selections()[0], "line", test::LineFields::Figures);
    EXPECT_EQ(got[0]->getSubTotal(), want.getSubTotal());
    EXPECT_EQ(got[0]->getTaxTotal(), want.getTaxTotal());
    EXPECT_EQ(got[0]->getTotal(), want.getTotal());
}

// Orders whose lines lie far apart by key (other orders' lines between them) read their sides,
// combo parts and the parts' sides as orders close together do.
TEST_F(PersistOrder, OrdersReadByColumnFarApartByKeyHaveEveryPartOfTheirLines) {
    auto write = [&](const std::string& id, bool full) {
        Order o;
        o.setRemoteId(id);
        o.setOrderType(OrderType::TakeOut);
        o.addTax(OrderTax("State", 825, "round", "tx-state"));
        if (full) {
            o.addSelection(test::makeBurger("b-" + id), nullptr);
            o.addSelection(test::makeCombo("c-" + id), nullptr);
        } else {
            o.addSelection(test::makeLine("t-" + id, "r-tea", 300), nullptr);
        }
        o.write(*store.context());
    };
    write("far-1", true);
    for (int i = 0; i < 40; ++i) write("between-" + std::to_string(i), false);
    write("far-2", true);
    store.save();

    other = test::otherContext(store);
    const FetchRequest request(
        "Order", Predicate::format("remoteId == %@ OR remoteId == %@", std::string("far-1"), std::string("far-2")));
    const std::vector<std::unique_ptr<Order>> got = StoredOrders::read(*other, request);
    const std::vector<ManagedObjectPtr> rows = other->fetch(request);
    ASSERT_EQ(got.size(), 2u);
    ASSERT_EQ(rows.size(), 2u);
    for (size_t i = 0; i < rows.size(); ++i) {
        Order want;
        want.read(*rows[i]);
        SCOPED_TRACE(want.remoteId().value_or("?"));
        ASSERT_EQ(got[i]->selections().size(), 2u);
        ASSERT_EQ(want.selections().size(), 2u);
        for (size_t l = 0; l < 2; ++l)
            test::expectSameStoredLine(*got[i]->selections()[l], *want.selections()[l], "line",
                                       test::LineFields::Figures);
        EXPECT_EQ(got[i]->getSubTotal(), want.getSubTotal());
        EXPECT_EQ(got[i]->getTaxTotal(), want.getTaxTotal());
        EXPECT_EQ(got[i]->getTotal(), want.getTotal());
    }
}

TEST_F(PersistOrder, HeaderLinksAndTheLiteSummary) {
    store.addStoreParam("TAVLO_LITE", "true");
    store.save();
    auto order = std::make_unique<Order>();
    order->setRemoteId("o-quick");
    order->setName("  ");
    order->setName(std::string());
    order->setTerminalId("T1");
    order->setCustomerRemoteId("c-new");
    order->addSelection(test::makeLine("sel-tea", "r-tea", 250), nullptr);
    order->setSummaryTotal(1);
    ManagedObjectPtr row = order->write(*store.context());
    store.save();
    EXPECT_EQ(order->name(), "_") << "a blank name is stored as _";
    EXPECT_EQ(row->text("name"), "_");
    EXPECT_EQ(order->batchId(), "7") << "the open business day";
    EXPECT_EQ(row->int32("total"), 250) << "lite mode stores the order's own total";
    EXPECT_EQ(row->int32("due"), 250);

    std::unique_ptr<Order> got = readBack("o-quick");
    ASSERT_TRUE(got);
    EXPECT_EQ(got->batchId(), order->batchId());
    EXPECT_EQ(got->areaId(), "a-bar") << "a quick sale takes the terminal's area";
    EXPECT_EQ(got->customerId(), std::nullopt);
    EXPECT_EQ(got->customerRemoteId(), "c-new");
    EXPECT_EQ(got->serverId(), std::nullopt) << "no such user: stored without one";
}

TEST_F(PersistOrder, DroppedLinesExemptionsAndSidesLoseTheirRows) {
    std::unique_ptr<Order> order = makeOrder(*clock);
    order->write(*store.context());
    store.save();
    const size_t rows = count("Selection");

    // The order as another terminal now has it: the cake and the city tax are gone, the burger
    // lost its exemptions and its fries, its salads went up to three, the combo's drink became a tea.
    auto edited = std::make_unique<Order>();
    edited->setRemoteId(order->remoteId());
    edited->setName(order->name());
    edited->setOrderType(order->orderType());
    edited->setCreated(order->created());
    edited->setServerId("u1");
    edited->setTerminalId("T1");
    edited->setAreaLocationId("t-12");
    edited->setAreaId("a-main");
    edited->setCustomerId("c-77");
    edited->addTax(order->taxes()[0]); // the city tax taken off
    const SelectionPtr& burger = order->selections()[0];
    auto plain = std::make_shared<Selection>();
    plain->setRemoteId(burger->remoteId());
    plain->setRecipeId(burger->recipeId());
    plain->setName(burger->name());
    plain->setCreated(burger->created());
    plain->setPrice(burger->price());
    plain->setIncludedSides(1);
    SelectionPtr salad = burger->selectedSides()[1];
    salad->setQuantity(3);
    plain->addSide(salad);
    edited->addSelection(plain, nullptr);
    auto combo = std::dynamic_pointer_cast<ComboSelection>(order->selections()[1]);
    combo->removeSelection(combo->getSelections("g-drinks")->front(), "g-drinks");
    combo->addSelection(test::makeLine("sel-combo-tea", "r-tea", 0), "g-drinks");
    edited->addSelection(combo, nullptr);
    for (const Order::PaymentPtr& payment : order->payments()) edited->addPayment(payment);
    edited->addDiscount(order->activeDiscounts()[0]);
    edited->write(*store.context());
    store.save();

    EXPECT_FALSE(store->fetchFirst("Selection", "remoteId == %@", "sel-cake")) << "a dropped line goes";
    EXPECT_FALSE(store->fetchFirst("Selection", "remoteId == %@", "sel-combo-soda")) << "a swapped-out part goes";
    EXPECT_TRUE(store->fetchFirst("Selection", "remoteId == %@", "sel-burger-fries")) << "a dropped side's row stays";
    EXPECT_EQ(count("SelectionSide"), 2u) << "the salads and the combo wrap's slaw";
    EXPECT_EQ(count("SelectionTaxExemption"), 0u);
    EXPECT_EQ(count("SelectionDefaultTaxExemption"), 0u);
    EXPECT_EQ(count("Selection"), rows - 1 /* cake */ - 1 /* soda */ + 1 /* tea */);
    EXPECT_EQ(count("Order"), 1u);
    EXPECT_EQ(count("OrderTax"), 1u) << "a tax taken off loses its row";

    std::unique_ptr<Order> got = readBack(order->remoteId());
    ASSERT_TRUE(got);
    expectSameStoredOrder(*got, *edited);
    EXPECT_EQ(got->selections()[0]->selectedSides()[0]->quantity(), 3);
}

TEST_F(PersistOrder, RemovedDiscountsAndServerIds) {
    std::unique_ptr<Order> order = makeOrder(*clock);
    order->write(*store.context());
    store.save();

    // The server's answer: its own ids; the stored rows take them.
    std::unique_ptr<Order> got = readBack(order->remoteId());
    ASSERT_TRUE(got);
    got->setOrderId("5501");
    got->payments()[1]->setPaymentId("9001");
    // A discount the server knows is taken off: its row goes.
    got->removeDiscount(got->discounts()[0]);
    got->write(*other);
    ASSERT_TRUE(other->save());
    auto fresh = test::otherContext(store);
    EXPECT_EQ(fresh->fetchAll("Order").size(), 1u);
    EXPECT_EQ(fresh->fetchAll("Payment").size(), 3u);
    EXPECT_EQ(fresh->fetchAll("OrderDiscount").size(), 0u);
    EXPECT_TRUE(fresh->fetchFirst("Order", "orderId == %@", "5501"));
    EXPECT_TRUE(fresh->fetchFirst("Payment", "paymentId == %@", "9001"));
}

TEST_F(PersistOrder, AVoidTimeDoesNotMoveOnLaterStores) {
    std::unique_ptr<Order> order = makeOrder(*clock);
    const std::optional<Date> voidedAt = order->payments()[2]->voided();
    clock->advance(30);
    order->write(*store.context());
    store.save();
    clock->advance(600);
    order->payments()[2]->setTip(5);
    order->write(*store.context());
    store.save();
    ManagedObjectPtr row = store->fetchFirst("Payment", "remoteId == %@", "pay-void");
    EXPECT_EQ(row->date("voided"), voidedAt);
    EXPECT_EQ(row->toOne("voidBy")->text("userId"), "mgr");
}

TEST_F(PersistOrder, CopiesAndClones) {
    std::unique_ptr<Order> order = makeOrder(*clock);
    order->setOrderId("5501");
    order->setBatchId("7");
    order->setClosed(clock->now());
    order->write(*store.context()); // stored lines and tenders are neither new nor modified
    order->setSplit(true);
    order->addLog(ActivityLog());

    Order taken;
    taken.copy(*order);
    EXPECT_EQ(taken.selections(), order->selections()) << "the same line objects";
    EXPECT_EQ(taken.payments(), order->payments());
    EXPECT_EQ(taken.discounts().size(), 1u) << "active discounts only";
    EXPECT_EQ(taken.orderId(), "5501");
    EXPECT_EQ(taken.closed(), order->closed());
    EXPECT_EQ(taken.batchId(), std::nullopt);
    EXPECT_FALSE(taken.new_() || taken.modified() || taken.split());

    std::shared_ptr<Order> clone = order->clone();
    EXPECT_TRUE(clone->new_());
    EXPECT_EQ(clone->remoteId(), order->remoteId());
    EXPECT_EQ(clone->orderId(), std::nullopt);
    EXPECT_EQ(clone->closed(), std::nullopt);
    EXPECT_TRUE(clone->payments().empty());
    EXPECT_TRUE(clone->logs().empty());
    EXPECT_EQ(clone->batchId(), "7");
    EXPECT_EQ(clone->updated(), clock->now());
    ASSERT_EQ(clone->selections().size(), 3u);
    EXPECT_NE(clone->selections()[0], order->selections()[0]);
    EXPECT_TRUE(clone->selections()[0]->isEqual(order->selections()[0].get()));
    ASSERT_EQ(clone->discounts().size(), 2u);
    EXPECT_FALSE(clone->discounts()[1]->removed()) << "a clone of a removed discount is not removed";
    EXPECT_TRUE(clone->discounts()[1]->new_());
    EXPECT_EQ(clone->getSubTotal(), order->getSubTotal());
    clone.reset(); // the copies' lines must not report to a freed order
    order->selections()[0]->addLog(ActivityLog());

    std::shared_ptr<Order> header = order->shallowClone();
    EXPECT_EQ(header->remoteId(), std::nullopt);
    EXPECT_EQ(header->name(), order->name());
    EXPECT_EQ(header->taxes().size(), 2u);
    EXPECT_TRUE(header->selections().empty());
    EXPECT_TRUE(header->discounts().empty());

    order->clearTempData();
    EXPECT_TRUE(order->logs().empty());
    EXPECT_EQ(order->discounts().size(), 1u);
}

TEST_F(PersistOrder, ServerOrderReadsIntoTheExpectedOrder) {
    std::string reply = test::readFixture("persist/customer_order_reply.xml");
    XmlDocPtr doc = XmlHelper::parse(reply);
    ASSERT_TRUE(doc);
    xmlNodePtr element = XmlHelper::getFirstChildNode(xmlDocGetRootElement(doc.get()), "customerOrder");
    clock->advance(3600); // after the lines the document dates, so the stored lines keep their order
    Order order;
    order.read(element, doc.get(), store.context().get());

    EXPECT_FALSE(order.new_());
    EXPECT_FALSE(order.modified());
    EXPECT_EQ(order.orderId(), "5501");
    EXPECT_EQ(order.remoteId(), "3170000000000000001");
    EXPECT_EQ(order.orderType(), OrderType::DineIn);
    EXPECT_EQ(order.name(), "Table 12");
    EXPECT_EQ(order.seats(), 4);
    EXPECT_EQ(order.terminalId(), "T1");
    EXPECT_EQ(order.serverId(), "u1");
    EXPECT_EQ(order.gratuityPercentage(), 1800);
    EXPECT_EQ(order.gratuityMinSeats(), 6);
    EXPECT_EQ(order.areaLocationId(), "t-12");
    EXPECT_EQ(order.areaId(), "a-main") << "the table's area wins over the document's";
    EXPECT_EQ(order.customerId(), "c-77");
    EXPECT_FALSE(order.taxOverride());
    EXPECT_EQ(order.closed(), std::nullopt);
    EXPECT_EQ(order.created(), Date(1700000000));
    EXPECT_EQ(order.summaryTotal(), 2521);
    EXPECT_EQ(order.summaryTax(), 211);
    EXPECT_EQ(order.summaryPaid(), 2000);
    EXPECT_EQ(order.summaryDue(), 521);

    ASSERT_EQ(order.taxes().size(), 2u);
    EXPECT_EQ(order.taxes()[0].taxId(), "tx-state");
    EXPECT_EQ(order.taxes()[0].rounding(), "round");
    EXPECT_EQ(order.taxes()[0].percentage(), 825);
    EXPECT_TRUE(order.taxes()[0].beforeLoyalty());
    EXPECT_EQ(order.taxes()[1].taxId(), "tx-city") << "from the store's tax of that name";
    EXPECT_EQ(order.taxes()[1].rounding(), "floor");
    EXPECT_EQ(order.taxes()[1].calculateTax(150), 1) << "1 % of 150 rounded down";

    ASSERT_EQ(order.discounts().size(), 1u);
    EXPECT_EQ(order.discounts()[0]->name(), "Loyalty");
    EXPECT_EQ(order.discounts()[0]->amount(), 200);
    EXPECT_EQ(order.discounts()[0]->authBy(), "mgr");
    EXPECT_FALSE(order.discounts()[0]->new_());

    ASSERT_EQ(order.selections().size(), 3u);
    const Selection& burger = *order.selections()[0];
    EXPECT_EQ(burger.created(), Date(1700000060));
    EXPECT_EQ(burger.price(), 1295);
    EXPECT_EQ(burger.includedSides(), 1);
    EXPECT_EQ(burger.compName(), "Birthday");
    EXPECT_EQ(burger.compPercent(), 5000);
    EXPECT_EQ(burger.taxExemptions(), std::vector<std::string>{"City"});
    ASSERT_EQ(burger.selectedSides().size(), 1u) << "two sides of one recipe merge";
    EXPECT_EQ(burger.selectedSides()[0]->remoteId(), "s1-f1");
    EXPECT_EQ(burger.selectedSides()[0]->quantity(), 2);
    EXPECT_EQ(burger.getCharge("p-rare"), 50);
    EXPECT_EQ(burger.selectedPreparations()[0].predefinedTax("State"), 4);
    EXPECT_EQ(burger.predefinedTaxes().entry("State"), 25);
    EXPECT_EQ(burger.additionPredefinedTaxes().entry("State"), 5);
    auto combo = std::dynamic_pointer_cast<ComboSelection>(order.selections()[1]);
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->orderedBy(), "u2");
    ASSERT_EQ(combo->selections().size(), 1u);
    EXPECT_EQ(combo->selections()[0]->recipeId(), "r-wrap");
    ASSERT_TRUE(combo->getSelections("g-drinks"));
    const Selection& soda = *combo->getSelections("g-drinks")->front();
    EXPECT_EQ(soda.price(), 0);
    EXPECT_EQ(soda.additionPrice(), 150) << "a part's price becomes its addition price";
    EXPECT_EQ(combo->getUnitCharge(), 899 + 150);
    const Selection& cake = *order.selections()[2];
    EXPECT_EQ(cake.created(), clock->now()) << "a creation time of 0 leaves the line's own";
    EXPECT_EQ(cake.multiplier(), 50);

    ASSERT_EQ(order.payments().size(), 2u);
    const Payment& card = *order.payments()[0];
    EXPECT_EQ(card.type(), Payment::kCredit);
    EXPECT_EQ(card.cardType(), "Visa");
    EXPECT_EQ(card.name(), "ADA LOVELACE");
    EXPECT_EQ(card.number(), "1111");
    EXPECT_EQ(card.tip(), 300);
    EXPECT_EQ(card.refNum(), "ref-9");
    EXPECT_EQ(card.approval(), "A1B2C3");
    EXPECT_TRUE(card.manual()) << "no manual element on a card tender";
    EXPECT_EQ(card.drawerId(), "D1");
    EXPECT_EQ(card.drawerInDate(), Date(1699990000));
    EXPECT_EQ(card.captured(), (std::vector<uint8_t>{0x00, 0x01, 0x02, 0xFF}));
    EXPECT_EQ(card.hostData(), "opaque");
    const Payment& cash = *order.payments()[1];
    EXPECT_EQ(cash.type(), Payment::kCash);
    EXPECT_EQ(cash.voidBy(), "mgr");
    EXPECT_EQ(cash.voided(), clock->now());
    EXPECT_EQ(cash.change(), 300);
    EXPECT_EQ(cash.name(), std::nullopt);
    EXPECT_FALSE(cash.manual());

    // Stored and read back, the order is the same; the store files the signature as a JPEG and
    // the cash tender under its drawer's open session.
    order.write(*store.context());
    order.payments()[0]->setMimeType("image/jpg");
    order.payments()[1]->setDrawerInDate(kDrawerIn);
    store.save();
    std::unique_ptr<Order> stored = readBack(order.remoteId());
    ASSERT_TRUE(stored);
    expectSameStoredOrder(*stored, order);
}

TEST_F(PersistOrder, ClosedAtTheServersTime) {
    for (auto [children, expected] : std::vector<std::pair<std::string, std::optional<Date>>>{
             {"<closeDate>1700000500789</closeDate><closed>true</closed>", Date(1700000500)},
             {"<closed>true</closed>", Date(1700000000)},
             {"<closed>false</closed>", std::nullopt}}) {
        XmlDocPtr doc = XmlHelper::parse("<orderSummary remoteId=\"o1\">" + children + "</orderSummary>");
        Order order;
        order.read(xmlDocGetRootElement(doc.get()), doc.get(), nullptr);
        EXPECT_EQ(order.closed(), expected) << children; // "now" is the fake clock's 1700000000
    }
}

TEST_F(PersistOrder, OrderSummariesStoredUpToTheFirstOtherElement) {
    XmlDocPtr doc = XmlHelper::parse(
        "<tavloReply><orderSummary remoteId=\"o1\"><orderName>One</orderName><total>100</total></orderSummary>\n"
        "  <orderSummary remoteId=\"o2\"><orderName>Two</orderName><total>200</total></orderSummary>\n"
        "  <other/><orderSummary remoteId=\"o3\"/></tavloReply>");
    ASSERT_TRUE(doc);
    xmlNodePtr first = XmlHelper::getFirstChildNode(xmlDocGetRootElement(doc.get()), "orderSummary");
    DBHelper::saveOrderSummaries(first, doc.get(), store.context().get());
    DBHelper::saveOrderSummaries(nullptr, doc.get(), store.context().get());
    store.save();
    std::vector<ManagedObjectPtr> orders = store->fetchAll("Order");
    ASSERT_EQ(orders.size(), 2u);
    EXPECT_EQ(store->fetchFirst("Order", "remoteId == %@", "o2")->int32("total"), 200);
    EXPECT_FALSE(store->fetchFirst("Order", "remoteId == %@", "o3"));
}

} // namespace
} // namespace tavlo
