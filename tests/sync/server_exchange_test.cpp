#include "StoreServerFixture.h"
#include "support/LoopbackHttpServer.h"
#include "support/LoopbackListener.h"
#include "xml/XmlHelper.h"

#include <httplib.h>
#include <regex>

#include <gtest/gtest.h>

using namespace tavlo;
using tavlo::storesim::Fault;
using tavlo::test::LoopbackListener;
using Text = std::optional<std::string>;
using Headers = std::vector<std::pair<std::string, std::string>>;

namespace {

struct AddressCase {
    Text address;
    Text expected;
};

void expectTable(Text (*form)(const Text&), const std::vector<AddressCase>& cases) {
    for (const AddressCase& c : cases) EXPECT_EQ(form(c.address), c.expected) << c.address.value_or("nil");
}

} // namespace

TEST(ServerAddress, FormatTavloUrlAddsSchemeLocalAndPort) {
    expectTable(CommHelper::formatTavloURL,
                {
                    {std::nullopt, std::nullopt},
                    {"", ""},
                    {"server", "http://server.local:4444"},
                    {"10.0.0.5", "http://10.0.0.5:4444"},
                    {"10.0.0.5:8080", "http://10.0.0.5:8080"},
                    {"192.168.1.20/pos", "http://192.168.1.20:4444/pos"},
                    {"server:8080", "http://server.local:8080"},
                    {"server/pos", "http://server.local:4444/pos"},
                    {"https://server/pos", "https://server:4444/pos"},
                    {"http://server", "http://server:4444"},
                    {"http://127.0.0.1:4450", "http://127.0.0.1:4450"},
                    {"http://host/page.jsp", "http://host/page.jsp"},
                    {"box.LOCAL", "http://box.LOCAL:4444"},
                    {"localhost", "http://localhost:4444"},
                    {"http://x", "http://x"}, // at most one character after the scheme: left alone
                });
}

TEST(ServerAddress, HostNameIsTheHostAlone) {
    expectTable(CommHelper::hostName, {
                                          {std::nullopt, std::nullopt},
                                          {"", ""},
                                          {"http://server.local:4444/pos", "server"},
                                          {"https://10.0.0.5/pos:1", "10.0.0.5"},
                                          {"server", "server"},
                                          {"a.local.local:80", "a"},
                                          {"printer/x", "printer"},
                                      });
}

TEST(ServerAddress, SetGatewayKeepsTheLocalForm) {
    CommHelper::setGateway("server:4444");
    EXPECT_EQ(CommHelper::gateway(), "server.local:4444");
    CommHelper::setGateway(std::nullopt);
    EXPECT_EQ(CommHelper::gateway(), std::nullopt);
}

TEST(ServerExchange, TimeoutsFromConfiguration) {
    struct Case {
        const char* key;
        Text stored;
        int seconds;
    };
    const Case cases[] = {
        {"TS_SOCKET_CONNECT_TIMEOUT", "1500", 2},   {"TS_SOCKET_CONNECT_TIMEOUT", "1499", 1},
        {"TS_SOCKET_CONNECT_TIMEOUT", "2500", 3},   {"TS_SOCKET_CONNECT_TIMEOUT", "500", 1},
        {"TS_SOCKET_CONNECT_TIMEOUT", "400", 30},   {"TS_SOCKET_CONNECT_TIMEOUT", "0", 30},
        {"TS_SOCKET_CONNECT_TIMEOUT", "-1500", 30}, {"TS_SOCKET_CONNECT_TIMEOUT", std::nullopt, 30},
        {"TS_SOCKET_CONNECT_TIMEOUT", "abc", 30},   {"TS_SOCKET_STORE_HANDLER_READ_TIMEOUT", "60000", 60},
        {"TS_SESSION_TIMEOUT", "45", 45},           {"TS_SESSION_TIMEOUT", "0", 10},
        {"TS_SESSION_TIMEOUT", std::nullopt, 10},
    };
    tavlo::test::LocalStoreScope store;
    for (const Case& c : cases) {
        DBHelper::saveStoreParam(c.key, c.stored, store.context().get());
        EXPECT_EQ(CommHelper::timeout(c.key, store.context().get()), c.seconds)
            << c.key << " " << c.stored.value_or("nil");
        EXPECT_EQ(CommHelper::timeout(c.key, nullptr), 10) << c.key;
    }
    // The terminal's own value comes before the store's.
    DBHelper::saveStoreParam("TS_SOCKET_CONNECT_TIMEOUT", "5000", store.context().get());
    store.addTerminalParam(store.addThisTerminal("T1"), "TS_SOCKET_CONNECT_TIMEOUT", "7000");
    EXPECT_EQ(CommHelper::timeout("TS_SOCKET_CONNECT_TIMEOUT", store.context().get()), 7);
}

TEST(ServerExchange, EnvelopeHeadersInTheirOrder) {
    tavlo::test::TempHome home;
    UserDefaults::standardUserDefaults().setObject(std::string("dev-9"), "device_id");
    HttpRequest full =
        CommHelper::getRequest("http://127.0.0.1:1", "12", "pw", "u5", "assoc", "1700000000000", "<x/>", 7);
    EXPECT_EQ(full.headers, (Headers{{"Content-Type", "text/xml"},
                                     {"from", "12"},
                                     {"store", "12"},
                                     {"authorization", "pw"},
                                     {"uid", "dev-9"},
                                     {"association", "assoc"},
                                     {"user", "u5"},
                                     {"LastUpdate", "1700000000000"}}));
    EXPECT_EQ(full.body, "<x/>");
    EXPECT_EQ(full.timeout, 7);

    // No association when empty, no user or last update when nil; 0 seconds waits 15.
    HttpRequest plain = CommHelper::getRequest("http://127.0.0.1:1", "12", "pw\r\nX-Injected: 1", std::nullopt, "",
                                               std::nullopt, std::nullopt, 0);
    EXPECT_EQ(plain.headers, (Headers{{"Content-Type", "text/xml"},
                                      {"from", "12"},
                                      {"store", "12"},
                                      {"authorization", "pwX-Injected: 1"},
                                      {"uid", "dev-9"}}));
    EXPECT_EQ(plain.body, "");
    EXPECT_EQ(plain.timeout, 15);
}

using ServerExchangeTest = tavlo::test::StoreServerFixture;

TEST_F(ServerExchangeTest, EnvelopeArrivesExactlyWithTheBodyBytesUnchanged) {
    // A Latin-1 document goes out byte for byte.
    std::string document =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<tavloRequest><close><userId>Jos\xE9</userId>"
        "</close></tavloRequest>\n";
    Error error;
    ASSERT_TRUE(CommHelper::send(server->url(), "u5", document, context(), false, &error))
        << error.localizedDescription();
    ASSERT_EQ(server->requests().size(), 1u);
    storesim::ReceivedRequest got = server->requests()[0];
    EXPECT_EQ(got.kind, "close");
    EXPECT_EQ(got.body, document);
    std::map<std::string, std::string> expected = {
        {"content-type", "text/xml"}, {"from", "1"},          {"store", "1"},
        {"authorization", "secret"},  {"uid", "test-device"}, {"user", "u5"}};
    for (const auto& [name, value] : expected) EXPECT_EQ(got.headers[name], value) << name;
    EXPECT_EQ(got.headers.count("association"), 0u);
    EXPECT_EQ(got.headers.count("lastupdate"), 0u);
}

TEST_F(ServerExchangeTest, ReplyTest) {
    struct Case {
        const char* name;
        Fault fault;
        Text text; // fault text, or the canned reply for Fault::None
        bool accepted;
        Text code;           // nil: no error set
        std::string message; // prefix of the message
    };
    const std::string refused = "<tavloReply><status>refused</status></tavloReply>";
    const Case cases[] = {
        {"plain success with blanks", Fault::None, " \n\t success \r\n ", true, std::nullopt, ""},
        {"error element beside success", Fault::None, "<tavloReply><error>Late</error><success/></tavloReply>", true,
         std::nullopt, ""},
        {"warning", Fault::Warning, "Drawer left open", true, "0", "Drawer left open"},
        {"error cut after the exception name", Fault::ErrorElement, "a.b.StoreException: Business day is closed", false,
         "-95", "Business day is closed"},
        {"error without exception name", Fault::ErrorElement, "Closed", false, "-95", "Closed"},
        {"neither success nor error", Fault::None, refused, false, "-95", "Unable to complete request"},
        {"500 page saying success", Fault::ServerErrorPage, std::nullopt, false, "-95",
         "Unable to complete request (<html>"},
        {"connection closed without reply", Fault::RefuseConnection, std::nullopt, false, "-95",
         "Unable to complete request (The request to "},
        {"no reply within the time-out", Fault::Hang, std::nullopt, false, "-95",
         "Unable to complete request (The request to "},
    };
    std::string document = XmlHelper::getXmlCloseStore("u5", "3", std::nullopt);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server->clearFaults();
        server->setCannedReply("close", c.fault == Fault::None ? c.text : std::nullopt);
        if (c.fault != Fault::None) server->setFault("close", c.fault, 0, c.text);
        Error error;
        EXPECT_EQ(CommHelper::send(server->url(), "u5", document, context(), false, &error), c.accepted);
        if (!c.code) {
            EXPECT_FALSE(error.isSet()) << error.localizedDescription();
            continue;
        }
        EXPECT_EQ(error.domain(), CommHelper::kStoreServerErrorDomain);
        EXPECT_EQ(std::to_string(error.code()), *c.code);
        EXPECT_EQ(error.localizedDescription().substr(0, c.message.size()), c.message) << error.localizedDescription();
        if (c.message == "Unable to complete request") { EXPECT_EQ(error.localizedDescription(), c.message); }
    }
}

TEST_F(ServerExchangeTest, NoServerListening) {
    std::string url = "http://127.0.0.1:" + std::to_string(LoopbackListener::closedPort());
    Error error;
    EXPECT_EQ(
        CommHelper::send(CommHelper::getRequest(url, "1", "secret", std::nullopt, std::nullopt, "<x/>", 1), &error),
        std::nullopt);
    // The transport's own error is kept.
    EXPECT_EQ(error.domain(), HttpClient::kErrorDomain);
    std::string transport = error.localizedDescription();

    EXPECT_FALSE(CommHelper::send(url, "u5", std::string("<x/>"), false, &error));
    EXPECT_EQ(error.code(), CommHelper::NotAccepted);
    // Each attempt's text says how long its connect took ("after 2 ms"), which differs between them.
    const std::regex took(" after [0-9]+ ms");
    EXPECT_EQ(std::regex_replace(error.localizedDescription(), took, ""),
              "Unable to complete request (" + std::regex_replace(transport, took, "") + ")");
}

TEST_F(ServerExchangeTest, FailedStatusHandsNoBodyOn) {
    server->setFault("close", Fault::ServerErrorPage);
    Error error;
    HttpRequest request = CommHelper::getRequest(server->url(), "1", "secret", std::nullopt, std::nullopt,
                                                 XmlHelper::getXmlCloseStore("u5", "3", std::nullopt), 1);
    EXPECT_EQ(CommHelper::send(request, &error), std::nullopt);
    EXPECT_EQ(error.code(), CommHelper::NoResponse);
    EXPECT_NE(error.localizedDescription().find("success"), std::string::npos); // the page, as text

    // A wrong password is refused by the server with a plain text.
    request = CommHelper::getRequest(server->url(), "1", "wrong", std::nullopt, std::nullopt, "<x/>", 1);
    EXPECT_EQ(CommHelper::send(request, &error), std::nullopt);
    EXPECT_EQ(error.localizedDescription(), "Wrong password");
}

TEST(ServerExchange, GenericPostCarriesOnlyTypeAndLength) {
    tavlo::test::LoopbackHttpServer gateway;
    httplib::Headers seen;
    std::string body;
    gateway->Post("/pay", [&](const httplib::Request& request, httplib::Response& response) {
        seen = request.headers;
        body = request.body;
        response.set_content("approved", "text/plain");
    });
    Error error;
    std::string url = gateway.start() + "/pay";
    EXPECT_EQ(CommHelper::sendHTTP("a=1&b=2", url, "application/x-www-form-urlencoded", 5, 1, &error), "approved");
    EXPECT_EQ(body, "a=1&b=2");
    EXPECT_EQ(seen.find("Content-Type")->second, "application/x-www-form-urlencoded");
    EXPECT_EQ(seen.find("Content-Length")->second, "7");
    EXPECT_EQ(seen.count("Content-Length"), 1u);
    for (const char* storeHeader : {"from", "store", "authorization", "uid"}) EXPECT_EQ(seen.count(storeHeader), 0u);

    EXPECT_EQ(CommHelper::sendHTTP("x", url + "/missing", "text/plain", 5, 1, &error), std::nullopt);
    EXPECT_EQ(error.code(), CommHelper::NoResponse);
}
