#include "CardGateway.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <string>

namespace tavlo::test {
namespace {

using gatewaysim::CardGateway;

class CardGatewayTest : public ::testing::Test {
protected:
    CardGatewayTest() { gateway.start(); }

    httplib::Result post(const std::string& path, const std::string& body,
                         const std::string& type = "application/x-www-form-urlencoded") {
        httplib::Client client("127.0.0.1", std::stoi(gateway.url().substr(gateway.url().rfind(':') + 1)));
        return client.Post(path, body, type);
    }

    CardGateway gateway;
};

TEST_F(CardGatewayTest, RefusesBodiesThatAreNotItsForm) {
    struct Case {
        std::string path, body, type;
        int status;
    };
    const std::string form = "application/x-www-form-urlencoded";
    const Case cases[] = {
        {"/capture", "UserName=merchant1&Password=secret&TransType=Sale", "text/xml", 400},
        {"/capture", "<Request/>", form, 400},
        {"/capture", "UserName=merchant1&Password=secret&TransType=Sale&&Amount=1.00", form, 400},
        {"/capture", "UserName=merchant1&Password=secret&TransType=Sale&=1.00", form, 400},
        {"/capture", "UserName=merchant1&Password=secret&TransType=Sale&TransType=Void", form, 400},
        {"/capture", "UserName=merchant1&Password=secret&TransType=Refund", form, 400},
        {"/capture", "UserName=merchant1&Password=secret&TransType=Sale&ExtData=<TipAmt>1.00", form, 400},
        {"/elsewhere", "UserName=merchant1&Password=secret&TransType=Sale", form, 404},
    };
    for (const Case& c : cases) {
        httplib::Result result = post(c.path, c.body, c.type);
        ASSERT_TRUE(result) << c.body;
        EXPECT_EQ(result->status, c.status) << c.body;
    }
    EXPECT_TRUE(gateway.kept().empty());
}

TEST_F(CardGatewayTest, ApprovesAndKeepsASaleThenAnswersForItsReference) {
    httplib::Result sale =
        post("/capture", "UserName=merchant1&Password=secret&TransType=Sale&CardNum=4111111111111111&Amount=12.00"
                         "&InvNum=7&ExtData=%3CTipAmt%3E2.00%3C%2FTipAmt%3E");
    ASSERT_TRUE(sale);
    EXPECT_NE(sale->body.find("<Result>0</Result>"), std::string::npos);
    ASSERT_EQ(gateway.kept().size(), 1u);
    gatewaysim::KeptTransaction kept = gateway.kept()[0];
    EXPECT_EQ(kept.invoice, "7");
    EXPECT_EQ(kept.amountCents, 1200);
    EXPECT_EQ(kept.tipCents, 200);
    EXPECT_NE(sale->body.find("<PNRef>" + kept.reference + "</PNRef>"), std::string::npos);

    std::string voidBody = "UserName=merchant1&Password=secret&TransType=Void&PNRef=" + kept.reference;
    EXPECT_NE(post("/capture", voidBody)->body.find("<Result>0</Result>"), std::string::npos);
    EXPECT_NE(post("/capture", voidBody)->body.find("previously voided"), std::string::npos);
    // Only voided: nothing to capture.
    EXPECT_NE(post("/capture", "UserName=merchant1&Password=secret&TransType=CaptureAll")->body.find("1015"),
              std::string::npos);
    // Wrong credentials are declined.
    EXPECT_NE(post("/capture", "UserName=merchant1&Password=wrong&TransType=CaptureAll")
                  ->body.find("User authentication failed"),
              std::string::npos);
}

} // namespace
} // namespace tavlo::test
