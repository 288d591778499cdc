// Sending an order against a fake order sender: what is handed over, and the kitchen tickets of a
// lite terminal. The order handler's part runs against the store server in
// tests/sync/handlers_send_order_test.cpp.
#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/store/ObjectContext.h"
#include "support/FakePorts.h"
#include "support/RecordingAnnouncer.h"
#include "support/SoupOrders.h"
#include "support/StoreFixture.h"

#include <gtest/gtest.h>

namespace tavlo {
namespace {

class OrderSendTest : public ::testing::Test {
protected:
    void SetUp() override {
        store.buildSmallStore();
        DBHelper::saveStoreParam("TAVLO_LITE", std::string("YES"), context());
        store.save();
    }
    ObjectContext* context() { return store.context().get(); }
    Session lite() {
        Session session(context());
        session.setUserId("U-ANN");
        EXPECT_TRUE(session.isLite());
        return session;
    }

    // A dine-in order with `units` of one 10.00 line, none of them sent.
    static std::unique_ptr<Order> makeOrder(const std::string& remoteId, int32_t units) {
        return test::soupOrder(remoteId, {.units = units, .userId = "U-ANN", .taxed = false});
    }

    ScopedFakeClock clock;
    test::StoreFixture store;
    test::FakePorts ports;
    test::RecordingAnnouncer announcer;
};

TEST_F(OrderSendTest, SendingAnOrderPrintsTheUnitsSentInLiteModeOnly) {
    Session session = lite();
    auto order = makeOrder("R4", 3);
    order->write(*context()); // stored: nothing left to send
    store.save();
    ASSERT_FALSE(order->modified());
    EXPECT_TRUE(order->send(session, nullptr)); // nothing new: not handed over
    EXPECT_TRUE(ports.sender->orders.empty());
    EXPECT_TRUE(announcer.tickets().empty());

    order = makeOrder("R4", 3);
    ASSERT_TRUE(order->send(session, nullptr));
    ASSERT_EQ(ports.sender->orders.size(), 1u);
    EXPECT_EQ(ports.sender->orders[0].remoteId, "R4");
    EXPECT_EQ(ports.sender->orders[0].userId, "U-ANN");
    EXPECT_EQ(ports.sender->orders[0].context, context());
    // The tickets come from the order as it was before the hand-over counted its units as sent.
    ASSERT_EQ(announcer.tickets().size(), 1u);
    EXPECT_EQ(announcer.tickets()[0].remoteId, "R4");
    EXPECT_EQ(announcer.tickets()[0].newUnits, std::vector<int32_t>{3});
    EXPECT_FALSE(order->modified());

    DBHelper::saveStoreParam("TAVLO_LITE", std::string("NO"), context());
    Session full(context());
    full.setUserId("U-BOB");
    ASSERT_TRUE(makeOrder("R5", 1)->send(full, nullptr));
    ASSERT_EQ(ports.sender->orders.size(), 2u);
    EXPECT_EQ(ports.sender->orders[1].userId, "U-BOB");
    EXPECT_EQ(announcer.tickets().size(), 1u); // no tickets from a terminal that is not lite
}

TEST_F(OrderSendTest, ATicketThatDidNotPrintLeavesItsErrorAndTheSendStands) {
    announcer.failWith(Error("StoreServerErrorDomain", -1, "Unable to connect. Take ticket to printer Grill"));
    Session session = lite();
    Error error;
    EXPECT_TRUE(makeOrder("R7", 1)->send(session, &error));
    EXPECT_EQ(error.localizedDescription(), "Unable to connect. Take ticket to printer Grill");

    // The send with a callback: the callback hears of a send that stood, the caller of the error.
    bool told = false;
    const Error* heard = nullptr;
    Error sendError;
    EXPECT_TRUE(makeOrder("R8", 1)->send(
        session, [&](const Error* e) { told = true, heard = e; }, &sendError));
    EXPECT_TRUE(told);
    EXPECT_EQ(heard, nullptr);
    EXPECT_EQ(sendError.localizedDescription(), "Unable to connect. Take ticket to printer Grill");
    EXPECT_EQ(ports.sender->orders.size(), 2u);
}

TEST_F(OrderSendTest, AFailedHandOverPrintsNothingAndKeepsTheActivityLog) {
    ports.sender->failure = Error("StoreServerErrorDomain", -1, "Unable to write the order");
    IDBroker::initWithMOC(store.context());
    Session session = lite();
    auto order = makeOrder("R6", 2);
    order->addLog(std::string("reOpenOrder"), std::string("Table R6"), std::string(""), std::string("U-ANN"),
                  std::nullopt, std::string("T1"), std::string("0"), std::string("0"), &session);
    Error error;
    EXPECT_FALSE(order->send(session, &error));
    EXPECT_EQ(error.localizedDescription(), "Unable to write the order");
    EXPECT_EQ(ports.sender->orders.size(), 1u);
    EXPECT_TRUE(announcer.tickets().empty());
    EXPECT_TRUE(order->modified());
    EXPECT_EQ(order->logs().size(), 1u); // still to be sent with the next try
}

} // namespace
} // namespace tavlo
