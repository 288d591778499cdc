// Card payments in gateway mode: the terminal sends the card's fields encrypted in the order, the
// store server (the loopback one, given a card gateway) decrypts them with its key and charges
// the card, and the day's close settles the gateway's batch.
#include "CardCharges.h"
#include "CardGateway.h"
#include "StoreServerFixture.h"
#include "core/order/Order.h"
#include "payments/Encryption.h"
#include "sync/exchange/CommHelper.h"
#include "sync/exchange/OrderDocument.h"
#include "sync/handlers/AppShell.h"
#include "xml/XmlHelper.h"

#include <gtest/gtest.h>

namespace tavlo {
namespace {

using gatewaysim::Answer;
using gatewaysim::CardGateway;

class ServerCardDayTest : public test::StoreServerFixture {
protected:
    void SetUp() override {
        StoreServerFixture::SetUp();
        gateway.start();
        server->setCardGateway(gateway.url(), "demo", "demo");
        // The terminal starts with its built-in key; the demo server answers with its own.
        Encryption::getInstance().setKeyLength(2048);
        Encryption::getInstance().setPublicKey(AppShell::builtInServerKey(2048));
    }

    // A table of 11.00 paid by card; whether the store server took it.
    bool payByCard(const std::string& remoteId, Error* error) {
        Order order;
        order.setRemoteId(remoteId);
        order.setOrderType(OrderType::DineIn);
        order.setName(std::string("Table 3"));
        auto line = std::make_shared<Selection>();
        line->setRemoteId(remoteId + "-1");
        line->setName(std::string("Steak"));
        line->setPrice(1100);
        order.addSelection(line, nullptr);
        auto card = std::make_shared<Payment>();
        card->setRemoteId(remoteId + "-P");
        card->setType(Payment::kCredit);
        card->setSubTotal(1100);
        card->setCreatedBy(std::string("u5"));
        card->setAccountNumber(std::string("4111111111111111"));
        card->setExpDate(std::string("1230"));
        order.addPayment(card);
        OrderDocument document(order);
        return CommHelper::sendOrder(document, server->url(), "u5", false, std::nullopt, std::nullopt, false, context(),
                                     error);
    }

    CardGateway gateway{{"demo", "demo", 2}};
};

TEST_F(ServerCardDayTest, TheServerChargesTheCardItDecryptsAndTheCloseSettles) {
    Error error;
    ASSERT_TRUE(payByCard("R1", &error)) << error.localizedDescription();
    // The first send was refused for the key; the second carried the server's.
    EXPECT_EQ(Encryption::getInstance().getPublicKey(), storesim::CardCharges::publicKey());
    ASSERT_EQ(gateway.kept().size(), 1u);
    EXPECT_EQ(gateway.kept()[0].amountCents, 1100);
    const std::vector<gatewaysim::GatewayRequest> charges = gateway.requests();
    ASSERT_EQ(charges.size(), 1u);
    EXPECT_EQ(charges[0].fields.at("CardNum"), "4111111111111111");
    EXPECT_EQ(charges[0].fields.at("ExpDate"), "1230");
    std::string held = server->order("R1").value_or("");
    EXPECT_NE(held.find("<refNumber>" + gateway.kept()[0].reference + "</refNumber>"), std::string::npos) << held;
    EXPECT_EQ(held.find("accountNumber"), std::string::npos); // the server keeps no card number

    ASSERT_TRUE(CommHelper::send(server->url(), std::string("u5"),
                                 XmlHelper::getXmlCloseStore("u5", "T1", std::nullopt), false, &error))
        << error.localizedDescription();
    EXPECT_EQ(gateway.requestCount("CaptureAll"), 1u);
    EXPECT_TRUE(gateway.kept()[0].settled);
    EXPECT_FALSE(server->dayOpen());
}

TEST_F(ServerCardDayTest, ADeclinedCardIsTheServersErrorAndNothingIsKept) {
    Error error;
    // The terminal sends a refused order once more: the card is declined both times.
    for (int i = 0; i < 2; ++i) gateway.script("Sale", Answer::DeclineMessage, std::string("Insufficient funds"));
    EXPECT_FALSE(payByCard("R2", &error));
    EXPECT_EQ(error.code(), CommHelper::Refused);
    EXPECT_EQ(error.localizedDescription(), "Insufficient funds");
    EXPECT_FALSE(server->order("R2"));
    EXPECT_TRUE(gateway.kept().empty());

    // A gateway that does not answer is no approval either.
    for (int i = 0; i < 2; ++i) gateway.script("Sale", Answer::RefuseConnection);
    EXPECT_FALSE(payByCard("R3", &error));
    EXPECT_FALSE(server->order("R3"));
}

} // namespace
} // namespace tavlo
