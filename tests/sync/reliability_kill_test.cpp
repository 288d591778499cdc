// A terminal killed at any moment of handing orders over: after a restart the store is sound and
// every order is there with its queue row, or neither is.
#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "platform/foundation/UserDefaults.h"
#include "support/ChildProcess.h"
#include "support/LocalStoreScope.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/handlers/OrderQueue.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <signal.h>
#include <string>
#include <thread>
#include <vector>

using namespace tavlo;
using namespace tavlo::test;

namespace {

constexpr int kKills = 200;

std::unique_ptr<Order> soupOrder(const std::string& remoteId) {
    auto order = std::make_unique<Order>();
    order->setRemoteId(remoteId);
    order->setName("Table " + remoteId);
    order->setOrderType(OrderType::DineIn);
    order->setCreated(Date::now());
    auto line = std::make_shared<Selection>();
    line->setRemoteId(remoteId + "-1");
    line->setName("Soup");
    line->setPrice(450);
    line->setQuantity(2);
    line->setNewQuantity(2);
    order->addSelection(line, nullptr);
    return order;
}

std::string integrityCheck(const std::string& path) {
    sqlite3* db = nullptr;
    std::string answer = "cannot open";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        answer.clear();
        sqlite3_exec(
            db, "PRAGMA integrity_check",
            [](void* out, int, char** values, char**) {
                *static_cast<std::string*>(out) += values[0] ? values[0] : "";
                return 0;
            },
            &answer, nullptr);
    }
    sqlite3_close(db);
    return answer;
}

// The child: hands orders over, each stored with its queue row in one save, until killed.
TEST(ReliabilityKillChild, HandsOrdersOverUntilKilled) {
    if (!isChild()) GTEST_SKIP() << "runs only as the child of the kill test";
    auto context = DBHelper::mainContext();
    ASSERT_TRUE(context);
    IDBroker::initWithMOC(context);
    auto handler = std::make_shared<OrderHandler>("http://127.0.0.1:9", DBHelper::sharedStore(), 60, true);
    childReady();
    for (;;) {
        auto order = soupOrder(IDBroker::getInstance().generateRemoteIdOrder());
        handler->sendOrder(*order, std::string("u5"), context.get(), nullptr);
    }
}

TEST(ReliabilityKill, EveryOrderIsStoredWithItsQueueRowOrNotAtAll) {
    LocalStoreScope store;
    UserDefaults::standardUserDefaults().setObject(std::string("1"), "store_id");
    ManagedObjectPtr user = store->insert("User");
    user->setValue("userId", std::string("u5"));
    store.addThisTerminal("T1", "1");
    ManagedObjectPtr day = store->insert("StoreBatch");
    day->setValue("remoteId", std::string("B1"));
    day->setValue("openedOn", Date::now().wholeSecondsDate());
    store.save();

    const unsigned seed = std::random_device()();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMicros(0, 30000);
    size_t previous = 0, runsWithoutOrders = 0, maxPerRun = 0;
    for (int kill = 1; kill <= kKills; ++kill) {
        SCOPED_TRACE(testing::Message() << "kill " << kill << " seed " << seed);
        pid_t child = spawnSelf("ReliabilityKillChild.*", {}, true);
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicros(random)));
        ::kill(child, SIGKILL);
        ASSERT_EQ(waitChild(child), -SIGKILL);

        ASSERT_EQ(integrityCheck(DBHelper::storePath().string()), "ok");
        store.reopen();
        std::set<std::string> orders, queued;
        for (const ManagedObjectPtr& order : store->fetchAll("Order"))
            orders.insert(order->text("remoteId").value_or(""));
        for (const ManagedObjectPtr& row : store->fetch(OrderQueue::kEntityName, "type == %@", "order"))
            queued.insert(row->text("remoteId").value_or(""));
        ASSERT_EQ(orders, queued);
        for (const ManagedObjectPtr& order : store->fetchAll("Order"))
            ASSERT_EQ(order->toMany("selections").size(), 1u) << *order->text("remoteId");
        size_t added = orders.size() - previous;
        if (added == 0) ++runsWithoutOrders;
        maxPerRun = std::max(maxPerRun, added);
        previous = orders.size();
    }
    EXPECT_GT(previous, 0u);
    std::printf("[ figures  ] %d kills: %zu orders stored whole, up to %zu in one run, %zu runs killed before "
                "their first order, integrity ok every time (seed %u)\n",
                kKills, previous, maxPerRun, runsWithoutOrders, seed);
}

} // namespace
