#include "core/records/CashInOut.h"

#include "PersistTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tavlo {
namespace {

using test::ParsedRequest;

CashInOut cashedIn() {
    CashInOut r;
    r.setCashInOutId("1700000000");
    r.setBatchId("7");
    r.setDrawerId("D1");
    r.setPaymentsByOrderCreator(true);
    r.setInBy("u1");
    r.setInForcedBy("mgr");
    r.setInAmount(34500);
    r.setInDate(Date(1700000000.25));
    r.setInTerminalId("T1");
    r.inBreakDown() = {{"100", 3}, {"1", 45}};
    return r;
}

void cashOut(CashInOut& r) {
    r.setOutBy("u1");
    r.setOutForcedBy("mgr");
    r.setOutCount(2);
    r.setOutAmount(51000);
    r.setOutAmountCalculated(51200);
    r.setOutDate(Date(1700030000));
    r.setOutTerminalId("T2");
    r.outBreakDown() = {{"2000", 25}, {"100", 10}};
    r.payments() = {{"p1", "o1"}, {"p2", "o2"}};
}

TEST(PersistCashInOut, DocumentWithoutSummariesStillSendsEveryType) {
    CashInOut r = cashedIn();
    ParsedRequest doc(r.toXml());
    ASSERT_TRUE(doc.record);
    EXPECT_TRUE(XmlHelper::isElementNamed(doc.record, "cashInOut"));
    EXPECT_EQ(doc.attribute("id"), "1700000000");
    std::vector<std::string> expected = {"userId",           "batchId",         "cashDrawerId",
                                         "cashInAmount",     "cashInDate",      "cashInTerminalId",
                                         "cashInForcedById", "cashInBreakDown", "cashInBreakDown"};
    for (const char* type : {"cash", "nonCash", "credit", "extCredit", "onlineCredit"}) {
        std::string t = type, upper = t;
        upper[0] = static_cast<char>(toupper(upper[0]));
        for (const char* part : {"SubTotal", "Gratuity", "Tip"}) expected.push_back(t + part);
        if (t == "cash") expected.insert(expected.end(), {"cashGratuityInCashDrawer", "cashTipInCashDrawer"});
        for (const char* part : {"SubTotal", "Gratuity", "Tip"}) expected.push_back("adjustment" + upper + part);
        if (t == "cash")
            expected.insert(expected.end(), {"adjustmentCashGratuityInCashDrawer", "adjustmentCashTipInCashDrawer"});
    }
    expected.push_back("paymentsByOrderCreator");
    EXPECT_EQ(test::childNames(doc.record), expected) << "no payments: no payment elements; not cashed out";
    EXPECT_EQ(doc.text("cashInDate"), "1700000000000");
    EXPECT_EQ(doc.text("nonCashSubTotal"), "0");
    EXPECT_EQ(doc.text("paymentsByOrderCreator"), "true");
    EXPECT_EQ(r.toXml(), r.toXmlPreCashOut());
}

TEST(PersistCashInOut, CashedOutDocumentCarriesCountsSummariesAndPayments) {
    CashInOut r = cashedIn();
    cashOut(r);
    PaymentTypeSummary credit;
    credit.subTotal = 1200;
    credit.tip = 150;
    credit.tipAdjusted = 7;
    r.summaries()["credit"] = credit;
    ParsedRequest doc(r.toXml());
    ASSERT_TRUE(doc.record);
    std::vector<std::string> names = test::childNames(doc.record);
    auto at = [&](const std::string& name) { return std::find(names.begin(), names.end(), name) - names.begin(); };
    EXPECT_LT(at("cashInBreakDown"), at("calculatedCashOutAmount"));
    EXPECT_EQ(
        std::vector<std::string>(names.begin() + at("calculatedCashOutAmount"), names.begin() + at("cashSubTotal")),
        (std::vector<std::string>{"calculatedCashOutAmount", "cashOutCount", "cashOutAmount", "cashOutDate",
                                  "cashOutTerminalId", "cashOutForcedById", "cashOutBreakDown", "cashOutBreakDown"}));
    EXPECT_EQ(std::vector<std::string>(names.begin() + at("paymentsByOrderCreator"), names.end()),
              (std::vector<std::string>{"paymentsByOrderCreator", "paymentSubTotal", "paymentSubTotal",
                                        "paymentGratuityAndTip", "paymentGratuityAndTip"}));
    EXPECT_EQ(doc.text("creditSubTotal"), "1200");
    EXPECT_EQ(doc.text("creditTip"), "150");
    EXPECT_EQ(doc.text("adjustmentCreditTip"), "7");
    EXPECT_EQ(doc.text("calculatedCashOutAmount"), "51200");
    xmlNodePtr tip = XmlHelper::getFirstChildNode(doc.record, "paymentGratuityAndTip");
    EXPECT_EQ(XmlHelper::getChildValue(doc.doc.get(), tip, "paymentGratuityAndTipRemoteId"), "p1");
    EXPECT_EQ(XmlHelper::getChildValue(doc.doc.get(), tip, "orderRemoteId"), "o1");
}

TEST(PersistCashInOut, SurvivesAnXmlRoundTrip) {
    CashInOut sent = cashedIn();
    cashOut(sent);
    ParsedRequest doc(sent.toXml());
    ASSERT_TRUE(doc.record);
    CashInOut got;
    got.read(doc.record, doc.doc.get());
    EXPECT_EQ(got.cashInOutId(), sent.cashInOutId());
    EXPECT_EQ(got.batchId(), sent.batchId());
    EXPECT_EQ(got.drawerId(), sent.drawerId());
    EXPECT_EQ(got.paymentsByOrderCreator(), sent.paymentsByOrderCreator());
    EXPECT_EQ(got.inBy(), sent.inBy());
    EXPECT_EQ(got.inForcedBy(), sent.inForcedBy());
    EXPECT_EQ(got.inAmount(), sent.inAmount());
    EXPECT_EQ(got.inDate(), Date(1700000000)) << "whole seconds on the wire";
    EXPECT_EQ(got.inTerminalId(), sent.inTerminalId());
    EXPECT_EQ(got.inBreakDown(), (CashInOut::BreakDown{{"100", 3}, {"1", 45}}));
    EXPECT_EQ(got.outBy(), sent.outBy());
    EXPECT_EQ(got.outForcedBy(), sent.outForcedBy());
    EXPECT_EQ(got.outCount(), sent.outCount());
    EXPECT_EQ(got.outAmount(), sent.outAmount());
    EXPECT_EQ(got.outDate(), sent.outDate());
    EXPECT_EQ(got.outTerminalId(), sent.outTerminalId());
    EXPECT_EQ(got.outBreakDown(), sent.outBreakDown());
    EXPECT_EQ(got.payments(), sent.payments());
    EXPECT_EQ(got.outAmountCalculated(), 0) << "not on the wire";
}

TEST(PersistCashInOut, MinusOneMeansNone) {
    XmlDocPtr doc =
        XmlHelper::parse("<cashInOut id=\"9\"><userId>u1</userId><batchId>7</batchId><cashDrawerId>-1</cashDrawerId>"
                         "<cashInAmount>100</cashInAmount><cashInTerminalId>-1</cashInTerminalId>"
                         "<cashInForcedById>-1</cashInForcedById></cashInOut>");
    ASSERT_TRUE(doc);
    CashInOut r;
    r.read(xmlDocGetRootElement(doc.get()), doc.get());
    EXPECT_EQ(r.drawerId(), std::nullopt);
    EXPECT_EQ(r.inTerminalId(), std::nullopt);
    EXPECT_EQ(r.inForcedBy(), std::nullopt);
    EXPECT_EQ(r.inDate(), Date(0)) << "no cash-in date reads as the start of 1970";
    EXPECT_EQ(r.outDate(), std::nullopt);
}

TEST(PersistCashInOut, CashInThenCashOutUpdateOneRow) {
    test::LocalStoreScope store;
    ObjectContext& context = *store.context();
    test::addRow(context, "StoreBatch", "remoteId", "7");
    test::addRow(context, "CashDrawer", "cashDrawerId", "D1");
    store.addTerminal("T1");
    store.addTerminal("T2");
    test::addUser(context, "u1");
    test::addUser(context, "mgr");
    for (const char* p : {"p1", "p2"}) {
        ManagedObjectPtr payment = test::addRow(context, "Payment", "remoteId", p);
        payment->setToOne("order", test::addRow(context, "Order", "remoteId", std::string("o") + p[1]));
    }
    store.save();

    CashInOut in = cashedIn();
    in.write(context);
    store.save();

    CashInOut out = cashedIn();
    out.setInAmount(99999); // cash-in fields are not written again
    out.inBreakDown() = {{"5", 1}};
    cashOut(out);
    out.write(context);
    store.save();

    auto other = test::otherContext(store);
    std::vector<ManagedObjectPtr> rows = other->fetchAll("CashInOut");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(other->fetchAll("CashAmount").size(), 4u);
    CashInOut got;
    got.read(*rows[0]);
    EXPECT_EQ(got.cashInOutId(), "1700000000");
    EXPECT_EQ(got.batchId(), "7");
    EXPECT_EQ(got.drawerId(), "D1");
    EXPECT_TRUE(got.paymentsByOrderCreator());
    EXPECT_EQ(got.inBy(), "u1");
    EXPECT_EQ(got.inForcedBy(), "mgr");
    EXPECT_EQ(got.inAmount(), 34500);
    EXPECT_EQ(got.inDate(), Date(1700000000));
    EXPECT_EQ(got.inTerminalId(), "T1");
    EXPECT_EQ(got.inBreakDown(), (CashInOut::BreakDown{{"100", 3}, {"1", 45}}));
    EXPECT_EQ(got.outBy(), "u1");
    EXPECT_EQ(got.outForcedBy(), "mgr");
    EXPECT_EQ(got.outCount(), 2);
    EXPECT_EQ(got.outAmount(), 51000);
    EXPECT_EQ(got.outAmountCalculated(), 51200);
    EXPECT_EQ(got.outDate(), Date(1700030000));
    EXPECT_EQ(got.outTerminalId(), "T2");
    EXPECT_EQ(got.outBreakDown(), (CashInOut::BreakDown{{"2000", 25}, {"100", 10}}));
    EXPECT_EQ(got.payments(), (std::map<std::string, std::string>{{"p1", "o1"}, {"p2", "o2"}}));
}

TEST(PersistCashInOut, PettyCashStaysInMemory) {
    test::LocalStoreScope store;
    ObjectContext& context = *store.context();
    test::addRow(context, "StoreBatch", "remoteId", "7");
    test::addRow(context, "CashDrawer", "cashDrawerId", "D1");
    test::addUser(context, "u1");
    CashInOut plain = cashedIn();
    cashOut(plain);
    CashInOut withPetty = cashedIn();
    cashOut(withPetty);
    withPetty.pettyCash() = {1250, 400};

    EXPECT_EQ(withPetty.toXml(), plain.toXml()) << "not sent";
    withPetty.write(context);
    store.save();
    EXPECT_EQ(withPetty.pettyCash(), (std::vector<int32_t>{1250, 400}));

    auto other = test::otherContext(store);
    std::vector<ManagedObjectPtr> rows = other->fetchAll("CashInOut");
    ASSERT_EQ(rows.size(), 1u);
    CashInOut got;
    got.pettyCash() = {99};
    got.read(*rows[0]);
    EXPECT_EQ(got.pettyCash(), std::vector<int32_t>{99}) << "not stored: reading leaves it alone";
    EXPECT_EQ(CashInOut().pettyCash(), std::vector<int32_t>{});
}

} // namespace
} // namespace tavlo
