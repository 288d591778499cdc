#include "CardStore.h"

#include "payments/LarchTransaction.h"
#include "platform/foundation/Text.h"
#include "platform/store/StoreError.h"

#include <algorithm>

namespace tavlo::test {
namespace {

using Text = std::optional<std::string>;
using Op = FakePaymentHandler::Operation;
using Ids = std::vector<std::string>;

class CardBatchTest : public CardStore {
protected:
    ManagedObjectPtr savedHost(const std::string& merchant = "merchant1") {
        return freshContext()->fetchFirst("Host", "name == %@ AND merchantId == %@", "FAKE", merchant);
    }
    void setLastTransactionId(int32_t number) {
        handler->getHost("merchant1", "T1")->setValue("lastTransactionId", number);
        ASSERT_TRUE(context->save());
    }
    // Every TransactionField row as the store file holds it.
    std::vector<std::pair<std::string, std::string>> storedFields() {
        std::vector<std::pair<std::string, std::string>> out;
        for (const ManagedObjectPtr& f : freshContext()->fetchAll("TransactionField"))
            out.emplace_back(f->text("name").value_or(""), f->text("value").value_or(""));
        return out;
    }
};

TEST_F(CardBatchTest, NumbersRunPerHostAndWrapAtTheMaximum) {
    struct Case {
        int32_t last, max, next;
    };
    const Case cases[] = {{0, 9999, 1},     {1, 9999, 2},  {9998, 9999, 9999}, {9999, 9999, 1},
                          {12000, 9999, 1}, {-3, 9999, 1}, {5, 5, 1}};
    for (const Case& c : cases) {
        ManagedObjectPtr host = handler->getHost("merchant1", "T1");
        host->setValue("lastBatchId", c.last);
        host->setValue("lastTransactionId", c.last);
        ASSERT_TRUE(context->save());
        Error error;
        EXPECT_EQ(handler->nextBatchId("merchant1", "T1", c.max, &error), c.next) << c.last;
        EXPECT_EQ(handler->nextTransactionId("merchant1", "T1", c.max, &error), c.next) << c.last;
        ManagedObjectPtr stored = savedHost();
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->int32("lastBatchId"), c.next);
        EXPECT_EQ(stored->int32("lastTransactionId"), c.next);
    }
    // Another merchant is another host: its numbers start at 1.
    EXPECT_EQ(handler->nextTransactionId("merchant2", "T1", 9999, nullptr), 1);
    EXPECT_EQ(handler->nextTransactionId("merchant2", "T1", 9999, nullptr), 2);
    EXPECT_EQ(handler->nextTransactionId("merchant1", "T2", 9999, nullptr), 1);
    EXPECT_EQ(freshContext()->count("Host", "name == %@", "FAKE"), 3u);
    ManagedObjectPtr fresh = savedHost("merchant2");
    EXPECT_EQ(fresh->text("terminalId"), Text("T1"));
    EXPECT_EQ(fresh->int32("lastBatchId"), 0);
    EXPECT_EQ(fresh->date("created"), Date::now());
}

class SmallCardStoreTest : public CardStore {
protected:
    SmallCardStoreTest() : CardStore(ObjectStore::Options{256 * 1024}) {}
};

TEST_F(SmallCardStoreTest, ANumberIsNotTakenWhenItCannotBeSaved) {
    ASSERT_EQ(handler->nextTransactionId("merchant1", "T1", 9999, nullptr), 1);
    ManagedObjectPtr bulk = context->insert("TransactionField");
    bulk->setValue("value", std::string(1024 * 1024, 'x'));
    Error error;
    EXPECT_EQ(handler->nextTransactionId("merchant1", "T1", 9999, &error), -1);
    EXPECT_EQ(error.domain(), kObjectStoreErrorDomain);
    EXPECT_EQ(error.code(), kStoreFull);
    context->deleteObject(bulk);
    EXPECT_EQ(handler->nextTransactionId("merchant1", "T1", 9999, &error), 2);
}

TEST_F(CardBatchTest, BatchOpensOnceAndClosesAtSettlement) {
    EXPECT_EQ(handler->latestBatchId("merchant1", "T1"), -1);
    EXPECT_FALSE(handler->isBatchOpen(1, "merchant1", "T1"));
    Date opened = Date::now();
    EXPECT_EQ(openBatch(), 1);
    clock->advance(60);
    EXPECT_EQ(openBatch(), 1); // already open
    EXPECT_EQ(handler->latestBatchId("merchant1", "T1"), 1);
    EXPECT_TRUE(handler->isBatchOpen(1, "merchant1", "T1"));
    ManagedObjectPtr batch = freshContext()->fetchFirst("Batch", "batchId == %d", 1);
    ASSERT_TRUE(batch);
    EXPECT_EQ(batch->date("created"), opened);
    EXPECT_EQ(batch->text("host.merchantId"), Text("merchant1"));
    EXPECT_TRUE(batch->isNil("settled"));

    EXPECT_TRUE(handler->closeBatch(config, {}, nullptr));
    EXPECT_FALSE(handler->isBatchOpen(1, "merchant1", "T1"));
    EXPECT_EQ(freshContext()->fetchFirst("Batch", "batchId == %d", 1)->date("settled"), Date::now());
    EXPECT_EQ(openBatch(), 2);
    EXPECT_EQ(handler->latestBatchId("merchant1", "T1"), 2);
    EXPECT_EQ(freshContext()->count(FetchRequest("Batch")), 2u);
}

TEST_F(CardBatchTest, BatchesBelongToTheirHost) {
    EXPECT_EQ(openBatch(), 1);
    HostConfig other = handler->config("merchant2", "T1");
    // The other merchant has no batch 1, open or not.
    EXPECT_FALSE(handler->isBatchOpen(1, "merchant2", "T1"));
    EXPECT_EQ(handler->latestBatchId("merchant2", "T1"), -1);
    Error error;
    EXPECT_FALSE(handler->newTransaction(other, &error));
    EXPECT_EQ(error.localizedDescription(), FakePaymentHandler::kBatchClosed);

    std::string ours = sale(500);
    EXPECT_EQ(handler->openBatch(other, Date::now(), nullptr), 1);
    EXPECT_EQ(sale(700, other), "1");
    EXPECT_EQ(handler->transactionIds(1, "merchant1", "T1", true), Ids{ours});
    EXPECT_EQ(handler->transactionFromDB("1", "merchant2", "T1")->int32("subTotal"), 700);
    EXPECT_EQ(handler->transactionFromDB("1", "merchant1", "T1")->int32("subTotal"), 500);
    EXPECT_FALSE(handler->transactionFromDB("1", "merchant3", "T1"));
    EXPECT_FALSE(handler->transactionFromDB(std::nullopt, "merchant1", "T1"));

    handler->deleteBatch(1, "merchant2", "T1");
    EXPECT_TRUE(handler->isBatchOpen(1, "merchant1", "T1"));
    EXPECT_FALSE(handler->getBatch(1, "merchant2", "T1"));
}

TEST_F(CardBatchTest, SettledNumberReusedAfterTheWrapIsANewBatch) {
    EXPECT_EQ(openBatch(), 1);
    std::string old = sale(100);
    ASSERT_TRUE(handler->closeBatch(config, {old}, nullptr));
    handler->getHost("merchant1", "T1")->setValue("lastBatchId", 9999);
    clock->advance(86400);
    EXPECT_EQ(openBatch(), 1);
    EXPECT_TRUE(handler->isBatchOpen(1, "merchant1", "T1"));
    EXPECT_TRUE(handler->isBatchEmpty(1, "merchant1", "T1"));
    EXPECT_EQ(freshContext()->count("Batch", "batchId == %d", 1), 2u);
}

TEST_F(CardBatchTest, SavingTwiceUpdatesTheSameRows) {
    openBatch();
    Error error;
    std::shared_ptr<PaymentTransaction> t = handler->newTransaction(config, &error);
    ASSERT_TRUE(t);
    t->setValue("2500", "SUB_TOTAL");
    t->setValue("300", "TIP");
    t->setValue("4111", "NUMBER");
    t->setValue("order-7", "TAVLO_ORDER");
    ASSERT_TRUE(handler->sale(*t, config, &error)) << error.localizedDescription();
    size_t fieldRows = storedFields().size();

    clock->advance(30);
    t->setValue("450", "TIP");
    t->removeField("TAVLO_ORDER"); // a field dropped in between keeps its stored value
    t->setValue("9999", "NUMBER"); // the card number is kept as first stored
    ASSERT_TRUE(handler->adjust(*t, config, &error)) << error.localizedDescription();

    auto reader = freshContext();
    std::vector<ManagedObjectPtr> rows = reader->fetchAll("Transaction");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->int32("subTotal"), 2500);
    EXPECT_EQ(rows[0]->int32("tip"), 450);
    EXPECT_EQ(rows[0]->text("number"), Text("4111"));
    EXPECT_EQ(rows[0]->text("approval"), Text("A00001"));
    EXPECT_EQ(rows[0]->date("adjusted"), Date::now());
    EXPECT_EQ(rows[0]->date("updateDate"), Date::now());
    EXPECT_EQ(rows[0]->date("created"), t->created());
    EXPECT_EQ(storedFields().size(), fieldRows);
    auto value = [&](const char* name) {
        auto fields = storedFields();
        auto it = std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return f.first == name; });
        return it == fields.end() ? Text() : Text(it->second);
    };
    EXPECT_EQ(value("TIP"), Text("450"));
    EXPECT_EQ(value("TAVLO_ORDER"), Text("order-7"));
    EXPECT_EQ(value("NUMBER"), Text("9999"));
}

TEST_F(CardBatchTest, AfterTheWrapASaleLandsInTheCurrentBatch) {
    openBatch();
    ASSERT_EQ(sale(1000), "1");
    ASSERT_TRUE(handler->closeBatch(config, {"1"}, nullptr));
    clock->advance(86400);
    ASSERT_EQ(openBatch(), 2);
    setLastTransactionId(9999);

    ASSERT_EQ(sale(2000), "1");
    EXPECT_EQ(handler->transactionIds(2, "merchant1", "T1", true), Ids{"1"});
    EXPECT_EQ(handler->transactionIds(1, "merchant1", "T1", true), Ids{"1"});
    auto reader = freshContext();
    EXPECT_EQ(reader->count("Transaction", "transactionId == 1"), 2u);
    // The old batch's record is untouched; a look-up by number alone takes the newest.
    EXPECT_EQ(PaymentHandlerAdapter::getTransaction("1", "FAKE", "merchant1", "1", *reader)->int32("subTotal"), 1000);
    EXPECT_EQ(PaymentHandlerAdapter::getTransaction("1", "FAKE", "merchant1", "2", *reader)->int32("subTotal"), 2000);
    std::shared_ptr<PaymentTransaction> latest = handler->transaction("1", config);
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->valueForField("SUB_TOTAL"), Text("2000"));

    // A void of the new sale touches the new record only.
    Error error;
    ASSERT_TRUE(handler->cancel(*latest, config, &error)) << error.localizedDescription();
    EXPECT_TRUE(handler->transactionIds(2, "merchant1", "T1", false).empty());
    EXPECT_EQ(handler->transactionIds(1, "merchant1", "T1", false), Ids{"1"});
}

// Track data of every form, as the pay screen hands a swiped sale over.
const std::pair<const char*, const char*> kSwipe[] = {
    {"TRACK_1", "B4111111111111111^DOE/JOHN^2512101000000000"},
    {"TRACK_2", "4111111111111111=25121010000000000"},
    {"TRACK_3", "4111111111111111=2512101000000000000000"},
    {"TRACK_1_ENCRYPTED", "ENC1C0FFEE"},
    {"TRACK_2_ENCRYPTED", "ENC2C0FFEE"},
    {"TRACK_3_ENCRYPTED", "ENC3C0FFEE"},
    {"ENCRYPT_KEY", "KSN0099887766"},
    {"ENCRYPT_DATA", "ENCDC0FFEE"},
    {"ENCRYPT_STATUS", "STATUS42"},
    {"TAVLO_RAW_SWIPE", "%B4111111111111111^DOE/JOHN^2512101000000000?;4111111111111111=25121010000000000?"},
};

void expectNoTrackData(const std::vector<std::pair<std::string, std::string>>& stored) {
    ASSERT_FALSE(stored.empty());
    for (const auto& [name, value] : stored) {
        for (const auto& [field, track] : kSwipe) {
            EXPECT_NE(name, field);
            EXPECT_EQ(value.find(track), std::string::npos) << name;
        }
        // The account number or expiry joined to the rest of a stripe.
        for (const char* piece : {"=2512", "^2512", "^DOE/JOHN^", "C0FFEE", "KSN", "STATUS42"})
            EXPECT_EQ(value.find(piece), std::string::npos) << name << " = " << value;
    }
}

TEST_F(CardBatchTest, NoTrackDataReachesTheStore) {
    openBatch();
    Error error;
    std::shared_ptr<PaymentTransaction> t = handler->newTransaction(config, &error);
    ASSERT_TRUE(t);
    for (const auto& [field, value] : kSwipe) t->setValue(value, field);
    t->setValue("1234", "SUB_TOTAL");
    t->setValue("1111", "NUMBER");
    t->setValue("DOE/JOHN", "TAVLO_NAME");
    ASSERT_TRUE(handler->sale(*t, config, &error)) << error.localizedDescription();
    // The gateway saw the stripe; the record never does.
    EXPECT_EQ(handler->calls().back().fields.count("TAVLO_RAW_SWIPE"), 1u);
    for (const auto& [field, value] : kSwipe) EXPECT_FALSE(t->contains(field)) << field;
    ASSERT_TRUE(handler->adjust(*t, config, &error));
    expectNoTrackData(storedFields());
}

TEST_F(CardBatchTest, NoTrackDataReachesTheStoreUnderGatewayNames) {
    // The gateway's own transaction keeps track 2 as MagData.
    openBatch();
    ASSERT_EQ(handler->nextTransactionId("merchant1", "T1", 9999, nullptr), 1);
    HostConfig larchConfig = {{"HOST_LARCH_USER", "merchant1"}, {"HOST_LARCH_PASSWORD", "pw"}};
    LarchTransaction t(&larchConfig);
    t.setTransactionId("1");
    for (const auto& [field, value] : kSwipe) t.setValue(value, field);
    ASSERT_TRUE(t.contains("MagData"));
    t.setValue("1234", "SUB_TOTAL");
    t.setValue("1111", "NUMBER");
    t.setValue("0", "Result");
    Error error;
    ASSERT_TRUE(handler->saveTransaction(t, 1, "merchant1", "T1", &error)) << error.localizedDescription();
    EXPECT_FALSE(t.contains("MagData"));
    auto stored = storedFields();
    expectNoTrackData(stored);
    EXPECT_TRUE(std::none_of(stored.begin(), stored.end(), [](const auto& f) { return f.first == "MagData"; }));
    EXPECT_EQ(freshContext()->fetchFirst("Transaction", "transactionId == 1")->int32("subTotal"), 1234);
}

TEST_F(CardBatchTest, SavingNeedsTheBatch) {
    auto t = std::make_shared<FakePaymentTransaction>();
    t->setTransactionId("5");
    Error error;
    EXPECT_FALSE(handler->saveTransaction(*t, 3, "merchant1", "T1", &error));
    EXPECT_EQ(error.localizedDescription(), "Credit card batch not found, transaction was not saved");
    EXPECT_EQ(error.code(), -1);
    EXPECT_EQ(freshContext()->count(FetchRequest("Transaction")), 0u);
}

TEST_F(CardBatchTest, DeclinedOrUnsentSalesAreNotStored) {
    openBatch();
    handler->script(Op::Sale, FakePaymentHandler::Reply::decline("Insufficient funds"));
    handler->script(Op::Sale, FakePaymentHandler::Reply::unreachable());
    for (const char* expected : {"Insufficient funds", FakePaymentHandler::kUnreachable}) {
        std::shared_ptr<PaymentTransaction> t = handler->newTransaction(config, nullptr);
        t->setValue("100", "SUB_TOTAL");
        Error error;
        EXPECT_FALSE(handler->sale(*t, config, &error));
        EXPECT_EQ(error.localizedDescription(), expected);
        EXPECT_FALSE(t->wasApproved());
    }
    EXPECT_EQ(handler->callCount(Op::Sale), 2u);
    EXPECT_EQ(freshContext()->count(FetchRequest("Transaction")), 0u);
    EXPECT_EQ(sale(100), "3");
    EXPECT_TRUE(handler->transaction("3", config)->wasApproved());
}

TEST_F(CardBatchTest, BatchEmptinessCountsLiveTransactions) {
    openBatch();
    EXPECT_TRUE(handler->isBatchEmpty(1, "merchant1", "T1"));
    std::string id = sale(100);
    EXPECT_FALSE(handler->isBatchEmpty(1, "merchant1", "T1"));
    ASSERT_TRUE(handler->cancel(*handler->transaction(id, config), config, nullptr));
    EXPECT_TRUE(handler->isBatchEmpty(1, "merchant1", "T1"));
    EXPECT_TRUE(handler->isBatchEmpty(7, "merchant1", "T1"));
}

TEST_F(CardBatchTest, TransactionIdsInNumberOrder) {
    openBatch();
    setLastTransactionId(8);
    for (int i = 0; i < 4; ++i) sale(100 + i); // 9, 10, 11, 12
    ASSERT_TRUE(handler->cancel(*handler->transaction("10", config), config, nullptr));
    EXPECT_EQ(handler->transactionIds(1, "merchant1", "T1", true), (Ids{"9", "10", "11", "12"}));
    EXPECT_EQ(handler->transactionIds(1, "merchant1", "T1", false), (Ids{"9", "11", "12"}));
    EXPECT_TRUE(handler->transactionIds(2, "merchant1", "T1", true).empty());
}

TEST_F(CardBatchTest, FindsATransactionByItsGatewayReference) {
    openBatch();
    handler->script(Op::Sale, FakePaymentHandler::Reply::approve("A7", "PN-77"));
    std::string id = sale(4200);
    FakePaymentTransaction found;
    EXPECT_TRUE(handler->transactionByHostId(found, "PN-77", "HOST_DATA", "merchant1", "T1"));
    EXPECT_EQ(found.transactionId(), Text(id));
    EXPECT_EQ(found.approvalCode(), Text("A7"));
    EXPECT_EQ(found.valueForField("SUB_TOTAL"), Text("4200"));
    EXPECT_EQ(found.created(), Date::now());

    FakePaymentTransaction none;
    EXPECT_FALSE(handler->transactionByHostId(none, "PN-78", "HOST_DATA", "merchant1", "T1"));
    EXPECT_FALSE(handler->transactionByHostId(none, "PN-77", "APPROVAL", "merchant1", "T1"));
    EXPECT_FALSE(handler->transactionByHostId(none, "PN-77", "HOST_DATA", "merchant2", "T1"));
    EXPECT_FALSE(none.transactionId());
}

TEST_F(CardBatchTest, OrphanCheck) {
    openBatch();
    for (int i = 0; i < 3; ++i) sale(100); // 1, 2, 3
    struct Case {
        Ids server;
        bool cancel, ignore, ok;
        const char* message;
    };
    const Case cases[] = {
        {{"3", "1", "2"}, false, false, true, ""},
        {{"1", "2", "3", "7", "2"},
         false,
         false,
         false,
         "Payment references missing: 7, 2. Please contact support to restore them."},
        {{"1"}, false, false, false, "Unaccounted transactions found: 2, 3. Please contact support"},
    };
    for (const Case& c : cases) {
        Error error;
        EXPECT_EQ(handler->handleOrphans(1, c.server, "merchant1", "T1", c.cancel, c.ignore, config, &error), c.ok);
        EXPECT_EQ(error.localizedDescription(), c.message);
    }
    EXPECT_EQ(handler->callCount(Op::Cancel), 0u);

    Error error;
    ASSERT_TRUE(handler->handleOrphans(1, {"1"}, "merchant1", "T1", false, true, config, &error));
    auto reader = freshContext();
    for (const char* id : {"2", "3"}) {
        ManagedObjectPtr row = reader->fetchFirst("Transaction", "transactionId == %d", intValue(id));
        EXPECT_EQ(row->date("voided"), Date::now());
        auto fields = row->toMany("transactionFields");
        EXPECT_TRUE(std::any_of(fields.begin(), fields.end(), [](const ManagedObjectPtr& f) {
            return f->text("name") == Text("TAVLO_ORPHAN") && f->text("value") == Text("YES");
        }));
    }
    EXPECT_TRUE(reader->fetchFirst("Transaction", "transactionId == 1")->isNil("voided"));

    // Voiding them at the gateway instead: the first failure stops the check.
    sale(100); // 4
    sale(100); // 5
    handler->script(Op::Cancel, FakePaymentHandler::Reply());
    handler->script(Op::Cancel, FakePaymentHandler::Reply::decline("Not voidable"));
    EXPECT_FALSE(handler->handleOrphans(1, {"1", "2", "3"}, "merchant1", "T1", true, false, config, &error));
    EXPECT_EQ(error.localizedDescription(), "Not voidable");
    ASSERT_EQ(handler->callCount(Op::Cancel), 2u);
    EXPECT_EQ(handler->calls().back().transactionId, Text("5"));
    EXPECT_EQ(handler->transactionIds(1, "merchant1", "T1", false), (Ids{"1", "5"}));
}

TEST_F(CardBatchTest, RemoteCommandLookUpNeedsEveryPart) {
    openBatch();
    sale(100);
    const std::optional<std::string> parts[][4] = {{std::nullopt, "FAKE", "merchant1", "1"},
                                                   {"1", std::nullopt, "merchant1", "1"},
                                                   {"1", "FAKE", std::nullopt, "1"},
                                                   {"1", "FAKE", "merchant1", std::nullopt}};
    for (const auto& p : parts) EXPECT_FALSE(PaymentHandlerAdapter::getTransaction(p[0], p[1], p[2], p[3], *context));
    EXPECT_TRUE(PaymentHandlerAdapter::getTransaction("1", "FAKE", "merchant1", "1", *context));
    EXPECT_FALSE(PaymentHandlerAdapter::getTransaction("1", "OTHER", "merchant1", "1", *context));
    EXPECT_FALSE(PaymentHandlerAdapter::getTransaction("1", "FAKE", "merchant1", "2", *context));
}

TEST_F(CardBatchTest, HostConfigAndBusinessDay) {
    const std::pair<const char*, const char*> params[] = {
        {"HOST_LARCH_USER", "u1"}, {"HOST_LARCH_RP", "42"},          {"HOST_LARCHX_USER", "no"},
        {"HOST_OTHER_USER", "no"}, {"PAYMENT_CREDIT_HOST", "LARCH"}, {"HOST_LARCH_AUTO_SETTLE", "YES"}};
    for (const auto& [name, value] : params) {
        ManagedObjectPtr param = context->insert("StoreParam");
        param->setValue("name", name);
        param->setValue("value", value);
    }
    EXPECT_EQ(PaymentHandlerAdapter::getHostConfig("LARCH", *context),
              (HostConfig{{"HOST_LARCH_AUTO_SETTLE", "YES"}, {"HOST_LARCH_RP", "42"}, {"HOST_LARCH_USER", "u1"}}));

    EXPECT_FALSE(handler->startDate());
    ManagedObjectPtr day = context->insert("StoreBatch");
    day->setValue("openedOn", Date(1'700'000'000));
    EXPECT_EQ(handler->startDate(), Date(1'700'000'000));
    day->setValue("closedOn", Date::now());
    EXPECT_FALSE(handler->startDate());
}

TEST_F(CardBatchTest, CardVerificationTexts) {
    const std::pair<char, const char*> table[] = {
        {'M', "Card verification match"},
        {'N', "No card verification match"},
        {'P', "Card verification not processed"},
        {'S', "Card verification data should be on card, but indication was not present"},
        {'U', "Issuer is not certified for card verification and/or not provided encryption keys"},
        {'X', "Server Provider did not respond"},
        {'Z', "Card verification result unknown: Z"},
    };
    for (const auto& [code, text] : table) EXPECT_EQ(PaymentHandlerAdapter::cvResponse(code), text);
}

TEST_F(CardBatchTest, BaseHandlerLeavesTheGatewayToSubclasses) {
    PaymentHandlerAdapter base("larch", context.get());
    EXPECT_EQ(base.hostName(), "LARCH");
    EXPECT_TRUE(base.allowManual());
    EXPECT_TRUE(base.canAdjust());
    EXPECT_TRUE(base.canCancel());
    EXPECT_FALSE(base.canAuthorize());
    EXPECT_FALSE(base.canRefund());
    FakePaymentTransaction t;
    auto message = [](const std::function<void()>& call) {
        try {
            call();
        } catch (const InconsistencyError& e) { return std::string(e.what()); }
        return std::string("no exception");
    };
    EXPECT_EQ(message([&] { base.openBatch(config, std::nullopt, nullptr); }),
              "You must override openBatch:openDate:error: in a subclass");
    EXPECT_EQ(message([&] { base.sale(t, config, nullptr); }),
              "You must override sale:withConfig:error: in a subclass");
    EXPECT_EQ(message([&] { base.restoreBatch(std::nullopt, *context); }),
              "You must override restoreBatch:inContext: in a subclass");
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { base.closeBatch(config, {}, nullptr); }, [&] { base.newTransaction(config, nullptr); },
             [&] { base.transaction("1", config); }, [&] { base.authorize(t, config, nullptr); },
             [&] { base.adjust(t, config, nullptr); }, [&] { base.refund(t, config, nullptr); },
             [&] { base.cancel(t, config, nullptr); }})
        EXPECT_TRUE(message(call).starts_with("You must override "));
}

} // namespace
} // namespace tavlo::test
