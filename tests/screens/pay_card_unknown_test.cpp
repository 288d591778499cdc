// A card charge the pay screen cannot account for is never charged again: one whose answer never
// came is asked about first, and one the host approved stays on the order until it is stored or
// voided at the host.
#include "PayTerminal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tavlo::screens {
namespace {

using test::PayTerminal;
using Answer = gatewaysim::Answer;

class PayCardUnknownTest : public ::testing::Test {
protected:
    void typedCard() {
        t.open();
        t.pickTender("Credit");
        t.field("amount").setText("$12.34");
        t.field("tendered").setText("$12.34");
        t.field("number").setText("4111111111111111");
        t.field("expDate").setText("1228");
    }
    // Process; the first alert it shows, answered.
    std::string process() {
        t.process();
        std::string shown = t.frontAlert();
        t.acknowledgeAlerts();
        return shown;
    }
    size_t sales() { return t.gateway.requestCount("Sale"); }

    PayTerminal t;
};

TEST_F(PayCardUnknownTest, AChargeWithoutAnswerIsAskedAboutBeforeTheOrderIsChargedAgain) {
    t.setParam("HOST_LARCH_READ_TIMEOUT", "1");
    // The gateway approves the sale and answers after the terminal gave up.
    t.gateway.onCarriedOut([](const gatewaysim::GatewayRequest& request) {
        if (request.fields.count("TransType") && request.fields.at("TransType") == "Sale")
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    });
    typedCard();
    EXPECT_EQ(process(), "Error / Unable to communicate with Larch, verify Internet connection");
    t.gateway.onCarriedOut(nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(800)); // the late answer goes out

    // The host cannot be asked: the order is not charged.
    t.gateway.script("TrxDetail", Answer::RefuseConnection);
    EXPECT_EQ(process(), "Alert / An earlier card charge of this order got no answer from the card host. The order "
                         "is not charged again until the host says what became of it: try again shortly");
    EXPECT_EQ(sales(), 1u);
    EXPECT_FALSE(t.order->hasPayments());

    // Asked, the host has it: that charge pays the order.
    EXPECT_EQ(process(), "Alert / An earlier card charge of this order was approved by the card host: the order is "
                         "paid with it");
    EXPECT_EQ(sales(), 1u);
    ASSERT_EQ(t.order->payments().size(), 1u);
    EXPECT_EQ(t.order->payments().front()->hostData(), t.gateway.kept().at(0).reference);
    EXPECT_EQ(t.order->payments().front()->subTotal(), 1234);
    EXPECT_EQ(t.sender->orders.size(), 1u);
}

TEST_F(PayCardUnknownTest, AnApprovedChargeWhoseOrderCannotBeStoredIsStoredByTheNextProcess) {
    t.sender->failure = Error("Store", 13, "The disk is full");
    typedCard();
    // The failure shows over the approval.
    EXPECT_EQ(process(), "Error / The disk is full");
    EXPECT_EQ(t.alertTexts.back(), "Alert / Approved");
    EXPECT_EQ(process(), "Error / The disk is full");
    t.sender->failure.reset();
    process();
    EXPECT_EQ(sales(), 1u);
    ASSERT_EQ(t.order->payments().size(), 1u);
    // Each Process handed the order over with the one charge; the third time it was stored.
    EXPECT_EQ(t.sender->orders.size(), 3u);
    EXPECT_EQ(t.finished, 1);
}

TEST_F(PayCardUnknownTest, CancelVoidsAnApprovedChargeAtTheHostOrKeepsIt) {
    t.sender->failure = Error("Store", 13, "The disk is full");
    typedCard();
    process();
    // The host refuses the void: the charge stays on the order and the screen stays.
    t.gateway.script("Void", Answer::DeclineRespMsg, "Try later");
    t.h.tap("Cancel");
    EXPECT_EQ(t.frontAlert(), "Error / Try later");
    t.acknowledgeAlerts();
    EXPECT_EQ(t.order->payments().size(), 1u);
    EXPECT_EQ(t.finished, 0);
    // Voided at the host, it leaves.
    t.h.tap("Cancel");
    t.acknowledgeAlerts();
    EXPECT_FALSE(t.order->hasPayments());
    EXPECT_TRUE(t.gateway.kept().at(0).voided);
    EXPECT_EQ(t.finished, 1);
    EXPECT_EQ(sales(), 1u);
}

} // namespace
} // namespace tavlo::screens
