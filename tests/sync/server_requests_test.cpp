#include "StoreServerFixture.h"
#include "core/session/DBHelper.h"
#include "core/util/Base64.h"
#include "payments/Encryption.h"
#include "support/LogLines.h"
#include "support/LoopbackListener.h"
#include "sync/exchange/OrderDocumentWriter.h"
#include "xml/XmlHelper.h"

#include <gtest/gtest.h>

#include <thread>

#include <openssl/evp.h>
#include <openssl/x509.h>

using namespace tavlo;
using tavlo::storesim::Fault;
using tavlo::test::logged;
using tavlo::test::loggedMessages;
using tavlo::test::logText;
using Text = std::optional<std::string>;
using Lines = std::vector<std::string>;

namespace {

// Base64 of the DER SubjectPublicKeyInfo of a fresh RSA key, as the server sends its key.
std::string freshPublicKey() {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_RSA_gen(1024), &EVP_PKEY_free);
    unsigned char* der = nullptr;
    int n = i2d_PUBKEY(key.get(), &der);
    std::vector<uint8_t> bytes(der, der + n);
    OPENSSL_free(der);
    return Base64::encode(bytes);
}

// A fixed order document. It notes the card key in use when each document is written, as the
// card fields of a real order are encrypted with it.
class StubOrder : public OrderDocumentWriter {
public:
    explicit StubOrder(std::string remoteId, bool closed = false, std::string area = "A1")
        : remoteId_(std::move(remoteId)), closed_(closed), area_(std::move(area)) {}

    Text document(const Text& storeId, const Text& terminalId, bool, const Text&, const Text&, bool allPayments, bool,
                  ObjectContext*) override {
        keysUsed.push_back(Encryption::getInstance().getPublicKey());
        terminalIds.push_back(terminalId);
        EXPECT_FALSE(allPayments);
        return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><tavloRequest><customerOrder remoteId=\"" + remoteId_ +
               "\" type=\"DineIn\"><orderName>Table 4</orderName><storeId>" + storeId.value_or("") +
               "</storeId><closed>" + (closed_ ? "true" : "false") + "</closed><areaLocationId>" + area_ +
               "</areaLocationId><selection remoteId=\"s1\"><price>450</price></selection><total>450</total>"
               "</customerOrder></tavloRequest>";
    }

    void saveOrderSummary(xmlDocPtr, xmlNodePtr summary, ObjectContext*) override {
        summaries.push_back(XmlHelper::getAttributeValue(summary, "remoteId").value_or("?"));
    }

    std::vector<Text> keysUsed;
    std::vector<Text> terminalIds;
    std::vector<std::string> summaries;

private:
    std::string remoteId_;
    bool closed_;
    std::string area_;
};

} // namespace

using OrderSendTest = tavlo::test::StoreServerFixture;

TEST_F(OrderSendTest, KeyHandshake) {
    const std::string oldKey = freshPublicKey();
    const std::string newKey = freshPublicKey();
    server->setPublicKey(newKey);
    struct Case {
        const char* name;
        Fault fault;
        int times;
        Text text;
        bool accepted;
        Text code;           // nil: no error
        std::string message; // prefix
        size_t sends;
        bool held;
        bool installsNewKey;
    };
    const Case cases[] = {
        {"refused once for the key", Fault::KeyMismatch, 1, {}, true, {}, "", 2, true, true},
        {"refused twice for the key", Fault::KeyMismatch, 2, {}, false, "-99", "KeyMismatchException", 2, false, true},
        {"key warning once", Fault::KeyMismatchWarning, 1, {}, true, {}, "", 2, true, true},
        {"key warning twice", Fault::KeyMismatchWarning, 2, {}, true, "-99", "KeyMismatchException", 2, true, true},
        {"refused once for another reason", Fault::ErrorElement, 1, "Table is locked", true, {}, "", 2, true, false},
        {"refused twice for another reason", Fault::ErrorElement, 2, "X: Table is locked", false, "-1",
         "X: Table is locked", 2, false, false},
        {"plain warning", Fault::Warning, 0, "Printer offline", true, {}, "", 1, true, false},
        {"500 page saying success",
         Fault::ServerErrorPage,
         0,
         {},
         false,
         "-95",
         "Unable to complete request (",
         1,
         false,
         false},
        {"no reply within the time-out",
         Fault::Hang,
         0,
         {},
         false,
         "-95",
         "Unable to complete request (",
         1,
         false,
         false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Encryption::getInstance().setPublicKey(oldKey);
        server->clearFaults();
        server->setFault("customerOrder", c.fault, c.times, c.text);
        std::string remoteId = "1-1700000000-" + std::to_string(++n);
        StubOrder order(remoteId);
        Error error;
        EXPECT_EQ(CommHelper::sendOrder(order, server->url(), "u5", false, {}, {}, true, context(), &error),
                  c.accepted);
        if (c.code) {
            EXPECT_EQ(error.domain(), CommHelper::kStoreServerErrorDomain);
            EXPECT_EQ(std::to_string(error.code()), *c.code);
            EXPECT_EQ(error.localizedDescription().substr(0, c.message.size()), c.message)
                << error.localizedDescription();
        } else {
            EXPECT_FALSE(error.isSet()) << error.localizedDescription();
        }
        ASSERT_EQ(order.keysUsed.size(), c.sends);
        EXPECT_EQ(order.keysUsed[0], oldKey);
        // The second document is written with the key the first reply brought.
        if (c.sends == 2) { EXPECT_EQ(order.keysUsed[1], c.installsNewKey ? newKey : oldKey); }
        EXPECT_EQ(Encryption::getInstance().getPublicKey(), c.installsNewKey ? newKey : oldKey);
        EXPECT_EQ(server->order(remoteId).has_value(), c.held);
        // Every reply without an "error" brings the order's summary, a warning's too.
        size_t summaries = c.fault == Fault::KeyMismatchWarning ? c.sends : c.accepted ? 1 : 0;
        EXPECT_EQ(order.summaries, Lines(summaries, remoteId));
    }
}

TEST_F(OrderSendTest, WithoutRetryAWarningIsReported) {
    server->setFault("customerOrder", Fault::Warning, 0, "Printer offline");
    StubOrder order("R1");
    Error error;
    EXPECT_TRUE(CommHelper::sendOrder(order, server->url(), "u5", false, {}, {}, false, context(), false, &error));
    EXPECT_EQ(error.code(), CommHelper::Warning);
    EXPECT_EQ(error.localizedDescription(), "Printer offline");
    EXPECT_TRUE(order.summaries.empty()); // not asked for
}

TEST_F(OrderSendTest, AResendAfterALostReplyUpdatesTheHeldOrder) {
    store.addThisTerminal("T1");
    store.save();
    server->setFault("customerOrder", Fault::DropReply, 1);
    StubOrder order("R1");
    Error error;
    EXPECT_FALSE(CommHelper::sendOrder(order, server->url(), "u5", false, {}, {}, true, context(), &error));
    EXPECT_EQ(error.code(), CommHelper::NotAccepted);
    EXPECT_TRUE(server->order("R1")); // the server kept it all the same

    EXPECT_TRUE(CommHelper::sendOrder(order, server->url(), "u5", false, {}, {}, true, context(), &error));
    EXPECT_EQ(server->orderRemoteIds(), Lines{"R1"});
    EXPECT_EQ(order.terminalIds, (std::vector<Text>{"T1", "T1"}));
    ASSERT_EQ(server->requests().size(), 2u);
    EXPECT_EQ(server->requests()[1].headers["user"], "u5");
}

TEST_F(OrderSendTest, NoServerListening) {
    StubOrder order("R1");
    Error error;
    std::string url = "http://127.0.0.1:" + std::to_string(tavlo::test::LoopbackListener::closedPort());
    EXPECT_FALSE(CommHelper::sendOrder(order, url, "u5", false, {}, {}, true, context(), &error));
    EXPECT_EQ(error.code(), CommHelper::NotAccepted);
    EXPECT_EQ(order.keysUsed.size(), 1u);
}

using ReadFamilyTest = tavlo::test::StoreServerFixture;

TEST_F(ReadFamilyTest, ListsComeFromTheRunOfOneName) {
    auto s = session();
    Error error;
    server->setReport("getSalesStatus", {"Sales", "", "Total 12.50"});
    EXPECT_EQ(CommHelper::getReport("getSalesStatus", std::nullopt, *s, &error), (Lines{"Sales", "", "Total 12.50"}));
    EXPECT_FALSE(error.isSet());

    // The run ends at the first sibling of another name.
    server->setCannedReply(
        "getTotalSalesReport",
        "<tavloReply><success/><line>a</line>\n<line>b</line><total>9</total><line>c</line></tavloReply>");
    EXPECT_EQ(CommHelper::getReport("getTotalSalesReport", "today", *s, &error), (Lines{"a", "b"}));

    // Lists other than reports skip elements without text.
    server->setCannedReply("getPaymentRefs",
                           "<tavloReply><paymentRef>R1</paymentRef><paymentRef/><paymentRef>R2</paymentRef><x/>"
                           "<paymentRef>R3</paymentRef></tavloReply>");
    EXPECT_EQ(CommHelper::getPaymentRefs(2, "1", "secret", "u5", server->url(), context(), &error),
              (Lines{"R1", "R2"}));

    server->setUsersNotCashedOut({"U-ANN", "U-BOB"});
    EXPECT_EQ(CommHelper::getUsersNotCashedOut("1", "secret", "u5", server->url(), context(), &error),
              (Lines{"U-ANN", "U-BOB"}));

    server->setReport("getCashInOutReport", {"Drawer 1"});
    EXPECT_EQ(CommHelper::getReportCashInOut("CIO-1", "u5", std::nullopt, std::nullopt, std::nullopt, true, *s, &error),
              Lines{"Drawer 1"});
    EXPECT_NE(server->requests().back().body.find("<cashInOutId>CIO-1</cashInOutId>"), std::string::npos);
}

TEST_F(ReadFamilyTest, Failures) {
    auto s = session();
    server->setReport("getSalesStatus", {"Sales"});
    struct Case {
        const char* name;
        Fault fault;
        Text text;
        std::optional<Lines> lines;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {"warning", Fault::Warning, "Day not closed", Lines{"Sales"}, 0, "Day not closed"},
        {"error", Fault::ErrorElement, "X: No such report", std::nullopt, -1, "X: No such report"},
        {"500 page", Fault::ServerErrorPage, {}, std::nullopt, 1, "Unable to reach the store server, please try again"},
        {"no reply", Fault::RefuseConnection, {}, std::nullopt, 1, "Unable to reach the store server, please try again"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server->setFault("getSalesStatus", c.fault, 0, c.text);
        Error error;
        EXPECT_EQ(CommHelper::getReport("getSalesStatus", std::nullopt, *s, &error), c.lines);
        EXPECT_EQ(error.code(), c.code);
        EXPECT_EQ(error.localizedDescription(), c.message);
    }
}

TEST_F(ReadFamilyTest, OrderSummariesOfTheHeldOrders) {
    StubOrder open("R1", false, "A1"), closed("R2", true, "A1"), patio("R3", false, "A2");
    for (StubOrder* order : {&open, &closed, &patio})
        ASSERT_TRUE(CommHelper::sendOrder(*order, server->url(), "u5", false, {}, {}, false, context(), nullptr));
    auto s = session();
    auto summaries = [&](Text area, bool openOnly) {
        Lines ids;
        Error error;
        EXPECT_TRUE(CommHelper::getOrderSummaries(
            area, openOnly,
            [&](xmlDocPtr doc, xmlNodePtr summary) {
                EXPECT_EQ(XmlHelper::getNodeValue(doc, summary, "orderName"), "Table 4");
                ids.push_back(XmlHelper::getAttributeValue(summary, "remoteId").value_or("?"));
            },
            *s, &error));
        return ids;
    };
    EXPECT_EQ(summaries(std::nullopt, false), (Lines{"R1", "R2", "R3"}));
    EXPECT_EQ(summaries(std::nullopt, true), (Lines{"R1", "R3"}));
    EXPECT_EQ(summaries("A1", true), Lines{"R1"});
}

using AcceptanceTest = tavlo::test::StoreServerFixture;

TEST_F(AcceptanceTest, OpenStoreSendsTheDateOnlyWhenConfigured) {
    Date day(1'700'000'000.5);
    Error error;
    // The given store and password are not what goes out: the terminal's own credentials are.
    EXPECT_TRUE(CommHelper::openStore("999", "wrong", "u5", day, "T1", server->url(), context(), &error));
    EXPECT_EQ(server->requests().back().kind, "open");
    EXPECT_EQ(server->requests().back().body.find("<date>"), std::string::npos);

    setConfig("HH_SEND_DATE_ON_OPEN", "true");
    EXPECT_TRUE(CommHelper::openStore("999", "wrong", "u5", day, "T1", server->url(), context(), &error));
    EXPECT_NE(server->requests().back().body.find("<date>1700000000000</date>"), std::string::npos);

    EXPECT_TRUE(CommHelper::noSale("1", "secret", "D1", "u5", "u9", "T1", server->url(), context(), &error));
    EXPECT_EQ(server->requests().back().kind, "noSale");
    EXPECT_EQ(server->requests().back().headers["user"], "u5");
}

TEST_F(AcceptanceTest, ACashRecordInTheReplyIsStored) {
    server->setCannedReply("close", "<tavloReply><success>OK</success><cashInOut id=\"CIO-9\"><userId>u5</userId>"
                                    "<cashInAmount>10000</cashInAmount><cashInDate>1700000000000</cashInDate>"
                                    "</cashInOut></tavloReply>");
    std::string document = XmlHelper::getXmlCloseStore("u5", "T1", std::nullopt);
    Error error;
    ASSERT_TRUE(CommHelper::send(server->url(), "u5", document, false, &error));
    EXPECT_FALSE(DBHelper::getObject("CashInOut", "cashInOutId == %@", std::string("CIO-9"), context()));

    ASSERT_TRUE(CommHelper::send(server->url(), "u5", document, context(), false, &error));
    store.reopen(); // saved, not only in the context
    ManagedObjectPtr row = DBHelper::getObject("CashInOut", "cashInOutId == %@", std::string("CIO-9"), context());
    ASSERT_TRUE(row);
}

using StatusOnlyTest = tavlo::test::StoreServerFixture;

TEST_F(StatusOnlyTest, StoreLoad) {
    std::optional<storesim::StoreDataRequest> asked;
    server->setStoreData([&](const storesim::StoreDataRequest& request) {
        asked = request;
        return std::string("\n<storeData><store id=\"1\"/></storeData>\n");
    });
    Error error;
    EXPECT_EQ(CommHelper::getStoreMenuData("1", "secret", "ASSOC-1", server->url(), 1, "1699999999000", std::nullopt,
                                           "T1", "2.0", false, &error),
              "<storeData><store id=\"1\"/></storeData>");
    EXPECT_FALSE(error.isSet());
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->storeDateUpdated, "1699999999000");
    EXPECT_EQ(asked->menuDateUpdated, "0");
    EXPECT_EQ(asked->terminalId, "T1");
    EXPECT_EQ(asked->associationCode, "ASSOC-1");

    // The status alone decides; the reply text comes back all the same.
    server->setFault("getStoreData", Fault::ServerErrorPage);
    std::string page =
        CommHelper::getStoreMenuData("1", "secret", {}, server->url(), 1, {}, {}, {}, "2.0", false, &error);
    EXPECT_NE(page.find("<html>"), std::string::npos);
    EXPECT_EQ(error.code(), CommHelper::NoResponse);
    EXPECT_EQ(error.localizedDescription(), "Unable to connect to Tavlo terminal (statusCode:500)");

    std::string closed = "http://127.0.0.1:" + std::to_string(tavlo::test::LoopbackListener::closedPort());
    EXPECT_EQ(CommHelper::getStoreMenuData("1", "secret", {}, closed, 1, {}, {}, {}, "2.0", false, &error), "");
    EXPECT_EQ(error.localizedDescription(), "Unable to connect to Tavlo terminal, make sure your gateway is running");
}

TEST_F(StatusOnlyTest, TheStoreLoadsExchangeLogTellsTheReplysSizeAndOutcomeNotItsBody) {
    const std::string reply = "<storeData><store id=\"1\"/><param name=\"BODY-MARK\"/></storeData>";
    server->setStoreData([&](const storesim::StoreDataRequest&) { return reply; });
    Error error;
    EXPECT_EQ(CommHelper::getStoreMenuData("1", "secret", {}, server->url(), 1, {}, {}, {}, "2.0", true, &error),
              reply);
    EXPECT_TRUE(logged("Received: " + std::to_string(reply.size()) + " bytes"));
    EXPECT_EQ(logText().find("BODY-MARK"), std::string::npos);

    server->setFault("getStoreData", Fault::ServerErrorPage);
    CommHelper::getStoreMenuData("1", "secret", {}, server->url(), 1, {}, {}, {}, "2.0", true, &error);
    bool outcome = false;
    for (const std::string& line : loggedMessages())
        outcome = outcome || line.rfind("Response code:500, size:", 0) == 0;
    EXPECT_TRUE(outcome);
    EXPECT_EQ(logText().find("<html>"), std::string::npos);
}

TEST_F(StatusOnlyTest, TerminalInfo) {
    TerminalInfoValues info{"T1", "front", "127.0.0.1", "x86_64", 1000, "6.1", "2.0"};
    Error error;
    EXPECT_TRUE(CommHelper::sendTerminalInfo(info, "1", "secret", server->url(), false, &error));
    EXPECT_EQ(server->requests().back().kind, "terminalInfo");
    EXPECT_EQ(server->requests().back().headers.count("user"), 0u);

    server->setFault("terminalInfo", Fault::ServerErrorPage);
    EXPECT_FALSE(CommHelper::sendTerminalInfo(info, "1", "secret", server->url(), false, &error));
    EXPECT_EQ(error.localizedDescription(), "Unable to connect to Tavlo (statusCode:500)");
}

TEST_F(StatusOnlyTest, TerminalInfoOfThisDeviceGoesToTheConfiguredGateway) {
    UserDefaults::standardUserDefaults().setObject("127.0.0.1:" + std::to_string(server->port()), "gateway");
    CommHelper::sendTerminalInfo(); // no terminal row for this device yet: nothing is sent
    EXPECT_EQ(server->requestCount("terminalInfo"), 0u);

    store.addThisTerminal("T1");
    store.save();
    // The start-up sends it from a background thread while the main thread works in its context.
    std::thread background([] { CommHelper::sendTerminalInfo(); });
    background.join();
    ASSERT_EQ(server->requestCount("terminalInfo"), 1u);
    EXPECT_NE(server->requests().back().body.find("<terminalInfo id=\"T1\">"), std::string::npos);
}

using OrderReadTest = tavlo::test::StoreServerFixture;

TEST_F(OrderReadTest, SingleOrder) {
    StubOrder held("R1");
    ASSERT_TRUE(CommHelper::sendOrder(held, server->url(), "u5", false, {}, {}, false, context(), nullptr));
    Lines read;
    auto into = [&](xmlDocPtr, xmlNodePtr order) {
        read.push_back(XmlHelper::getAttributeValue(order, "remoteId").value_or("?"));
    };
    Error error;
    EXPECT_TRUE(CommHelper::getOrder("R1", server->url(), "u5", into, context(), &error));
    EXPECT_EQ(read, Lines{"R1"});
    EXPECT_FALSE(error.isSet());
    EXPECT_EQ(server->requests().back().headers["remoteid"], "R1");

    struct Case {
        const char* name;
        Fault fault;
        Text text;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {"none held", Fault::None, {}, 0, "Order not found, must have been closed"},
        {"none held, with a warning", Fault::Warning, "Order was voided", 0, "Order was voided"},
        {"error", Fault::ErrorElement, "X: Locked", -1, "X: Locked"},
        {"500 page", Fault::ServerErrorPage, {}, 1, "<html>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server->setFault("getOrder", c.fault, 0, c.text);
        read.clear();
        EXPECT_FALSE(CommHelper::getOrder("R9", server->url(), "u5", into, context(), &error));
        EXPECT_TRUE(read.empty());
        EXPECT_EQ(error.code(), c.code);
        EXPECT_EQ(error.localizedDescription().substr(0, c.message.size()), c.message);
    }
}

TEST_F(OrderReadTest, OrderDownloadTakesOnlyOrders) {
    server->setCannedReply("getOrderData", "<tavloReply><customerOrder remoteId=\"R1\"/><cashInOut id=\"C1\"/>"
                                           "<customerOrder remoteId=\"R2\"/></tavloReply>");
    Lines read;
    auto into = [&](xmlDocPtr, xmlNodePtr order) {
        read.push_back(XmlHelper::getAttributeValue(order, "remoteId").value_or("?"));
    };
    EXPECT_TRUE(CommHelper::getOrders(into, server->url(), "1", "secret", context()));
    EXPECT_EQ(read, (Lines{"R1", "R2"}));

    for (Fault fault : {Fault::ServerErrorPage, Fault::ErrorElement, Fault::RefuseConnection}) {
        server->setFault("getOrderData", fault);
        read.clear();
        EXPECT_FALSE(CommHelper::getOrders(into, server->url(), "1", "secret", context()));
        EXPECT_TRUE(read.empty());
    }
}
