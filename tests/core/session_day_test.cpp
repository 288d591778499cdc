// The session's business day, card batch and no-sale against fake ports: what the session asks of
// the layers above it, in which order, and what it makes of their answers. The handlers' own part
// runs against the store server in tests/sync/handlers_session_test.cpp.
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "platform/store/ObjectContext.h"
#include "support/FakePorts.h"
#include "support/LogLines.h"
#include "support/RecordingPrinterStream.h"
#include "support/StoreFixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace tavlo {
namespace {

using Calls = std::vector<std::string>;

class SessionBusinessDayTest : public ::testing::Test {
protected:
    void SetUp() override {
        store.buildSmallStore();
        setConfig("TAVLO_LITE", "YES");
        session = std::make_unique<Session>(context());
        session->setUserId("U-ANN");
        session->setTerminalId("T1");
        session->setStoreId("1");
        session->setPassword("secret");
        ASSERT_TRUE(session->isLite());
    }

    ObjectContext* context() { return store.context().get(); }
    void setConfig(const std::string& name, const std::string& value) {
        DBHelper::saveStoreParam(name, value, context());
        store.save();
    }
    // A card host the card batch has a handler for, with one setting of its own.
    void cardHost(const std::string& host) {
        ports.cards->hosts.insert(host);
        setConfig("PAYMENT_CREDIT_HOST", host);
        setConfig("HOST_" + host + "_MERCHANT", "M1");
    }

    ScopedFakeClock clock;
    test::StoreFixture store;
    test::FakePorts ports;
    std::unique_ptr<Session> session;
};

TEST_F(SessionBusinessDayTest, ALiteOpenOpensTheDayAndTheCardBatch) {
    cardHost("FAKEDAY");
    Error error;
    ASSERT_TRUE(session->openStore(&error));
    EXPECT_FALSE(error.isSet());
    EXPECT_EQ(ports.day->calls, Calls{"openStore"});
    EXPECT_EQ(ports.day->userId, "U-ANN");
    EXPECT_EQ(ports.day->date, Date::now());
    ASSERT_EQ(ports.cards->calls.size(), 1u);
    EXPECT_EQ(ports.cards->calls[0].operation, "openBatch");
    EXPECT_EQ(ports.cards->calls[0].host, "FAKEDAY");
    EXPECT_EQ(ports.cards->calls[0].config, (CardBatch::HostConfig{{"HOST_FAKEDAY_MERCHANT", "M1"}}));
}

TEST_F(SessionBusinessDayTest, OnlyALiteOpenWithAServedHostOpensACardBatch) {
    ports.cards->hosts.insert("FAKEDAY");
    struct Case {
        const char* lite;
        std::optional<std::string> host;
        size_t batches;
    };
    const Case cases[] = {
        {"YES", "FAKEDAY", 1},
        {"NO", "FAKEDAY", 0},
        {"YES", std::nullopt, 0},
        {"YES", "NOSUCHHOST", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.lite) + " " + c.host.value_or("(no host)"));
        setConfig("TAVLO_LITE", c.lite);
        DBHelper::saveStoreParam("PAYMENT_CREDIT_HOST", c.host, context());
        store.save();
        ports.day->calls.clear();
        ports.cards->calls.clear();
        Session opening(context());
        Error error;
        EXPECT_TRUE(opening.openStore(&error));
        EXPECT_FALSE(error.isSet());
        EXPECT_EQ(ports.day->calls, Calls{"openStore"});
        EXPECT_EQ(ports.cards->calls.size(), c.batches);
    }
}

TEST_F(SessionBusinessDayTest, AFailedCardBatchLeavesTheDayOpenWithTheError) {
    cardHost("FAKEDAY");
    ports.cards->openFailure = Error("Gateway", 7, "Unable to communicate with the card gateway");
    Error error;
    ASSERT_TRUE(session->openStore(&error));
    EXPECT_EQ(ports.day->calls, Calls{"openStore"});
    EXPECT_EQ(error.localizedDescription(), "Unable to open batch (Unable to communicate with the card gateway)");
    EXPECT_EQ(error.domain(), Utils::kStoreServerErrorDomain);
    EXPECT_EQ(error.code(), -1);
}

TEST_F(SessionBusinessDayTest, ARefusedOpenOpensNoCardBatch) {
    cardHost("FAKEDAY");
    ports.day->openFailure = Error("StoreServerErrorDomain", -1, "Unable to open store");
    Error error;
    EXPECT_FALSE(session->openStore(&error));
    EXPECT_EQ(error.localizedDescription(), "Unable to open store");
    EXPECT_TRUE(ports.cards->calls.empty());
}

TEST_F(SessionBusinessDayTest, AnUnknownCardHostOpensWithoutBatchAndCannotClose) {
    setConfig("PAYMENT_CREDIT_HOST", "NOSUCHHOST");
    Error error;
    ASSERT_TRUE(session->openStore(&error));
    EXPECT_FALSE(error.isSet());
    EXPECT_TRUE(ports.cards->calls.empty());

    EXPECT_FALSE(session->closeStore(&error));
    EXPECT_EQ(error.localizedDescription(), "Unable to close batch (NOSUCHHOST)");
    EXPECT_EQ(ports.day->calls, (Calls{"openStore", "pauseHandlers", "canClose", "getPaymentRefs", "resumeHandlers"}));
    EXPECT_FALSE(ports.day->paused);
    bool logged = false;
    for (const std::string& line : test::loggedMessages())
        logged = logged || line.starts_with("Unable to close batch for store 1: ");
    EXPECT_TRUE(logged);
}

TEST_F(SessionBusinessDayTest, ALiteCloseSettlesTheCardBatchWithTheHandlersPausedMeanwhile) {
    cardHost("FAKEDAY");
    ports.day->paymentRefs = {"P1", "P2"};
    Error error;
    ASSERT_TRUE(session->closeStore(&error)) << error.localizedDescription();
    EXPECT_FALSE(error.isSet());
    EXPECT_EQ(ports.day->calls, (Calls{"pauseHandlers", "canClose", "getPaymentRefs", "closeStore", "resumeHandlers"}));
    EXPECT_EQ(ports.day->paymentType, 2); // the card payments
    EXPECT_EQ(ports.day->userId, "U-ANN");
    ASSERT_EQ(ports.cards->calls.size(), 1u);
    EXPECT_EQ(ports.cards->calls[0].operation, "closeBatch");
    EXPECT_EQ(ports.cards->calls[0].transactionIds, (std::vector<std::string>{"P1", "P2"}));
    EXPECT_FALSE(ports.day->paused);
}

TEST_F(SessionBusinessDayTest, AFailedCloseResumesBothHandlers) {
    cardHost("FAKEDAY");
    const Error refusal("StoreServerErrorDomain", -1, "refused");
    struct Case {
        const char* name;
        std::optional<Error> test::FakeBusinessDay::*dayFailure;
        bool cardsFail;
        Calls calls;
    };
    const Case cases[] = {
        {"a row pending",
         &test::FakeBusinessDay::canCloseFailure,
         false,
         {"pauseHandlers", "canClose", "resumeHandlers"}},
        {"references refused",
         &test::FakeBusinessDay::refsFailure,
         false,
         {"pauseHandlers", "canClose", "getPaymentRefs", "resumeHandlers"}},
        {"batch not settled", nullptr, true, {"pauseHandlers", "canClose", "getPaymentRefs", "resumeHandlers"}},
        {"close refused",
         &test::FakeBusinessDay::closeFailure,
         false,
         {"pauseHandlers", "canClose", "getPaymentRefs", "closeStore", "resumeHandlers"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ports.day->calls.clear();
        if (c.dayFailure) (*ports.day).*c.dayFailure = refusal;
        if (c.cardsFail) ports.cards->closeFailure = Error("Gateway", 1, "Host down");
        Error error;
        EXPECT_FALSE(session->closeStore(&error));
        EXPECT_TRUE(error.isSet());
        EXPECT_EQ(ports.day->calls, c.calls);
        EXPECT_FALSE(ports.day->paused);
        if (c.dayFailure) (*ports.day).*c.dayFailure = std::nullopt;
        ports.cards->closeFailure = std::nullopt;
    }
    EXPECT_TRUE(session->closeStore(nullptr));
}

TEST_F(SessionBusinessDayTest, ACloseThatIsNotLiteOnlyClosesTheDay) {
    cardHost("FAKEDAY");
    setConfig("TAVLO_LITE", "NO");
    Session full(context());
    full.setUserId("U-BOB");
    Error error;
    ASSERT_TRUE(full.closeStore(&error));
    EXPECT_EQ(ports.day->calls, (Calls{"pauseHandlers", "closeStore", "resumeHandlers"}));
    EXPECT_EQ(ports.day->userId, "U-BOB");
    EXPECT_TRUE(ports.cards->calls.empty());
}

TEST_F(SessionBusinessDayTest, NoSaleKicksTheDrawerAndQueuesTheRecord) {
    Error error;
    EXPECT_FALSE(session->noSale(std::string("D1"), std::nullopt, &error)); // no printer
    EXPECT_TRUE(ports.sender->noSales.empty());

    auto printer = std::make_shared<test::RecordingPrinterStream>();
    session->setPrinterStream(printer);
    ASSERT_TRUE(session->noSale(std::string("D1"), std::string("mgr"), &error));
    EXPECT_EQ(printer->calls, (std::vector<std::string>{"open", "drawer 2", "close"}));
    ASSERT_EQ(ports.sender->noSales.size(), 1u);
    const test::FakeOrderSender::NoSale& noSale = ports.sender->noSales.back();
    EXPECT_EQ(noSale.rowId, "D1");
    EXPECT_EQ(noSale.userId, "U-ANN");
    EXPECT_EQ(noSale.context, context());
    ASSERT_TRUE(noSale.request);
    EXPECT_NE(noSale.request->find("D1"), std::string::npos);
    EXPECT_NE(noSale.request->find("mgr"), std::string::npos);

    printer->calls.clear();
    ASSERT_TRUE(session->noSale(std::string("D9"), std::nullopt, &error)); // no drawer entry: drawer 0
    EXPECT_EQ(printer->calls, (std::vector<std::string>{"open", "drawer 0", "close"}));

    printer->calls.clear();
    printer->openFailure = Error("Printer", 1, "Cannot connect to printer, verify printer is on and has paper");
    EXPECT_FALSE(session->noSale(std::string("D2"), std::nullopt, &error));
    EXPECT_EQ(error.localizedDescription(), "Cannot connect to printer, verify printer is on and has paper");
    EXPECT_EQ(printer->calls, std::vector<std::string>{"open"});
    EXPECT_EQ(ports.sender->noSales.size(), 3u); // the no-sale is recorded all the same
}

TEST_F(SessionBusinessDayTest, NoSaleKicksThePortThisTerminalHasForASharedDrawer) {
    // D3 is the bar's drawer on its port 1; this terminal reaches it on its port 3.
    ManagedObjectPtr link = context()->insert("TerminalCashDrawer");
    link->setValue("url", std::string("3"));
    link->setToOne("terminal", store.row("Terminal", "terminalId", "T1"));
    link->setToOne("cashDrawer", store.row("CashDrawer", "cashDrawerId", "D3"));
    store.save();
    auto printer = std::make_shared<test::RecordingPrinterStream>();
    session->setPrinterStream(printer);
    Error error;
    ASSERT_TRUE(session->noSale(std::string("D3"), std::nullopt, &error));
    EXPECT_EQ(printer->calls, (std::vector<std::string>{"open", "drawer 3", "close"}));
}

} // namespace
} // namespace tavlo
