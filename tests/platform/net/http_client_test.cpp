#include "platform/net/HttpClient.h"
#include "support/LoopbackHttpServer.h"
#include "support/LoopbackListener.h"
#include "support/TempHome.h"

#include <chrono>
#include <cstdlib>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using namespace tavlo;

namespace {

using LoopbackServer = test::LoopbackHttpServer;

HttpRequest request(std::string url, std::vector<std::pair<std::string, std::string>> headers, std::string body,
                    double connectTimeout, double timeout) {
    HttpRequest r;
    r.url = std::move(url);
    r.headers = std::move(headers);
    r.body = std::move(body);
    r.connectTimeout = connectTimeout;
    r.timeout = timeout;
    return r;
}

} // namespace

TEST(HttpClient, PostsHeadersAndBodyBytesAndReturnsStatusAndBody) {
    LoopbackServer server;
    httplib::Request seen;
    server->Post("/pos/request", [&](const httplib::Request& req, httplib::Response& res) {
        seen = req;
        res.status = 201;
        res.set_content(std::string("reply\0with zero", 15), "application/octet-stream");
    });
    std::string base = server.start();

    std::string body(3000, 'x'); // past 1 KiB, where a client might wait for "100 Continue"
    body[10] = '\0';
    body[11] = '\xff';
    HttpRequest sent = request(base + "/pos/request",
                               {{"Content-Type", "text/xml"}, {"storeId", "42"}, {"password", "p w"}}, body, 2, 5);
    Error error;
    std::optional<HttpResponse> response = HttpClient::post(sent, &error);
    ASSERT_TRUE(response.has_value()) << error.localizedDescription();
    EXPECT_EQ(response->status, 201);
    EXPECT_EQ(response->body, std::string("reply\0with zero", 15));
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.body, body);
    EXPECT_EQ(seen.get_header_value("Content-Type"), "text/xml");
    EXPECT_EQ(seen.get_header_value("storeId"), "42");
    EXPECT_EQ(seen.get_header_value("password"), "p w");
    EXPECT_FALSE(seen.has_header("Expect"));
    EXPECT_EQ(seen.get_header_value("Content-Length"), "3000");
}

TEST(HttpClient, AnErrorStatusIsAReplyLeftForTheCallerToJudge) {
    LoopbackServer server;
    server->Post("/", [](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        res.set_content("<html>success</html>", "text/html");
    });
    server->Post("/moved", [](const httplib::Request&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Location", "/");
    });
    std::string base = server.start();
    std::optional<HttpResponse> response = HttpClient::post(request(base + "/", {}, "", 2, 5));
    ASSERT_TRUE(response.has_value());
    EXPECT_EQ(response->status, 500);
    EXPECT_EQ(response->body, "<html>success</html>");
    // A redirect is not followed: a POST must not be resent somewhere else unasked.
    response = HttpClient::post(request(base + "/moved", {}, "data", 2, 5));
    ASSERT_TRUE(response.has_value());
    EXPECT_EQ(response->status, 302);
}

TEST(HttpClient, AServerThatDoesNotAnswerInTimeGivesATimeOut) {
    LoopbackServer server;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    server->Post("/", [released](const httplib::Request&, httplib::Response& res) {
        released.wait_for(std::chrono::seconds(10));
        res.set_content("late", "text/plain");
    });
    std::string base = server.start();
    Error error;
    EXPECT_FALSE(HttpClient::post(request(base + "/", {}, "hello", 2, 0.3), &error).has_value());
    release.set_value();
    EXPECT_EQ(error.domain(), HttpClient::kErrorDomain);
    EXPECT_EQ(error.code(), HttpClient::TimedOut);
    EXPECT_NE(error.localizedDescription().find("timed out"), std::string::npos) << error.localizedDescription();
}

TEST(HttpClient, NoServerListeningGivesCannotConnect) {
    std::string url = "http://127.0.0.1:" + std::to_string(test::LoopbackListener::closedPort()) + "/";
    Error error;
    EXPECT_FALSE(HttpClient::post(request(url, {}, "hello", 2, 2), &error).has_value());
    EXPECT_EQ(error.code(), HttpClient::CannotConnect);
    EXPECT_NE(error.localizedDescription().find(url), std::string::npos) << error.localizedDescription();
    // The error parameter may be left out.
    EXPECT_FALSE(HttpClient::post(request(url, {}, "", 2, 2)).has_value());
    EXPECT_FALSE(HttpClient::post(request("ftp://127.0.0.1/", {}, "", 2, 2), &error).has_value());
    EXPECT_EQ(error.code(), HttpClient::Failed);
}

TEST(HttpClient, ACertificateIsTakenOnlyWhenItsAuthorityIsTrusted) {
    test::TempHome home;
    ASSERT_TRUE(test::makeLoopbackCertificate(home.path()));
    LoopbackServer server(test::makeLoopbackTlsServer(home.path()));
    int reached = 0;
    server->Post("/", [&](const httplib::Request&, httplib::Response& res) {
        ++reached;
        res.set_content("success", "text/plain");
    });
    std::string base = server.start("https");
    Error error;
    EXPECT_FALSE(HttpClient::post(request(base + "/", {}, "secret", 2, 5), &error).has_value());
    EXPECT_EQ(error.code(), HttpClient::SecureConnectionFailed) << error.localizedDescription();
    EXPECT_EQ(reached, 0);

    // Trusted for this request alone.
    HttpRequest trusted = request(base + "/", {}, "secret", 2, 5);
    trusted.caFile = (home.path() / "cert.pem").string();
    std::optional<HttpResponse> response = HttpClient::post(trusted, &error);
    ASSERT_TRUE(response.has_value()) << error.localizedDescription();
    EXPECT_EQ(response->body, "success");
    EXPECT_EQ(reached, 1);
}
