#include "LarchGateway.h"

#include "core/ports/CardBatch.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "payments/LarchDetailList.h"

#include <chrono>
#include <thread>

namespace tavlo::test {
namespace {

using Ids = std::vector<std::string>;

// The card batch port of a till on the test's handler.
class HandlerBatch : public CardBatch {
public:
    explicit HandlerBatch(LarchHandler& handler) : handler_(handler) {}
    bool hasHandler(const std::string& host) override { return host == LarchHandler::kName; }
    int32_t openBatch(const std::string&, const HostConfig& config, Date openDate, Error* error) override {
        return handler_.openBatch(config, openDate, error);
    }
    bool closeBatch(const std::string&, const HostConfig& config, const std::vector<std::string>& ids,
                    Error* error) override {
        return handler_.closeBatch(config, ids, error);
    }

private:
    LarchHandler& handler_;
};

class LarchCloseTest : public LarchGateway {
protected:
    void SetUp() override { batchId = openBatch(); }

    bool close(const Ids& ids, Error* error) { return handler->closeBatch(config, ids, error); }
    void expectClosed(const Ids& ids) { expectClosedBatch(batchId, ids); }
    void expectClosedBatch(int32_t number, const Ids& ids) {
        Error error;
        EXPECT_TRUE(close(ids, &error)) << error.localizedDescription();
        EXPECT_TRUE(isSettled(number));
    }
    void expectRefused(const Ids& ids, const std::string& message) {
        Error error;
        EXPECT_FALSE(close(ids, &error));
        EXPECT_EQ(error.localizedDescription(), message);
        EXPECT_FALSE(isSettled(batchId));
    }

    int32_t batchId = -1;
};

TEST_F(LarchCloseTest, OpenBatchReusesTheOpenBatchAndOpensANewOneAfterTheClose) {
    EXPECT_EQ(openBatch(), batchId);
    EXPECT_EQ(saved()->fetchAll("Batch").size(), 1u);
    std::string id = sale(1000);
    expectClosed({id});
    EXPECT_EQ(openBatch(), batchId + 1);

    Error error;
    EXPECT_EQ(handler->openBatch({}, dayOpened, &error), -1);
    EXPECT_EQ(error.localizedDescription(), "Configuration for Larch missing params, contact support");
}

TEST_F(LarchCloseTest, AVoidOfAnEarlierBatchsPaymentStaysInThatBatch) {
    std::string id = sale(1000);
    expectClosed({id});
    int32_t today = openBatch();
    std::shared_ptr<PaymentTransaction> t = handler->transaction(id, config);
    Error error;
    ASSERT_TRUE(handler->cancel(*t, config, &error)) << error.localizedDescription(); // "previously settled"
    EXPECT_EQ(saved()->fetchAll("Transaction").size(), 1u);
    EXPECT_TRUE(handler->transactionIds(today, "merchant1", "42", true).empty());
    expectClosedBatch(today, {});
}

TEST_F(LarchCloseTest, ClosingTwiceAnswersYesWithoutAnyRequest) {
    expectClosed({});
    size_t requests = gateway.requests().size();
    expectClosed({});
    EXPECT_EQ(gateway.requests().size(), requests);
}

TEST_F(LarchCloseTest, AutoSettleSendsNothing) {
    std::string id = sale(1000);
    config["HOST_LARCH_AUTO_SETTLE"] = "YES";
    size_t requests = gateway.requests().size();
    expectClosed({"77"}); // nothing is compared either
    EXPECT_EQ(gateway.requests().size(), requests);
    EXPECT_EQ(gateway.requestCount("CaptureAll"), 0u);
    EXPECT_EQ(gateway.requestCount("TrxDetail"), 0u);
}

TEST_F(LarchCloseTest, FullCloseQueriesTheDetailsThenCapturesAll) {
    std::string first = sale(1000), second = sale(2500, "1.00");
    expectClosed({first, second});
    EXPECT_EQ(gateway.requestCount("TrxDetail"), 1u);
    EXPECT_EQ(gateway.requestCount("CaptureAll"), 1u);
    for (const gatewaysim::KeptTransaction& kept : gateway.kept()) EXPECT_TRUE(kept.settled);

    // The detail query: from the day's opening to now, in the configured zone (UTC here).
    gatewaysim::GatewayRequest query;
    for (const gatewaysim::GatewayRequest& r : gateway.requests())
        if (r.path == "/details") query = r;
    EXPECT_EQ(query.fields.at("BeginDt"), "2023-11-14T22:13:00");
    EXPECT_EQ(query.fields.at("EndDt").substr(17), "59");
    EXPECT_EQ(query.fields.at("TransType"), "Sale','Credit");
    EXPECT_EQ(query.fields.at("ExcludeVoid"), "FALSE");
    EXPECT_EQ(query.fields.at("RPNum"), "42");
    EXPECT_FALSE(query.fields.contains("Force"));
}

TEST_F(LarchCloseTest, TheDetailQueryTakesTheConfiguredZone) {
    struct Case {
        HostConfig settings;
        std::string begin;
    };
    const Case cases[] = {
        {{{"HOST_LARCH_SETTLE_TZ_ABBREV", ""}}, "2023-11-14T16:13:00"}, // CST
        {{{"HOST_LARCH_SETTLE_TZ_ABBREV", ""}, {"HOST_LARCH_SETTLE_TIME_ZONE", "PST"}}, "2023-11-14T14:13:00"},
        {{{"HOST_LARCH_SETTLE_TZ_ABBREV", "+0100"}}, "2023-11-14T23:13:00"},
        {{{"HOST_LARCH_SETTLE_TZ_ABBREV", ""}, {"HOST_LARCH_SETTLE_TIME_ZONE", "America/Denver"}},
         "2023-11-14T15:13:00"},
    };
    for (const Case& c : cases) {
        HostConfig settings = config;
        for (const auto& [key, value] : c.settings) settings[key] = value;
        Error error;
        handler->hostDetails(batchId, dayOpened, settings, &error);
        EXPECT_FALSE(error.isSet()) << error.localizedDescription();
        EXPECT_EQ(gateway.requests().back().fields.at("BeginDt"), c.begin);
    }
    config["HOST_LARCH_SETTLE_TZ_ABBREV"] = "Mars/Olympus";
    Error error;
    handler->hostDetails(batchId, dayOpened, config, &error);
    EXPECT_EQ(error.localizedDescription(), "Unknown time zone for the Larch settlement: Mars/Olympus");
}

TEST_F(LarchCloseTest, MissingReferencesAreNamedExactly) {
    std::string first = sale(1000), second = sale(1000);
    expectRefused({first, "7", second, "9", "7"},
                  "Payment references missing: 7, 9, 7. Please contact support to restore them.");
    EXPECT_EQ(gateway.requestCount("TrxDetail"), 0u);
}

TEST_F(LarchCloseTest, AnOrphanIsRefusedWithoutASwitch) {
    std::string first = sale(1000), orphan = sale(1200), third = sale(900);
    expectRefused({first, third}, "Unaccounted transactions found: " + orphan + ". Please contact support");
}

TEST_F(LarchCloseTest, OrphansAreVoidedAtTheGatewayWithTheCancelSwitch) {
    std::string first = sale(1000), orphan = sale(1200);
    config["HOST_LARCH_CANCEL_ORPHAN_PAYMENTS"] = "YES";
    expectClosed({first});
    EXPECT_TRUE(isVoided(orphan));
    EXPECT_EQ(gateway.requestCount("Void"), 1u);
    EXPECT_TRUE(gateway.kept().at(1).voided);
}

TEST_F(LarchCloseTest, OrphansAreMarkedVoidedHereWithTheIgnoreSwitch) {
    std::string first = sale(1000), orphan = sale(1200);
    config["HOST_LARCH_IGNORE_ORPHAN_PAYMENTS"] = "YES";
    std::string hostReference = reference(orphan);
    // The gateway still holds it, so the close stops at the reconciliation.
    expectRefused({first}, "Host has a payment which is voided on tavlo (" + hostReference +
                               "), please contact support to verify.");
    EXPECT_TRUE(isVoided(orphan));
    EXPECT_EQ(storedFields(orphan)["TAVLO_ORPHAN"], "YES");
    EXPECT_EQ(gateway.requestCount("Void"), 0u);
    // Voided at the gateway too, the orphan no longer stops the close.
    gateway.voidOnHost(hostReference);
    expectClosed({first});
}

TEST_F(LarchCloseTest, DetailListWithVoidedEntriesAndAnErrorElement) {
    std::string first = sale(1000), second = sale(2000, "2.50");
    gateway.addHostTransaction({"H900", "900", "Sale", 5000, 0, true, false, true, 0, "", ""});
    gateway.setDetailError("Database <busy> & retrying");
    Error error;
    std::vector<std::shared_ptr<LarchTransaction>> details = handler->hostDetails(batchId, dayOpened, config, &error);
    EXPECT_EQ(error.localizedDescription(), "Database <busy> & retrying");
    ASSERT_EQ(details.size(), 3u);
    EXPECT_EQ(details[0]->valueForField("TRX_HD_Key"), reference(first));
    EXPECT_EQ(details[0]->valueForField("invoiceId"), first);
    EXPECT_EQ(details[1]->valueForField("Tip_Amt_MN"), "2.50");
    EXPECT_TRUE(details[1]->wasApproved());
    EXPECT_FALSE(details[1]->voided());
    EXPECT_EQ(details[2]->valueForField("TRX_HD_Key"), "H900");
    EXPECT_TRUE(details[2]->voided());

    // At the close the error stops it before anything is captured.
    expectRefused({first, second}, "Database <busy> & retrying");
    EXPECT_EQ(gateway.requestCount("CaptureAll"), 0u);
    // Without it, the host's own voided entry is passed over and the close goes through.
    gateway.setDetailError(std::nullopt);
    expectClosed({first, second});
}

TEST(LarchDetailListTest, CollectsEveryErrorElementAndABrokenDocument) {
    LarchDetailList list;
    list.read("<RichDBDS><TrxDetailCard><TRX_HD_Key>A1</TRX_HD_Key><Void_Flag_CH>0</Void_Flag_CH><Result>0</Result>"
              "</TrxDetailCard><error>Timeout</error><TrxDetailCard><TRX_HD_Key>A2</TRX_HD_Key><ERROR>Partial"
              "</ERROR>");
    ASSERT_EQ(list.transactions().size(), 2u);
    EXPECT_EQ(list.transactions()[0]->valueForField("TRX_HD_Key"), "A1");
    EXPECT_FALSE(list.transactions()[0]->voided());
    EXPECT_EQ(list.transactions()[1]->valueForField("TRX_HD_Key"), "A2");
    EXPECT_EQ(list.errors(), "Timeout; Partial; The detail list from Larch is not well-formed");
}

TEST_F(LarchCloseTest, ATipTheHostHasOtherwiseIsSentAgainAtTheClose) {
    std::string id = sale(4000, "6.00");
    gateway.setHostTip(reference(id), 0);
    expectClosed({id});
    EXPECT_EQ(gateway.requestCount("Adjustment"), 1u);
    EXPECT_EQ(gateway.kept().at(0).tipCents, 600);
    EXPECT_EQ(storedFields(id)["TransType"], "Sale");
}

TEST_F(LarchCloseTest, APaymentVoidedOnTheHostOnlyStopsTheClose) {
    std::string id = sale(4000);
    gateway.voidOnHost(reference(id));
    Error error;
    EXPECT_FALSE(close({id}, &error));
    EXPECT_EQ(error.localizedDescription().find("Transaction " + reference(id) + " voided on host ("), 0u)
        << error.localizedDescription();
}

TEST_F(LarchCloseTest, AVoidAnsweredPreviouslyVoidedLetsTheCloseThrough) {
    std::string kept = sale(1000), voided = sale(2000);
    gateway.voidOnHost(reference(voided)); // voided at the gateway by another way
    std::shared_ptr<PaymentTransaction> t = handler->transaction(voided, config);
    Error error;
    ASSERT_TRUE(handler->cancel(*t, config, &error)) << error.localizedDescription();
    expectClosed({kept, voided});
}

TEST_F(LarchCloseTest, AHostOnlyPaymentIsVoidedWithTheCancelSwitchElseRefused) {
    std::string id = sale(1000);
    gateway.addHostTransaction({"H500", "500", "Sale", 1500, 0, false, false, true, 0, "", ""});
    gateway.addHostTransaction(
        {"H501", "501", "Sale", 1500, 0, false, false, false, 0, "", ""}); // declined: passed over
    expectRefused({id}, "Host has a payment which is voided on tavlo (H500), please contact support to verify.");

    config["HOST_LARCH_CANCEL_ORPHAN_PAYMENTS"] = "YES";
    expectClosed({id});
    gatewaysim::GatewayRequest voidRequest;
    for (const gatewaysim::GatewayRequest& r : gateway.requests())
        if (r.fields.count("TransType") && r.fields.at("TransType") == "Void") voidRequest = r;
    EXPECT_EQ(voidRequest.fields.at("PNRef"), "H500");
    EXPECT_EQ(voidRequest.fields.at("UserName"), "merchant1");
}

TEST_F(LarchCloseTest, MoreReferencesThanDetailsStopTheClose) {
    std::string first = sale(1000), second = sale(1000);
    // A gateway whose detail list holds none of them.
    gatewaysim::CardGateway other{gatewaysim::CardGateway::Options{"merchant1", "secret", 3}};
    other.start();
    config["HOST_LARCH_DETAILS_URL"] = other.detailsUrl();
    expectRefused({first, second}, "Settlement failed, unable to match credit card transactions with Larch, "
                                   "contact Tavlo support for assistance");
}

TEST_F(LarchCloseTest, CaptureAllAnswering1015Settles) {
    std::string id = sale(1000);
    gateway.script("CaptureAll", Answer::NothingToSettle);
    expectClosed({id});
}

TEST_F(LarchCloseTest, ARefusedCaptureAllKeepsTheBatchOpen) {
    std::string id = sale(1000);
    struct Case {
        Answer answer;
        std::string message;
    };
    const Case cases[] = {{Answer::DeclineRespMsg, "Unable to close Larch batch (Batch busy)"},
                          {Answer::BrokenPage, "Unable to close Larch batch (its reply could not be read)"}};
    for (const Case& c : cases) {
        gateway.script("CaptureAll", c.answer, "Batch busy");
        expectRefused({id}, c.message);
    }
    gateway.script("CaptureAll", Answer::RefuseConnection);
    Error error;
    EXPECT_FALSE(close({id}, &error));
    EXPECT_TRUE(error.isSet());
    EXPECT_FALSE(isSettled(batchId));
    expectClosed({id});
}

TEST_F(LarchCloseTest, ARefusedOrFailedDetailQueryStopsTheClose) {
    std::string id = sale(1000);
    config["HOST_LARCH_READ_TIMEOUT"] = "1";
    struct Case {
        Answer answer;
        std::string message;
    };
    const Case cases[] = {
        {Answer::DeclineRespMsg, "Access denied"}, // an Error element in the list
        {Answer::BrokenPage, "Unable to get the transaction details from Larch (its reply could not be read)"},
        {Answer::RefuseConnection, "Unable to communicate with Larch, verify Internet connection"},
    };
    for (const Case& c : cases) {
        gateway.script("TrxDetail", c.answer, "Access denied");
        expectRefused({id}, c.message);
    }
    EXPECT_EQ(gateway.requestCount("CaptureAll"), 0u);
    expectClosed({id});
}

TEST_F(LarchCloseTest, TheDetailListIsReadFromTheBareStringWithoutAnOuterResult) {
    // No sale, one, many: the reply has no Result of its own, only one in each row.
    expectClosed({});
    for (int sales : {1, 3}) {
        batchId = openBatch();
        Ids ids;
        for (int i = 0; i < sales; ++i) ids.push_back(sale(1000 + i));
        expectClosed(ids);
    }
    // Refused credentials come back as an Error element in the list.
    batchId = openBatch();
    std::string id = sale(500);
    config["HOST_LARCH_DETAILS_URL"] = gateway.detailsUrl();
    HostConfig wrong = config;
    wrong["HOST_LARCH_PASSWORD"] = "other";
    Error error;
    handler->hostDetails(batchId, dayOpened, wrong, &error);
    EXPECT_EQ(error.localizedDescription(), "User authentication failed");
    expectClosed({id});
}

TEST_F(LarchCloseTest, ACloseStoppedAfterTheCaptureIsFinishedByTheNextOne) {
    std::string first = sale(1000), second = sale(2000, "3.00");
    config["HOST_LARCH_READ_TIMEOUT"] = "1";
    // The gateway captures the batch; its answer never reaches the terminal.
    gateway.onCarriedOut([](const gatewaysim::GatewayRequest& request) {
        if (request.fields.count("TransType") && request.fields.at("TransType") == "CaptureAll")
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    });
    Error error;
    EXPECT_FALSE(close({first, second}, &error));
    gateway.onCarriedOut(nullptr);
    for (const gatewaysim::KeptTransaction& kept : gateway.kept()) EXPECT_TRUE(kept.settled);
    EXPECT_FALSE(isSettled(batchId));
    // The next close sees the batch captured on the host and settles it without capturing again.
    expectClosed({first, second});
    std::this_thread::sleep_for(std::chrono::milliseconds(800)); // the first capture's late answer is noted
    EXPECT_EQ(gateway.requestCount("CaptureAll"), 1u);
    // The next day's close passes over the earlier capture the query's dates still reach.
    batchId = openBatch();
    std::string third = sale(700);
    expectClosed({third});
}

TEST_F(LarchCloseTest, ATerminalJoiningAnOpenDayOpensItsBatchForThatDay) {
    // A second till of the same store, signed in while the day is open: no batch of its own.
    HostConfig other = config;
    other["HOST_LARCH_RP"] = "43";
    Error error;
    EXPECT_FALSE(handler->newTransaction(other, &error));
    EXPECT_EQ(error.localizedDescription(), "Larch Batch is closed, please open store");
    CardBatch::install(std::make_shared<HandlerBatch>(*handler));
    for (const auto& [name, value] : other) DBHelper::saveStoreParam(name, value, store.context().get());
    DBHelper::saveStoreParam("TAVLO_LITE", "YES", store.context().get());
    DBHelper::saveStoreParam("PAYMENT_CREDIT_HOST", "LARCH", store.context().get());
    store.save();
    Session session(store.context().get());
    ASSERT_TRUE(session.isLite());
    ASSERT_TRUE(session.joinOpenDay(&error)) << error.localizedDescription();
    ManagedObjectPtr batch = saved()->fetchFirst("Batch", "host.terminalId == %@", "43");
    ASSERT_TRUE(batch);
    EXPECT_EQ(batch->date("created"), dayOpened);
    ASSERT_TRUE(session.joinOpenDay(&error)); // signing in again keeps that batch
    EXPECT_EQ(saved()->count("Batch", "host.terminalId == %@", "43"), 1u);
    std::shared_ptr<PaymentTransaction> t = handler->newTransaction(other, &error);
    ASSERT_TRUE(t) << error.localizedDescription();
    t->setValue("900", "SUB_TOTAL");
    t->setValue(kCard, "NUMBER");
    t->setValue(kExpiry, "EXP_DATE");
    ASSERT_TRUE(handler->sale(*t, other, &error)) << error.localizedDescription();
    EXPECT_TRUE(handler->closeBatch(other, {*t->transactionId()}, &error)) << error.localizedDescription();
    CardBatch::install(nullptr);
}

TEST_F(LarchCloseTest, AnEmptyBatchSettlesAfterAskingForTheDetails) {
    expectClosed({});
    EXPECT_EQ(gateway.requestCount("TrxDetail"), 1u);
    EXPECT_EQ(gateway.requestCount("CaptureAll"), 0u);
}

TEST_F(LarchCloseTest, NoBatchOrNoBusinessDayIsRefused) {
    store->deleteObject(store->fetchFirst("StoreBatch", "remoteId == %@", "DAY-1"));
    store.save();
    expectRefused({}, "Settlement failed, unable to determine the start date of batch");

    HostConfig other = config;
    other["HOST_LARCH_RP"] = "43"; // a terminal with no batch yet
    Error error;
    EXPECT_FALSE(handler->closeBatch(other, {}, &error));
    EXPECT_EQ(error.localizedDescription(), "No batch found for Larch, please reopen store.");
}

} // namespace
} // namespace tavlo::test
