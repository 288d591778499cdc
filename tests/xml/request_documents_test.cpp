#include "xml/TextWriterDocument.h"
#include "xml/XmlHelper.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tavlo;

namespace {

const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><tavloRequest>";
const std::string kTail = "</tavloRequest>";
const Date kDate(1'700'000'123.75);

// A TW document read back with libxml2.
struct ParsedRequest {
    XmlDocPtr doc;
    std::string encoding;
    std::string doctypeName;
    std::optional<std::string> systemId;
    xmlNodePtr root = nullptr;
    xmlNodePtr request = nullptr; // the root's one child

    explicit ParsedRequest(const std::string& bytes) : doc(XmlHelper::parse(bytes)) {
        if (!doc) return;
        if (doc->encoding) encoding = reinterpret_cast<const char*>(doc->encoding);
        if (xmlDtdPtr dtd = doc->intSubset) {
            doctypeName = reinterpret_cast<const char*>(dtd->name);
            if (dtd->SystemID) systemId = reinterpret_cast<const char*>(dtd->SystemID);
        }
        root = xmlDocGetRootElement(doc.get());
        request = root ? xmlFirstElementChild(root) : nullptr;
        if (request && xmlNextElementSibling(request)) request = nullptr;
    }

    static std::vector<std::string> childNames(xmlNodePtr node) {
        std::vector<std::string> names;
        for (xmlNodePtr c = node ? xmlFirstElementChild(node) : nullptr; c; c = xmlNextElementSibling(c))
            names.push_back(reinterpret_cast<const char*>(c->name));
        return names;
    }
    std::optional<std::string> text(const char* name) const {
        return XmlHelper::getChildValue(doc.get(), request, name);
    }
    bool isEmptyElement(const char* name) const {
        xmlNodePtr n = XmlHelper::getFirstChildNode(request, name);
        return n && n->children == nullptr;
    }
};

using Names = std::vector<std::string>;

} // namespace

TEST(StreamRequests, ByteForByte) {
    struct Case {
        const char* what;
        std::string got;
        std::string body;
    };
    const Case cases[] = {
        {"store data, nothing given", XmlHelper::getXmlStoreMenuData(std::nullopt, std::nullopt, std::nullopt, "3.1"),
         "<getStoreData><storeDateUpdated>0</storeDateUpdated><menuDateUpdated>0</menuDateUpdated></getStoreData>"},
        {"store data for a terminal", XmlHelper::getXmlStoreMenuData("1700000000000", "42", "T&1", "3.1"),
         "<getStoreData terminalId=\"T&amp;1\" version=\"3.1\"><storeDateUpdated>1700000000000</storeDateUpdated>"
         "<menuDateUpdated>42</menuDateUpdated></getStoreData>"},
        {"terminal info",
         XmlHelper::getXmlTerminalInfo(
             {"T1", "Bar \"front\"", "10.0.0.7", "Tablet9,1", 64'000'000'000ULL, "17.2", "3.1"}),
         "<terminalInfo id=\"T1\"><terminalName>Bar &quot;front&quot;</terminalName><ip>10.0.0.7</ip><os>iOS</os>"
         "<architecture>Tablet9,1</architecture><cpus>1</cpus><ram>64000000000</ram><sdkVersion>17.2</sdkVersion>"
         "<appVersion>3.1</appVersion><libVersion>NA</libVersion></terminalInfo>"},
        {"close without printer", XmlHelper::getXmlCloseStore("U1", "T1", std::nullopt),
         "<close><userId>U1</userId><terminalId>T1</terminalId></close>"},
        {"close with printer", XmlHelper::getXmlCloseStore("U1", "T1", "10.0.0.9:9100"),
         "<close><userId>U1</userId><terminalId>T1</terminalId><printerConnType>TCP/IP</printerConnType>"
         "<printerUrl>10.0.0.9:9100</printerUrl></close>"},
        {"report", XmlHelper::getXmlReport("getSalesStatus", std::nullopt), "<getSalesStatus />"},
        {"report with param", XmlHelper::getXmlReport("getTotalSalesReport", "a<b"),
         "<getTotalSalesReport param=\"a&lt;b\" />"},
        {"cash report by id", XmlHelper::getXmlReportCashInOut("C9", "U1", kDate, "D1", kDate, true),
         "<getCashInOutReport><cashInOutId>C9</cashInOutId><detailed>true</detailed></getCashInOutReport>"},
        {"cash report by user", XmlHelper::getXmlReportCashInOut(std::nullopt, "U1", kDate, "D1", std::nullopt, false),
         "<getCashInOutReport><userId>U1</userId><cashInDate>1700000123000</cashInDate><cashDrawerId>D1</cashDrawerId>"
         "<detailed>false</detailed></getCashInOutReport>"},
        {"print", XmlHelper::getXmlPrint({"Total  12.50", "", "Thanks & bye"}, "p:1"),
         "<print><printerConnType>TCP/IP</printerConnType><printerUrl>p:1</printerUrl><line>Total  12.50</line>"
         "<line></line><line>Thanks &amp; bye</line></print>"},
        {"users not cashed out", XmlHelper::getXmlUsersNotCashedOut(), "<getUsersNotCashedOut />"},
        {"cash out user", XmlHelper::getXmlCashOutUser("U1", "T1", std::nullopt, "M1", "p:1"),
         "<cashOutUser><userId>U1</userId><cashOutTerminalId>T1</cashOutTerminalId><cashOutForcedById>M1"
         "</cashOutForcedById><printerConnType>TCP/IP</printerConnType><printerUrl>p:1</printerUrl></cashOutUser>"},
        {"cash in", XmlHelper::getXmlCashInCD("U1", "T1", {{"2000", "3"}, {"500", "1"}}, "D1", std::nullopt, "p:1"),
         "<cashInCashDrawer><userId>U1</userId><cashInTerminalId>T1</cashInTerminalId><cashDrawerId>D1</cashDrawerId>"
         "<cashInBreakDown><amount>2000</amount><count>3</count></cashInBreakDown>"
         "<cashInBreakDown><amount>500</amount><count>1</count></cashInBreakDown>"
         "<printerConnType>TCP/IP</printerConnType><printerUrl>p:1</printerUrl></cashInCashDrawer>"},
        {"pre cash out", XmlHelper::getXmlPreCashOutCD("U1", "T1", "D1", "M1"),
         "<preCashOutCashDrawer><userId>U1</userId><cashOutTerminalId>T1</cashOutTerminalId><cashDrawerId>D1"
         "</cashDrawerId><cashOutForcedById>M1</cashOutForcedById></preCashOutCashDrawer>"},
        {"cash out, empty breakdown",
         XmlHelper::getXmlCashOutCD("U1", "T1", {}, 0, "D1", std::nullopt, std::nullopt, "p:1"),
         "<cashOutCashDrawer><userId>U1</userId><cashOutTerminalId>T1</cashOutTerminalId><cashDrawerId>D1</cashDrawerId>"
         "<count>0</count><printerConnType>TCP/IP</printerConnType><printerUrl>p:1</printerUrl></cashOutCashDrawer>"},
        {"cash out", XmlHelper::getXmlCashOutCD("U1", "T1", {{"100", 7}}, 2, "D1", "S1", "M1", "p:1"),
         "<cashOutCashDrawer><userId>U1</userId><cashOutTerminalId>T1</cashOutTerminalId><cashDrawerId>D1</cashDrawerId>"
         "<safeId>S1</safeId><cashOutForcedById>M1</cashOutForcedById>"
         "<cashOutBreakDown><amount>100</amount><count>7</count></cashOutBreakDown><count>2</count>"
         "<printerConnType>TCP/IP</printerConnType><printerUrl>p:1</printerUrl></cashOutCashDrawer>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got, kHead + c.body + kTail) << c.what;
        EXPECT_EQ(c.got.find('\n'), std::string::npos) << c.what;
        EXPECT_NE(XmlHelper::parse(c.got), nullptr) << c.what;
    }
}

TEST(TextWriterRequests, ShapesParseBack) {
    struct Case {
        const char* what;
        std::optional<std::string> bytes;
        const char* systemId;
        const char* request;
        Names children;
    };
    const Case cases[] = {
        {"open orders of a table",
         XmlHelper::getXmlOrdersByAreaLocationId("A7", true),
         "customerOrder.dtd",
         "getOrders",
         {"areaLocationId"}},
        {"all orders", XmlHelper::getXmlOrders(false), "customerOrder.dtd", "getOrders", {}},
        {"one order", XmlHelper::getXmlOrderByRemoteId("1-1700000000-4"), "customerOrder.dtd", "getOrder", {"remoteId"}},
        {"order data",
         XmlHelper::getXmlRequest("getOrderData", "customerOrder.dtd", std::nullopt),
         "customerOrder.dtd",
         "getOrderData",
         {}},
        {"customers since",
         XmlHelper::getXmlRequest("getCustomers", "storeData.dtd", kDate),
         "storeData.dtd",
         "getCustomers",
         {"dateUpdated"}},
        {"payment refs", XmlHelper::getXmlPaymentRefs(4), "storeData.dtd", "getPaymentRefs", {"paymentType"}},
        {"open with date",
         XmlHelper::getXmlOpenStore("U1", "T1", kDate),
         "storeData.dtd",
         "open",
         {"userId", "terminalId", "date"}},
        {"open",
         XmlHelper::getXmlOpenStore("U1", "T1", std::nullopt),
         "storeData.dtd",
         "open",
         {"userId", "terminalId"}},
        {"no sale",
         XmlHelper::getXmlNoSale("U1", "T1", "D1", kDate, std::nullopt),
         "storeData.dtd",
         "noSale",
         {"userId", "forcedBy", "date", "terminalId", "cashDrawerId"}},
        {"command processed",
         XmlHelper::getXmlCommandProcessed("T1"),
         "storeData.dtd",
         "processedTerminalCommand",
         {"terminalId"}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.bytes) << c.what;
        ParsedRequest p(*c.bytes);
        ASSERT_NE(p.doc, nullptr) << c.what;
        EXPECT_EQ(p.encoding, "ISO-8859-1") << c.what;
        EXPECT_EQ(p.doctypeName, "tavloRequest") << c.what;
        EXPECT_EQ(p.systemId, c.systemId) << c.what;
        EXPECT_EQ(reinterpret_cast<const char*>(p.root->name), std::string("tavloRequest")) << c.what;
        ASSERT_NE(p.request, nullptr) << c.what;
        EXPECT_EQ(reinterpret_cast<const char*>(p.request->name), std::string(c.request)) << c.what;
        EXPECT_EQ(ParsedRequest::childNames(p.request), c.children) << c.what;
    }
}

TEST(TextWriterRequests, Values) {
    ParsedRequest open(*XmlHelper::getXmlOrdersByAreaLocationId(std::nullopt, true));
    EXPECT_EQ(XmlHelper::getAttributeValue(open.request, "openOnly"), "true");
    ParsedRequest all(*XmlHelper::getXmlOrders(false));
    EXPECT_EQ(all.request->properties, nullptr);
    EXPECT_EQ(all.request->children, nullptr);

    ParsedRequest noSale(*XmlHelper::getXmlNoSale("U1", "T1", "D1", kDate, std::nullopt));
    EXPECT_TRUE(noSale.isEmptyElement("forcedBy"));
    EXPECT_EQ(noSale.text("date"), "1700000123000");
    EXPECT_EQ(ParsedRequest(*XmlHelper::getXmlNoSale("U1", "T1", "D1", kDate, "M2")).text("forcedBy"), "M2");
    // An absent value of a TW child is an empty element, not a missing one.
    ParsedRequest nilDrawer(*XmlHelper::getXmlNoSale("U1", "T1", std::nullopt, kDate, std::nullopt));
    EXPECT_TRUE(nilDrawer.isEmptyElement("cashDrawerId"));

    EXPECT_EQ(ParsedRequest(*XmlHelper::getXmlPaymentRefs(12)).text("paymentType"), "12");
    EXPECT_EQ(ParsedRequest(*XmlHelper::getXmlRequest("getCustomers", "storeData.dtd", kDate)).text("dateUpdated"),
              "1700000123000");
}

TEST(TextWriterRequests, NonAsciiBytesMatchTheDeclaration) {
    const std::string name = "José Peña";
    const auto bytes = XmlHelper::getXmlNoSale(name, "T1", "Caja <ñ> & \"1\"", kDate, "Zoë €");
    ASSERT_TRUE(bytes);
    // The body is ISO-8859-1 as declared: é is one byte 0xE9, ñ 0xF1, never their UTF-8 pairs.
    EXPECT_NE(bytes->find("Jos\xe9 Pe\xf1"
                          "a"),
              std::string::npos);
    EXPECT_EQ(bytes->find("\xc3\xa9"), std::string::npos);
    EXPECT_EQ(bytes->find("\xc3\xb1"), std::string::npos);
    ParsedRequest p(*bytes);
    ASSERT_NE(p.doc, nullptr);
    EXPECT_EQ(p.text("userId"), name);
    EXPECT_EQ(p.text("cashDrawerId"), "Caja <ñ> & \"1\"");
    EXPECT_EQ(p.text("forcedBy"), "Zoë €"); // outside Latin-1: a character reference, read back intact

    // Records with writers of their own declare UTF-8 and get UTF-8 bytes.
    TextWriterDocument utf8("UTF-8", "storeData.dtd");
    utf8.startElement("tavloRequest");
    utf8.writeElement("name", name);
    const auto utf8Bytes = utf8.finish();
    ASSERT_TRUE(utf8Bytes);
    EXPECT_NE(utf8Bytes->find(name), std::string::npos);
    ParsedRequest back(*utf8Bytes);
    EXPECT_EQ(back.encoding, "UTF-8");
    EXPECT_EQ(XmlHelper::getChildValue(back.doc.get(), back.root, "name"), name);
}

TEST(TextWriterRequests, CardDumps) {
    CardTransactionValues t;
    t.transactionId = 77;
    t.number = "4242";
    t.subTotal = 1250;
    t.tax = 100;
    t.tip = 200;
    t.created = kDate;
    t.voided = Date(1'700'000'500.0);
    t.fields = {{"authCode", "A1"}, {"avs", "Y \"z\""}};

    ParsedRequest tx(*XmlHelper::getXmlTransaction(t));
    ASSERT_NE(tx.doc, nullptr);
    EXPECT_EQ(tx.doctypeName, "tavloRequest");
    EXPECT_EQ(tx.systemId, "");
    xmlNodePtr root = tx.root;
    EXPECT_STREQ(reinterpret_cast<const char*>(root->name), "transaction");
    EXPECT_EQ(XmlHelper::getAttributeValue(root, "id"), "77");
    EXPECT_EQ(ParsedRequest::childNames(root),
              (Names{"number", "approval", "subTotal", "tax", "tip", "created", "voided", "fields"}));
    EXPECT_EQ(XmlHelper::getChildValue(tx.doc.get(), root, "approval"), std::nullopt);
    EXPECT_EQ(XmlHelper::getChildValue(tx.doc.get(), root, "voided"), "1700000500000");
    const auto fields = XmlHelper::getChildRun(XmlHelper::getFirstChildNode(root, "fields"), "field");
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(XmlHelper::getAttributeValue(fields[1], "name"), "avs");
    EXPECT_EQ(XmlHelper::getAttributeValue(fields[1], "value"), "Y \"z\"");

    CardBatchValues b;
    b.hostName = "Gateway Süd";
    b.merchantId = "M-1";
    b.batchId = 12;
    b.created = kDate;
    b.transactions = {t, t};
    ParsedRequest batch(*XmlHelper::getXmlBatch(b));
    ASSERT_NE(batch.doc, nullptr);
    EXPECT_EQ(batch.doctypeName, "tavloRequest"); // while the root is batch
    EXPECT_STREQ(reinterpret_cast<const char*>(batch.root->name), "batch");
    EXPECT_EQ(ParsedRequest::childNames(batch.root),
              (Names{"host", "merchantId", "batchId", "created", "transactions"}));
    EXPECT_EQ(XmlHelper::getChildValue(batch.doc.get(), batch.root, "host"), "Gateway Süd");
    EXPECT_EQ(XmlHelper::getChildRun(XmlHelper::getFirstChildNode(batch.root, "transactions"), "transaction").size(),
              2u);
}

TEST(TextWriterRequests, CharactersXmlCannotHoldAreDroppedSoTheBodyStaysWellFormed) {
    // Control characters go, as in the stream-written requests; tab and line feed are XML's own.
    const std::string dirty = "a\x01"
                              "b\x1f\tc\nd\xEF\xBF\xBE"
                              "e\x0b";
    const std::string clean = "ab\tc\nde";
    CardTransactionValues t;
    t.number = dirty;
    t.created = kDate;
    t.fields = {{"avs", dirty}};
    CardBatchValues b;
    b.hostName = dirty;
    b.created = kDate;
    b.transactions = {t};
    const auto batchTransaction = [](const ParsedRequest& p) {
        return XmlHelper::getFirstChildNode(XmlHelper::getFirstChildNode(p.root, "transactions"), "transaction");
    };

    using Read = std::function<std::optional<std::string>(const ParsedRequest&)>;
    struct Case {
        const char* what;
        std::optional<std::string> bytes;
        Read read;
    };
    const Case cases[] = {
        {"no sale", XmlHelper::getXmlNoSale(dirty, "T1", "D1", kDate, std::nullopt),
         [](const ParsedRequest& p) { return p.text("userId"); }},
        {"store open", XmlHelper::getXmlOpenStore("U1", dirty, kDate),
         [](const ParsedRequest& p) { return p.text("terminalId"); }},
        {"order by id", XmlHelper::getXmlOrderByRemoteId(dirty),
         [](const ParsedRequest& p) { return p.text("remoteId"); }},
        {"card batch host", XmlHelper::getXmlBatch(b),
         [](const ParsedRequest& p) { return XmlHelper::getChildValue(p.doc.get(), p.root, "host"); }},
        {"card batch number", XmlHelper::getXmlBatch(b),
         [&](const ParsedRequest& p) { return XmlHelper::getChildValue(p.doc.get(), batchTransaction(p), "number"); }},
        {"card batch field attribute", XmlHelper::getXmlBatch(b),
         [&](const ParsedRequest& p) {
             xmlNodePtr fields = XmlHelper::getFirstChildNode(batchTransaction(p), "fields");
             return XmlHelper::getAttributeValue(XmlHelper::getFirstChildNode(fields, "field"), "value");
         }},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.bytes) << c.what;
        EXPECT_EQ(c.bytes->find_first_of("\x01\x0b\x1f"), std::string::npos) << c.what;
        ParsedRequest p(*c.bytes);
        ASSERT_NE(p.doc, nullptr) << c.what << ": not well formed";
        EXPECT_EQ(c.read(p), clean) << c.what;
    }
}

TEST(TextWriterRequests, BadValueFailsWithTheStep) {
    Error error;
    EXPECT_EQ(XmlHelper::getXmlNoSale("bad\xff", "T1", "D1", kDate, std::nullopt, &error), std::nullopt);
    EXPECT_EQ(error.domain(), TextWriterDocument::kErrorDomain);
    EXPECT_EQ(error.localizedDescription(), "testXmlwriterMemory: Error at xmlTextWriterWriteElement");

    CardTransactionValues t;
    t.number = "42\xff";
    EXPECT_EQ(XmlHelper::getXmlTransaction(t, &error), std::nullopt);
    EXPECT_EQ(error.localizedDescription(),
              std::string("testXmlwriterMemory: Error at xmlTextWriterWriteElement, number: ") + *t.number);
}
