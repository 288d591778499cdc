#include "HandlerServerFixture.h"

#include "core/session/Session.h"
#include "payments/PaymentHandlerFactory.h"
#include "support/FakePaymentHandler.h"
#include "support/RecordingPrinterStream.h"
#include "sync/handlers/StoreHandler.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace tavlo;
using namespace tavlo::test;
using storesim::Fault;
using Op = FakePaymentHandler::Operation;

namespace {

class SessionDayTest : public HandlerServerFixture {
protected:
    void SetUp() override {
        HandlerServerFixture::SetUp();
        ManagedObjectPtr terminal = context()->fetchFirst("Terminal", "terminalId == %@", "T1");
        for (auto [id, url] : {std::pair{"D1", "2"}, std::pair{"D2", "1"}}) {
            ManagedObjectPtr drawer = context()->insert("CashDrawer");
            drawer->setValue("cashDrawerId", std::string(id));
            ManagedObjectPtr link = context()->insert("TerminalCashDrawer");
            link->setValue("url", std::string(url));
            link->setToOne("terminal", terminal);
            link->setToOne("cashDrawer", drawer);
        }
        session = startLiteTerminal();
        ASSERT_TRUE(session->isLite());
    }
    void TearDown() override {
        StoreHandler::releaseInstance();
        HandlerServerFixture::TearDown();
    }

    // A card host with a fake handler of its own (handlers live as long as the process).
    FakePaymentHandler& cardHost() {
        static std::atomic<int> next{1};
        std::string host = "FAKEDAY" + std::to_string(next++);
        auto fake = std::make_shared<FakePaymentHandler>(context(), host);
        PaymentHandlerFactory::getInstance().registerHandler(host, [fake](ObjectContext*) { return fake; });
        setConfig("PAYMENT_CREDIT_HOST", host);
        cards = fake;
        return *fake;
    }
    bool bothRunning() const { return handler->isRunning() && StoreHandler::getInstance()->isRunning(); }

    InstalledPorts ports;
    std::unique_ptr<Session> session;
    std::shared_ptr<FakePaymentHandler> cards;
};

TEST_F(SessionDayTest, ALiteOpenOpensTheDayAndTheCardBatch) {
    FakePaymentHandler& fake = cardHost();
    Error error;
    ASSERT_TRUE(session->openStore(&error));
    EXPECT_FALSE(error.isSet());
    EXPECT_TRUE(session->isStoreOpen());
    EXPECT_EQ(fake.callCount(Op::OpenBatch), 1u);
    handler->waitForOpenReports();
    EXPECT_TRUE(handler->openSucceeded());
}

TEST_F(SessionDayTest, AFailedCardBatchLeavesTheDayOpenWithTheError) {
    cardHost().script(Op::OpenBatch, FakePaymentHandler::Reply::unreachable());
    Error error;
    ASSERT_TRUE(session->openStore(&error));
    EXPECT_TRUE(session->isStoreOpen());
    EXPECT_TRUE(error.localizedDescription().starts_with("Unable to open batch ("));
    EXPECT_EQ(error.code(), -1);
}

TEST_F(SessionDayTest, AnUnknownCardHostOpensWithoutBatchAndCannotClose) {
    setConfig("PAYMENT_CREDIT_HOST", "NOSUCHHOST");
    Error error;
    ASSERT_TRUE(session->openStore(&error));
    EXPECT_FALSE(error.isSet());
    handler->waitForOpenReports();
    EXPECT_FALSE(session->closeStore(&error));
    EXPECT_TRUE(session->isStoreOpen());
    EXPECT_TRUE(bothRunning());
    bool logged = false;
    for (const std::string& line : loggedMessages())
        logged = logged || line.starts_with("Unable to close batch for store 1: ");
    EXPECT_TRUE(logged);
}

TEST_F(SessionDayTest, ALiteCloseSettlesTheCardBatchWithTheHandlersPausedMeanwhile) {
    FakePaymentHandler& fake = cardHost();
    server->setPaymentRefs({"P1", "P2"});
    ASSERT_TRUE(session->openStore(nullptr));
    handler->waitForOpenReports();

    // While the close runs both handlers are paused: the close request finds them so.
    bool pausedDuringClose = false;
    ScopedObserver probe(ObjectContext::kDidSaveNotification, context(), [&](const Notification&) {
        pausedDuringClose = !handler->isRunning() && !StoreHandler::getInstance()->isRunning();
    });
    Error error;
    ASSERT_TRUE(session->closeStore(&error)) << error.localizedDescription();
    EXPECT_TRUE(pausedDuringClose);
    EXPECT_FALSE(session->isStoreOpen());
    ASSERT_EQ(fake.callCount(Op::CloseBatch), 1u);
    EXPECT_EQ(fake.calls().back().transactionIds, (std::vector<std::string>{"P1", "P2"}));
    EXPECT_TRUE(bothRunning());
}

TEST_F(SessionDayTest, AFailedCloseResumesBothHandlers) {
    FakePaymentHandler& fake = cardHost();
    ASSERT_TRUE(session->openStore(nullptr));
    handler->waitForOpenReports();
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::function<void()> undo;
    };
    const Case cases[] = {
        {"a row pending", [&] { queueRow("noSale", "D1", noSaleDocument("D1")); },
         [&] {
             context()->deleteAll("OrderQueue");
             store.save();
         }},
        {"references refused", [&] { server->setFault("getPaymentRefs", Fault::ErrorElement, 1); }, [] {}},
        {"batch not settled", [&] { fake.script(Op::CloseBatch, FakePaymentHandler::Reply::decline("Host down")); },
         [] {}},
        {"close refused", [&] { server->setFault("close", Fault::RefuseConnection, 1); }, [] {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        Error error;
        EXPECT_FALSE(session->closeStore(&error));
        EXPECT_TRUE(error.isSet());
        EXPECT_TRUE(session->isStoreOpen());
        EXPECT_TRUE(bothRunning());
        c.undo();
    }
    EXPECT_TRUE(session->closeStore(nullptr));
}

TEST_F(SessionDayTest, NoSaleKicksTheDrawerAndQueuesTheRecord) {
    Error error;
    EXPECT_FALSE(session->noSale(std::string("D1"), std::nullopt, &error)); // no printer
    EXPECT_EQ(rowCount("TRUEPREDICATE"), 0u);

    auto printer = std::make_shared<RecordingPrinterStream>();
    session->setPrinterStream(printer);
    ASSERT_TRUE(session->noSale(std::string("D1"), std::string("mgr"), &error));
    EXPECT_EQ(printer->calls, (std::vector<std::string>{"open", "drawer 2", "close"}));
    drain();
    ASSERT_EQ(server->requestCount("noSale"), 1u);
    const std::string body = server->requests().back().body;
    EXPECT_NE(body.find("D1"), std::string::npos);
    EXPECT_NE(body.find("mgr"), std::string::npos);

    printer->calls.clear();
    ASSERT_TRUE(session->noSale(std::string("D9"), std::nullopt, &error)); // no drawer entry: drawer 0
    EXPECT_EQ(printer->calls, (std::vector<std::string>{"open", "drawer 0", "close"}));

    printer->calls.clear();
    printer->openFailure = Error("Printer", 1, "Cannot connect to printer, verify printer is on and has paper");
    EXPECT_FALSE(session->noSale(std::string("D2"), std::nullopt, &error));
    EXPECT_EQ(error.localizedDescription(), "Cannot connect to printer, verify printer is on and has paper");
    EXPECT_EQ(printer->calls, std::vector<std::string>{"open"});
    drain();
    cycle();
    EXPECT_EQ(server->requestCount("noSale"), 3u); // the no-sale is recorded all the same
}

TEST_F(SessionDayTest, NoSaleKicksThePortThisTerminalHasForASharedDrawer) {
    ManagedObjectPtr other = context()->insert("Terminal");
    other->setValue("terminalId", std::string("T2"));
    ManagedObjectPtr drawer = context()->insert("CashDrawer");
    drawer->setValue("cashDrawerId", std::string("D3"));
    for (auto [terminalId, url] : {std::pair{"T2", "5"}, std::pair{"T1", "3"}}) {
        ManagedObjectPtr link = context()->insert("TerminalCashDrawer");
        link->setValue("url", std::string(url));
        link->setToOne("terminal", context()->fetchFirst("Terminal", "terminalId == %@", terminalId));
        link->setToOne("cashDrawer", drawer);
    }
    ASSERT_TRUE(context()->save(nullptr));
    auto printer = std::make_shared<RecordingPrinterStream>();
    session->setPrinterStream(printer);
    Error error;
    ASSERT_TRUE(session->noSale(std::string("D3"), std::nullopt, &error));
    EXPECT_EQ(printer->calls, (std::vector<std::string>{"open", "drawer 3", "close"}));
}

} // namespace
