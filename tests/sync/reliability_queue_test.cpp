// The outgoing queue against a store server that misbehaves: whatever the fault, once it clears
// every record reaches the server, records with an id are held once, and no queue row is marked
// sent before the server accepted it.
#include "HandlerServerFixture.h"

#include "core/order/Order.h"
#include "core/records/Attendance.h"
#include "core/records/CashInOut.h"
#include "core/records/Customer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <set>

using namespace tavlo;
using namespace tavlo::test;
using storesim::Fault;

namespace {

constexpr int kRecords = 50;
const char* const kKinds[] = {"noSale", "customer", "attendance", "cashInOut", "customerOrder"};

struct FaultCase {
    const char* name;
    Fault fault;
    int times;      // requests of each kind that fail; 0: every request of the first run
    bool handTwice; // every record handed over twice
};

std::string id(const char* prefix, int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%s-%03d", prefix, n);
    return text;
}

class QueueReliabilityTest : public HandlerServerFixture, public ::testing::WithParamInterface<FaultCase> {
protected:
    void SetUp() override {
        HandlerServerFixture::SetUp();
        openDay(true);
    }

    void handOverAll(OrderHandler& h, int copies) {
        const std::optional<std::string> user("u5");
        for (int n = 1; n <= kRecords; ++n) {
            auto order = std::make_unique<Order>();
            order->setRemoteId(id("O", n));
            order->setName(id("Table", n));
            order->setOrderType(OrderType::DineIn);
            order->setCreated(Date::now());
            auto line = std::make_shared<Selection>();
            line->setRemoteId(id("L", n));
            line->setName("Soup");
            line->setPrice(450);
            line->setQuantity(1);
            line->setNewQuantity(1);
            order->addSelection(line, nullptr);
            Customer customer;
            customer.setRemoteId(id("C", n));
            customer.setFirstName("Guest");
            Attendance shift;
            shift.setRemoteId(id("A", n));
            shift.setUserId("u5");
            CashInOut cash;
            cash.setCashInOutId(std::to_string(1700000000 + n));
            cash.setDrawerId(id("D", n));
            cash.setBatchId("B1");
            cash.setInBy("u5");
            cash.setInAmount(100 * n);
            cash.setInDate(Date::now());
            for (int copy = 0; copy < copies; ++copy) {
                ASSERT_TRUE(h.sendNoSale(id("N", n), noSaleDocument(id("N", n)), user, context(), nullptr));
                ASSERT_TRUE(h.sendCustomer(customer, user, context(), nullptr));
                ASSERT_TRUE(h.sendAttendance(shift, user, context(), nullptr));
                ASSERT_TRUE(h.sendCashInOut(cash, user, context(), nullptr));
                ASSERT_TRUE(h.sendOrder(*order, user, context(), nullptr));
            }
        }
    }

    // A row marked sent must have been answered 200 by the server, with its record in the body.
    void checkSentRowsWereAccepted(const Notification& n) {
        const auto* changes = std::any_cast<ObjectContextChanges>(&n.object);
        if (!changes || changes->context == context()) return;
        ObjectContext look(DBHelper::sharedStore());
        for (const ObjectID& updated : changes->updated) {
            if (updated.entityName() != OrderQueue::kEntityName) continue;
            ManagedObjectPtr row = look.objectWithID(updated);
            if (!row || !row->date("sentDate")) continue;
            std::string key = "\"" + row->text("remoteId").value_or("?") + "\"";
            std::string drawer = ">" + row->text("remoteId").value_or("?") + "<";
            bool accepted = false;
            for (const storesim::ReceivedRequest& r : server->requests())
                if (r.status == 200 &&
                    (r.body.find(key) != std::string::npos || r.body.find(drawer) != std::string::npos))
                    accepted = true;
            if (!accepted) ++sentBeforeAcceptance;
            ++markedSent;
        }
    }

    std::atomic<int> sentBeforeAcceptance{0};
    std::atomic<int> markedSent{0};
};

TEST_P(QueueReliabilityTest, NoRecordIsLostAndRecordsWithAnIdAreHeldOnce) {
    const FaultCase& c = GetParam();
    auto started = std::chrono::steady_clock::now();
    ScopedObserver watch(ObjectContext::kDidSaveNotification, nullptr,
                         [this](const Notification& n) { checkSentRowsWereAccepted(n); });
    makeHandler(true);
    handOverAll(*handler, c.handTwice ? 2 : 1);
    ASSERT_EQ(handler->pendingCount(), kRecords * 5 * (c.handTwice ? 2 : 1));

    for (const char* kind : kKinds)
        if (c.fault != Fault::None) server->setFault(kind, c.fault, c.times);
    handler->start();
    drain();
    long failedAtFirst = handler->pendingCount();
    server->clearFaults();
    int cycles = 0;
    while (handler->pendingCount() > 0 && cycles < 10) {
        clock().advance(kInterval);
        cycle();
        ++cycles;
    }
    cycle(); // the last clean-up
    EXPECT_EQ(handler->pendingCount(), 0);
    EXPECT_EQ(rowCount("TRUEPREDICATE"), 0u);

    std::vector<std::string> orders, customers, shifts, cash;
    for (int n = 1; n <= kRecords; ++n) {
        orders.push_back(id("O", n));
        customers.push_back(id("C", n));
        shifts.push_back(id("A", n));
        cash.push_back(std::to_string(1700000000 + n));
    }
    auto keys = [&](const std::string& kind) {
        std::vector<std::string> out;
        for (const std::string& element : server->records(kind)) {
            XmlDocPtr doc = XmlHelper::parse(element);
            xmlNodePtr root = xmlDocGetRootElement(doc.get());
            std::optional<std::string> key = XmlHelper::getAttributeValue(root, "remoteId");
            out.push_back(key ? *key : XmlHelper::getAttributeValue(root, "id").value_or("?"));
        }
        return out;
    };
    EXPECT_EQ(server->orderRemoteIds(), orders);
    EXPECT_EQ(keys("customer"), customers);
    EXPECT_EQ(keys("attendance"), shifts);
    std::vector<std::string> cashHeld = keys("cashInOut");
    std::sort(cashHeld.begin(), cashHeld.end());
    EXPECT_EQ(cashHeld, cash);
    std::set<std::string> noSales;
    for (const storesim::ReceivedRequest& r : server->requests())
        if (r.kind == "noSale" && r.status == 200)
            for (int n = 1; n <= kRecords; ++n)
                if (r.body.find(">" + id("N", n) + "<") != std::string::npos) noSales.insert(id("N", n));
    EXPECT_EQ(noSales.size(), static_cast<size_t>(kRecords));
    EXPECT_EQ(sentBeforeAcceptance.load(), 0);

    size_t posts = 0;
    for (const char* kind : kKinds) posts += server->requestCount(kind);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("[ figures  ] %-22s rows %4d  failed first run %3ld  runs after clearing %d  posts %4zu  "
                "marked sent %4d  real %.1f s\n",
                c.name, kRecords * 5 * (c.handTwice ? 2 : 1), failedAtFirst, cycles, posts, markedSent.load(), seconds);
}

INSTANTIATE_TEST_SUITE_P(Faults, QueueReliabilityTest,
                         ::testing::Values(FaultCase{"refused", Fault::RefuseConnection, 0, false},
                                           FaultCase{"time-out", Fault::Hang, 1, false},
                                           FaultCase{"500 saying success", Fault::ServerErrorPage, 0, false},
                                           FaultCase{"error reply", Fault::ErrorElement, 0, false},
                                           FaultCase{"commit then drop", Fault::DropReply, 0, false},
                                           FaultCase{"duplicate delivery", Fault::None, 0, true}),
                         [](const ::testing::TestParamInfo<FaultCase>& instance) {
                             std::string name;
                             for (char ch : std::string(instance.param.name))
                                 if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
                             return name;
                         });

} // namespace
