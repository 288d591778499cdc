#include "payments/Transaction.h"

#include "CardStore.h"
#include "platform/foundation/Text.h"
#include "xml/XmlHelper.h"

namespace tavlo::test {
namespace {

using Text = std::optional<std::string>;
using Fields = std::map<std::string, std::string>;

class TransactionTest : public CardStore {
protected:
    // A stored sale of 25.00 with a tip, in batch 1.
    ManagedObjectPtr storedSale() {
        openBatch();
        Error error;
        std::shared_ptr<PaymentTransaction> t = handler->newTransaction(config, &error);
        t->setValue("2500", "SUB_TOTAL");
        t->setValue("375", "TIP");
        t->setValue("1111", "NUMBER");
        t->setValue("a&b <c>", "TAVLO_NAME");
        EXPECT_TRUE(handler->sale(*t, config, &error)) << error.localizedDescription();
        clock->advance(90);
        t->setVoided(Date::now());
        EXPECT_TRUE(handler->saveTransaction(*t, 1, "merchant1", "T1", &error));
        return freshContext()->fetchFirst("Transaction", "transactionId == %d", intValue(t->transactionId()));
    }
};

TEST_F(TransactionTest, NewRecordIsDatedNow) {
    Transaction t;
    EXPECT_EQ(t.created(), Date::now());
    EXPECT_EQ(t.updated(), Date::now());
    EXPECT_FALSE(t.voided());
    EXPECT_TRUE(t.fields().empty());
}

TEST_F(TransactionTest, ReadsAStoredRow) {
    Date sold = Date::now();
    ManagedObjectPtr row = storedSale();
    ASSERT_TRUE(row);
    Transaction t;
    t.read(*row);
    EXPECT_EQ(t.batchId(), Text("1"));
    EXPECT_EQ(t.transactionId(), Text("1"));
    EXPECT_EQ(t.approval(), Text("A00001"));
    EXPECT_EQ(t.number(), Text("1111"));
    EXPECT_EQ(t.subTotal(), 2500);
    EXPECT_EQ(t.tip(), 375);
    EXPECT_EQ(t.tax(), 0);
    EXPECT_EQ(t.created(), sold);
    EXPECT_EQ(t.updated(), Date::now());
    EXPECT_EQ(t.voided(), Date::now());
    EXPECT_FALSE(t.adjusted());
    EXPECT_EQ(t.fields().at("TAVLO_NAME"), "a&b <c>");
    EXPECT_EQ(t.fields().at("HOST_DATA"), "R1");
    EXPECT_EQ(t.fields().size(), 8u);
}

TEST_F(TransactionTest, ReadsAServerElement) {
    struct Case {
        const char* xml;
        Text approval;
        int32_t tip;
        std::optional<Date> voided, created;
        Fields fields;
    };
    const Date before = Date::now();
    const Case cases[] = {
        {"<transaction id=\"12\"><approval>A9</approval><tip>150</tip><voided>1700000100999</voided>"
         "<created>1600000000000</created><fields><field name=\"PNRef\" value=\"P1\"/>"
         "<field name=\"TAVLO_ORDER\" value=\"o-1\"/></fields></transaction>",
         "A9",
         150,
         Date(1'700'000'100),
         Date(1'600'000'000),
         {{"PNRef", "P1"}, {"TAVLO_ORDER", "o-1"}}},
        // Zero dates: no void, creation left as it was; the field run ends at another element.
        {"<transaction id=\"13\"><voided>0</voided><created>0</created><fields><field name=\"A\" value=\"1\"/>"
         "<other/><field name=\"B\" value=\"2\"/></fields></transaction>",
         "kept",
         7,
         std::nullopt,
         before,
         {{"A", "1"}, {"old", "x"}}},
        {"<transaction id=\"14\"><voided>junk</voided><fields/></transaction>",
         "kept",
         7,
         std::nullopt,
         before,
         {{"old", "x"}}},
    };
    for (const Case& c : cases) {
        XmlDocPtr doc = XmlHelper::parse(c.xml);
        ASSERT_TRUE(doc) << c.xml;
        Transaction t;
        t.setApproval("kept");
        t.setTip(7);
        t.setVoided(Date(5));
        t.fields()["old"] = "x";
        t.read(xmlDocGetRootElement(doc.get()), doc.get());
        EXPECT_EQ(t.approval(), c.approval) << c.xml;
        EXPECT_EQ(t.tip(), c.tip) << c.xml;
        EXPECT_EQ(t.voided(), c.voided) << c.xml;
        EXPECT_EQ(t.created(), c.created) << c.xml;
        Fields expected = c.fields;
        if (!expected.contains("old")) expected["old"] = "x";
        EXPECT_EQ(t.fields(), expected) << c.xml;
    }
}

TEST_F(TransactionTest, TheDumpOfAnOlderRowLeavesItsPasswordOut) {
    ManagedObjectPtr sale = storedSale();
    ASSERT_TRUE(sale);
    ObjectContext* fresh = freshContext();
    ManagedObjectPtr row = fresh->fetchFirst("Transaction", "transactionId == %d", sale->int32("transactionId"));
    ASSERT_TRUE(row);
    ManagedObjectPtr kept = fresh->insert("TransactionField");
    kept->setValue("name", std::string("Password"));
    kept->setValue("value", std::string("old-secret"));
    kept->setToOne("transaction", row);
    std::optional<std::string> dump = XmlHelper::getXmlTransaction(Transaction::cardTransactionValues(*row));
    ASSERT_TRUE(dump);
    EXPECT_EQ(dump->find("old-secret"), std::string::npos) << *dump;
    EXPECT_EQ(dump->find("Password"), std::string::npos) << *dump;
}

TEST_F(TransactionTest, DumpDocumentsReadBack) {
    ManagedObjectPtr row = storedSale();
    ASSERT_TRUE(row);
    std::optional<std::string> dump = XmlHelper::getXmlTransaction(Transaction::cardTransactionValues(*row));
    ASSERT_TRUE(dump);
    XmlDocPtr doc = XmlHelper::parse(*dump);
    ASSERT_TRUE(doc);
    Transaction back;
    back.read(xmlDocGetRootElement(doc.get()), doc.get());
    Transaction stored;
    stored.read(*row);
    EXPECT_EQ(back.transactionId(), stored.transactionId());
    EXPECT_EQ(back.number(), stored.number());
    EXPECT_EQ(back.subTotal(), 2500);
    EXPECT_EQ(back.tip(), 375);
    EXPECT_EQ(back.voided(), stored.voided()->wholeSecondsDate());
    EXPECT_EQ(back.created(), stored.created()->wholeSecondsDate());
    EXPECT_EQ(back.fields(), stored.fields());

    std::optional<std::string> batchDump = XmlHelper::getXmlBatch(Transaction::cardBatchValues(*row->toOne("batch")));
    ASSERT_TRUE(batchDump);
    XmlDocPtr batchDoc = XmlHelper::parse(*batchDump);
    ASSERT_TRUE(batchDoc);
    xmlNodePtr root = xmlDocGetRootElement(batchDoc.get());
    EXPECT_EQ(XmlHelper::getChildValue(batchDoc.get(), root, "host"), Text("FAKE"));
    EXPECT_EQ(XmlHelper::getChildValue(batchDoc.get(), root, "merchantId"), Text("merchant1"));
    EXPECT_EQ(XmlHelper::getChildValue(batchDoc.get(), root, "batchId"), Text("1"));
    auto transactions = XmlHelper::getChildRun(XmlHelper::getFirstChildNode(root, "transactions"), "transaction");
    ASSERT_EQ(transactions.size(), 1u);
    EXPECT_EQ(XmlHelper::getAttributeValue(transactions[0], "id"), Text("1"));
}

} // namespace
} // namespace tavlo::test
