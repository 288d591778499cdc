#include "StoreServer.h"
#include "platform/net/HttpClient.h"
#include "xml/XmlHelper.h"

#include <gtest/gtest.h>

#include <string>

using namespace tavlo;
using tavlo::storesim::Fault;
using tavlo::storesim::StoreServer;
using Lines = std::vector<std::string>;

namespace {

class StoreServerTest : public ::testing::Test {
protected:
    void SetUp() override { server.start(); }

    // POSTs a request document with a good envelope (or the given password).
    std::optional<HttpResponse> post(const std::string& inner, const std::string& password = "secret") {
        HttpRequest request;
        request.url = server.url();
        request.headers = {
            {"Content-Type", "text/xml"}, {"from", "1"}, {"store", "1"}, {"authorization", password}, {"uid", "dev-1"}};
        request.body = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><tavloRequest>" + inner + "</tavloRequest>";
        request.timeout = request.connectTimeout = 1;
        return HttpClient::post(request);
    }

    static std::string order(const std::string& remoteId, const std::string& name) {
        return "<customerOrder remoteId=\"" + remoteId + "\" type=\"DineIn\"><orderName>" + name +
               "</orderName><closed>false</closed><selection remoteId=\"s1\"><price>100</price></selection>"
               "</customerOrder>";
    }

    // The values of the reply root's children so named.
    static Lines values(const std::optional<HttpResponse>& response, const char* name) {
        Lines out;
        if (!response) return out;
        XmlDocPtr doc = XmlHelper::parse(response->body);
        for (xmlNodePtr node : XmlHelper::getChildRun(xmlDocGetRootElement(doc.get()), name))
            out.push_back(XmlHelper::getAttributeValue(node, "remoteId")
                              .value_or(XmlHelper::getValue(node, doc.get()).value_or("")));
        return out;
    }

    StoreServer server;
};

} // namespace

TEST_F(StoreServerTest, AResendUpdatesTheHeldOrderAndRecord) {
    ASSERT_EQ(post(order("R1", "Table 4"))->status, 200);
    ASSERT_EQ(post(order("R2", "Bar"))->status, 200);
    auto again = post(order("R1", "Table 4 moved"));
    EXPECT_EQ(values(again, "orderSummary"), Lines{"R1"});
    EXPECT_EQ(server.orderRemoteIds(), (Lines{"R1", "R2"}));
    std::string held = server.order("R1").value_or("");
    EXPECT_NE(held.find("Table 4 moved"), std::string::npos);
    EXPECT_NE(held.find("<orderId>1001</orderId>"), std::string::npos); // the server's id stays

    // The single order, the order download and the summaries come from what is held.
    EXPECT_NE(post("<getOrder><remoteId>R2</remoteId></getOrder>")->body.find("<orderName>Bar</orderName>"),
              std::string::npos);
    EXPECT_EQ(values(post("<getOrderData/>"), "customerOrder"), (Lines{"R1", "R2"}));
    auto summaries = post("<getOrders openOnly=\"true\"/>");
    EXPECT_EQ(values(summaries, "orderSummary"), (Lines{"R1", "R2"}));
    EXPECT_EQ(summaries->body.find("<selection"), std::string::npos);

    post("<customer remoteId=\"C1\"><firstName>Ann</firstName></customer>");
    post("<customer remoteId=\"C1\"><firstName>Anne</firstName></customer>");
    ASSERT_EQ(server.records("customer").size(), 1u);
    EXPECT_NE(server.records("customer")[0].find("Anne"), std::string::npos);
    EXPECT_EQ(values(post("<getCustomers/>"), "customer"), Lines{"C1"});
}

TEST_F(StoreServerTest, EnvelopeIsChecked) {
    auto refused = post(order("R1", "x"), "wrong");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 403);
    EXPECT_TRUE(server.orderRemoteIds().empty());
    EXPECT_EQ(server.requests().back().headers["authorization"], "wrong");
}

TEST_F(StoreServerTest, FaultsApplyToTheirKindForTheirCount) {
    server.setFault("customerOrder", Fault::RefuseConnection, 1);
    server.setFault("getOrderData", Fault::ErrorElement, 0, "Busy");
    EXPECT_FALSE(post(order("R1", "x"))); // no reply, nothing kept
    EXPECT_TRUE(server.orderRemoteIds().empty());
    EXPECT_EQ(post(order("R1", "x"))->status, 200); // the fault was for one request
    EXPECT_EQ(values(post("<getOrderData/>"), "error"), Lines{"Busy"});
    EXPECT_EQ(values(post("<getOrderData/>"), "error"), Lines{"Busy"});

    server.setFault("customerOrder", Fault::DropReply);
    EXPECT_FALSE(post(order("R2", "y"))); // no reply, but kept
    EXPECT_EQ(server.orderRemoteIds(), (Lines{"R1", "R2"}));

    server.setFault("customerOrder", Fault::ServerErrorPage);
    auto page = post(order("R3", "z"));
    EXPECT_EQ(page->status, 500);
    EXPECT_NE(page->body.find("success"), std::string::npos);
    EXPECT_EQ(server.orderRemoteIds().size(), 2u);
    EXPECT_EQ(server.requestCount("customerOrder"), 4u);
}

TEST_F(StoreServerTest, AResentOrderKeepsWhatItDoesNotRepeatAndDropsWhatItDeletes) {
    post("<customerOrder remoteId=\"R1\"><orderName>T2</orderName><discount remoteId=\"d1\" action=\"add\"/>"
         "<selection remoteId=\"s1\" action=\"add\"/><selection remoteId=\"s2\" action=\"add\"/>"
         "<payment remoteId=\"p1\" action=\"add\" type=\"cash\"><subTotal>500</subTotal></payment>"
         "<total>1000</total></customerOrder>");
    post("<customerOrder remoteId=\"R1\"><orderName>T2</orderName><discount remoteId=\"d1\" action=\"delete\"/>"
         "<selection remoteId=\"s1\" action=\"add\"/><selection remoteId=\"s2\" action=\"delete\"/>"
         "<selection remoteId=\"s3\" action=\"add\"/>"
         "<payment remoteId=\"p2\" action=\"add\" type=\"cash\"><subTotal>100</subTotal></payment>"
         "<total>900</total></customerOrder>");
    XmlDocPtr held = XmlHelper::parse(server.order("R1").value_or(""));
    xmlNodePtr order = xmlDocGetRootElement(held.get());
    Lines children;
    for (xmlNodePtr c = xmlFirstElementChild(order); c; c = xmlNextElementSibling(c))
        children.push_back(
            std::string(reinterpret_cast<const char*>(c->name)) + " " +
            XmlHelper::getAttributeValue(c, "remoteId").value_or(XmlHelper::getValue(c, held.get()).value_or("")));
    EXPECT_EQ(children, (Lines{"orderId 1001", "orderName T2", "selection s1", "selection s3", "payment p1",
                               "payment p2", "total 900"}));
    EXPECT_EQ(server.order("R1")->find("action="), std::string::npos);
}

TEST_F(StoreServerTest, TheDaysCardPaymentsAreItsPaymentReferences) {
    StoreServer closed({"1", "secret", 5, false});
    closed.start();
    auto isOpen = [&](StoreServer& s) {
        HttpRequest request;
        request.url = s.url();
        request.headers = {
            {"Content-Type", "text/xml"}, {"from", "1"}, {"store", "1"}, {"authorization", "secret"}, {"uid", "d"}};
        request.body = "<tavloRequest><getOrders openOnly=\"true\"/></tavloRequest>";
        XmlDocPtr doc = XmlHelper::parse(HttpClient::post(request)->body);
        return XmlHelper::getAttributeValue(xmlDocGetRootElement(doc.get()), "isOpen").value_or("");
    };
    EXPECT_EQ(isOpen(closed), "false");
    EXPECT_EQ(isOpen(server), "true");

    auto card = [](const char* id, const char* ref, const char* extra = "") {
        return std::string("<payment remoteId=\"") + id + "\" action=\"add\" type=\"credit\"><refNumber>" + ref +
               "</refNumber>" + extra + "</payment>";
    };
    post("<open><userId>U1</userId></open>");
    post("<customerOrder remoteId=\"R1\">" + card("p1", "17") +
         "<payment remoteId=\"p2\" type=\"cash\" action=\"add\"/></customerOrder>");
    post("<customerOrder remoteId=\"R2\">" + card("p3", "18") + "</customerOrder>");
    // A voided card payment is still the host's transaction.
    post("<customerOrder remoteId=\"R2\">" + card("p3", "18", "<voidBy>U1</voidBy>") + "</customerOrder>");
    EXPECT_EQ(values(post("<getPaymentRefs><paymentType>2</paymentType></getPaymentRefs>"), "paymentRef"),
              (Lines{"17", "18"}));
    EXPECT_TRUE(values(post("<getPaymentRefs><paymentType>1</paymentType></getPaymentRefs>"), "paymentRef").empty());
    post("<close><userId>U1</userId></close>");
    EXPECT_FALSE(server.dayOpen());
    EXPECT_TRUE(values(post("<getPaymentRefs><paymentType>2</paymentType></getPaymentRefs>"), "paymentRef").empty());
    post("<open><userId>U1</userId></open>");
    EXPECT_TRUE(server.dayOpen());
}
