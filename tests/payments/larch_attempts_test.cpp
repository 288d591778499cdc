// Card requests whose answer never came: written down before they are sent, "unknown" until the
// gateway was asked, then stored as the charge they were (and put on their order) or dropped.
#include "LarchGateway.h"

#include "core/order/Order.h"
#include "core/session/IDBroker.h"
#include "payments/CardAttempts.h"

#include <chrono>
#include <thread>

namespace tavlo::test {
namespace {

class LarchAttemptsTest : public LarchGateway {
protected:
    void SetUp() override {
        openBatch();
        IDBroker::initWithMOC(store.context());
        ManagedObjectPtr user = store->insert("User");
        user->setValue("userId", std::string("u5"));
        store.addOrder("O-1", user)->setValue("name", std::string("Table 1"));
        store.save();
        config["HOST_LARCH_READ_TIMEOUT"] = "1";
    }
    void TearDown() override { IDBroker::releaseInstance(); }

    // A sale of the order whose answer is lost: the gateway carries it out, then answers after
    // the terminal gave up.
    std::shared_ptr<PaymentTransaction> saleWithLostAnswer(int32_t cents) {
        gateway.onCarriedOut([](const gatewaysim::GatewayRequest& request) {
            if (request.fields.count("TransType") && request.fields.at("TransType") == "Sale")
                std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        });
        std::shared_ptr<PaymentTransaction> t = orderSale(cents);
        Error error;
        EXPECT_FALSE(handler->sale(*t, config, &error));
        EXPECT_EQ(error.localizedDescription(), "Unable to communicate with Larch, verify Internet connection");
        gateway.onCarriedOut(nullptr);
        return t;
    }
    std::shared_ptr<PaymentTransaction> orderSale(int32_t cents) {
        std::shared_ptr<PaymentTransaction> t = swiped(cents);
        t->setValue("O-1", CardAttempts::kOrderField);
        return t;
    }
    size_t unknownRows() { return saved()->fetchAll(CardAttempts::kEntity).size(); }
    std::vector<ManagedObjectPtr> orderPayments() {
        auto context = saved();
        ManagedObjectPtr order = context->fetchFirst("Order", "remoteId == %@", "O-1");
        return order ? order->toMany("payments") : std::vector<ManagedObjectPtr>{};
    }
    bool check(const std::optional<std::string>& orderId = std::nullopt) {
        Error error;
        bool asked = handler->checkCharges(config, orderId, &error);
        EXPECT_EQ(asked, !error.isSet()) << error.localizedDescription();
        return asked;
    }
};

TEST_F(LarchAttemptsTest, AnsweredRequestsLeaveNothingUnknown) {
    std::string id = sale(1000);
    gateway.script("Sale", Answer::DeclineMessage);
    std::shared_ptr<PaymentTransaction> declined = orderSale(900);
    EXPECT_FALSE(handler->sale(*declined, config, nullptr));
    std::shared_ptr<PaymentTransaction> voided = handler->transaction(id, config);
    EXPECT_TRUE(handler->cancel(*voided, config, nullptr));
    EXPECT_EQ(unknownRows(), 0u);
    EXPECT_FALSE(handler->hasUnknownCharge(config, "O-1"));
}

TEST_F(LarchAttemptsTest, ASaleWhoseAnswerWasLostIsStoredAndPutOnItsOrder) {
    std::shared_ptr<PaymentTransaction> lost = saleWithLostAnswer(1250);
    EXPECT_EQ(unknownRows(), 1u);
    EXPECT_TRUE(handler->hasUnknownCharge(config, "O-1"));
    EXPECT_FALSE(handler->hasUnknownCharge(config, "O-2"));
    EXPECT_TRUE(saved()->fetchAll("Transaction").empty());

    // Asked for that order, the charge is stored and left to the one who holds the order.
    ASSERT_TRUE(check("O-1"));
    EXPECT_EQ(unknownRows(), 0u);
    EXPECT_TRUE(orderPayments().empty());
    ASSERT_EQ(handler->storedCharges("O-1").size(), 1u);
    EXPECT_TRUE(handler->storedCharges("O-2").empty());
    // The query asked for that invoice.
    const gatewaysim::GatewayRequest query = gateway.requests().back();
    EXPECT_EQ(query.path, "/details");
    EXPECT_EQ(query.fields.at("invoiceId"), *lost->transactionId());
    const std::string kept = gateway.kept().at(0).reference;
    EXPECT_EQ(reference(*lost->transactionId()), kept);
    // At start-up every order gets its charges.
    ASSERT_TRUE(check());
    std::map<std::string, std::string> fields = storedFields(*lost->transactionId());
    EXPECT_EQ(fields["TransType"], "Sale");
    EXPECT_EQ(fields["CardNum"], "1111");
    EXPECT_EQ(fields[CardAttempts::kOrderField], "O-1");
    ASSERT_EQ(orderPayments().size(), 1u);
    ManagedObjectPtr payment = orderPayments().front();
    EXPECT_EQ(payment->text("hostData"), kept);
    EXPECT_EQ(payment->int32("subTotal"), 1250);
    EXPECT_EQ(payment->text("transactionId"), lost->transactionId());
    EXPECT_FALSE(payment->text("approval").value_or("").empty());

    // Asked again, nothing changes: the order keeps one payment.
    ASSERT_TRUE(check());
    EXPECT_EQ(orderPayments().size(), 1u);
}

TEST_F(LarchAttemptsTest, ASaleTheGatewayNeverCarriedOutIsDropped) {
    gateway.script("Sale", Answer::Hang);
    std::shared_ptr<PaymentTransaction> t = orderSale(800);
    EXPECT_FALSE(handler->sale(*t, config, nullptr));
    EXPECT_TRUE(handler->hasUnknownCharge(config, "O-1"));
    ASSERT_TRUE(check());
    EXPECT_FALSE(handler->hasUnknownCharge(config, "O-1"));
    EXPECT_TRUE(saved()->fetchAll("Transaction").empty());
    EXPECT_TRUE(orderPayments().empty());
}

TEST_F(LarchAttemptsTest, WhileTheGatewayCannotBeAskedTheChargeStaysUnknown) {
    saleWithLostAnswer(1250);
    for (Answer answer : {Answer::RefuseConnection, Answer::BrokenPage, Answer::DeclineRespMsg}) {
        gateway.script("TrxDetail", answer);
        EXPECT_FALSE(check("O-1")) << static_cast<int>(answer);
        EXPECT_TRUE(handler->hasUnknownCharge(config, "O-1"));
    }
    ASSERT_TRUE(check());
    EXPECT_EQ(orderPayments().size(), 1u);
}

TEST_F(LarchAttemptsTest, AnApprovedChargeItsOrderLacksIsPutOnIt) {
    // Stored with its answer, then the terminal stopped before the order's save.
    std::shared_ptr<PaymentTransaction> t = orderSale(1500);
    ASSERT_TRUE(handler->sale(*t, config, nullptr));
    EXPECT_TRUE(orderPayments().empty());
    ASSERT_TRUE(check());
    ASSERT_EQ(orderPayments().size(), 1u);
    EXPECT_EQ(orderPayments().front()->text("hostData"), t->hostData());
    // A voided one is not.
    std::shared_ptr<PaymentTransaction> voided = orderSale(700);
    ASSERT_TRUE(handler->sale(*voided, config, nullptr));
    ASSERT_TRUE(handler->cancel(*voided, config, nullptr));
    ASSERT_TRUE(check());
    EXPECT_EQ(orderPayments().size(), 1u);
}

TEST_F(LarchAttemptsTest, AVoidWhoseAnswerWasLostIsAskedAbout) {
    std::shared_ptr<PaymentTransaction> t = orderSale(1500);
    ASSERT_TRUE(handler->sale(*t, config, nullptr));
    const std::string id = *t->transactionId();
    gateway.onCarriedOut([](const gatewaysim::GatewayRequest& request) {
        if (request.fields.count("TransType") && request.fields.at("TransType") == "Void")
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    });
    std::shared_ptr<PaymentTransaction> stored = handler->transaction(id, config);
    EXPECT_FALSE(handler->cancel(*stored, config, nullptr));
    gateway.onCarriedOut(nullptr);
    EXPECT_FALSE(isVoided(id));
    EXPECT_EQ(unknownRows(), 1u);
    ASSERT_TRUE(check());
    EXPECT_TRUE(isVoided(id));
    EXPECT_EQ(unknownRows(), 0u);
}

TEST_F(LarchAttemptsTest, TheCloseStoresTheChargeItCanPlace) {
    saleWithLostAnswer(1250);
    Error error;
    // The close asks first; the charge it found is on its order, which the server does not
    // know yet: the close waits for it.
    EXPECT_FALSE(handler->closeBatch(config, {}, &error));
    EXPECT_EQ(unknownRows(), 0u);
    ASSERT_EQ(orderPayments().size(), 1u);
    const std::string id = orderPayments().front()->text("transactionId").value_or("");
    EXPECT_TRUE(handler->closeBatch(config, {id}, &error)) << error.localizedDescription();
}

} // namespace
} // namespace tavlo::test
