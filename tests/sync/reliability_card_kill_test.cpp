// A terminal killed at every step of a card sale, a void and the day's close against the loopback
// card gateway: after each save, and while the gateway holds the request it just carried out.
// Then it starts again (the start-up check asks the gateway about what got no answer) and the
// cashier does what was left undone. No order is charged twice, no charge the gateway holds is
// unknown to the terminal or missing from its order, and the day closes.
#include "CardGateway.h"
#include "core/order/Order.h"
#include "core/order/Payment.h"
#include "core/ports/OrderSender.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "payments/CardAttempts.h"
#include "payments/LarchHandler.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "support/ChildProcess.h"
#include "support/LocalStoreScope.h"
#include "sync/handlers/AppShell.h"
#include "sync/handlers/OrderHandler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>

using namespace tavlo;
using namespace tavlo::test;

namespace {

constexpr const char* kStep = "TAVLO_CARD_STEP";
constexpr const char* kKillAtSave = "TAVLO_CARD_KILL_AT_SAVE";
constexpr const char* kGatewayUrl = "TAVLO_CARD_GATEWAY";
constexpr const char* kOrderId = "TAVLO_CARD_ORDER";
constexpr int kRounds = 12;
// Exit codes of a step.
constexpr int kDone = 0, kRefused = 3, kFailed = 4;

HostConfig configFor(const std::string& url) {
    return {{"HOST_LARCH_CAPTURE_URL", url + "/capture"},
            {"HOST_LARCH_DETAILS_URL", url + "/details"},
            {"HOST_LARCH_USER", "merchant1"},
            {"HOST_LARCH_PASSWORD", "secret"},
            {"HOST_LARCH_RP", "42"},
            {"HOST_LARCH_SETTLE_TZ_ABBREV", "UTC"},
            {"HOST_LARCH_READ_TIMEOUT", "5"}};
}

std::shared_ptr<Payment> cardPaymentOf(const Order& order) {
    for (const std::shared_ptr<Payment>& payment : order.payments())
        if (payment->type() == Payment::kCredit && payment->hostData() && !payment->voided()) return payment;
    return nullptr;
}

std::unique_ptr<Order> storedOrder(ObjectContext& context, const std::string& orderId) {
    ManagedObjectPtr row = context.fetchFirst("Order", "remoteId == %@", orderId);
    return row ? std::make_unique<Order>(*row, &context) : nullptr;
}

void openDay(ObjectContext& context) {
    static int days = 0;
    ManagedObjectPtr day = context.insert("StoreBatch");
    day->setValue("remoteId", "B" + std::to_string(++days) + "-" + std::to_string(::getpid()));
    day->setValue("openedOn", Date::now().wholeSecondsDate());
}

// What a cashier does with the terminal's card handler, as the pay screen and the payment list do.
struct Cashier {
    LarchHandler& cards;
    HostConfig config;
    ObjectContext& context;

    int pay(const std::string& orderId) {
        Error error;
        cards.checkCharges(config, orderId, &error);
        if (cards.hasUnknownCharge(config, orderId)) return kRefused;
        std::unique_ptr<Order> order = storedOrder(context, orderId);
        if (!order) return kFailed;
        // A charge the gateway approved meanwhile pays the order, as on the pay screen.
        for (const ManagedObjectPtr& charge : cards.storedCharges(orderId)) {
            const auto& payments = order->payments();
            const std::optional<std::string> reference = LarchHandler::hostReference(charge);
            if (std::none_of(payments.begin(), payments.end(),
                             [&](const auto& p) { return p->hostData() == reference; })) {
                order->addPayment(LarchHandler::paymentOf(charge, *order));
                return OrderSender::required()->sendOrder(*order, std::string("u5"), &context, &error) ? kDone
                                                                                                       : kFailed;
            }
        }
        if (cardPaymentOf(*order)) return kDone;
        std::shared_ptr<PaymentTransaction> charge = cards.newTransaction(config, &error);
        if (!charge) return kFailed;
        charge->setValue(std::to_string(order->getDue()), "SUB_TOTAL");
        charge->setValue("4111111111111111", "NUMBER");
        charge->setValue("2811", "EXP_DATE");
        charge->setValue(orderId, CardAttempts::kOrderField);
        if (!cards.sale(*charge, config, &error) || !charge->wasApproved()) return kFailed;
        auto payment = std::make_shared<Payment>();
        payment->setRemoteId(IDBroker::getInstance().generateRemoteIdPayment());
        payment->setType(Payment::kCredit);
        payment->setOrder(order->name());
        payment->setSubTotal(order->getDue());
        payment->setNumber(charge->valueForField("NUMBER"));
        payment->setApproval(charge->approvalCode());
        payment->setRefNum(charge->transactionId());
        payment->setHostData(charge->hostData());
        payment->setNew(true);
        order->addPayment(payment);
        return OrderSender::required()->sendOrder(*order, std::string("u5"), &context, &error) ? kDone : kFailed;
    }

    int voidPayment(const std::string& orderId) {
        std::unique_ptr<Order> order = storedOrder(context, orderId);
        std::shared_ptr<Payment> payment = order ? cardPaymentOf(*order) : nullptr;
        if (!payment) return kDone;
        std::shared_ptr<PaymentTransaction> charge = cards.transaction(payment->refNum(), config);
        Error error;
        if (!charge || !cards.cancel(*charge, config, &error)) return kFailed;
        payment->voidPayment(std::string("u5"));
        order->setClosed(std::nullopt);
        return OrderSender::required()->sendOrder(*order, std::string("u5"), &context, &error) ? kDone : kFailed;
    }

    // The day's close, and the next day opened.
    int close() {
        ManagedObjectPtr day = context.fetchFirst("StoreBatch", "closedOn == nil");
        if (!day) return kFailed;
        // The server's references: every card payment of the day this terminal handed over.
        std::vector<std::string> references;
        for (const ManagedObjectPtr& row : context.fetch("Payment",
                                                         "type == 2 AND hostData != nil AND "
                                                         "order.storeBatch.remoteId == %@",
                                                         *day->text("remoteId")))
            references.push_back(row->text("transactionId").value_or(""));
        Error error;
        if (!cards.closeBatch(config, references, &error)) {
            std::fprintf(stderr, "close: %s\n", error.localizedDescription().c_str());
            return kFailed;
        }
        day->setValue("closedOn", Date::now());
        openDay(context);
        return context.save(&error) && cards.openBatch(config, Date::now(), &error) > 0 ? kDone : kFailed;
    }

    int run(const std::string& step, const std::string& orderId) {
        if (step == "sale") return pay(orderId);
        if (step == "void") return voidPayment(orderId);
        return close();
    }
};

// Orders handed over as the order handler of a till does: written with their queue row.
void useOrderHandler() {
    OrderHandler::getInstance(DBHelper::sharedStore(), "http://127.0.0.1:9", 60, true);
    OrderSender::install(AppShell::orderSender());
}

// The child: one step, killed by itself right after its K-th save, or by the gateway.
TEST(CardKillChild, RunsOneStep) {
    if (!isChild() || !std::getenv(kStep)) GTEST_SKIP() << "runs only as the child of the card kill test";
    auto context = DBHelper::mainContext();
    ASSERT_TRUE(context);
    IDBroker::initWithMOC(context);
    useOrderHandler();
    LarchHandler cards(context.get());
    Cashier cashier{cards, configFor(std::getenv(kGatewayUrl)), *context};
    const int killAt = std::atoi(std::getenv(kKillAtSave));
    std::atomic<int> saves = 0;
    NotificationCenter::defaultCenter().addObserver(ObjectContext::kDidSaveNotification, nullptr,
                                                    [&](const Notification&) {
                                                        if (++saves == killAt) ::raise(SIGKILL);
                                                    });
    childReady();
    std::_Exit(cashier.run(std::getenv(kStep), std::getenv(kOrderId)));
}

class CardKillTest : public ::testing::Test {
protected:
    void SetUp() override {
        UserDefaults::standardUserDefaults().setObject(std::string("1"), "store_id");
        store->insert("User")->setValue("userId", std::string("u5"));
        store.addThisTerminal("T1", "1");
        openDay(*store.context());
        store.save();
        gateway.start();
        config = configFor(gateway.url());
        gateway.onCarriedOut([this](const gatewaysim::GatewayRequest&) {
            if (requestsToKill <= 0 || --requestsToKill != 0) return;
            // The child may ask before its starter has noted its pid.
            while (victim <= 0) std::this_thread::yield();
            ::kill(victim, SIGKILL);
        });
        restart();
    }
    void TearDown() override {
        gateway.stop();
        OrderSender::install(nullptr);
    }

    // A new start of the terminal: the store read again from its file, the start-up check.
    void restart() {
        store.reopen();
        IDBroker::releaseInstance();
        IDBroker::initWithMOC(store.context());
        OrderSender::install(std::make_shared<StoreWriter>());
        cards = std::make_unique<LarchHandler>(store.context().get());
        Error error;
        cards->checkCharges(config, std::nullopt, &error);
        // The sign-in: a terminal in an open day has its batch of that day.
        if (ManagedObjectPtr day = store->fetchFirst("StoreBatch", "closedOn == nil")) {
            EXPECT_GT(cards->openBatch(config, day->date("openedOn"), &error), 0) << error.localizedDescription();
        }
    }
    Cashier cashier() { return Cashier{*cards, config, *store.context()}; }

    std::string newOrder() {
        auto order = std::make_unique<Order>();
        order->setRemoteId("O" + std::to_string(++orders));
        order->setName("Table " + std::to_string(orders));
        order->setOrderType(OrderType::DineIn);
        order->setCreated(Date::now());
        auto line = std::make_shared<Selection>();
        line->setRemoteId(*order->remoteId() + "-1");
        line->setName("Soup");
        line->setPrice(450 + orders);
        line->setQuantity(2);
        line->setNewQuantity(2);
        order->addSelection(line, nullptr);
        order->write(*store.context());
        store.save();
        return *order->remoteId();
    }

    // Runs the step in a child killed after its `killAtSave`-th save or at the `killAtRequest`-th
    // request the gateway carries out; then starts again and lets the cashier finish the step.
    // False when the child finished before the kill point.
    bool killDuring(const std::string& step, const std::string& orderId, int killAtSave, int killAtRequest) {
        requestsToKill = killAtRequest;
        pid_t child = spawnSelf("CardKillChild.*",
                                {std::string(kStep) + "=" + step, std::string(kOrderId) + "=" + orderId,
                                 std::string(kGatewayUrl) + "=" + gateway.url(),
                                 std::string(kKillAtSave) + "=" + std::to_string(killAtSave)},
                                true);
        victim = child;
        EXPECT_GT(child, 0);
        const int status = waitChild(child);
        victim = -1;
        requestsToKill = 0;
        const bool killed = status == -SIGKILL;
        if (!killed) { EXPECT_EQ(status, kDone) << step << " save " << killAtSave << " request " << killAtRequest; }
        kills += killed;
        killsOf[step] += killed;
        restart();
        unknownAfterStart += store->fetchAll(CardAttempts::kEntity).size();
        EXPECT_EQ(cashier().run(step, orderId), kDone)
            << step << " save " << killAtSave << " request " << killAtRequest;
        expectEveryChargeOnceOnItsOrder();
        return killed;
    }

    // Every step killed at each of its saves, then at each request it makes.
    void killEverywhere(const std::string& step, const std::function<std::string()>& prepare) {
        for (int save = 1; save < 40 && killDuring(step, prepare(), save, 0); ++save) {}
        for (int request = 1; request < 10 && killDuring(step, prepare(), 0, request); ++request) {}
    }

    void expectEveryChargeOnceOnItsOrder() {
        std::map<std::string, int> chargesOfOrder;
        for (const gatewaysim::KeptTransaction& kept : gateway.kept()) {
            if (!kept.approved || kept.transType != "Sale") continue;
            ManagedObjectPtr field =
                store->fetchFirst("TransactionField", "name == %@ AND value == %@", "PNRef", kept.reference);
            if (!field) {
                ++unknownToTerminal;
                ADD_FAILURE() << "the gateway holds " << kept.reference << ", the terminal does not";
                continue;
            }
            std::optional<std::string> orderId;
            for (const ManagedObjectPtr& f : field->toOne("transaction")->toMany("transactionFields"))
                if (f->text("name") == CardAttempts::kOrderField) orderId = f->text("value");
            ManagedObjectPtr payment = store->fetchFirst("Payment", "hostData == %@", kept.reference);
            EXPECT_TRUE(payment && payment->toOne("order") && payment->toOne("order")->text("remoteId") == orderId)
                << kept.reference << " is not on its order";
            EXPECT_EQ(payment && !payment->isNil("voided"), kept.voided) << kept.reference;
            if (!kept.voided && ++chargesOfOrder[orderId.value_or("")] == 2) ++doubled;
        }
    }

    // Hands orders over by storing them, as a till's order handler does minus the queue.
    class StoreWriter : public OrderSender {
    public:
        bool sendOrder(Order& order, const std::optional<std::string>&, ObjectContext* context, Error* error) override {
            order.write(*context);
            return context->save(error);
        }
        bool sendNoSale(const std::optional<std::string>&, const std::optional<std::string>&,
                        const std::optional<std::string>&, ObjectContext*, Error*) override {
            return true;
        }
    };

    LocalStoreScope store;
    gatewaysim::CardGateway gateway{gatewaysim::CardGateway::Options{"merchant1", "secret", 3}};
    HostConfig config;
    std::unique_ptr<LarchHandler> cards;
    std::atomic<pid_t> victim = -1;
    std::atomic<int> requestsToKill = 0;
    int orders = 0;
    size_t kills = 0, doubled = 0, unknownAfterStart = 0, unknownToTerminal = 0;
    std::map<std::string, size_t> killsOf;
};

TEST_F(CardKillTest, NoChargeIsLostOrDoubledWhereverTheTerminalDies) {
    auto paidOrder = [this] {
        std::string id = newOrder();
        EXPECT_EQ(cashier().pay(id), kDone);
        return id;
    };
    auto dayOfSales = [&] {
        paidOrder();
        paidOrder();
        return std::string();
    };
    for (int round = 0; round < kRounds; ++round) {
        killEverywhere("sale", [this] { return newOrder(); });
        killEverywhere("void", paidOrder);
        killEverywhere("close", dayOfSales);
    }
    EXPECT_GT(kills, 100u);
    EXPECT_EQ(doubled, 0u);
    EXPECT_EQ(unknownAfterStart, 0u);
    EXPECT_EQ(unknownToTerminal, 0u);
    std::printf("[ figures  ] %zu kills (%zu in sales, %zu in voids, %zu in closes): %zu charges doubled, %zu unknown "
                "after the start-up check, %zu held by the gateway and unknown to the terminal\n",
                kills, killsOf["sale"], killsOf["void"], killsOf["close"], doubled, unknownAfterStart,
                unknownToTerminal);
}

} // namespace
