#include "StoreServerFixture.h"
#include "core/order/ComboSelection.h"
#include "core/order/Order.h"
#include "core/records/Customer.h"
#include "core/session/IDBroker.h"
#include "platform/foundation/Clock.h"
#include "support/LocalStoreScope.h"
#include "sync/exchange/CardFieldEncryptor.h"
#include "sync/exchange/CommHelper.h"
#include "sync/exchange/OrderDocument.h"
#include "xml/XmlHelper.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavlo {
namespace {

using test::LocalStoreScope;
using test::readFixture;
using Text = std::optional<std::string>;

// A predictable stand-in for the server's key: the block is the field between markers.
class FixedEncryptor : public CardFieldEncryptor {
public:
    Text key = std::string("TEST-KEY");
    std::vector<std::string> encrypted;

    Text publicKey() const override { return key; }
    std::optional<std::vector<uint8_t>> encrypt(std::string_view text) override {
        encrypted.emplace_back(text);
        if (text == "refuse") return std::nullopt;
        std::string block = "E[" + std::string(text) + "]";
        return std::vector<uint8_t>(block.begin(), block.end());
    }
};

SelectionPtr line(const char* id, const char* name, int32_t price) {
    auto s = std::make_shared<Selection>();
    s->setRemoteId(std::string(id));
    s->setName(std::string(name));
    s->setRecipeId(std::string("R-") + id);
    s->setPrice(price);
    return s;
}

std::shared_ptr<Payment> payment(const char* id, int32_t type, int32_t subTotal) {
    auto p = std::make_shared<Payment>();
    p->setRemoteId(std::string(id));
    p->setType(type);
    p->setSubTotal(subTotal);
    p->setCreatedBy(std::string("U1"));
    return p;
}

ActivityLog logEntry(const char* id, Text action, Text oldValue, Text newValue, Text forcedBy) {
    ActivityLog e;
    e.setRemoteId(std::string(id));
    e.setAction(std::move(action));
    e.setTerminalId(std::string("T1"));
    e.setUserId(std::string("U1"));
    e.setForcedBy(std::move(forcedBy));
    e.setName(std::string("Burger"));
    e.setDescription(std::string("changed"));
    e.setValueOld(std::move(oldValue));
    e.setValueNew(std::move(newValue));
    e.setCreated(Date(1'700'000'300.5));
    return e;
}

class OrderDocumentTest : public ::testing::Test {
protected:
    void SetUp() override { CommHelper::setGateway(std::string("127.0.0.1:4444")); }
    void TearDown() override { CommHelper::setGateway(std::nullopt); }

    std::string document(const Order& order, bool allPayments = false, bool sendBackVoids = false) {
        return OrderDocument(order, encryptor)
            .getXmlOrder(std::string("S1"), std::string("T1"), false, std::nullopt, std::nullopt, allPayments,
                         sendBackVoids, store.context().get());
    }

    // A dine-in order at a table with every kind of record the document carries.
    void fillOrder(Order& order) {
        order.setRemoteId(std::string("ORD-1"));
        order.setOrderType(OrderType::DineIn);
        order.setName(std::string("Bar & Grill <5>"));
        order.setServerId(std::string("U1"));
        order.setAreaId(std::string("A1"));
        order.setSeats(4);
        order.setAreaLocationId(std::string("L5"));
        order.setGratuityPercentage(18);
        order.setGratuityMinSeats(6);
        order.setCreated(Date(1'700'000'000.9));
        order.setClosed(Date(1'700'000'900));
        order.setSplit(true);

        Customer customer;
        customer.setCustomerId(std::string("C-9"));
        customer.setFirstName(std::string("Ada"));
        customer.setLastName(std::string("Quill"));
        customer.setPhone(std::string("555-0101"));
        customer.setStreet(std::string("2 Mill Lane"));
        customer.setDob(Date(-631'152'000)); // 1950-01-01: before 1970
        customer.write(*store.context());
        order.setCustomerId(std::string("C-9"));

        auto happyHour = std::make_shared<OrderDiscount>();
        happyHour->setRemoteId(std::string("D-1"));
        happyHour->setName(std::string("Happy hour"));
        happyHour->setAmount(200);
        happyHour->setDiscountBy(std::string("U1"));
        happyHour->setAuthBy(std::string("MGR"));
        order.addDiscount(happyHour);
        auto open = std::make_shared<OrderDiscount>(); // sent before, unchanged, nameless
        open->setRemoteId(std::string("D-2"));
        open->setAmount(100);
        open->setDiscountBy(std::string("U1"));
        open->setNew(false);
        order.addDiscount(open);
        auto staff = std::make_shared<OrderDiscount>();
        staff->setRemoteId(std::string("D-3"));
        staff->setName(std::string("Staff"));
        staff->setAmount(50);
        staff->setDiscountBy(std::string("U2"));
        staff->setNew(false);
        order.addDiscount(staff);
        order.removeDiscount(staff);

        order.addTax(OrderTax(std::string("State"), 825, std::string("round")));
        order.addTax(OrderTax(std::string("City"), 150, std::string("floor")));

        // Two burgers with one side included: the cheaper salad is free, the fries are charged.
        SelectionPtr burger = line("L1", "Burger", 1250);
        burger->setQuantity(2);
        burger->setSeat(1);
        burger->setCourse(2);
        burger->setComment(std::string("no onions"));
        burger->setMenuId(std::string("M1"));
        burger->setOrderedBy(std::string("U1"));
        burger->setIncludedSides(1);
        Preparation cheese(std::string("cheese"), 75);
        cheese.setPredefinedTax(6, "State");
        burger->addPreparation(cheese);
        burger->setAdditionPredefinedTax(3, "City");
        SelectionPtr fries = line("L1-S1", "Fries", 300);
        fries->setAdditionPrice(100);
        SelectionPtr salad = line("L1-S2", "Salad", 250);
        salad->setAdditionPrice(50);
        burger->addSide(fries);
        burger->addSide(salad);
        order.addSelection(burger, nullptr);

        SelectionPtr soup = line("L2", "Soup", 900);
        soup->setCompName(std::string("Manager comp"));
        soup->setCompDescription(std::string("cold"));
        soup->setCompBy(std::string("MGR"));
        soup->setCompPercent(5000);
        soup->setPredefinedTax(40, "City");
        order.addSelection(soup, nullptr);

        SelectionPtr cola = line("L3", "Cola", 200);
        cola->addTaxExemption("State");
        cola->addDefaultTaxExemption("City");
        cola->setDeleted(Date(1'700'000'200));
        order.addSelection(cola, nullptr);

        auto combo = std::make_shared<ComboSelection>();
        combo->setRemoteId(std::string("L4"));
        combo->setName(std::string("Lunch combo"));
        combo->setPrice(999);
        combo->setIncludedSides(101);
        SelectionPtr drink = line("L4-P1", "Drink", 150);
        combo->addSelection(drink);
        SelectionPtr wrap = line("L4-P2", "Wrap", 400);
        wrap->setAdditionPrice(100);
        wrap->setReferenceId(std::string("CG1"));
        combo->addSelection(wrap, "CG1");
        order.addSelection(combo, nullptr);

        auto cash = payment("P-1", Payment::kCash, 1000);
        cash->setDrawerId(std::string("D1"));
        order.addPayment(cash);
        auto credit = payment("P-2", Payment::kCredit, 2500);
        credit->setName(std::string("Visa"));
        credit->setCardType(std::string("VISA"));
        credit->setAccountNumber(std::string("4111111111111111"));
        credit->setExpDate(std::string("1228"));
        credit->setSecurityCode(std::string("123"));
        credit->setTrack1(std::string(""));
        credit->setTrack2(std::string(";4111111111111111=2812?"));
        credit->setApproval(std::string("A7"));
        credit->setRefNum(std::string("R9"));
        credit->setTip(300);
        credit->setManual(true);
        credit->setZipCode(std::string("90001"));
        credit->setCaptured(std::vector<uint8_t>{'s', 'i', 'g'});
        order.addPayment(credit);
        auto voided = payment("P-3", Payment::kCash, 700); // voided before the last send
        voided->voidPayment(std::string("MGR"));
        voided->setNew(false);
        voided->setModified(false);
        order.addPayment(voided);

        order.addLog(logEntry("AL-1", "removeMainSelection", "2", "1", "MGR"));
        order.addLog(logEntry("AL-2", "priceChange", "900", "800", std::nullopt));
        order.addLog(logEntry("AL-3", "transferOrder", "U1", "U2", std::nullopt));
        order.addLog(logEntry("AL-4", "REOPENORDER", "1", "0", std::nullopt));
    }

    ScopedFakeClock clock{Date(1'700'000'100.25)};
    LocalStoreScope store;
    FixedEncryptor encryptor;
};

TEST_F(OrderDocumentTest, WholeOrderMatchesTheFixtureByteForByte) {
    Order order;
    fillOrder(order);
    std::string xml = OrderDocument(order, encryptor)
                          .getXmlOrder(std::string("S1"), std::string("T1"), true, std::string("10.0.0.9:9100"),
                                       std::string("10.0.0.9:9101"), false, false, store.context().get());
    EXPECT_EQ(xml, readFixture("orderdoc/customer_order.xml"));
    // Only the non-empty card fields were handed to the encryptor.
    EXPECT_EQ(encryptor.encrypted,
              (std::vector<std::string>{";4111111111111111=2812?", "4111111111111111", "1228", "123"}));
}

TEST_F(OrderDocumentTest, ReadsBackIntoTheSameLines) {
    Order order;
    fillOrder(order);
    XmlDocPtr doc = XmlHelper::parse(document(order));
    ASSERT_TRUE(doc);
    xmlNodePtr orderElement = XmlHelper::getFirstChildNode(xmlDocGetRootElement(doc.get()), "customerOrder");
    std::vector<SelectionPtr> lines;
    for (xmlNodePtr node : XmlHelper::getChildRun(orderElement, "selection"))
        lines.push_back(Selection::fromDocument(node, doc.get(), store.context().get()));
    ASSERT_EQ(lines.size(), 4u);

    const Selection& burger = *lines[0];
    ASSERT_EQ(burger.getSides().size(), 2u);
    EXPECT_EQ(burger.getSides()[0]->price(), 300);
    EXPECT_EQ(burger.getSides()[1]->additionPrice(), 50);
    EXPECT_EQ(burger.getCharge("cheese"), 75);
    EXPECT_EQ(burger.getPreparations()[0].predefinedTax("State"), 6);
    EXPECT_EQ(burger.additionPredefinedTaxes().amount("City"), 3);
    EXPECT_TRUE(lines[1]->hasComp());
    EXPECT_EQ(lines[2]->taxExemptions(), std::vector<std::string>{"State"});
    EXPECT_EQ(lines[2]->defaultTaxExemptions(), std::vector<std::string>{"City"});

    const auto* combo = dynamic_cast<const ComboSelection*>(lines[3].get());
    ASSERT_TRUE(combo);
    ASSERT_EQ(combo->getAllSelections().size(), 2u);
    EXPECT_EQ(combo->getSelections().front()->name(), "Drink");
    ASSERT_TRUE(combo->getSelections("CG1"));
    EXPECT_EQ(combo->getSelections("CG1")->front()->additionPrice(), 100);
}

// One change to a plain order and what its document then holds and lacks.
struct EdgeCase {
    const char* name;
    std::function<void(Order&)> change;
    bool allPayments, sendBackVoids;
    std::vector<std::string> present, absent;
};

TEST_F(OrderDocumentTest, EdgeCases) {
    auto withPayment = [](int32_t type, std::function<void(Payment&)> more) {
        return [=](Order& o) {
            auto p = payment("P-9", type, 500);
            p->setAccountNumber(std::string("4111111111111111"));
            if (more) more(*p);
            o.addPayment(p);
        };
    };
    auto sent = [](Payment& p) { p.setNew(false), p.setModified(false); };
    auto withSelection = [](std::function<void(Selection&)> more) {
        return [=](Order& o) {
            SelectionPtr s = line("L9", "Tea", 300);
            more(*s);
            o.addSelection(s, nullptr);
        };
    };
    const EdgeCase cases[] = {
        {"no area: neither area nor seats",
         [](Order& o) { o.setSeats(6); },
         false,
         false,
         {"<closed>false</closed>", "<quickSale>true</quickSale>"},
         {"<areaId>", "<seats>", "<areaLocationId>"}},
        {"an area without a table",
         [](Order& o) { o.setAreaId(std::string("A2")), o.setSeats(3); },
         false,
         false,
         {"<areaId>A2</areaId><seats>3</seats><closed>"},
         {"<areaLocationId>"}},
        {"sideCount above 100 is 0",
         withSelection([](Selection& s) { s.setIncludedSides(101); }),
         false,
         false,
         {"<sideCount>0</sideCount>"},
         {}},
        {"sideCount of 100 stays",
         withSelection([](Selection& s) { s.setIncludedSides(100); }),
         false,
         false,
         {"<sideCount>100</sideCount>"},
         {}},
        {"a cash payment carries no card data",
         withPayment(Payment::kCash, nullptr),
         false,
         false,
         {"type=\"cash\""},
         {"<signature>", "<accountNumber>"}},
        {"a gift card carries card data",
         withPayment(Payment::kGift, nullptr),
         false,
         false,
         {"<signature><hostName>127.0.0.1:4444</hostName><publicKey>TEST-KEY</publicKey></signature><accountNumber>"},
         {}},
        {"an unchanged sent payment stays home", withPayment(Payment::kCash, sent), false, false, {}, {"<payment "}},
        {"unless all payments go",
         withPayment(Payment::kCash, sent),
         true,
         false,
         {"<payment remoteId=\"P-9\" action=\"update\""},
         {}},
        {"a modified payment goes as an update",
         withPayment(Payment::kCash, [](Payment& p) { p.setNew(false), p.setTip(50); }),
         false,
         false,
         {"action=\"update\"", "<tip>50</tip>"},
         {}},
        {"a voided payment goes back only when asked",
         withPayment(Payment::kCash, [&](Payment& p) { p.voidPayment(std::string("MGR")), sent(p); }),
         false,
         true,
         {"<voidBy>MGR</voidBy>"},
         {}},
        {"a nameless payment has an empty name",
         withPayment(Payment::kCash, nullptr),
         false,
         false,
         {"<paymentName></paymentName>"},
         {}},
        {"a captured signature without a type",
         withPayment(Payment::kCash,
                     [](Payment& p) {
                         p.setCaptured(std::vector<uint8_t>{1, 2, 3});
                     }),
         false,
         false,
         {"<captured>AQID\n</captured><mimeType>unknown</mimeType>"},
         {}},
        {"a field that cannot be encrypted stays behind",
         withPayment(Payment::kCredit, [](Payment& p) { p.setSecurityCode(std::string("refuse")); }),
         false,
         false,
         {"<accountNumber>"},
         {"<cardSecurityCode>", "refuse"}},
        {"a customer known only by its remoteId",
         [this](Order& o) {
             Customer c;
             c.setRemoteId(std::string("CR-1"));
             c.setCompany(std::string("Acme"));
             c.write(*store.context());
             o.setCustomerRemoteId(std::string("CR-1"));
         },
         false,
         false,
         {"<customer remoteId=\"CR-1\" action=\"add\"><customerName>Acme</customerName></customer>"},
         {}},
        {"a customer the store does not hold",
         [](Order& o) { o.setCustomerId(std::string("C-404")); },
         false,
         false,
         {},
         {"<customer "}},
        {"an activity log without an action carries all four values",
         [](Order& o) { o.addLog(logEntry("AL-9", std::nullopt, "3", "4", std::nullopt)); },
         false,
         false,
         {"<activityLog remoteId=\"AL-9\" action=\"\"><terminalId>T1</terminalId><serverId>U1</serverId>"
          "<forcedBy>U1</forcedBy><oldQuantity>3</oldQuantity><newQuantity>4</newQuantity><name>Burger</name>"
          "<oldPrice>3</oldPrice><description>changed</description><newPrice>4</newPrice>"},
         {}},
        {"\"remove\" is matched with its case",
         [](Order& o) { o.addLog(logEntry("AL-8", "RemoveAll", "3", "4", std::nullopt)); },
         false,
         false,
         {"<oldQuantity>0</oldQuantity><newQuantity>0</newQuantity>"},
         {}},
    };
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE(c.name);
        Order order;
        order.setRemoteId(std::string("ORD-2"));
        order.setOrderType(OrderType::TakeOut);
        order.setName(std::string("Quick"));
        order.setCreated(Date(1'700'000'000));
        c.change(order);
        std::string xml = document(order, c.allPayments, c.sendBackVoids);
        for (const std::string& part : c.present) EXPECT_NE(xml.find(part), std::string::npos) << part << "\n" << xml;
        for (const std::string& part : c.absent) EXPECT_EQ(xml.find(part), std::string::npos) << part << "\n" << xml;
    }
}

// A tax line without a rounding rule rounds half away from zero; its document must say so, or the
// order read back (an empty rule rounds up) charges a cent more per line: 2.01 cents of tax at 1 %
// on 201 cents is 2, not 3.
TEST_F(OrderDocumentTest, ATaxReadBackRoundsAsItDidWhenSent) {
    const struct {
        Text rounding;
        const char* written;
        int32_t tax;
    } cases[] = {{std::nullopt, "round", 2},
                 {std::string("round"), "round", 2},
                 {std::string("floor"), "floor", 2},
                 {std::string(""), "", 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        Order order;
        order.setRemoteId(std::string("ORD-3"));
        order.addTax(OrderTax(std::string("State"), 100, c.rounding));
        order.addSelection(line("L1", "Soup", 201), nullptr);
        ASSERT_EQ(order.getTaxTotal(), c.tax);
        const std::string xml = document(order);
        EXPECT_NE(xml.find(std::string("roundingMethod=\"") + c.written + "\""), std::string::npos) << xml;

        XmlDocPtr doc = XmlHelper::parse(xml);
        ASSERT_TRUE(doc);
        Order back(store.context().get());
        back.read(XmlHelper::getFirstChildNode(xmlDocGetRootElement(doc.get()), "customerOrder"), doc.get(),
                  store.context().get());
        EXPECT_EQ(back.taxes().at(0).rounding(), c.rounding.value_or("round"));
        EXPECT_EQ(back.getTaxTotal(), c.tax);
    }
}

TEST_F(OrderDocumentTest, WithoutAKeyNoCardDataGoesOut) {
    Order order;
    auto credit = payment("P-1", Payment::kCredit, 500);
    credit->setAccountNumber(std::string("4111111111111111"));
    order.addPayment(credit);
    encryptor.key.reset();
    std::string xml = document(order);
    EXPECT_NE(xml.find("<number>1111</number>"), std::string::npos) << xml;
    EXPECT_EQ(xml.find("<signature>"), std::string::npos);
    EXPECT_EQ(xml.find("<accountNumber>"), std::string::npos);
    EXPECT_TRUE(encryptor.encrypted.empty());
}

// The order send of the terminal with the store server on loopback: the order's own document
// goes out, and what comes back is read into orders of the local store.
class OrderSendReadBackTest : public test::StoreServerFixture {
protected:
    // A sent order of the server's: a line with a side, a cash payment.
    void send(const char* remoteId, const char* name, bool updateSummaries) {
        Order order;
        order.setRemoteId(std::string(remoteId));
        order.setOrderType(OrderType::DineIn);
        order.setName(std::string(name));
        order.setAreaLocationId(std::string("L5"));
        order.addTax(OrderTax(std::string("State"), 1000, std::string("round")));
        SelectionPtr burger = line("L1", "Burger", 1000);
        burger->addSide(line("L1-S1", "Fries", 200));
        order.addSelection(burger, nullptr);
        order.addPayment(payment("P-1", Payment::kCash, 1320));
        OrderDocument document(order, encryptor);
        Error error;
        ASSERT_TRUE(CommHelper::sendOrder(document, server->url(), "u5", false, std::nullopt, std::nullopt,
                                          updateSummaries, context(), &error))
            << error.localizedDescription();
    }
    FixedEncryptor encryptor;
};

TEST_F(OrderSendReadBackTest, TheServersSummaryOfASentOrderIsStored) {
    send("ORD-1", "Table 5", true);
    ASSERT_TRUE(server->order("ORD-1"));
    EXPECT_NE(server->order("ORD-1")->find("<selectionName>Fries</selectionName>"), std::string::npos);

    store.reopen(); // saved, not only in the context
    ManagedObjectPtr row = DBHelper::getObject("Order", "remoteId == %@", std::string("ORD-1"), context());
    ASSERT_TRUE(row);
    Order stored(*row, context());
    EXPECT_EQ(stored.name(), "Table 5");
    EXPECT_EQ(stored.orderId(), "1001"); // the server's id for it
    EXPECT_EQ(stored.summaryTotal(), 1320);

    // A send that asks for no summary stores none.
    send("ORD-2", "Table 6", false);
    EXPECT_FALSE(DBHelper::getObject("Order", "remoteId == %@", std::string("ORD-2"), context()));
}

TEST_F(OrderSendReadBackTest, OrdersAndSummariesComeBackAsOrders) {
    send("ORD-1", "Table 5", false);
    send("ORD-2", "Table 6", false);
    auto s = session();
    Error error;
    std::optional<std::vector<std::shared_ptr<Order>>> orders = CommHelper::getOrders(*s, &error);
    ASSERT_TRUE(orders) << error.localizedDescription();
    ASSERT_EQ(orders->size(), 2u);
    const Order& first = *orders->front();
    EXPECT_EQ(first.remoteId(), "ORD-1");
    ASSERT_EQ(first.getSelections().size(), 1u);
    EXPECT_EQ(first.getSelections()[0]->getSides().size(), 1u);
    EXPECT_EQ(first.getPayments().size(), 1u);
    EXPECT_EQ(first.getTotal(), 1320);

    std::vector<std::shared_ptr<Order>> summaries;
    ASSERT_TRUE(CommHelper::getOrderSummaries(std::string("L5"), true, CommHelper::loadOrders(summaries, context()), *s,
                                              &error));
    ASSERT_EQ(summaries.size(), 2u);
    EXPECT_EQ(summaries[1]->name(), "Table 6");
    EXPECT_TRUE(summaries[1]->getSelections().empty());

    std::vector<std::shared_ptr<Order>> one;
    ASSERT_TRUE(
        CommHelper::getOrder("ORD-2", server->url(), "u5", CommHelper::loadOrders(one, context()), context(), &error));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0]->orderId(), "1002");

    server->setFault("getOrders", storesim::Fault::ErrorElement, 1, std::string("Store is closed"));
    EXPECT_FALSE(CommHelper::getOrders(*s, &error));
    EXPECT_EQ(error.code(), CommHelper::Refused);
    EXPECT_EQ(error.localizedDescription(), "Store is closed");
}

// The terminal sends every line (voided ones as deletes) but only new or changed payments: the
// server must merge what it is sent into what it holds. A table paid in part, then a line voided,
// then split: every send leaves the held orders whole.
TEST_F(OrderSendReadBackTest, AnOrderSentThreeTimesReadsBackWhole) {
    IDBroker::initWithMOC(store.context()); // a void is logged under an id of its own
    auto sendAll = [this](std::vector<Order*> orders) {
        for (Order* order : orders) {
            OrderDocument document(*order, encryptor);
            Error error;
            ASSERT_TRUE(CommHelper::sendOrder(document, server->url(), "u5", false, std::nullopt, std::nullopt, false,
                                              context(), &error))
                << error.localizedDescription();
            // As the pay screen does once the server took them.
            for (const auto& p : order->getPayments()) {
                p->setNew(false);
                p->setModified(false);
            }
        }
    };
    auto readBack = [this](const char* remoteId) {
        std::vector<std::shared_ptr<Order>> one;
        Error error;
        EXPECT_TRUE(CommHelper::getOrder(remoteId, server->url(), "u5", CommHelper::loadOrders(one, context()),
                                         context(), &error));
        return one.size() == 1 ? one[0] : nullptr;
    };
    auto names = [](const Order& order) {
        std::vector<std::string> out;
        for (const SelectionPtr& s : order.getSelections()) out.push_back(s->name().value_or(""));
        return out;
    };

    Order table;
    table.setRemoteId(std::string("ORD-7"));
    table.setOrderType(OrderType::DineIn);
    table.setName(std::string("Table 2"));
    table.setAreaLocationId(std::string("L2"));
    table.addTax(OrderTax(std::string("State"), 1000, std::string("round")));
    SelectionPtr burger = line("L1", "Burger", 1000), salad = line("L2", "Salad", 800), soup = line("L3", "Soup", 600);
    for (const SelectionPtr& s : {burger, salad, soup}) table.addSelection(s, nullptr);
    table.addPayment(payment("P-1", Payment::kCash, 500));
    sendAll({&table});

    table.removeSelection(salad, std::nullopt, nullptr);
    sendAll({&table});

    std::shared_ptr<Order> split = table.shallowClone();
    split->setRemoteId(std::string("ORD-8"));
    split->setName(std::string("Table 2-1"));
    SelectionPtr moved = soup->clone();
    moved->setRemoteId(std::string("L4"));
    split->addSelection(moved, nullptr);
    table.removeSelection(soup, std::nullopt, nullptr);
    split->setSplit(true);
    table.setSplit(true);
    sendAll({&table, split.get()});

    std::shared_ptr<Order> first = readBack("ORD-7");
    ASSERT_TRUE(first);
    EXPECT_EQ(names(*first), std::vector<std::string>{"Burger"});
    ASSERT_EQ(first->getPayments().size(), 1u); // the cash sent with the first send only
    EXPECT_EQ(first->getPayments()[0]->subTotal(), 500);
    EXPECT_EQ(first->getTotal(), 1100);
    EXPECT_EQ(first->getDue(), 600);
    std::shared_ptr<Order> second = readBack("ORD-8");
    ASSERT_TRUE(second);
    EXPECT_EQ(names(*second), std::vector<std::string>{"Soup"});
    EXPECT_EQ(second->getTotal(), 660);
    EXPECT_EQ(server->orderRemoteIds(), (std::vector<std::string>{"ORD-7", "ORD-8"}));
}

} // namespace
} // namespace tavlo
