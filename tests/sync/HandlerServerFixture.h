#pragma once

#include "HandlerTestSupport.h"
#include "StoreServerFixture.h"
#include "core/ports/CardBatch.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "payments/PaymentHandlerFactory.h"
#include "sync/handlers/AppShell.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/handlers/OrderQueue.h"
#include "sync/handlers/StoreHandler.h"
#include "xml/XmlHelper.h"

#include <chrono>
#include <thread>

namespace tavlo::test {

// The handlers installed as the model's ports, as the program does at start-up, for the life of
// the scope: the session and the order reach the real handlers through them.
struct InstalledPorts {
    InstalledPorts() { AppShell::installPorts(); }
    ~InstalledPorts() {
        OrderSender::install(nullptr);
        BusinessDay::install(nullptr);
        CardBatch::install(nullptr);
    }
};

// An order handler on the local store of a test (this device's terminal T1, user u5 "Una"),
// talking to the loopback store server, with the main loop and the clock under the test's control.
class HandlerServerFixture : public StoreServerFixture {
protected:
    static constexpr int kInterval = 60;

    void SetUp() override {
        StoreServerFixture::SetUp();
        IDBroker::initWithMOC(store.context());
        store.addThisTerminal("T1", "1");
        ManagedObjectPtr user = context()->insert("User");
        user->setValue("userId", std::string("u5"));
        user->setValue("name", std::string("Una"));
        store.save();
    }
    void TearDown() override {
        if (handler) {
            handler->pause();
            handler->endOpenReports();
        }
        OrderHandler::releaseInstance();
        StoreServerFixture::TearDown();
    }

    std::shared_ptr<OrderHandler> makeHandler(bool queueing) {
        handler = std::make_shared<OrderHandler>(server->url(), DBHelper::sharedStore(), kInterval, queueing);
        return handler;
    }

    // Runs the queue's operations to their end, serving the main loop meanwhile.
    void drain() {
        while (handler->queuedCount() > 0) {
            RunLoop::main().runUntilIdle();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        RunLoop::main().runUntilIdle();
    }
    // Serves the main loop (fake time standing still, so no timer of the handler comes due) until
    // `done` holds; false when it still does not after 20 s of real time.
    template <class Done> bool serveUntil(Done done) {
        auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (std::chrono::steady_clock::now() > giveUp) return false;
            RunLoop::main().runUntilIdle();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // One whole cycle at once and its posts.
    void cycle() {
        handler->wakeUp();
        drain();
    }

    // Queue rows as the hand-overs store them (saved).
    ManagedObjectPtr queueRow(const std::string& type, const std::string& remoteId, const std::string& request) {
        clock().advance(1); // rows keep their hand-over order
        ManagedObjectPtr row = OrderQueue::insert(*context(), type, remoteId, std::string("u5"), request, Date::now());
        store.save();
        return row;
    }
    static std::string orderDocument(const std::string& remoteId) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><tavloRequest><customerOrder remoteId=\"" + remoteId +
               "\"><name>Table " + remoteId + "</name><closed>false</closed></customerOrder></tavloRequest>";
    }
    static std::string noSaleDocument(const std::string& drawer) {
        return *XmlHelper::getXmlNoSale(std::string("u5"), std::string("T1"), drawer, Date::now(), std::nullopt);
    }
    // The terminal as its own till (lite mode) as after a sign-in: the card handlers on the store,
    // the store and order handlers queueing and running, and a session of u5 on T1 with the
    // terminal's credentials.
    std::unique_ptr<Session> startLiteTerminal() {
        setConfig("TAVLO_LITE", "YES");
        PaymentHandlerFactory::initWithMOC(context());
        StoreHandler::releaseInstance();
        OrderHandler::releaseInstance();
        auto storeHandler = StoreHandler::getInstance(DBHelper::sharedStore(), server->url(), std::nullopt, 60, true);
        storeHandler->setOperations({});
        handler = OrderHandler::getInstance(DBHelper::sharedStore(), server->url(), 60, true);
        storeHandler->start();
        handler->start();
        handler->waitForOpenReports();
        auto session = std::make_unique<Session>(context());
        session->setUserId("u5");
        session->setTerminalId("T1");
        session->setStoreId("1");
        session->setPassword("secret");
        return session;
    }

    // A business day, open; `reported` when the server has accepted its open.
    ManagedObjectPtr openDay(bool reported) {
        ManagedObjectPtr day = context()->insert("StoreBatch");
        day->setValue("remoteId", std::string("B1"));
        day->setValue("openedOn", Date::now().wholeSecondsDate());
        if (reported) day->setValue("synchedOn", Date::now());
        store.save();
        return day;
    }

    // Request kinds the server received, in order (status 200 only when `acceptedOnly`).
    std::vector<std::string> kinds(bool acceptedOnly = false) const {
        std::vector<std::string> out;
        for (const storesim::ReceivedRequest& r : server->requests())
            if (!acceptedOnly || r.status == 200) out.push_back(r.kind);
        return out;
    }
    size_t rowCount(const std::string& filter) {
        auto fresh = handler->newContext();
        return fresh->count(OrderQueue::kEntityName, filter);
    }

    FakeClock& clock() { return loop.clock(); }

    HandlerClock loop;
    WiFiScope wifi{true};
    std::shared_ptr<OrderHandler> handler;
};

} // namespace tavlo::test
