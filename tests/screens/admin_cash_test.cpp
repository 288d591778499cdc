// Cashing drawers in and out from the administration screen: the record queued with its
// breakdown in lite mode, the drawer kicked and the drawer report printed; the gateway's requests
// in gateway mode, where a refusal leaves the drawer cashed in; cancelled counts; user cash-outs.
#include "AdminTerminal.h"
#include "core/records/CashInOut.h"
#include "sync/handlers/OrderQueue.h"

#include <algorithm>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::AdminTerminal;

using Rows = std::vector<std::string>;
constexpr int kCash = 1; // Cash Management

bool printed(const AdminTerminal& t, const std::string& call) {
    return std::find(t.printer->calls.begin(), t.printer->calls.end(), call) != t.printer->calls.end();
}

std::vector<ManagedObjectPtr> queued(AdminTerminal& t) {
    return t.store->fetch(FetchRequest("OrderQueue", Predicate::format("type == %@", OrderQueue::kCashInOut)));
}

// Till A (D2, drawer 1 on the printer) is the first row; Till B (D1, Ann's) the second.
TEST(AdminCashTest, CashingInQueuesTheRecordKicksTheDrawerAndPrintsTheReport) {
    AdminTerminal t(true);
    t.openDay();
    t.open();
    t.tapRow(kCash, 0);
    EXPECT_EQ(t.alertText(), "Alert / You do not have access to cash in the drawer, please have the manager do it");
    t.h.clickAlert("Ok");

    t.grant("U-ANN", {"CASH_IN_CASH_DRAWER"});
    t.tapRow(kCash, 0);
    ASSERT_EQ(t.alertText(), "Confirmation / Are you sure you want to cash in?");
    EXPECT_EQ(t.h.frontAlert().tag(), LiteAdminViewController::kCashInDrawer0Tag);
    t.h.clickAlert("Yes");
    EXPECT_EQ(t.h.visibleController().title(), "Cash In");
    t.enterAmount("1234");

    EXPECT_EQ(t.alertText(), "Confirmation / Cash drawer cashed in");
    t.h.clickAlert("Ok");
    EXPECT_EQ(&t.h.visibleController(), t.admin.get());
    std::vector<ManagedObjectPtr> rows = queued(t);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->text("userId"), "U-ANN");
    ManagedObjectPtr stored = t.cashRecord("D2");
    ASSERT_TRUE(stored);
    CashInOut record;
    record.read(*stored);
    EXPECT_EQ(record.inAmount(), 1234);
    EXPECT_EQ(record.inBreakDown(), (CashInOut::BreakDown{{"100", 12}, {"1", 34}}));
    EXPECT_EQ(record.inBy(), "U-ANN");
    EXPECT_EQ(record.batchId(), "B1");
    EXPECT_FALSE(record.outDate());
    // The drawer opened for the float, then the report printed.
    ASSERT_GE(t.printer->calls.size(), 4u);
    EXPECT_EQ(Rows(t.printer->calls.begin(), t.printer->calls.begin() + 4),
              (Rows{"open", "drawer 1", "close", "open"}));
    EXPECT_TRUE(printed(t, "line Cash In"));
    EXPECT_EQ(t.printer->calls.back(), "close");
    EXPECT_EQ(t.sectionRows(kCash)[0], "Cash Out Till A / Cashed in Today at 10:13 PM (Ann Marie Lee)");
}

TEST(AdminCashTest, CashingInZeroKeepsOnlyTheUnits) {
    EXPECT_EQ(LiteAdminViewController::breakDown(0), (CashInOut::BreakDown{{"100", 0}}));
    EXPECT_EQ(LiteAdminViewController::breakDown(5000), (CashInOut::BreakDown{{"100", 50}}));
    EXPECT_EQ(LiteAdminViewController::breakDown(7), (CashInOut::BreakDown{{"100", 0}, {"1", 7}}));
}

TEST(AdminCashTest, ACashInWithoutAnAmountIsAskedForAgainAndACancelDoesNothing) {
    AdminTerminal t(true);
    t.openDay();
    t.grant("U-ANN", {"CASH_IN_CASH_DRAWER"});
    t.open();
    t.tapRow(kCash, 0);
    t.h.clickAlert("Yes");
    t.h.tap("Save");
    EXPECT_EQ(t.alertText(), "Alert / Please specify an amount for cashing in the drawer. If nothing, enter 0.");
    t.h.clickAlert("Ok");
    EXPECT_EQ(t.h.visibleController().title(), "Cash In");
    t.h.tap("Cancel");
    EXPECT_FALSE(t.h.hasAlert()) << t.alertText();
    EXPECT_EQ(&t.h.visibleController(), t.admin.get());
    EXPECT_TRUE(queued(t).empty());
    EXPECT_TRUE(t.printer->calls.empty());
}

TEST(AdminCashTest, CashOutIsRefusedWhileAnOrderIsOpen) {
    AdminTerminal t(true);
    t.openDay();
    t.grant("U-ANN", {"CASH_OUT_CASH_DRAWER"});
    t.store.addOrder("O-1", t.store.row("User", "userId", "U-ANN"));
    t.open();
    t.tapRow(kCash, 1);
    EXPECT_EQ(t.alertText(), "Alert / Please close all orders before cashing out drawer");
    EXPECT_TRUE(t.printer->calls.empty());
}

TEST(AdminCashTest, ACancelledCountIsCountedAndTheFinalCashOutWorksOutTheExpectedCash) {
    AdminTerminal t(true);
    t.openDay();
    t.grant("U-ANN", {"CASH_OUT_CASH_DRAWER"});
    // Ann's drawer took $10.00 cash with a $1.00 tip, a voided cash payment and a card payment.
    ManagedObjectPtr drawerSession = t.cashRecord("D1");
    drawerSession->setValue("inAmount", 10000);
    drawerSession->setToOne("storeBatch", t.store.row("StoreBatch", "remoteId", "B1"));
    auto pay = [&](int type, int subTotal, int tip, bool voided) {
        ManagedObjectPtr payment = t.store->insert("Payment");
        payment->setValue("type", type);
        payment->setValue("subTotal", subTotal);
        payment->setValue("tip", tip);
        if (voided) payment->setValue("voided", Date::now());
        drawerSession->addTo("payments", payment);
    };
    pay(1, 1000, 100, false);
    pay(1, 700, 0, true);
    pay(2, 2500, 300, false);
    t.open();

    t.tapRow(kCash, 1);
    ASSERT_EQ(t.alertText(), "Confirmation / Are you sure you want to cash out?");
    EXPECT_EQ(t.h.frontAlert().tag(), LiteAdminViewController::kCashOutDrawer1Tag);
    t.h.clickAlert("Yes");
    // The drawer opens for counting.
    EXPECT_EQ(t.printer->calls, (Rows{"open", "drawer 2", "close"}));
    EXPECT_EQ(t.h.visibleController().title(), "Cash Out");
    t.h.tap("Cancel");
    EXPECT_FALSE(t.h.hasAlert()) << t.alertText();
    EXPECT_EQ(t.cashRecord("D1")->int32("outCounts"), 1);
    EXPECT_FALSE(t.cashRecord("D1")->date("outDate"));
    EXPECT_EQ(queued(t).size(), 1u);

    t.tapRow(kCash, 1);
    t.h.clickAlert("Yes");
    t.enterAmount("11050");
    EXPECT_EQ(t.alertText(), "Confirmation / Cash drawer cashed out");
    CashInOut record;
    record.read(*t.cashRecord("D1"));
    EXPECT_EQ(record.outCount(), 2);
    EXPECT_EQ(record.outAmount(), 11050);
    EXPECT_EQ(record.outBreakDown(), (CashInOut::BreakDown{{"100", 110}, {"1", 50}}));
    EXPECT_EQ(record.outAmountCalculated(), 10000 + 1000 + 100);
    EXPECT_EQ(record.outBy(), "U-ANN");
    EXPECT_TRUE(record.outDate());
    EXPECT_EQ(queued(t).size(), 2u);
    EXPECT_TRUE(printed(t, "line Cash Out"));
    EXPECT_EQ(t.sectionRows(kCash)[1], "Cash In Till B / Cash drawer has not been cashed in");
}

TEST(AdminCashTest, TheSummariesSplitThePaymentsByType) {
    AdminTerminal t(true);
    t.openDay();
    t.open();
    auto payment = [&](int type, int subTotal, int tip, int gratuity, bool voided = false) {
        ManagedObjectPtr row = t.store->insert("Payment");
        row->setValue("type", type);
        row->setValue("subTotal", subTotal);
        row->setValue("tip", tip);
        row->setValue("gratuity", gratuity);
        if (voided) row->setValue("voided", Date::now());
        return row;
    };
    std::vector<ManagedObjectPtr> payments{payment(1, 1000, 100, 50), payment(2, 2000, 200, 0),
                                           payment(2, 999, 0, 0, true), payment(8, 500, 10, 5)};
    CashInOut record;
    EXPECT_EQ(t.admin->getSummaries(record, payments), 1150);
    EXPECT_EQ(record.summaries().size(), 5u);
    const PaymentTypeSummary& nonCash = record.summaries().at("nonCash");
    EXPECT_EQ(nonCash.subTotal, 2500);
    EXPECT_EQ(nonCash.gratuity, 5);
    EXPECT_EQ(nonCash.tip, 0);
    EXPECT_EQ(record.summaries().at("credit").subTotal, 2000);
    EXPECT_EQ(record.summaries().at("credit").tip, 200);
    EXPECT_EQ(record.summaries().at("extCredit").subTotal, 500);
    EXPECT_EQ(record.summaries().at("onlineCredit").subTotal, 0);
}

// ---- gateway mode

TEST(AdminCashTest, AGatewayCashInSendsTheWholeAmountAndShowsTheGatewaysWarning) {
    AdminTerminal t(false);
    t.openDay();
    t.grant("U-ANN", {"CASH_IN_CASH_DRAWER"});
    t.server.setFault("cashInCashDrawer", storesim::Fault::Warning, 1, std::string("Drawer counted short"));
    t.open();
    t.tapRow(kCash, 0);
    t.h.clickAlert("Yes");
    t.enterAmount("1234");
    EXPECT_EQ(t.alertText(), "Error / Drawer counted short");
    ASSERT_EQ(t.server.requestCount("cashInCashDrawer"), 1u);
    std::string body = t.server.requests().back().body;
    EXPECT_NE(body.find("<amount>1</amount><count>1234</count>"), std::string::npos) << body;
    EXPECT_NE(body.find("receipt.local:9100"), std::string::npos) << body;
    // The terminal neither queues nor prints: the gateway does.
    EXPECT_TRUE(queued(t).empty());
    EXPECT_TRUE(t.printer->calls.empty());
}

TEST(AdminCashTest, ADrawerTheGatewayCashedInShowsCashedIn) {
    AdminTerminal t(false);
    t.openDay();
    t.grant("U-ANN", {"CASH_IN_CASH_DRAWER", "CASH_OUT_CASH_DRAWER"});
    t.open();
    ASSERT_EQ(t.sectionRows(kCash)[0].rfind("Cash In Till A", 0), 0u);
    t.tapRow(kCash, 0);
    t.h.clickAlert("Yes");
    t.enterAmount("1234");
    EXPECT_EQ(t.alertText(), "Confirmation / Cash drawer cashed in");
    t.h.clickAlert("Ok");
    EXPECT_EQ(t.sectionRows(kCash)[0].rfind("Cash Out Till A", 0), 0u) << t.sectionRows(kCash)[0];
    ManagedObjectPtr kept = t.cashRecord("D2");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->text("cashInOutId"), "-1");
    EXPECT_EQ(kept->int32("inAmount"), 1234);
    // Tapped again it offers the cash out, not a second cash in.
    t.tapRow(kCash, 0);
    EXPECT_EQ(t.alertText(), "Confirmation / Are you sure you want to cash out?");
    EXPECT_EQ(t.server.requestCount("cashInCashDrawer"), 1u);
}

TEST(AdminCashTest, WithoutAPrinterAddressNoDrawerActionReachesTheGateway) {
    AdminTerminal t(false);
    t.openDay();
    t.grant("U-ANN", {"CASH_IN_CASH_DRAWER", "CASH_OUT_CASH_DRAWER", "CASH_OUT_OTHERS"});
    t.store->deleteObject(t.store->fetchFirst("TerminalParam", "name == %@", std::string("TS_PRINTER_URL")));
    t.server.setUsersNotCashedOut({"U-BOB"});
    t.open();

    t.tapRow(kCash, 0);
    t.h.clickAlert("Yes");
    t.enterAmount("100");
    EXPECT_EQ(t.alertText(), "Error / Unable to cash in drawer (No printer configured)");
    t.h.clickAlert("Ok");

    t.tapRow(kCash, 1);
    t.h.clickAlert("Yes");
    EXPECT_EQ(t.alertText(), "Error / No printer configured");
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (Rows{"OK"})); // the cash out did not start: nothing to cancel
    t.h.clickAlert("OK");

    t.tapRow(kCash, 2);
    ASSERT_EQ(t.alertText(), "Confirmation / Who would you like to cash out?");
    t.h.clickAlert("Bob");
    EXPECT_EQ(t.alertText(), "Error / No printer configured");
    for (const char* kind : {"cashInCashDrawer", "preCashOutCashDrawer", "cashOutCashDrawer", "cashOutUser"})
        EXPECT_EQ(t.server.requestCount(kind), 0u) << kind;
}

TEST(AdminCashTest, ARefusedCashOutWritesNothingAndCanBeTriedAgain) {
    AdminTerminal t(false);
    t.openDay();
    t.grant("U-ANN", {"CASH_OUT_CASH_DRAWER"});
    t.server.setFault("cashOutCashDrawer", storesim::Fault::ErrorElement, 1, std::string("Drawer is being counted"));
    t.open();

    t.tapRow(kCash, 1);
    t.h.clickAlert("Yes");
    EXPECT_EQ(t.server.requestCount("preCashOutCashDrawer"), 1u);
    t.enterAmount("2000");
    EXPECT_EQ(t.alertText(), "Error / Unable to cash out drawer (Drawer is being counted)");
    t.h.clickAlert("Ok");
    ManagedObjectPtr open = t.cashRecord("D1");
    EXPECT_FALSE(open->date("outDate"));
    EXPECT_EQ(open->int32("outCounts"), 0);
    EXPECT_EQ(t.sectionRows(kCash)[1].rfind("Cash Out Till B", 0), 0u);

    t.tapRow(kCash, 1);
    ASSERT_EQ(t.alertText(), "Confirmation / Are you sure you want to cash out?");
    t.h.clickAlert("Yes");
    t.enterAmount("2000");
    EXPECT_EQ(t.alertText(), "Confirmation / Cash drawer cashed out");
    std::vector<storesim::ReceivedRequest> sent = t.server.requests();
    auto last = std::find_if(sent.rbegin(), sent.rend(), [](auto& r) { return r.kind == "cashOutCashDrawer"; });
    ASSERT_NE(last, sent.rend());
    EXPECT_NE(last->body.find("<count>1</count>"), std::string::npos) << last->body;
    EXPECT_TRUE(t.cashRecord("D1")->date("outDate"));
    EXPECT_EQ(t.cashRecord("D1")->int32("outAmount"), 2000);
    EXPECT_EQ(t.cashRecord("D1")->int32("outCounts"), 1);
}

TEST(AdminCashTest, ACancelledCountInGatewayModeIsSavedWithoutARequest) {
    AdminTerminal t(false);
    t.openDay();
    t.grant("U-ANN", {"CASH_OUT_CASH_DRAWER"});
    t.open();
    t.tapRow(kCash, 1);
    t.h.clickAlert("Yes");
    t.h.tap("Cancel");
    EXPECT_FALSE(t.h.hasAlert()) << t.alertText();
    EXPECT_EQ(t.server.requestCount("cashOutCashDrawer"), 0u);
    EXPECT_EQ(t.cashRecord("D1")->int32("outCounts"), 1);
    EXPECT_FALSE(t.cashRecord("D1")->date("outDate"));
}

TEST(AdminCashTest, UserCashOutsOfferOnlyTheUsersTheRightsAllow) {
    AdminTerminal t(false);
    t.openDay();
    t.server.setUsersNotCashedOut({"U-ANN", "U-BOB", "U-DAN"});
    t.grant("U-BOB", {"CASH_OUT_USER"});
    t.open("U-BOB");
    t.tapRow(kCash, 2);
    ASSERT_EQ(t.alertText(), "Confirmation / Who would you like to cash out?");
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (Rows{"Cancel", "Bob"}));
    t.h.clickAlert("Cancel");
    EXPECT_TRUE(t.admin->offeredUsers().empty());

    // Bob holds no drawer: the request goes without one.
    t.tapRow(kCash, 2);
    t.h.clickAlert("Bob");
    EXPECT_FALSE(t.h.hasAlert()) << t.alertText();
    ASSERT_EQ(t.server.requestCount("cashOutUser"), 1u);
    std::string body = t.server.requests().back().body;
    EXPECT_NE(body.find("U-BOB"), std::string::npos) << body;
    EXPECT_EQ(body.find("<cashDrawerId>"), std::string::npos) << body;
}

TEST(AdminCashTest, AManagerWithTwoDrawersIsAskedWhichOneToUse) {
    AdminTerminal t(false);
    t.openDay();
    t.server.setUsersNotCashedOut({"U-ANN", "U-BOB", "U-DAN"});
    t.grant("U-ANN", {"CASH_OUT_OTHERS"});
    t.store.addCashIn(t.store.row("CashDrawer", "cashDrawerId", "D2"), t.store.row("User", "userId", "U-ANN"));
    t.open();
    t.tapRow(kCash, 2);
    ASSERT_EQ(t.alertText(), "Confirmation / Who would you like to cash out?");
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (Rows{"Cancel", "Bob", "Dan"}));
    t.h.clickAlert("Dan");
    ASSERT_EQ(t.alertText(), "Confirmation / What cash drawer do you want to use?");
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), (Rows{"Cancel", "Till A", "Till B"}));
    t.h.clickAlert("Till A");
    EXPECT_FALSE(t.h.hasAlert()) << t.alertText();
    EXPECT_TRUE(t.admin->offeredUsers().empty());
    EXPECT_TRUE(t.admin->offeredDrawers().empty());
    ASSERT_EQ(t.server.requestCount("cashOutUser"), 1u);
    std::string body = t.server.requests().back().body;
    EXPECT_NE(body.find("U-DAN"), std::string::npos) << body;
    EXPECT_NE(body.find("D2"), std::string::npos) << body;
}

TEST(AdminCashTest, UserCashOutsNeedARight) {
    AdminTerminal t(false);
    t.openDay();
    t.open();
    t.tapRow(kCash, 2);
    EXPECT_EQ(t.alertText(), "Error / You do not have the required access");
    EXPECT_EQ(t.server.requestCount("getUsersNotCashedOut"), 0u);
}

} // namespace
} // namespace tavlo::screens
