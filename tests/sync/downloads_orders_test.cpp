#include "DownloadTestSupport.h"
#include "HandlerTestSupport.h"
#include "StoreServerFixture.h"
#include "core/order/Order.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/store/StoreError.h"
#include "sync/handlers/OperationSynchOrders.h"
#include "sync/handlers/OrderHandler.h"

#include <gtest/gtest.h>

using namespace tavlo;
using namespace tavlo::test;
using Names = std::vector<std::string>;

namespace {

constexpr double T0 = 1700000000; // B1's open, as in the fixture

std::string orderData(const std::string& r1Close) {
    std::string xml = readFixture("downloads/order_data.xml");
    xml.replace(xml.find("R1_CLOSE"), 8, r1Close);
    return xml;
}

class OrderDownloadTest : public StoreServerFixture {
protected:
    void SetUp() override {
        StoreServerFixture::SetUp();
        ObjectContext& c = *context();
        for (const char* user : {"u1", "u5"}) c.insert("User")->setValue("userId", user);
        c.insert("CashDrawer")->setValue("cashDrawerId", "D1");
        store.addTerminal("T2");
        store.save();
    }

    ManagedObjectPtr addDay(const std::string& remoteId, Date openedOn, std::optional<Date> closedOn = {}) {
        ManagedObjectPtr day = context()->insert("StoreBatch");
        day->setValue("remoteId", remoteId);
        day->setValue("openedOn", openedOn);
        if (closedOn) day->setValue("closedOn", *closedOn);
        return day;
    }

    ManagedObjectPtr addOrder(const std::string& remoteId, const ManagedObjectPtr& day, std::optional<Date> closed) {
        ManagedObjectPtr order = context()->insert("Order");
        order->setValue("remoteId", remoteId);
        order->setValue("name", remoteId);
        if (closed) order->setValue("closed", *closed);
        order->setToOne("storeBatch", day);
        return order;
    }

    std::shared_ptr<OperationSynchOrders> download(bool fullReload = false) {
        auto op = std::make_shared<OperationSynchOrders>(server->url(), std::string("1"), std::string("secret"),
                                                         fullReload, store.context()->store(), true);
        op->start();
        return op;
    }

    // What another context reads from the file.
    std::unique_ptr<ObjectContext> reader() const { return std::make_unique<ObjectContext>(store.context()->store()); }

    Names remoteIds(const char* entity, const char* key = "remoteId") const {
        Names ids;
        for (const ManagedObjectPtr& row : reader()->fetchAll(entity)) ids.push_back(row->text(key).value_or("?"));
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    // The "ordersChange" posts: the names of the orders each one carried.
    std::vector<Names> changes;
    ScopedObserver observer{OrderHandler::kOrdersChangeNotification, nullptr, [this](const Notification& n) {
                                Names names;
                                for (const auto& order : std::any_cast<OperationSynchOrders::OrderList>(n.object))
                                    names.push_back(order->name().value_or("?"));
                                changes.push_back(names);
                            }};
};

TEST_F(OrderDownloadTest, OrdersAndCashRecordsRunIntoTheStoreClosingTheDayForAnUnknownOne) {
    struct Case {
        const char* name;
        const char* r1Close; // the downloaded order's close on day B1
        Date b1Closes;       // the later of it and C1's cash-out
    };
    const Case cases[] = {
        {"the order closes after the cash-out", "1700010000000", Date(T0 + 10000)},
        {"the cash-out comes after the order", "1700003600000", Date(T0 + 7200)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ObjectContext& local = *context();
        DBHelper::cleanObjects("Order", &local);
        DBHelper::cleanObjects("CashInOut", &local);
        DBHelper::cleanObjects("StoreBatch", &local);
        // An order of the day before, closed late: it is no order of B1 and must not count for it.
        ManagedObjectPtr b0 = addDay("B0", Date(T0 - 86400), Date(T0 - 1));
        addOrder("O0", b0, Date(T0 + 20000));
        ManagedObjectPtr b1 = addDay("B1", Date(T0));
        addOrder("L1", b1, Date(T0 + 1800));
        store.save();
        changes.clear();
        server->setCannedReply("getOrderData", orderData(c.r1Close));

        auto op = download();
        EXPECT_TRUE(op->succeeded());
        EXPECT_FALSE(op->error());

        auto r = reader();
        auto day = [&](const char* id) { return r->fetchFirst("StoreBatch", "remoteId == %@", id); };
        ASSERT_TRUE(day("B1") && day("B2") && day("B3"));
        EXPECT_EQ(day("B0")->date("closedOn"), Date(T0 - 1)) << "a closed day stays as it was";
        EXPECT_EQ(day("B1")->date("closedOn"), c.b1Closes);
        EXPECT_EQ(day("B2")->date("openedOn"), c.b1Closes.addingSeconds(1));
        EXPECT_EQ(day("B2")->date("closedOn"), Date(T0 + 12000)) << "closed at C2's cash-out when B3 came";
        EXPECT_EQ(day("B3")->date("openedOn"), Date(T0 + 12001));
        EXPECT_FALSE(day("B3")->date("closedOn"));

        auto cash = [&](const char* id) { return r->fetchFirst("CashInOut", "cashInOutId == %@", id); };
        EXPECT_EQ(cash("C1")->text("storeBatch.remoteId"), "B1");
        EXPECT_EQ(cash("C1")->date("outDate"), Date(T0 + 7200));
        EXPECT_EQ(cash("C2")->text("storeBatch.remoteId"), "B2");
        EXPECT_EQ(cash("C3")->text("storeBatch.remoteId"), "B3");
        EXPECT_EQ(cash("C3")->text("cashDrawer.cashDrawerId"), "D1");

        EXPECT_EQ(remoteIds("Order"), (Names{"L1", "O0", "R1", "R2"}));
        ManagedObjectPtr r1 = r->fetchFirst("Order", "remoteId == %@", "R1");
        EXPECT_EQ(r1->text("orderId"), "9001");
        EXPECT_EQ(r1->text("user.userId"), "u1");
        // Written twice, still one of each line and tender.
        EXPECT_EQ(remoteIds("Selection"), Names{"R1-s1"});
        EXPECT_EQ(remoteIds("Payment"), Names{"R1-p1"});
        EXPECT_EQ(r1->toMany("selections").size(), 1u);
        // The orders read take the day that is open once the cash records are in.
        EXPECT_EQ(r->fetchFirst("Order", "remoteId == %@", "R2")->text("storeBatch.remoteId"), "B3");

        EXPECT_EQ(changes, (std::vector<Names>{{"Table 3", "Pick-up Lee"}}));
        EXPECT_TRUE(logged("Unknown orders element notice"));
    }
}

TEST_F(OrderDownloadTest, DaysOfAnEmptyStore) {
    server->setCannedReply("getOrderData",
                           "<tavloReply><cashInOut id=\"C9\"><batchId>B9</batchId><cashDrawerId>D1</cashDrawerId>"
                           "<cashInDate>1700000000000</cashInDate></cashInOut>"
                           "<cashInOut id=\"C10\"><cashDrawerId>D1</cashDrawerId>"
                           "<cashInDate>1700000100000</cashInDate></cashInOut></tavloReply>");
    auto op = download();
    EXPECT_TRUE(op->succeeded());
    auto r = reader();
    // The first day of all opens at the start of 1970; a record naming no day opens none.
    EXPECT_EQ(remoteIds("StoreBatch"), Names{"B9"});
    EXPECT_EQ(r->fetchFirst("StoreBatch", "remoteId == %@", "B9")->date("openedOn"), Date(0));
    EXPECT_EQ(remoteIds("CashInOut", "cashInOutId"), (Names{"C10", "C9"}));
    EXPECT_TRUE(changes.empty()) << "no orders in the reply, no ordersChange";
}

TEST_F(OrderDownloadTest, ASuccessOnlyReplySavesNothingNewAndPostsNothing) {
    addOrder("L1", addDay("B1", Date(T0)), std::nullopt);
    store.save();
    server->setCannedReply("getOrderData", "<tavloReply><success/></tavloReply>");
    auto op = download();
    EXPECT_TRUE(op->succeeded());
    EXPECT_FALSE(op->error());
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(remoteIds("Order"), Names{"L1"});
    // The download asks once, with the order document type and no last change.
    ASSERT_EQ(server->requestCount("getOrderData"), 1u);
    const storesim::ReceivedRequest sent = server->requests().back();
    EXPECT_NE(sent.body.find("customerOrder.dtd"), std::string::npos);
    EXPECT_EQ(sent.body.find("dateUpdated"), std::string::npos);
    EXPECT_EQ(sent.headers.count("uid"), 1u);
}

TEST_F(OrderDownloadTest, AFullReloadReplacesEveryOrderAndCashRecord) {
    ManagedObjectPtr b1 = addDay("B1", Date(T0));
    addOrder("L1", b1, std::nullopt);
    ManagedObjectPtr cash = context()->insert("CashInOut");
    cash->setValue("cashInOutId", "LC1");
    cash->setToOne("storeBatch", b1);
    store.save();
    server->setCannedReply("getOrderData", "<tavloReply><customerOrder remoteId=\"R7\"><orderName>Bar 1</orderName>"
                                           "<serverId>u1</serverId></customerOrder></tavloReply>");
    auto op = download(true);
    EXPECT_TRUE(op->succeeded());
    EXPECT_EQ(remoteIds("Order"), Names{"R7"});
    EXPECT_TRUE(remoteIds("CashInOut", "cashInOutId").empty());
    EXPECT_EQ(changes, (std::vector<Names>{{"Bar 1"}}));
}

TEST_F(OrderDownloadTest, TheServersCashRecordReplacesTheCashInKeptHereForItsDrawer) {
    ManagedObjectPtr b1 = addDay("B1", Date(T0));
    ManagedObjectPtr drawer = context()->fetchFirst("CashDrawer", "cashDrawerId == %@", std::string("D1"));
    ManagedObjectPtr other = context()->insert("CashDrawer");
    other->setValue("cashDrawerId", "D9");
    for (const ManagedObjectPtr& kept : {drawer, other}) {
        ManagedObjectPtr standIn = context()->insert("CashInOut");
        standIn->setValue("cashInOutId", "-1");
        standIn->setValue("inDate", Date(T0 + 30));
        standIn->setToOne("storeBatch", b1);
        standIn->setToOne("cashDrawer", kept);
    }
    store.save();
    server->setCannedReply("getOrderData", orderData("1700010000000"));
    auto op = download();
    EXPECT_TRUE(op->succeeded());
    EXPECT_EQ(remoteIds("CashInOut", "cashInOutId"), (Names{"-1", "C1", "C2", "C3"}));
    EXPECT_EQ(
        reader()->fetchFirst("CashInOut", "cashInOutId == %@", std::string("-1"))->text("cashDrawer.cashDrawerId"),
        "D9")
        << "only the drawer the server named gives up its stand-in";
}

TEST_F(OrderDownloadTest, AFailedDownloadWritesNothingAndTellsWhy) {
    ManagedObjectPtr b1 = addDay("B1", Date(T0));
    addOrder("L1", b1, std::nullopt);
    store.save();
    for (const FailedReply& failure : failedReplies()) {
        SCOPED_TRACE(failure.name);
        serveFailure(*server, "getOrderData", failure);
        // A full reload deletes only once a well-formed reply is in hand.
        auto op = download(true);
        EXPECT_FALSE(op->succeeded());
        expectFailure(op->error(), failure);
        EXPECT_EQ(remoteIds("Order"), Names{"L1"});
        EXPECT_TRUE(changes.empty());
    }
}

TEST_F(OrderDownloadTest, AFailedSaveRollsBackTheWholeDownloadIncludingAReload) {
    addOrder("L1", addDay("B1", Date(T0)), std::nullopt);
    store.save();
    auto full = fullCopy(store);
    ASSERT_TRUE(full);
    server->setCannedReply("getOrderData", bulkyReply("customerOrder", "remoteId", "orderName", 200));

    OperationSynchOrders op(server->url(), std::string("1"), std::string("secret"), true, full, false);
    op.start();
    EXPECT_FALSE(op.succeeded());
    ASSERT_TRUE(op.error());
    EXPECT_EQ(op.error()->domain(), kObjectStoreErrorDomain) << op.error()->localizedDescription();
    EXPECT_TRUE(changes.empty());
    ObjectContext after(full);
    Names orders;
    for (const ManagedObjectPtr& row : after.fetchAll("Order")) orders.push_back(row->text("remoteId").value_or("?"));
    EXPECT_EQ(orders, Names{"L1"});
    EXPECT_EQ(after.count(FetchRequest("StoreBatch")), 1u);
}

} // namespace
