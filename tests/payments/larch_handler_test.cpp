#include "LarchGateway.h"

#include "core/session/DBHelper.h"
#include "support/LogLines.h"

#include <algorithm>

namespace tavlo::test {
namespace {

using Fields = std::map<std::string, std::string>;

class LarchHandlerTest : public LarchGateway {
protected:
    void SetUp() override { openBatch(); }

    size_t storedTransactions() { return saved()->fetchAll("Transaction").size(); }
};

TEST_F(LarchHandlerTest, ApprovedSaleKeepsTheLastFourDigitsAndNoOtherCardData) {
    std::string id = sale(1250, "2.00");
    ASSERT_FALSE(id.empty());

    // The gateway got the whole card.
    std::vector<gatewaysim::GatewayRequest> requests = gateway.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].fields.at("TransType"), "Sale");
    EXPECT_EQ(requests[0].fields.at("CardNum"), kCard);
    EXPECT_EQ(requests[0].fields.at("ExpDate"), kExpiry);
    EXPECT_EQ(requests[0].fields.at("MagData"), kTrack2);
    EXPECT_EQ(requests[0].fields.at("CVNum"), kSecurityCode);
    EXPECT_EQ(requests[0].fields.at("Amount"), "14.50");
    EXPECT_EQ(requests[0].fields.at("InvNum"), id);

    Fields fields = storedFields(id);
    EXPECT_EQ(fields["CardNum"], "1111");
    EXPECT_EQ(fields["PNRef"], gateway.kept().at(0).reference);
    EXPECT_EQ(fields["Result"], "0");
    EXPECT_FALSE(fields["AuthCode"].empty());
    for (const char* dropped : {"ExpDate", "MagData", "CVNum"}) EXPECT_FALSE(fields.contains(dropped)) << dropped;

    // No stored text anywhere holds the card's number, expiry, track or security code.
    auto context = saved();
    std::vector<std::string> texts;
    for (const auto& [name, value] : fields) texts.push_back(value);
    ManagedObjectPtr row = storedRow(*context, id);
    ASSERT_TRUE(row);
    texts.push_back(row->text("number").value_or(""));
    texts.push_back(row->text("approval").value_or(""));
    EXPECT_EQ(row->text("number"), "1111");
    EXPECT_EQ(row->int32("subTotal"), 1250);
    EXPECT_EQ(row->int32("tip"), 200);
    for (const std::string& text : texts) {
        for (const char* secret : {"411111111111", kExpiry, kSecurityCode, kTrack2, "=2811"})
            EXPECT_EQ(text.find(secret), std::string::npos) << text << " holds " << secret;
    }
}

TEST_F(LarchHandlerTest, ShortCardNumbersAreKeptWhole) {
    for (const char* number : {"1234", "99"}) {
        std::shared_ptr<PaymentTransaction> t = swiped(500);
        t->setValue(number, "NUMBER");
        Error error;
        ASSERT_TRUE(handler->sale(*t, config, &error)) << error.localizedDescription();
        EXPECT_EQ(storedFields(*t->transactionId())["CardNum"], number);
    }
}

TEST_F(LarchHandlerTest, TypedApprovalCodeIsRefusedBeforeAnyRequest) {
    std::shared_ptr<PaymentTransaction> t = swiped(800);
    t->setValue("123456", "APPROVAL");
    Error error;
    EXPECT_FALSE(handler->sale(*t, config, &error));
    EXPECT_EQ(error.localizedDescription(), "Transaction declined, offline not supported");
    EXPECT_EQ(error.code(), -1);
    EXPECT_TRUE(gateway.requests().empty());
    EXPECT_EQ(storedTransactions(), 0u);
}

TEST_F(LarchHandlerTest, DeclineTextIsMessageThenRespMsgThenAFixedText) {
    struct Case {
        Answer answer;
        std::optional<std::string> text;
        std::string expected;
    };
    const Case cases[] = {{Answer::DeclineMessage, "Insufficient funds", "Insufficient funds"},
                          {Answer::DeclineRespMsg, "Do not honor", "Do not honor"},
                          {Answer::DeclineBare, std::nullopt, "Transaction declined"}};
    for (const Case& c : cases) {
        gateway.script("Sale", c.answer, c.text);
        std::shared_ptr<PaymentTransaction> t = swiped(900);
        Error error;
        EXPECT_FALSE(handler->sale(*t, config, &error));
        EXPECT_EQ(error.localizedDescription(), c.expected);
        EXPECT_FALSE(t->wasApproved());
    }
    EXPECT_EQ(storedTransactions(), 0u); // a decline stores nothing
}

TEST_F(LarchHandlerTest, GatewayFailuresLeaveThePaymentUnapprovedAndUnstored) {
    config["HOST_LARCH_READ_TIMEOUT"] = "1";
    struct Case {
        Answer answer;
        std::string expected;
    };
    const Case cases[] = {
        {Answer::RefuseConnection, "Unable to communicate with Larch, verify Internet connection"},
        {Answer::Hang, "Unable to communicate with Larch, verify Internet connection"},
        {Answer::ErrorPage, "Unable to communicate with Larch, verify Internet connection"},
        {Answer::BrokenPage, "Unable to read the reply from Larch, the payment was not approved"},
    };
    for (const Case& c : cases) {
        gateway.script("Sale", c.answer);
        std::shared_ptr<PaymentTransaction> t = swiped(700);
        Error error;
        EXPECT_FALSE(handler->sale(*t, config, &error)) << static_cast<int>(c.answer);
        EXPECT_EQ(error.localizedDescription(), c.expected);
        EXPECT_FALSE(t->wasApproved());
        EXPECT_EQ(t->valueForField("NUMBER"), kCard); // nothing was cut as after an approval
    }
    EXPECT_EQ(storedTransactions(), 0u);
    // A refused request to an address where nothing listens is the same failure.
    config["HOST_LARCH_CAPTURE_URL"] = "http://127.0.0.1:1/capture";
    std::shared_ptr<PaymentTransaction> t = swiped(700);
    Error error;
    EXPECT_FALSE(handler->sale(*t, config, &error));
    EXPECT_EQ(error.localizedDescription(), "Unable to communicate with Larch, verify Internet connection");
}

TEST_F(LarchHandlerTest, InvalidConfigurationAndClosedBatchSendNothing) {
    HostConfig missing = config;
    missing.erase("HOST_LARCH_DETAILS_URL");
    std::shared_ptr<PaymentTransaction> t = swiped(100);
    Error error;
    EXPECT_FALSE(handler->sale(*t, missing, &error));
    EXPECT_EQ(error.localizedDescription(), "Configuration for Larch missing params, contact support");
    EXPECT_FALSE(LarchHandler::isValid(missing, nullptr));
    EXPECT_TRUE(LarchHandler::isValid(config, nullptr));

    config["HOST_LARCH_AUTO_SETTLE"] = "YES";
    ASSERT_TRUE(handler->closeBatch(config, {}, &error)) << error.localizedDescription();
    EXPECT_FALSE(handler->sale(*t, config, &error));
    EXPECT_EQ(error.localizedDescription(), "Batch closed, please Open Store first");
    EXPECT_FALSE(handler->newTransaction(config, &error));
    EXPECT_EQ(error.localizedDescription(), "Larch Batch is closed, please open store");
    EXPECT_TRUE(gateway.requests().empty());
}

TEST_F(LarchHandlerTest, RefundGoesOutAsReturnAndAuthorizeIsRefused) {
    std::shared_ptr<PaymentTransaction> t = swiped(300);
    Error error;
    ASSERT_TRUE(handler->refund(*t, config, &error)) << error.localizedDescription();
    EXPECT_EQ(gateway.requests().at(0).fields.at("TransType"), "Return");
    EXPECT_EQ(storedFields(*t->transactionId())["TransType"], "Return");

    EXPECT_FALSE(handler->authorize(*swiped(300), config, &error));
    EXPECT_EQ(error.localizedDescription(), "Auth not currently supported, use Sale instead");
    EXPECT_EQ(gateway.requests().size(), 1u);
}

TEST_F(LarchHandlerTest, NewTransactionsAreNumberedAndForcedWhenConfigured) {
    config["HOST_LARCH_FORCE_FLAG"] = "YES";
    Error error;
    std::shared_ptr<PaymentTransaction> first = handler->newTransaction(config, &error);
    std::shared_ptr<PaymentTransaction> second = handler->newTransaction(config, &error);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->transactionId(), "1");
    EXPECT_EQ(second->transactionId(), "2");
    EXPECT_EQ(second->valueForField("REF_NUMBER"), "2");
    EXPECT_EQ(second->valueForField("Force"), "T");
    EXPECT_EQ(second->valueForField("UserName"), "merchant1");
    EXPECT_EQ(second->valueForField("RPNum"), "42");
    EXPECT_FALSE(handler->transaction("2", config)); // nothing stored under it yet
    EXPECT_FALSE(handler->transaction(std::nullopt, config));
}

TEST_F(LarchHandlerTest, KeyedCardsAreAllowedOnlyWhenTheStoreSaysSo) {
    EXPECT_FALSE(handler->allowManual());
    store.addStoreParam("HOST_LARCH_ALLOW_MANUAL", "YES");
    store.save();
    EXPECT_FALSE(handler->allowManual()); // read once, when the handler is made
    EXPECT_TRUE(LarchHandler(store.context().get()).allowManual());
}

TEST_F(LarchHandlerTest, AdjustmentSendsTheNewTipAndKeepsTheSale) {
    std::string id = sale(2000);
    std::shared_ptr<PaymentTransaction> t = handler->transaction(id, config);
    ASSERT_TRUE(t);
    t->setValue("3.50", "TIP");
    Error error;
    ASSERT_TRUE(handler->adjust(*t, config, &error)) << error.localizedDescription();

    gatewaysim::GatewayRequest sent = gateway.requests().back();
    EXPECT_EQ(sent.fields.at("TransType"), "Adjustment");
    EXPECT_EQ(sent.fields.at("TipAmt"), "3.50");
    EXPECT_EQ(sent.fields.at("PNRef"), reference(id));
    EXPECT_FALSE(sent.fields.contains("AuthCode")); // the approval is not sent again
    EXPECT_EQ(gateway.kept().at(0).tipCents, 350);

    Fields fields = storedFields(id);
    EXPECT_EQ(fields["TransType"], "Sale");
    EXPECT_FALSE(fields["AuthCode"].empty());
    EXPECT_EQ(fields["TipAmt"], "3.50");
    auto context = saved();
    ManagedObjectPtr row = storedRow(*context, id);
    EXPECT_EQ(row->int32("tip"), 350);
    EXPECT_FALSE(row->isNil("adjusted"));
}

TEST_F(LarchHandlerTest, VoidIsSentOnceAndStoredWithTheSaleFields) {
    std::string id = sale(1500);
    std::shared_ptr<PaymentTransaction> t = handler->transaction(id, config);
    Error error;
    ASSERT_TRUE(handler->cancel(*t, config, &error)) << error.localizedDescription();
    EXPECT_TRUE(isVoided(id));
    EXPECT_TRUE(gateway.kept().at(0).voided);
    gatewaysim::GatewayRequest sent = gateway.requests().back();
    EXPECT_EQ(sent.fields.at("TransType"), "Void");
    EXPECT_EQ(sent.fields.at("PNRef"), reference(id));
    EXPECT_EQ(sent.fields.at("CardNum"), "");
    EXPECT_EQ(sent.fields.at("Amount"), "");

    Fields fields = storedFields(id);
    EXPECT_EQ(fields["TransType"], "Sale");
    EXPECT_EQ(fields["Amount"], "15.00");
    EXPECT_EQ(fields["CardNum"], "1111");

    // Voided already: nothing more is sent.
    std::shared_ptr<PaymentTransaction> again = handler->transaction(id, config);
    ASSERT_TRUE(handler->cancel(*again, config, &error)) << error.localizedDescription();
    EXPECT_EQ(gateway.requestCount("Void"), 1u);
}

TEST_F(LarchHandlerTest, PreviouslyVoidedMarksTheRowVoidedPreviouslySettledCountsAsDone) {
    struct Case {
        Answer answer;
        bool voided;
    };
    for (const Case& c : {Case{Answer::PreviouslyVoided, true}, Case{Answer::PreviouslySettled, false}}) {
        std::string id = sale(1100);
        gateway.script("Void", c.answer);
        std::shared_ptr<PaymentTransaction> t = handler->transaction(id, config);
        Error error;
        EXPECT_TRUE(handler->cancel(*t, config, &error)) << error.localizedDescription();
        EXPECT_FALSE(error.isSet());
        EXPECT_EQ(isVoided(id), c.voided);
        EXPECT_EQ(storedFields(id)["Result"], "0"); // the sale's own reply fields are kept
    }
}

TEST_F(LarchHandlerTest, RefusedVoidReportsTheGatewaysAnswer) {
    std::string id = sale(1100);
    gateway.script("Void", Answer::DeclineRespMsg, "Void not allowed");
    std::shared_ptr<PaymentTransaction> t = handler->transaction(id, config);
    ASSERT_EQ(t->valueForField("Message"), "APPROVAL"); // the sale's stored answer
    Error error;
    EXPECT_FALSE(handler->cancel(*t, config, &error));
    EXPECT_EQ(error.localizedDescription(), "Void not allowed");
    EXPECT_FALSE(isVoided(id));
    EXPECT_EQ(t->valueForField("Message"), "APPROVAL");
}

TEST_F(LarchHandlerTest, DebugLogShowsTheExchangeWithoutCardData) {
    store.addStoreParam("PAYMENT_CREDIT_DEBUG", "YES");
    store.save();
    std::string id = sale(1800);
    gateway.script("Sale", Answer::DeclineMessage, "Pick up card");
    std::shared_ptr<PaymentTransaction> declined = swiped(1800);
    EXPECT_FALSE(handler->sale(*declined, config, nullptr));

    std::vector<std::string> lines = loggedMessages();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find("Sending") == 0 && l.find("TransType=Sale") != std::string::npos &&
               l.find("CardNum=***") != std::string::npos;
    }));
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return l.find("Received") == 0; }));
    std::string log = loggedMessageText();
    for (const char* secret : {"411111111111", kExpiry, kSecurityCode, "=2811", "secret"})
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
}

TEST_F(LarchHandlerTest, DeclineIsLoggedWithoutCardDataWhenNotDebugging) {
    gateway.script("Sale", Answer::DeclineMessage, "Pick up card");
    std::shared_ptr<PaymentTransaction> declined = swiped(1800);
    declined->setValue("%B4111111111111111^DOE/JOHN^2811101?", "TAVLO_RAW_SWIPE");
    declined->setValue("JOHN DOE", "TAVLO_NAME");
    declined->setValue("12 Elm Street", "TAVLO_STREET");
    declined->setValue("60601", "TAVLO_ZIP");
    EXPECT_FALSE(handler->sale(*declined, config, nullptr));
    std::vector<std::string> lines = loggedMessages();
    // The gateway's reply, as it came.
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find("Error Larch declined (") == 0 && l.find("<Message>Pick up card</Message>") != std::string::npos;
    }));
    std::string log = loggedMessageText();
    for (const char* secret : {"411111111111", kExpiry, kSecurityCode, "secret", "DOE", "Elm", "60601"})
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
}

TEST(LarchRedactionTest, BlanksCardAndCredentialValuesInBodiesAndReplies) {
    EXPECT_EQ(LarchHandler::redacted("UserName=m&Password=pw&CardNum=4111&ExpDate=2811&Amount=1.00&CVNum=987"),
              "UserName=m&Password=***&CardNum=***&ExpDate=***&Amount=1.00&CVNum=***");
    EXPECT_EQ(LarchHandler::redacted("MagData=;4111=2811?&ExtData=<TipAmt>1.00</TipAmt>"),
              "MagData=***&ExtData=<TipAmt>1.00</TipAmt>");
    EXPECT_EQ(LarchHandler::redacted("<Response><CardNum>4111111111111111</CardNum><Result>0</Result></Response>"),
              "<Response><CardNum>***</CardNum><Result>0</Result></Response>");
    EXPECT_EQ(LarchHandler::redacted("Result=0"), "Result=0");
    // The cardholder's name and address, in the request and in any reply that repeats them.
    EXPECT_EQ(
        LarchHandler::redacted("NameOnCard=DOE/JOHN&Amount=1.00&InvNum=7&PNRef=&Zip=60601&Street=12 Elm St&CVNum="),
        "NameOnCard=***&Amount=1.00&InvNum=7&PNRef=&Zip=***&Street=***&CVNum=");
    EXPECT_EQ(LarchHandler::redacted("<TrxDetailCard><NameOnCard>DOE/JOHN</NameOnCard><Zip>60601</Zip>"
                                     "<Street>12 Elm St</Street><invoiceId>7</invoiceId></TrxDetailCard>"),
              "<TrxDetailCard><NameOnCard>***</NameOnCard><Zip>***</Zip><Street>***</Street>"
              "<invoiceId>7</invoiceId></TrxDetailCard>");
    EXPECT_EQ(LarchHandler::redacted("TAVLO_NAME=JOHN DOE&TAVLO_STREET=12 Elm St&TAVLO_ZIP=60601"),
              "TAVLO_NAME=***&TAVLO_STREET=***&TAVLO_ZIP=***");
}

TEST_F(LarchHandlerTest, RestoredBatchHoldsTheDaysCreditPaymentsOnce) {
    struct Pay {
        const char* id;
        int32_t type, subTotal, tip, gratuity;
        bool voided;
    };
    const Pay pays[] = {{"12", 2, 2500, 300, 100, false}, {"5", 2, 1000, 0, 0, true}, {"30", 1, 4000, 0, 0, false}};
    ObjectContext& context = *store.context();
    for (const Pay& p : pays) {
        ManagedObjectPtr payment = context.insert("Payment");
        payment->setValue("transactionId", std::string(p.id));
        payment->setValue("type", p.type);
        payment->setValue("subTotal", p.subTotal);
        payment->setValue("tip", p.tip);
        payment->setValue("gratuity", p.gratuity);
        payment->setValue("approval", std::string("AP") + p.id);
        payment->setValue("number", std::string("4242"));
        payment->setValue("hostData", std::string("P") + p.id);
        payment->setValue("created", dayOpened);
        if (p.voided) payment->setValue("voided", dayOpened);
    }
    for (const char* key : {"HOST_LARCH_CAPTURE_URL", "HOST_LARCH_DETAILS_URL", "HOST_LARCH_USER",
                            "HOST_LARCH_PASSWORD", "HOST_LARCH_RP"})
        store.addStoreParam(key, config[key]);
    store.save();

    for (int round = 0; round < 2; ++round) handler->restoreBatch(dayOpened, context);

    auto reading = saved();
    std::vector<ManagedObjectPtr> rows = reading->fetchAll("Transaction");
    ASSERT_EQ(rows.size(), 2u); // the credit payments, once each
    ManagedObjectPtr twelve = storedRow(*reading, "12");
    ASSERT_TRUE(twelve);
    EXPECT_EQ(twelve->int32("subTotal"), 2500);
    EXPECT_EQ(twelve->int32("tip"), 400);
    EXPECT_EQ(twelve->text("approval"), "AP12");
    EXPECT_TRUE(isVoided("5"));
    Fields fields = storedFields("12");
    EXPECT_EQ(fields["PNRef"], "P12");
    EXPECT_EQ(fields["InvNum"], "12");
    EXPECT_EQ(fields["Amount"], "25.00");
    EXPECT_EQ(fields["TipAmt"], "3.00");
    EXPECT_EQ(fields["Message"], "APPROVAL AP12");
    EXPECT_EQ(fields["TransType"], "Sale");
    EXPECT_FALSE(storedFields("5").contains("TipAmt"));

    // The numbering goes on after the largest restored number.
    Error error;
    std::shared_ptr<PaymentTransaction> next = handler->newTransaction(config, &error);
    ASSERT_TRUE(next) << error.localizedDescription();
    EXPECT_EQ(next->transactionId(), "13");
    // And the restored payment can be voided at the gateway by its reference.
    gateway.addHostTransaction({"P12", "12", "Sale", 2800, 300, false, false, true, 0, "", ""});
    std::shared_ptr<PaymentTransaction> restored = handler->transaction("12", config);
    ASSERT_TRUE(handler->cancel(*restored, config, &error)) << error.localizedDescription();
    EXPECT_TRUE(isVoided("12"));
}

} // namespace
} // namespace tavlo::test
