#include "payments/LarchTransaction.h"

#include "CardStore.h"
#include "platform/foundation/Text.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

using namespace tavlo;

namespace {

using Text = std::optional<std::string>;

HostConfig config(std::string password = "s3cret") {
    return {{"HOST_LARCH_USER", "merchant1"},
            {"HOST_LARCH_PASSWORD", std::move(password)},
            {"HOST_LARCH_RP", "42"},
            {"HOST_LARCH_CAPTURE_URL", "https://127.0.0.1/capture"}};
}

// A swiped sale of 10.00 with a 2.00 tip and 0.80 tax, as the pay screen fills it.
LarchTransaction swipedSale(const HostConfig& settings) {
    LarchTransaction t(&settings);
    t.setValue("ProcessCreditCard", "WebService");
    t.setValue("Sale", "TransType");
    t.setValue("17", "REF_NUMBER");
    t.setValue("T", "Force");
    t.setValue("4111111111111111", "NUMBER");
    t.setValue("2512", "EXP_DATE");
    t.setValue("4111111111111111=25121010000000000", "TRACK_2");
    t.setValue("B4111111111111111^DOE/JOHN^2512101000000000", "TRACK_1");
    t.setValue("%B4111111111111111^DOE/JOHN^2512101000000000?;4111111111111111=25121010000000000?", "TAVLO_RAW_SWIPE");
    t.setValue("order-1", "TAVLO_ORDER");
    t.setValue("DOE/JOHN", "TAVLO_NAME");
    t.setValue("60601", "TAVLO_ZIP");
    t.setValue("1000", "SUB_TOTAL");
    t.setValue("2.00", "TIP");
    t.setValue("0.80", "TAX");
    return t;
}

// The sale after the gateway approved it and the card data was dropped.
LarchTransaction approvedSale() {
    LarchTransaction t = swipedSale(config());
    EXPECT_TRUE(t.fromXml(test::readFixture("payments/larch_approved.xml")));
    t.setValue("1111", "NUMBER");
    for (const char* gone : {"EXP_DATE", "TRACK_2", "CARD_CONF"}) t.removeField(gone);
    return t;
}

} // namespace

TEST(LarchTransaction, AmountStaysTheSumOfItsParts) {
    LarchTransaction t;
    t.setValue("1000", "SUB_TOTAL");
    t.setValue("2.00", "TIP");
    t.setValue("0.80", "TAX");
    EXPECT_EQ(t.valueForField("Amount"), Text("12.80"));
    EXPECT_EQ(t.valueForField("TIP"), Text("2.00"));
    EXPECT_EQ(t.valueForField("TaxAmt"), Text("0.80"));
    EXPECT_EQ(t.valueForField("SUB_TOTAL"), Text("1000"));

    t.setValue("300", "TIP"); // a second tip replaces the first; cents text reads the same
    EXPECT_EQ(t.valueForField("Amount"), Text("13.80"));
    EXPECT_EQ(t.valueForField("TipAmt"), Text("3.00"));
    t.setValue("2500", "SUB_TOTAL"); // a new sub-total keeps tip and tax on top
    EXPECT_EQ(t.valueForField("Amount"), Text("28.80"));
    EXPECT_EQ(t.valueForField("SUB_TOTAL"), Text("2500"));
    t.setValue(std::nullopt, "TIP");
    EXPECT_EQ(t.valueForField("Amount"), Text("25.80"));
    EXPECT_EQ(t.valueForField("TipAmt"), Text("0.00"));
    EXPECT_EQ(t.approvedAmount(), 2580);
    EXPECT_FALSE(t.contains("SUB_TOTAL_CENTS"));
    EXPECT_FALSE(t.fields().contains("SUB_TOTAL"));
}

TEST(LarchTransaction, DerivedSubTotal) {
    struct Case {
        Text amount, tip, tax;
        const char* subTotal;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, std::nullopt, "0"},
        {"12.80", std::nullopt, std::nullopt, "1280"},
        {"12.80", "2.00", "0.80", "1000"},
        {"1.00", "2.00", "0.80", "-100"}, // below 1 after the tip: tax is not taken off
        {"0.00", "2.00", "0.80", "0"},
        {"0.05", std::nullopt, "0.05", "0"},
    };
    for (const Case& c : cases) {
        LarchTransaction t;
        if (c.amount) t.setValue(c.amount, "Amount");
        if (c.tip) t.setValue(c.tip, "TipAmt");
        if (c.tax) t.setValue(c.tax, "TaxAmt");
        EXPECT_EQ(t.valueForField("SUB_TOTAL"), Text(c.subTotal)) << c.amount.value_or("nil");
    }
    LarchTransaction tipOnly;
    tipOnly.setValue("1.50", "TIP");
    EXPECT_EQ(tipOnly.valueForField("Amount"), Text("1.50"));
}

TEST(LarchTransaction, GenericNamesReachTheGatewayNames) {
    const std::pair<const char*, const char*> table[] = {
        {"REF_NUMBER", "InvNum"},   {"TAVLO_NAME", "NameOnCard"}, {"NUMBER", "CardNum"},  {"EXP_DATE", "ExpDate"},
        {"TAVLO_STREET", "Street"}, {"TAVLO_ZIP", "Zip"},         {"TRACK_2", "MagData"}, {"TIP", "TipAmt"},
        {"TAX", "TaxAmt"},          {"APPROVAL", "AuthCode"},     {"CARD_CONF", "CVNum"}, {"SUB_TOTAL", "Amount"},
        {"TRACK_1", "TRACK_1"},     {"PNRef", "PNRef"},
    };
    for (const auto& [generic, gateway] : table) EXPECT_EQ(LarchTransaction::synonym(generic), gateway);

    LarchTransaction t;
    t.setValue("4111111111111111", "CardNum");
    EXPECT_TRUE(t.contains("NUMBER"));
    EXPECT_EQ(t.valueForField("NUMBER"), Text("4111111111111111"));
    t.setValue("4111111111111111=2512101", "TRACK_2");
    t.removeField("TRACK_2");
    EXPECT_FALSE(t.contains("MagData"));
    t.setValue("order-1", "TAVLO_ORDER");
    EXPECT_TRUE(t.contains("TAVLO_ORDER"));
    t.setValue(std::nullopt, "NUMBER");
    EXPECT_FALSE(t.contains("CardNum"));
    EXPECT_EQ(t.getFields(), (std::vector<std::string>{"TAVLO_ORDER"}));

    t.setHostData("80001234");
    EXPECT_EQ(t.valueForField("PNRef"), Text("80001234"));
    t.setValue("A1", "APPROVAL");
    EXPECT_EQ(t.approvalCode(), Text("A1"));
}

TEST(LarchTransaction, CardVerificationPresence) {
    const std::pair<const char*, const char*> table[] = {
        {"1", "NotPresent"}, {"9", "None"}, {"2", "Submitted Illegible"}, {"0", "NotSubmitted"}, {"x", "NotSubmitted"}};
    for (const auto& [code, presence] : table) {
        LarchTransaction t;
        t.setValue(code, "CARD_CONF_PRESENCE");
        EXPECT_EQ(t.valueForField("CARD_CONF_PRESENCE"), Text(code));
        EXPECT_EQ(t.valueForField("CVPresence"), Text(presence));
        t.setValue(std::nullopt, "CARD_CONF_PRESENCE");
        EXPECT_TRUE(t.getFields().empty());
    }
}

TEST(LarchTransaction, ConfigurationFillsTheCredentials) {
    test::TempHome home;
    ScopedFakeClock clock;
    HostConfig settings = config();
    LarchTransaction t(&settings);
    EXPECT_EQ(t.valueForField("UserName"), Text("merchant1"));
    EXPECT_EQ(t.valueForField("Password"), Text("s3cret"));
    EXPECT_EQ(t.valueForField("RPNum"), Text("42"));
    EXPECT_EQ(t.getFields().size(), 3u);
    EXPECT_EQ(t.created(), Date::now());
    EXPECT_EQ(t.updated(), Date::now());
    EXPECT_FALSE(t.offline());
    EXPECT_FALSE(t.voided());
    EXPECT_TRUE(LarchTransaction().getFields().empty());
}

TEST(LarchTransaction, SaleBodyWithTipAndTax) {
    LarchTransaction t = swipedSale(config("pa ss&word=1"));
    t.setHostData("OLD1"); // no reference goes with a sale
    EXPECT_EQ(
        t.toFieldValue("Sale"),
        Text("UserName=merchant1&Password=pa%20ss%26word%3D1&TransType=Sale&CardNum=4111111111111111"
             "&ExpDate=2512&MagData=4111111111111111%3D25121010000000000&NameOnCard=DOE%2FJOHN&Amount=12.80"
             "&InvNum=17&PNRef=&Zip=60601&Street=&CVNum="
             "&ExtData=%3CTipAmt%3E2.00%3C%2FTipAmt%3E%3CTaxAmt%3E0.80%3C%2FTaxAmt%3E%3CForce%3ET%3C%2FForce%3E"));
}

TEST(LarchTransaction, CraftedValuesCannotAddFields) {
    LarchTransaction t = swipedSale(config());
    t.setValue("X&Amount=0.01&CVNum=1", "TAVLO_NAME");
    t.setValue("T</Force><TipAmt>99.00", "Force");
    std::string body = *t.toFieldValue("Sale");
    EXPECT_NE(body.find("&NameOnCard=X%26Amount%3D0.01%26CVNum%3D1&"), std::string::npos) << body;
    EXPECT_EQ(split(body, "&").size(), 14u);
    EXPECT_EQ(t.extData(),
              "<TipAmt>2.00</TipAmt><TaxAmt>0.80</TaxAmt><Force>T&lt;/Force&gt;&lt;TipAmt&gt;99.00</Force>");
}

TEST(LarchTransaction, CaptureAllBodyCarriesOnlyTheCredentials) {
    HostConfig settings = config();
    LarchTransaction t(&settings);
    t.setValue("18", "REF_NUMBER");
    t.setValue("T", "Force");
    t.setValue("CaptureAll", "TransType");
    t.setValue("ProcessCreditCard", "WebService");
    EXPECT_EQ(t.toFieldValue("CaptureAll"),
              Text("UserName=merchant1&Password=s3cret&TransType=CaptureAll&CardNum=&ExpDate=&MagData=&NameOnCard="
                   "&Amount=&InvNum=&PNRef=&Zip=&Street=&CVNum=&ExtData=%3CForce%3ET%3C%2FForce%3E"));
}

TEST(LarchTransaction, VoidBodyCarriesEveryHeldField) {
    LarchTransaction t = approvedSale();
    for (const char* gone : {"APPROVAL", "SUB_TOTAL", "NUMBER", "REF_NUMBER"}) t.removeField(gone);
    t.setValue("ProcessCreditCard", "WebService");
    t.setValue("Void", "TransType");
    EXPECT_EQ(
        t.toFieldValue("Void"),
        Text("UserName=merchant1&Password=s3cret&TransType=Void&CardNum=&ExpDate=&MagData=&NameOnCard=DOE%2FJOHN"
             "&Amount=&InvNum=&PNRef=80001234&Zip=60601&Street=&CVNum="
             "&ExtData=%3CTipAmt%3E2.00%3C%2FTipAmt%3E%3CTaxAmt%3E0.80%3C%2FTaxAmt%3E%3CForce%3ET%3C%2FForce%3E"));
}

TEST(LarchTransaction, AdjustmentBodyCarriesReferenceAndTip) {
    LarchTransaction t = approvedSale();
    t.setValue("3.00", "TIP");
    t.setValue("ProcessCreditCard", "WebService");
    t.setValue("Adjustment", "TransType");
    t.removeField("APPROVAL");
    EXPECT_EQ(t.valueForField("Amount"), Text("13.80"));
    EXPECT_EQ(
        t.toFieldValue("Adjustment"),
        Text("UserName=merchant1&Password=s3cret&TransType=Adjustment&CardNum=&ExpDate=&MagData=&NameOnCard="
             "&Amount=&InvNum=&PNRef=80001234&Zip=&Street=&CVNum="
             "&ExtData=%3CTipAmt%3E3.00%3C%2FTipAmt%3E%3CTaxAmt%3E0.80%3C%2FTaxAmt%3E%3CForce%3ET%3C%2FForce%3E"));
}

TEST(LarchTransaction, DetailQueryBody) {
    HostConfig settings = config();
    LarchTransaction t(&settings);
    t.setValue("19", "REF_NUMBER");
    t.setValue("T", "Force");
    t.removeField("Force");
    t.setValue("TrxDetail", "WebService");
    t.setValue("FALSE", "ExcludeVoid");
    t.setValue("0", "Result");
    t.setValue("2025-06-15T08:00:00", "BeginDt");
    t.setValue("2025-06-15T23:10:59", "EndDt");
    t.setValue("Sale','Credit", "TransType");
    EXPECT_EQ(t.toFieldValue("TrxDetail"),
              Text("UserName=merchant1&Password=s3cret&RPNum=42&PNRef=&BeginDt=2025-06-15T08%3A00%3A00"
                   "&EndDt=2025-06-15T23%3A10%3A59&PaymentType=&ExcludePaymentType=&TransType=Sale%27%2C%27Credit"
                   "&ExcludeTransType=&ApprovalCode=&Result=0&ExcludeResult=&NameOnCard=&CardNum=&CardType="
                   "&ExcludeCardType=&ExcludeVoid=FALSE&User=&invoiceId=&SettleFlag=&SettleMsg=&SettleDt="
                   "&TransformType=&Xsl=&ColDelim=&RowDelim=&IncludeHeader=&ExtData="));
}

TEST(LarchTransaction, NoBodyWithoutAWebService) {
    LarchTransaction t = swipedSale(config());
    t.removeField("WebService");
    EXPECT_FALSE(t.toFieldValue("Sale"));
    t.setValue("Sale", "WebService");
    EXPECT_FALSE(t.toFieldValue("Sale"));
}

TEST(LarchTransaction, ReadsApprovedReply) {
    LarchTransaction t = swipedSale(config());
    t.setValue("old message", "Message");
    ASSERT_TRUE(t.fromXml(test::readFixture("payments/larch_approved.xml")));
    EXPECT_TRUE(t.wasApproved());
    EXPECT_EQ(t.approvalCode(), Text("A12345"));
    EXPECT_EQ(t.hostData(), Text("80001234"));
    EXPECT_EQ(t.responseMessage(), Text("Approved"));
    EXPECT_EQ(t.responseCardVerification(), Text("M"));
    EXPECT_EQ(t.valueForField("Message"), Text("APPROVAL"));
    EXPECT_EQ(t.valueForField("HostCode"), Text("0042"));
    EXPECT_EQ(t.valueForField("NUMBER"), Text("4111111111111111")); // held fields stay
    EXPECT_EQ(t.approvedAmount(), 1280);
    EXPECT_FALSE(t.contains("Response"));
}

TEST(LarchTransaction, ReadsDeclinedReply) {
    LarchTransaction t = swipedSale(config());
    ASSERT_TRUE(t.fromXml(test::readFixture("payments/larch_declined.xml")));
    EXPECT_FALSE(t.wasApproved());
    EXPECT_EQ(t.responseMessage(), Text("Declined"));
    EXPECT_EQ(t.valueForField("Message"), Text("Insufficient funds & limit reached"));
    EXPECT_EQ(t.hostData(), Text("80001235"));
    EXPECT_FALSE(t.approvalCode()); // an empty element sets nothing
}

TEST(LarchTransaction, ReplyWithoutResultIsNotApproved) {
    LarchTransaction stored = approvedSale();
    ASSERT_TRUE(stored.wasApproved());
    // Voiding or adjusting a stored sale: its old Result must not approve the new reply.
    ASSERT_TRUE(stored.fromXml(test::readFixture("payments/larch_no_result.xml")));
    EXPECT_FALSE(stored.wasApproved());
    EXPECT_EQ(stored.responseMessage(), Text("Service unavailable"));

    LarchTransaction page = approvedSale();
    EXPECT_FALSE(page.fromXml(std::string("<html><body>Internal error</body>")));
    EXPECT_FALSE(page.wasApproved());
}

TEST(LarchTransaction, ResultMustReadAsZero) {
    const std::pair<const char*, bool> table[] = {{"0", true},   {" 0 ", true},   {"00", true},   {"-0", true},
                                                  {"12", false}, {"1015", false}, {"abc", false}, {"0x", false}};
    for (const auto& [result, approved] : table) {
        LarchTransaction t;
        t.fromXml("<Response><Result>" + std::string(result) + "</Result></Response>");
        EXPECT_EQ(t.wasApproved(), approved) << result;
    }
}

TEST(LarchTransaction, ReadsTheDetailDocumentAsText) {
    LarchTransaction t;
    ASSERT_TRUE(t.fromXml(test::readFixture("payments/larch_detail.xml")));
    EXPECT_EQ(t.valueForField("string"),
              Text("<DetailList><TrxDetailCard><TRX_HD_Key>80001234</TRX_HD_Key><Invoice_ID>17</Invoice_ID>"
                   "</TrxDetailCard></DetailList>"));
}

TEST(LarchTransaction, OddRepliesAreReadSafely) {
    LarchTransaction t;
    t.setValue("kept", "RespMSG");
    EXPECT_TRUE(t.fromXml(std::nullopt));
    EXPECT_EQ(t.responseMessage(), Text("kept"));

    // Cut short: what came before the cut is kept.
    EXPECT_FALSE(t.fromXml(std::string("<Response><Result>0</Result><RespMSG>Appr")));
    EXPECT_TRUE(t.wasApproved());
    EXPECT_EQ(t.responseMessage(), Text("kept"));

    // Entities of the reply's own are never expanded: such a reply is refused.
    LarchTransaction entity;
    EXPECT_FALSE(entity.fromXml(std::string("<!DOCTYPE Response [<!ENTITY x \"boom\">]>"
                                            "<Response><RespMSG>a&x;b</RespMSG></Response>")));
    EXPECT_EQ(entity.responseMessage().value_or("").find("boom"), std::string::npos);

    LarchTransaction cdata;
    EXPECT_TRUE(cdata.fromXml(std::string("<Response><Message><![CDATA[1 < 2]]></Message></Response>")));
    EXPECT_EQ(cdata.valueForField("Message"), Text("1 < 2"));
    EXPECT_FALSE(LarchTransaction().fromXml(std::string()));
}

namespace tavlo::test {
namespace {

class StoredLarchTransaction : public CardStore {};

TEST_F(StoredLarchTransaction, ReadsBackWhatWasStored) {
    openBatch();
    handler->getHost("merchant1", "T1")->setValue("lastTransactionId", 16);
    LarchTransaction sale = approvedSale();
    sale.setTransactionId("17");
    sale.setOffline(true);
    Error error;
    ASSERT_TRUE(handler->saveTransaction(sale, 1, "merchant1", "T1", &error)) << error.localizedDescription();
    ManagedObjectPtr row = freshContext()->fetchFirst("Transaction", "transactionId == 17");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->int32("subTotal"), 1000);
    EXPECT_EQ(row->int32("tip"), 200);
    EXPECT_EQ(row->int32("tax"), 80);
    EXPECT_EQ(row->text("approval"), Text("A12345"));
    EXPECT_EQ(row->text("number"), Text("1111"));

    // The gateway password is no part of the record: the configuration supplies it again.
    for (const ManagedObjectPtr& field : row->toMany("transactionFields"))
        EXPECT_NE(field->text("name"), Text("Password"));

    clock->advance(5);
    const HostConfig settings = ::config();
    LarchTransaction back(&settings);
    back.read(*row);
    EXPECT_EQ(back.transactionId(), Text("17"));
    EXPECT_EQ(back.created(), sale.created());
    EXPECT_EQ(back.updated(), sale.updated());
    EXPECT_TRUE(back.offline());
    EXPECT_FALSE(back.voided());
    EXPECT_EQ(back.valueForField("SUB_TOTAL"), Text("1000"));
    EXPECT_EQ(back.valueForField("Amount"), Text("12.80"));
    EXPECT_EQ(back.hostData(), Text("80001234"));
    EXPECT_TRUE(back.wasApproved());
    // The raw swipe and track 1 went with the sale to the gateway, never into the record.
    EXPECT_FALSE(back.contains("TAVLO_RAW_SWIPE"));
    EXPECT_FALSE(back.contains("TRACK_1"));
    EXPECT_EQ(back.fields(), sale.fields());
    EXPECT_EQ(back.toFieldValue("Adjustment"), sale.toFieldValue("Adjustment"));
}

TEST_F(StoredLarchTransaction, ThePasswordOfAnOlderRowGivesWayToTheConfigurationAndGoesAtTheNextSave) {
    openBatch();
    handler->getHost("merchant1", "T1")->setValue("lastTransactionId", 16);
    LarchTransaction sale = approvedSale();
    sale.setTransactionId("17");
    Error error;
    ASSERT_TRUE(handler->saveTransaction(sale, 1, "merchant1", "T1", &error)) << error.localizedDescription();
    // A row as an older version stored it, with the password of that time.
    ObjectContext* rows = handler->managedObjectContext();
    ManagedObjectPtr row = rows->fetchFirst("Transaction", "transactionId == 17");
    ASSERT_TRUE(row);
    ManagedObjectPtr kept = rows->insert("TransactionField");
    kept->setValue("name", std::string("Password"));
    kept->setValue("value", std::string("old-pw"));
    kept->setToOne("transaction", row);
    ASSERT_TRUE(rows->save(&error));

    const HostConfig current = ::config("new-pw");
    LarchTransaction configured(&current);
    configured.read(*row);
    EXPECT_EQ(configured.valueForField("Password"), Text("new-pw"));
    LarchTransaction bare; // no configuration at hand: the row's own still serves
    bare.read(*row);
    EXPECT_EQ(bare.valueForField("Password"), Text("old-pw"));

    ASSERT_TRUE(handler->saveTransaction(configured, 1, "merchant1", "T1", &error)) << error.localizedDescription();
    EXPECT_EQ(freshContext()->count(FetchRequest("TransactionField", Predicate::format("name == %@", "Password"))), 0u);
    EXPECT_EQ(freshContext()->count(FetchRequest("TransactionField", Predicate::format("name == %@", "PNRef"))), 1u);
}

} // namespace
} // namespace tavlo::test
