#include "StoreServerFixture.h"
#include "sync/handlers/OperationSynchOrders.h"

#include <gtest/gtest.h>

using namespace tavlo;
using namespace tavlo::test;
using storesim::Fault;
using Names = std::vector<std::string>;

namespace {

class OrderSummariesTest : public StoreServerFixture {
protected:
    void SetUp() override {
        StoreServerFixture::SetUp();
        context()->insert("User")->setValue("userId", "u5");
        ManagedObjectPtr old = context()->insert("Order");
        old->setValue("remoteId", "OLD");
        old->setValue("name", "Old list");
        store.save();
    }

    // Hands an order to the server as another terminal would.
    void serverHolds(const std::string& remoteId, const std::string& name, bool closed) {
        Error error;
        ASSERT_TRUE(CommHelper::send(server->url(), std::string("u5"),
                                     "<tavloRequest><customerOrder remoteId=\"" + remoteId + "\"><orderName>" + name +
                                         "</orderName><serverId>u5</serverId><closed>" + (closed ? "true" : "false") +
                                         "</closed><total>950</total></customerOrder></tavloRequest>",
                                     false, &error))
            << error.localizedDescription();
    }

    bool update(bool open, Error* error) {
        return OperationSynchOrders::updateOrderSummaries(std::string("1"), std::string("secret"), std::string("u5"),
                                                          server->url(), open, context(), RunExclusion(), error);
    }

    Names orderNames() const {
        ObjectContext reader(store.context()->store());
        Names names;
        for (const ManagedObjectPtr& row : reader.fetchAll("Order")) names.push_back(row->text("name").value_or("?"));
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(OrderSummariesTest, TheServersOpenOrdersReplaceTheLocalOnes) {
    serverHolds("S1", "Table 1", false);
    serverHolds("S2", "Table 2", true);
    serverHolds("S3", "Bar", false);
    Error error;
    EXPECT_TRUE(update(true, &error)) << "no isOpen attribute: the store is open";
    EXPECT_FALSE(error.isSet()) << error.localizedDescription();
    EXPECT_EQ(orderNames(), (Names{"Bar", "Table 1"}));
    ManagedObjectPtr s1 = context()->fetchFirst("Order", "remoteId == %@", "S1");
    ASSERT_TRUE(s1);
    EXPECT_EQ(s1->int32("total"), 950);

    const storesim::ReceivedRequest sent = server->requests().back();
    EXPECT_EQ(sent.kind, "getOrders");
    EXPECT_EQ(sent.headers.at("user"), "u5");
    EXPECT_NE(sent.body.find("openOnly=\"true\""), std::string::npos);

    EXPECT_TRUE(update(false, &error));
    EXPECT_EQ(orderNames(), (Names{"Bar", "Table 1", "Table 2"}));
}

TEST_F(OrderSummariesTest, RepliesAndFailures) {
    const std::string url = server->url();
    struct Case {
        const char* name;
        std::optional<std::string> reply; // canned
        Fault fault;
        bool result;
        Names orders; // afterwards
        std::optional<int> code;
        std::string text;
    };
    const Case cases[] = {
        {"a closed store still replaces the orders",
         "<tavloReply isOpen=\"false\"><orderSummary remoteId=\"S9\"><orderName>Late</orderName></orderSummary>"
         "</tavloReply>",
         Fault::None,
         false,
         {"Late"},
         std::nullopt,
         ""},
        {"a warning goes on",
         "<tavloReply><warning>Clock drift</warning><orderSummary remoteId=\"S8\">"
         "<orderName>Patio</orderName></orderSummary></tavloReply>",
         Fault::None,
         true,
         {"Patio"},
         CommHelper::Warning,
         "Clock drift"},
        {"an error reply", {}, Fault::ErrorElement, false, {"Old list"}, CommHelper::Refused, "Store closed for audit"},
        {"an error page",
         {},
         Fault::ServerErrorPage,
         false,
         {"Old list"},
         CommHelper::NoResponse,
         "Unable to connect " + url},
        {"no server",
         {},
         Fault::RefuseConnection,
         false,
         {"Old list"},
         CommHelper::NoResponse,
         "Unable to connect " + url},
        {"an empty reply keeps the list",
         "",
         Fault::None,
         false,
         {"Old list"},
         CommHelper::NoResponse,
         "Unable to connect " + url},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DBHelper::cleanObjects("Order", context());
        context()->insert("Order")->setValue("name", "Old list");
        store.save();
        server->clearFaults();
        server->setCannedReply("getOrders", c.reply);
        if (c.fault != Fault::None) server->setFault("getOrders", c.fault, 0, std::string("Store closed for audit"));

        Error error;
        EXPECT_EQ(update(true, &error), c.result);
        EXPECT_EQ(orderNames(), c.orders);
        if (c.code) {
            EXPECT_EQ(error.domain(), CommHelper::kStoreServerErrorDomain);
            EXPECT_EQ(error.code(), *c.code);
            EXPECT_EQ(error.localizedDescription(), c.text);
        } else {
            EXPECT_FALSE(error.isSet()) << error.localizedDescription();
        }
    }
}

} // namespace
