// The text reports: the close report's sections over a small day of orders (a dine-in order with a
// comp, a take-out order with a discount and a card tip, a refund), the sales status and cash
// drawer reports worked out in lite mode, and the server's lines in gateway mode.
#include "StoreServer.h"
#include "core/records/CashInOut.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "printing/ReportGenerator.h"
#include "support/GoldenText.h"
#include "support/SalesDay.h"
#include "support/StoreFixture.h"
#include "support/TimeZoneScope.h"
#include "sync/exchange/CommHelper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace tavlo {
namespace {

using Lines = ReportGenerator::Lines;
using namespace test::salesday;

const Date kOpened(1'700'000'000); // Nov 14, 2023, 22:13 UTC

size_t characters(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        store.buildSmallStore();
        addMenu(*store.context());
        store.addStoreParam("TAVLO_LITE", "YES");
        store.addStoreBatch("B1", kOpened, std::nullopt);
        store.save();
        IDBroker::initWithMOC(store.context());
        clock->advance(3 * 3600);
        session = std::make_shared<Session>(context());
        session->setUserId("U-ANN");
        session->setTerminalId("T1");
    }

    ObjectContext* context() { return store.context().get(); }
    void setConfig(const std::string& name, const std::string& value) {
        DBHelper::saveStoreParam(name, value, context());
        store.save();
    }

    // A dine-in order at table L1 (area A1) for two: two burgers with extra cheese and a soda on
    // the house, paid in cash with $5.00 change.
    std::unique_ptr<Order> dineIn() {
        auto o = order("o1", "Table 1", OrderType::DineIn, 2, std::string("L1"));
        SelectionPtr burger = line("o1-1", "r-burger", "Burger", 1200, 2);
        burger->addPreparation(Preparation(std::string("p-cheese"), 100));
        o->addSelection(burger, nullptr);
        SelectionPtr soda = line("o1-2", "r-soda", "Soda", 250);
        soda->setCompName(std::string("Manager"));
        soda->setCompBy(std::string("U-BOB"));
        soda->setCompPercent(10000);
        o->addSelection(soda, nullptr);
        o->addPayment(payment("o1-p", Payment::kCash, o->getTotal(), 0, 0, 500));
        return o;
    }
    // A take-out order of fries with a $1.00 coupon, paid by card with a $2.00 tip and $10.00 cash back.
    std::unique_ptr<Order> takeOut() {
        auto o = order("o2", "Quick 2", OrderType::TakeOut, 0, std::nullopt);
        o->addSelection(line("o2-1", "r-fries", "Fries", 400), nullptr);
        auto coupon = std::make_shared<OrderDiscount>();
        coupon->setRemoteId("o2-d");
        coupon->setName(std::string("Coupon"));
        coupon->setAmount(100);
        o->addDiscount(coupon);
        o->addPayment(payment("o2-p", Payment::kCredit, o->getTotal(), 200, 0, 1000, std::string("VISA")));
        return o;
    }
    // A burger given back, its money returned in cash.
    std::unique_ptr<Order> refund() {
        auto o = order("o3", "Refund 3", OrderType::Refund, 0, std::nullopt);
        o->addSelection(line("o3-1", "r-burger", "Burger", 1200), nullptr);
        o->addPayment(payment("o3-p", Payment::kCash, o->getTotal()));
        return o;
    }
    void storeDay(bool withRefund = true) {
        dineIn()->write(*context());
        takeOut()->write(*context());
        if (withRefund) refund()->write(*context());
        store.save();
    }
    void allSections(bool on) {
        for (const char* name : {"REPORT_SUMMARY_ORDERS_SECTION", "REPORT_SUMMARY_PAYMENTS_SUMMARY_SECTION",
                                 "REPORT_SUMMARY_TAXES_SECTION", "REPORT_SUMMARY_SALES_SECTION",
                                 "REPORT_SUMMARY_STATS_SECTION", "REPORT_SUMMARY_DISCOUNTS_SECTION",
                                 "REPORT_SUMMARY_COMP_SECTION", "REPORT_SUMMARY_GROUP_SALES_BY_AREA_SECTION",
                                 "REPORT_SUMMARY_ITEMS_SOLD_SECTION", "REPORT_SUMMARY_MISC_SECTION"})
            setConfig(name, on ? "YES" : "NO");
    }
    static void expectFits(const Lines& lines, size_t width = 42) {
        for (const std::string& line : lines) EXPECT_LE(characters(line), width) << "\"" << line << "\"";
    }
    Lines header(const std::string& title) {
        return {title, "", "FROM: Yesterday at 10:13 PM", "TO: Today at 1:13 AM", ""};
    }

    test::TimeZoneScope zone{"UTC"};
    ScopedFakeClock clock{kOpened};
    test::StoreFixture store;
    std::shared_ptr<Session> session;
};

TEST_F(ReportTest, WithEverySectionOffTheCloseReportIsItsHeaderAndItsEnd) {
    storeDay();
    allSections(false);
    ReportGenerator reports(session);
    Lines want = header("--- CLOSE REPORT ---");
    want.insert(want.end(), {"", "------ END OF REPORT ------"});
    EXPECT_EQ(reports.reportTotalSales(false, 42), want);

    // A preview says so after the header.
    want.insert(want.begin() + 5, {"", "**** PREVIEW ONLY ****"});
    EXPECT_EQ(reports.reportTotalSales(true, 42), want);
}

TEST_F(ReportTest, EachSectionAloneFollowsTheHeaderAndFitsTheWidth) {
    storeDay();
    struct Case {
        const char* name;
        const char* title;
    };
    const Case cases[] = {
        {"REPORT_SUMMARY_ORDERS_SECTION", "ORDERS"},
        {"REPORT_SUMMARY_PAYMENTS_SUMMARY_SECTION", "PAYMENTS SUMMARY"},
        {"REPORT_SUMMARY_TAXES_SECTION", "TAXES"},
        {"REPORT_SUMMARY_SALES_SECTION", "SALES"},
        {"REPORT_SUMMARY_STATS_SECTION", "STATISTICS"},
        {"REPORT_SUMMARY_DISCOUNTS_SECTION", "DISCOUNT SUMMARY"},
        {"REPORT_SUMMARY_COMP_SECTION", "COMPLIMENTARY SUMMARY"},
        {"REPORT_SUMMARY_GROUP_SALES_BY_AREA_SECTION", "GROUP SALES BY AREA"},
        {"REPORT_SUMMARY_ITEMS_SOLD_SECTION", "ITEMS SOLD"},
        {"REPORT_SUMMARY_MISC_SECTION", "MISCELLANEOUS"},
    };
    ReportGenerator reports(session);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        allSections(false);
        setConfig(c.name, "YES");
        Lines lines = reports.reportTotalSales(false, 42);
        ASSERT_GT(lines.size(), 10u);
        EXPECT_EQ(lines[5], std::string(42, '='));
        EXPECT_EQ(lines[6], "");
        EXPECT_EQ(trim(lines[7]), c.title);
        EXPECT_EQ(lines.back(), "------ END OF REPORT ------");
        expectFits(lines);
    }
}

TEST_F(ReportTest, TheWholeCloseReport) {
    storeDay();
    allSections(true);
    Lines lines = ReportGenerator(session).reportTotalSales(true, 42);
    expectFits(lines);
    // Whole labels, the refund's tax lowering its line as it lowers the total.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "     CASH BACK         ($10.00)"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), " State (8.25%):                     $1.40 "), lines.end());
    EXPECT_TRUE(test::matchesGoldenText(test::joinLines(lines), "reports/close_report.txt"));
}

TEST_F(ReportTest, ARefundOrderLowersTheSalesAndTheTaxLinesAddUpToTheTaxTotal) {
    storeDay(false);
    ReportGenerator reports(session);
    const ReportValues before = reports.generateValues("B1");
    refund()->write(*context());
    store.save();
    const ReportValues after = reports.generateValues("B1");
    auto o = refund();

    EXPECT_EQ(after.orderCount, before.orderCount + 1);
    EXPECT_EQ(after.subTotal, before.subTotal - o->getSubTotal());
    EXPECT_EQ(after.taxTotal, before.taxTotal - o->getTaxTotal());
    EXPECT_EQ(after.payGrandTotal, before.payGrandTotal - o->getTotal());
    EXPECT_EQ(after.cashGrandTotal, before.cashGrandTotal - o->getTotal());
    EXPECT_EQ(after.areaNetTotals.at("-1"), before.areaNetTotals.at("-1") - o->getSubTotal());
    EXPECT_EQ(after.itemsSoldGroups.at("Food").at("Burger").at(1200),
              before.itemsSoldGroups.at("Food").at("Burger").at(1200) - 1);
    for (const ReportValues* v : {&before, &after}) {
        int64_t lines = 0;
        for (const auto& [key, amount] : v->taxTotals) lines += amount;
        EXPECT_EQ(lines, v->taxTotal);
    }
    EXPECT_EQ(after.taxTotals.at("State (8.25%):"), after.taxTotal);
    // The payment entries themselves always add; the refund has an entry of its own type.
    EXPECT_EQ(after.paymentTotals.at(OrderType::Refund).at("Cash").at("none").total, o->getTotal());
}

// The reports read a saved day by column, and through the context's objects while it holds
// changes not yet saved: both give the same lines, over voided lines and tenders, comps,
// discounts, a split order, orders paid with several tenders and tips.
TEST_F(ReportTest, TheDayReadByColumnGivesTheFiguresOfTheDayReadAsObjects) {
    storeDay();
    // Table 4 pays with cash and two cards with tips; a third card was voided, so was its fries.
    auto table = order("o4", "Table 4", OrderType::DineIn, 3, std::string("L2"));
    SelectionPtr burger = line("o4-1", "r-burger", "Burger", 1200, 3);
    burger->addSide(line("o4-1s", "r-fries", "Fries", 400));
    table->addSelection(burger, nullptr);
    SelectionPtr fries = line("o4-2", "r-fries", "Fries", 400);
    table->addSelection(fries, nullptr);
    table->removeSelection(fries, std::string("U-BOB"), nullptr);
    auto coupon = std::make_shared<OrderDiscount>();
    coupon->setRemoteId("o4-d");
    coupon->setName(std::string("Coupon"));
    coupon->setAmount(250);
    table->addDiscount(coupon);
    const int32_t third = table->getTotal() / 3;
    table->addPayment(payment("o4-p1", Payment::kCash, third, 0, 0, 120));
    table->addPayment(payment("o4-p2", Payment::kCredit, third, 300, 0, 0, std::string("VISA")));
    table->addPayment(payment("o4-p3", Payment::kCredit, table->getTotal() - 2 * third, 150, 200, 0, "MC"));
    auto voided = payment("o4-p4", Payment::kCredit, 999, 100, 0, 0, std::string("VISA"));
    voided->voidPayment(std::string("U-BOB"));
    table->addPayment(voided);
    table->write(*context());
    // Table 5 split: its soda moved to a check of its own, each part paid apart.
    auto first = order("o5", "Table 5", OrderType::DineIn, 2, std::string("L1"));
    auto second = order("o5b", "Table 5-2", OrderType::DineIn, 1, std::string("L1"));
    first->addSelection(line("o5-1", "r-burger", "Burger", 1200), nullptr);
    SelectionPtr soda = line("o5-2", "r-soda", "Soda", 250, 2);
    soda->setCompName(std::string("Manager"));
    soda->setCompBy(std::string("U-BOB"));
    soda->setCompPercent(5000);
    first->addSelection(soda, nullptr);
    SelectionPtr moved = soda->clone();
    moved->setRemoteId("o5b-1");
    first->removeMovedSelection(soda, std::nullopt, nullptr);
    second->addSelection(moved, nullptr);
    first->addPayment(payment("o5-p", Payment::kCredit, first->getTotal(), 180, 0, 0, std::string("MC")));
    second->addPayment(payment("o5b-p", Payment::kCash, second->getTotal()));
    first->write(*context());
    second->write(*context());
    // A tab at a table in no area, nothing ordered, paid in two tenders.
    context()->insert("AreaLocation")->setValue("areaLocationId", std::string("L3"));
    auto tab = order("o6", "Tab", OrderType::DineIn, 1, std::string("L3"));
    tab->addPayment(payment("o6-p1", Payment::kCash, 500));
    tab->addPayment(payment("o6-p2", Payment::kCredit, 700, 50, 0, 0, std::string("VISA")));
    tab->write(*context());
    store.save();
    allSections(true);

    ReportGenerator reports(session);
    ASSERT_FALSE(context()->hasChanges());
    const Lines closeReport = reports.reportTotalSales(false, 42);
    const Lines salesStatus = reports.reportSalesStatus(42);
    const ReportValues values = reports.generateValues("B1");
    EXPECT_EQ(values.orderCount, 7);
    EXPECT_EQ(values.compTotals.at("Manager").count, 1 + 2);
    EXPECT_EQ(values.paymentTotals.at(OrderType::DineIn).at("Credit").at("VISA").count, 2) << "not the voided one";
    EXPECT_EQ(values.paymentTotals.at(OrderType::DineIn).at("Credit").at("VISA").tip, 300 + 50);

    context()->insert("StoreParam")->setValue("name", std::string("NOT_SAVED"));
    ASSERT_TRUE(context()->hasChanges());
    EXPECT_EQ(reports.reportTotalSales(false, 42), closeReport);
    EXPECT_EQ(reports.reportSalesStatus(42), salesStatus);
    context()->rollback();
}

TEST_F(ReportTest, TheSalesStatusReport) {
    storeDay();
    // 2 x (12.00 + 1.00) + 2.50 comped = 26.00 + tax 2.15; fries 4.00 - 1.00 + tax 0.24;
    // less the refund, 12.00 + tax 0.99.
    Lines want = header("--- SALES STATUS REPORT ---");
    want.insert(want.end(), {"GROSS SALES TOTAL                   $18.40", "                        State        $1.40",
                             std::string(28, ' ') + "--------------", "NET SALES TOTAL                     $17.00", "",
                             "------ END OF REPORT ------"});
    EXPECT_EQ(ReportGenerator(session).reportSalesStatus(42), want);
}

TEST_F(ReportTest, TheCashDrawerReportInLiteMode) {
    storeDay();
    ReportGenerator reports(session);
    EXPECT_EQ(reports.reportCashDrawer("D2", 42), std::nullopt); // never cashed in

    // D1 was cashed in with $100.00; the dine-in order's cash went into it.
    ManagedObjectPtr cash = context()->fetchFirst("CashInOut", "cashDrawer.cashDrawerId == %@", std::string("D1"));
    ASSERT_TRUE(cash);
    cash->setValue("inAmount", 10000);
    for (const auto& [denomination, count] : {std::pair{"2000", 4}, std::pair{"500", 4}}) {
        ManagedObjectPtr amount = context()->insert("CashAmount");
        amount->setValue("denomination", std::string(denomination));
        amount->setValue("amount", count);
        cash->addTo("inBreakDown", amount);
    }
    for (const char* id : {"o1-p", "o3-p"})
        context()->fetchFirst("Payment", "remoteId == %@", std::string(id))->setToOne("cashInOut", cash);
    store.save();

    std::optional<Lines> open = reports.reportCashDrawer("D1", 42);
    ASSERT_TRUE(open);
    expectFits(*open);
    // 28.14 taken, 12.99 refunded.
    EXPECT_NE(std::find(open->begin(), open->end(), "                 Total Activity:   $15.15"), open->end());
    EXPECT_EQ((*open)[open->size() - 3], "               Calculated Total:  $115.15");
    EXPECT_NE(std::find(open->begin(), open->end(), "   $5.00   x       4 =             $20.00"), open->end());
    EXPECT_NE(std::find(open->begin(), open->end(), " Table 1    Cash       $28.14 $0.00 $0.00"), open->end());
    // Without the payments the list is left out and the activity stays.
    std::optional<Lines> brief = reports.reportCashDrawer("D1", 42, false);
    ASSERT_TRUE(brief);
    EXPECT_EQ(
        std::find_if(brief->begin(), brief->end(), [](const std::string& l) { return l.rfind("PAYMENTS:", 0) == 0; }),
        brief->end());
    EXPECT_EQ(brief->back(), "------ END OF REPORT ------");

    // Cashed out with exactly what was expected: a shortage of nothing.
    cash->setValue("outDate", Date::now());
    cash->setToOne("outBy", context()->fetchFirst("User", "userId == %@", std::string("U-ANN")));
    cash->setValue("outAmount", 11515);
    cash->setValue("outAmountCalculated", 11515);
    store.save();
    std::optional<Lines> closed = reports.reportCashDrawer("D1", 42);
    ASSERT_TRUE(closed);
    expectFits(*closed);
    EXPECT_EQ((*closed)[closed->size() - 5], "                       Shortage:    $0.00");
    EXPECT_EQ((*closed)[closed->size() - 6], "               Calculated Total:  $115.15");

    cash->setValue("outAmount", 12000);
    store.save();
    closed = reports.reportCashDrawer("D1", 42);
    EXPECT_EQ((*closed)[closed->size() - 5], "                        Overage:    $4.85");
}

TEST_F(ReportTest, TheCashDrawerReportPrintsEveryAmountWhole) {
    storeDay();
    ManagedObjectPtr cash = context()->fetchFirst("CashInOut", "cashDrawer.cashDrawerId == %@", std::string("D1"));
    ASSERT_TRUE(cash);
    cash->setValue("inAmount", 123456);
    ManagedObjectPtr amount = context()->insert("CashAmount");
    amount->setValue("denomination", std::string("123456"));
    amount->setValue("amount", 1);
    cash->addTo("inBreakDown", amount);
    ManagedObjectPtr payment = context()->fetchFirst("Payment", "remoteId == %@", std::string("o1-p"));
    payment->setToOne("cashInOut", cash);
    payment->setValue("subTotal", 123456);
    payment->setValue("gratuity", 10000);
    payment->setValue("tip", 10000);
    store.save();
    ReportGenerator reports(session);
    for (int width : {42, 53}) {
        SCOPED_TRACE(width);
        std::optional<Lines> lines = reports.reportCashDrawer("D1", width);
        ASSERT_TRUE(lines);
        expectFits(*lines, static_cast<size_t>(width));
        const auto row =
            std::find_if(lines->begin(), lines->end(), [](const std::string& l) { return l.rfind(" Table", 0) == 0; });
        ASSERT_NE(row, lines->end());
        EXPECT_NE(row->find(" Cash "), std::string::npos) << *row;
        EXPECT_NE(row->find(" $1234.56 $100.00 $100.00"), std::string::npos) << *row;
        const auto has = [&lines](const std::string& line) {
            return std::find(lines->begin(), lines->end(), line) != lines->end();
        };
        EXPECT_TRUE(has(std::string(static_cast<size_t>(width) - 25, ' ') + "Total Activity: $1234.56")) << width;
        EXPECT_TRUE(has("$1234.56   x       1 =           $1234.56"));
        // The heads stand over their columns: SUBTOTAL ends where the amounts end.
        const auto head =
            std::find_if(lines->begin(), lines->end(), [](const std::string& l) { return l.rfind(" ORDER", 0) == 0; });
        ASSERT_NE(head, lines->end());
        EXPECT_EQ(head->size(), row->size());
        EXPECT_EQ(head->find("SUBTOTAL") + 8, row->find("$1234.56") + 8) << *head << "\n" << *row;
    }
}

// A drawer's cash in/out over every kind of line the report prints: payments of four tenders
// (one given back in a refund, one voided, one naming its order by the server's number), tips
// and gratuities, the cash in and out counted by denomination. Printed open and closed, with and
// without its payments, at two widths, line for line as before.
TEST_F(ReportTest, TheCashDrawerReportOfManyTendersPrintsItsLines) {
    storeDay();
    // A bar tab for eight sodas, numbered by the server, paid in three parts; a cash part voided.
    auto bar = order("o4", "Bar 4", OrderType::TakeOut, 0, std::nullopt);
    bar->setOrderId(std::string("1004"));
    bar->addSelection(line("o4-1", "r-soda", "Soda", 250, 8), nullptr);
    bar->addPayment(payment("o4-p1", Payment::kCheck, 1000, 0, 150));
    bar->addPayment(payment("o4-p2", Payment::kGift, 500, 50));
    bar->addPayment(payment("o4-p3", Payment::kDebit, 665, 0, 100, 0, std::string("VISA")));
    bar->addPayment(payment("o4-p0", Payment::kCash, 2000));
    bar->write(*context());
    context()->fetchFirst("Payment", "remoteId == %@", std::string("o4-p0"))->setValue("voided", Date::now());

    ManagedObjectPtr cash = context()->fetchFirst("CashInOut", "cashDrawer.cashDrawerId == %@", std::string("D1"));
    ASSERT_TRUE(cash);
    const auto count = [&](const char* breakDown, std::initializer_list<std::pair<const char*, int>> counts) {
        for (const auto& [denomination, number] : counts) {
            ManagedObjectPtr amount = context()->insert("CashAmount");
            amount->setValue("denomination", std::string(denomination));
            amount->setValue("amount", number);
            cash->addTo(breakDown, amount);
        }
    };
    cash->setValue("inAmount", 10000);
    count("inBreakDown", {{"2000", 4}, {"500", 3}, {"25", 20}});
    for (const char* id : {"o1-p", "o2-p", "o3-p", "o4-p0", "o4-p1", "o4-p2", "o4-p3"})
        context()->fetchFirst("Payment", "remoteId == %@", std::string(id))->setToOne("cashInOut", cash);
    store.save();

    ReportGenerator reports(session);
    std::string text;
    const auto print = [&](const std::string& title, int width, bool payments) {
        std::optional<Lines> lines = reports.reportCashDrawer("D1", width, payments);
        ASSERT_TRUE(lines) << title;
        expectFits(*lines, static_cast<size_t>(width));
        text += "#### " + title + "\n" + test::joinLines(*lines);
    };
    print("open, 42", 42, true);
    print("open, 42, without the payments", 42, false);
    cash->setValue("outDate", Date::now());
    cash->setToOne("outBy", context()->fetchFirst("User", "userId == %@", std::string("U-ANN")));
    cash->setValue("outAmount", 12010);
    cash->setValue("outAmountCalculated", 11515);
    count("outBreakDown", {{"2000", 5}, {"100", 20}, {"10", 1}});
    store.save();
    print("closed, 42", 42, true);
    print("closed, 53", 53, true);
    print("closed, 42, without the payments", 42, false);
    EXPECT_TRUE(test::matchesGoldenText(text, "reports/cash_drawer_report.txt"));
}

class GatewayReportTest : public ReportTest {
protected:
    void SetUp() override {
        ReportTest::SetUp();
        setConfig("TAVLO_LITE", "NO");
        session = std::make_shared<Session>(context());
        session->setUserId("U-ANN");
        session->setStoreId("1");
        session->setPassword("secret");
        server.start();
        CommHelper::setGateway(server.url());
    }
    void TearDown() override {
        server.stop();
        CommHelper::setGateway(std::nullopt);
    }

    storesim::StoreServer server{storesim::StoreServer::Options{"1", "secret", 5}};
};

TEST_F(GatewayReportTest, TheReportsAreTheServersLines) {
    ASSERT_FALSE(session->isLite());
    server.setReport("getTotalSalesReport", {"CLOSE", "", "Total   $12.50"});
    server.setReport("getSalesStatus", {"STATUS"});
    ReportGenerator reports(session);
    EXPECT_EQ(reports.reportTotalSales(false, 42), (Lines{"CLOSE", "", "Total   $12.50"}));
    EXPECT_EQ(reports.reportSalesStatus(42), Lines{"STATUS"});
}

TEST_F(GatewayReportTest, AServerErrorGivesItsOneLineReport) {
    server.setFault("getTotalSalesReport", storesim::Fault::ErrorElement, 0, std::string("Day is being closed"));
    ReportGenerator reports(session);
    EXPECT_EQ(reports.reportTotalSales(false, 42), Lines{"Day is being closed"});
    server.setFault("getSalesStatus", storesim::Fault::RefuseConnection);
    Lines lines = reports.reportSalesStatus(42);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_FALSE(lines[0].empty());
}

TEST_F(GatewayReportTest, TheDrawerAndUserReportsAskForTheirCashInOut) {
    ReportGenerator reports(session);
    EXPECT_EQ(reports.reportCashDrawer("D2", 42), Lines{"No report available"});
    EXPECT_EQ(reports.reportUser("U-BOB", 42, true), Lines{"No report available"});

    server.setReport("getCashInOutReport", {"DRAWER D1"});
    ManagedObjectPtr cash = context()->fetchFirst("CashInOut", "cashDrawer.cashDrawerId == %@", std::string("D1"));
    cash->setValue("cashInOutId", std::string("CIO-9"));
    store.save();
    EXPECT_EQ(reports.reportCashDrawer("D1", 42), Lines{"DRAWER D1"});
    EXPECT_NE(server.requests().back().body.find("<cashInOutId>CIO-9</cashInOutId>"), std::string::npos);

    // Not yet known to the server: asked for by who, which drawer and when.
    cash->setValue("cashInOutId", std::string("-1"));
    cash->setValue("outDate", Date::now());
    cash->setToOne("outBy", context()->fetchFirst("User", "userId == %@", std::string("U-BOB")));
    store.save();
    EXPECT_EQ(reports.reportUser("U-BOB", 42, true), Lines{"DRAWER D1"});
    const std::string body = server.requests().back().body;
    EXPECT_EQ(body.find("<cashInOutId>"), std::string::npos);
    EXPECT_NE(body.find("<userId>U-BOB</userId>"), std::string::npos);

    // Lite mode has no user report.
    setConfig("TAVLO_LITE", "YES");
    ReportGenerator lite(std::make_shared<Session>(context()));
    EXPECT_EQ(lite.reportUser("U-BOB", 42, true), std::nullopt);
}

} // namespace
} // namespace tavlo
