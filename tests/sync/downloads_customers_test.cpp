#include "DownloadTestSupport.h"
#include "StoreServerFixture.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/store/StoreError.h"
#include "sync/handlers/OperationSynchCustomers.h"
#include "xml/XmlHelper.h"

#include <gtest/gtest.h>

using namespace tavlo;
using namespace tavlo::test;
using Names = std::vector<std::string>;

namespace {

class CustomerDownloadTest : public StoreServerFixture {
protected:
    std::shared_ptr<OperationSynchCustomers> download(bool fullReload = false,
                                                      std::shared_ptr<ObjectStore> coordinator = nullptr) {
        auto op = std::make_shared<OperationSynchCustomers>(server->url(), std::string("1"), std::string("secret"),
                                                            fullReload, true,
                                                            coordinator ? coordinator : store.context()->store());
        op->start();
        return op;
    }

    void addCustomer(const std::string& customerId, const std::string& company, std::optional<Date> updated) {
        ManagedObjectPtr row = context()->insert("Customer");
        row->setValue("customerId", customerId);
        row->setValue("company", company);
        if (updated) row->setValue("updateDate", *updated);
    }

    Names companies(const std::shared_ptr<ObjectStore>& file = nullptr) const {
        ObjectContext reader(file ? file : store.context()->store());
        Names names;
        for (const ManagedObjectPtr& row : reader.fetchAll("Customer"))
            names.push_back(row->text("company").value_or(row->text("firstName").value_or("?")));
        std::sort(names.begin(), names.end());
        return names;
    }

    // The last-update value the last request carried; nil when it had none.
    std::optional<std::string> sentDateUpdated() const {
        const storesim::ReceivedRequest sent = server->requests().back();
        EXPECT_EQ(sent.kind, "getCustomers");
        EXPECT_NE(sent.body.find("storeData.dtd"), std::string::npos);
        XmlDocPtr doc = XmlHelper::parse(sent.body);
        xmlNodePtr request = doc ? xmlFirstElementChild(xmlDocGetRootElement(doc.get())) : nullptr;
        return request ? XmlHelper::getNodeValue(doc.get(), request, "dateUpdated") : std::nullopt;
    }

    int changes = 0;
    ScopedObserver observer{OperationSynchCustomers::kCustomersChangeNotification, nullptr,
                            [this](const Notification&) { ++changes; }};
};

TEST_F(CustomerDownloadTest, BothRunsOfAReplyAreStoredAndTheNextAskSendsTheNewestChange) {
    server->setCannedReply("getCustomers", readFixture("downloads/customers.xml"));
    auto first = download();
    EXPECT_TRUE(first->succeeded());
    EXPECT_FALSE(first->error());
    EXPECT_EQ(sentDateUpdated(), std::nullopt) << "no local customers: everything is asked for";
    EXPECT_EQ(companies(), (Names{"Harbour Cafe", "Mill Street Books", "Tom"}));
    EXPECT_EQ(changes, 1);

    // K3 changed again on the server: it comes back into its own row.
    server->setCannedReply("getCustomers", "<tavloReply><customer id=\"K3\"><customerName>Mill St. Books</customerName>"
                                           "<dateUpdated>1700000900000</dateUpdated></customer></tavloReply>");
    auto second = download();
    EXPECT_TRUE(second->succeeded());
    EXPECT_EQ(sentDateUpdated(), "1700000300000") << "K2's, the newest of the first reply, not the last one read";
    EXPECT_EQ(companies(), (Names{"Harbour Cafe", "Mill St. Books", "Tom"}));
    EXPECT_EQ(changes, 2);

    download();
    EXPECT_EQ(sentDateUpdated(), "1700000900000");
}

TEST_F(CustomerDownloadTest, ACustomerMadeOnAnotherTerminalComesDown) {
    addCustomer("K1", "Harbour Cafe", Date(1700000100));
    store.save();
    Error error;
    ASSERT_TRUE(CommHelper::send(server->url(), std::string("u5"),
                                 "<tavloRequest><customer remoteId=\"RT2-1\"><customerName>Dock 9 Deli</customerName>"
                                 "<cellNumber>555-0199</cellNumber></customer></tavloRequest>",
                                 false, &error))
        << error.localizedDescription();
    auto op = download();
    EXPECT_TRUE(op->succeeded());
    EXPECT_EQ(sentDateUpdated(), "1700000100000");
    EXPECT_EQ(companies(), (Names{"Dock 9 Deli", "Harbour Cafe"}));
    ObjectContext reader(store.context()->store());
    EXPECT_EQ(reader.fetchFirst("Customer", "remoteId == %@", "RT2-1")->text("mobile"), "555-0199");
}

TEST_F(CustomerDownloadTest, AFullReloadReplacesEveryCustomer) {
    addCustomer("K8", "Gone Ltd", Date(1700000000));
    store.save();
    server->setCannedReply("getCustomers", readFixture("downloads/customers.xml"));
    auto op = download(true);
    EXPECT_TRUE(op->succeeded());
    EXPECT_EQ(companies(), (Names{"Harbour Cafe", "Mill Street Books", "Tom"}));
}

TEST_F(CustomerDownloadTest, AFailedDownloadWritesNothingAndTellsWhy) {
    addCustomer("K8", "Kept Ltd", Date(1700000000));
    store.save();
    for (const FailedReply& failure : failedReplies()) {
        SCOPED_TRACE(failure.name);
        serveFailure(*server, "getCustomers", failure);
        auto op = download(true);
        EXPECT_FALSE(op->succeeded());
        expectFailure(op->error(), failure);
        EXPECT_EQ(companies(), Names{"Kept Ltd"});
        EXPECT_EQ(changes, 0);
    }
}

TEST_F(CustomerDownloadTest, AFullReloadWhoseSaveFailsLeavesTheOldCustomers) {
    addCustomer("K8", "Kept Ltd", Date(1700000000));
    store.save();
    auto full = fullCopy(store);
    ASSERT_TRUE(full);
    server->setCannedReply("getCustomers", bulkyReply("customer", "id", "customerName", 200));
    auto op = download(true, full);
    EXPECT_FALSE(op->succeeded());
    ASSERT_TRUE(op->error());
    EXPECT_EQ(op->error()->domain(), kObjectStoreErrorDomain);
    EXPECT_EQ(companies(full), Names{"Kept Ltd"});
    EXPECT_EQ(changes, 0);
}

} // namespace
