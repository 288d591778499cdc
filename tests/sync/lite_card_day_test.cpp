// A card day of a terminal that is its own till (lite mode): it opens the day and its card batch,
// charges a card at the loopback gateway itself, sends the order to the store server, and at the
// close settles the batch against the payment references the store server answers from the card
// payments it holds.
#include "CardGateway.h"
#include "HandlerServerFixture.h"
#include "core/order/Order.h"
#include "core/session/Session.h"
#include "payments/PaymentHandlerFactory.h"
#include "sync/exchange/OrderDocument.h"
#include "sync/handlers/StoreHandler.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tavlo {
namespace {

class LiteCardDayTest : public test::HandlerServerFixture {
protected:
    void SetUp() override {
        HandlerServerFixture::SetUp();
        // The gateway keeps its charges at the real time: the terminal's day runs at it too.
        clock().set(Date(std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count()));
        gateway.start();
        setConfig("PAYMENT_CREDIT_HOST", "LARCH");
        for (const auto& [key, value] :
             std::map<std::string, std::string>{{"HOST_LARCH_CAPTURE_URL", gateway.captureUrl()},
                                                {"HOST_LARCH_DETAILS_URL", gateway.detailsUrl()},
                                                {"HOST_LARCH_USER", "demo"},
                                                {"HOST_LARCH_PASSWORD", "demo"},
                                                {"HOST_LARCH_RP", "1"},
                                                {"HOST_LARCH_SETTLE_TZ_ABBREV", "UTC"}})
            setConfig(key, value);
        session = startLiteTerminal();
    }
    void TearDown() override {
        StoreHandler::releaseInstance();
        HandlerServerFixture::TearDown();
    }

    // A table paid by a card charged here, as the pay screen does in lite mode; the order as the
    // order handler sends it to the store server.
    void payByCard(const std::string& remoteId, int32_t cents) {
        std::shared_ptr<PaymentHandlerAdapter> larch = PaymentHandlerFactory::getInstance().getPaymentHandler("LARCH");
        ASSERT_TRUE(larch);
        const auto config = Session::getHostConfig(std::string("LARCH"), context());
        Error error;
        std::shared_ptr<PaymentTransaction> sale = larch->newTransaction(config, &error);
        ASSERT_TRUE(sale) << error.localizedDescription();
        sale->setValue(std::to_string(cents), "SUB_TOTAL");
        sale->setValue("4111111111111111", "NUMBER");
        sale->setValue("1230", "EXP_DATE");
        ASSERT_TRUE(larch->sale(*sale, config, &error)) << error.localizedDescription();

        Order order;
        order.setRemoteId(remoteId);
        order.setOrderType(OrderType::DineIn);
        order.setName(std::string("Table 4"));
        auto line = std::make_shared<Selection>();
        line->setRemoteId(remoteId + "-1");
        line->setName(std::string("Sirloin steak"));
        line->setPrice(cents);
        order.addSelection(line, nullptr);
        auto card = std::make_shared<Payment>();
        card->setRemoteId(remoteId + "-P");
        card->setType(Payment::kCredit);
        card->setSubTotal(cents);
        card->setCreatedBy(std::string("u5"));
        card->setApproval(sale->approvalCode());
        card->setRefNum(sale->transactionId());
        order.addPayment(card);
        OrderDocument document(order);
        ASSERT_TRUE(CommHelper::sendOrder(document, server->url(), "u5", false, std::nullopt, std::nullopt, false,
                                          context(), false, &error))
            << error.localizedDescription();
    }

    test::InstalledPorts ports;
    std::unique_ptr<Session> session;
    gatewaysim::CardGateway gateway{gatewaysim::CardGateway::Options{"demo", "demo", 3}};
};

TEST_F(LiteCardDayTest, ADayWithCardSalesCloses) {
    Error error;
    ASSERT_TRUE(session->openStore(&error)) << error.localizedDescription();
    handler->waitForOpenReports();
    payByCard("R1", 2600);
    payByCard("R2", 1450);
    ASSERT_EQ(gateway.kept().size(), 2u);

    clock().advance(60);
    ASSERT_TRUE(session->closeStore(&error)) << error.localizedDescription();
    EXPECT_FALSE(session->isStoreOpen());
    EXPECT_EQ(gateway.requestCount("CaptureAll"), 1u);
    for (const gatewaysim::KeptTransaction& sale : gateway.kept()) EXPECT_TRUE(sale.settled) << sale.reference;
}

} // namespace
} // namespace tavlo
