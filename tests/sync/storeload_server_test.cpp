#include "StoreServerFixture.h"
#include "sync/storeload/OperationSynchStore.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavlo {
namespace {

using test::readFixture;

// The load through the real exchange with the store server on loopback.
class StoreLoadServerTest : public test::StoreServerFixture {
protected:
    std::unique_ptr<OperationSynchStore> load(bool fullReload) {
        auto operation = std::make_unique<OperationSynchStore>(server->url(), "1", "secret", fullReload, std::nullopt,
                                                               1, false, DBHelper::sharedStore());
        operation->start();
        return operation;
    }
    size_t count(const char* entity) {
        ObjectContext view(DBHelper::sharedStore());
        return view.count(FetchRequest(entity));
    }
};

TEST_F(StoreLoadServerTest, FullThenIncrementalLoadAskForTheRightDates) {
    std::vector<storesim::StoreDataRequest> asked;
    std::string reply = readFixture("storeload/store_full.xml");
    server->setStoreData([&](const storesim::StoreDataRequest& request) {
        asked.push_back(request);
        return reply;
    });
    auto full = load(true);
    ASSERT_TRUE(full->succeeded()) << full->error().value_or(Error()).localizedDescription();
    EXPECT_EQ(count("Item"), 9u);

    reply = readFixture("storeload/store_partial.xml");
    auto incremental = load(false);
    ASSERT_TRUE(incremental->succeeded());
    EXPECT_EQ(count("Item"), 8u);

    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].storeDateUpdated, "0");
    EXPECT_EQ(asked[0].menuDateUpdated, "0");
    EXPECT_EQ(asked[1].storeDateUpdated, "1700000100000");
    EXPECT_EQ(asked[1].menuDateUpdated, "1700000200000");
    EXPECT_EQ(asked[1].terminalId, "T1"); // the device's terminal, known since the first load
}

TEST_F(StoreLoadServerTest, AFailedExchangeKeepsTheStoreAndReportsTheFailure) {
    server->setStoreDataFile(test::fixturePath("storeload/store_full.xml"));
    ASSERT_TRUE(load(true)->succeeded());
    for (storesim::Fault fault : {storesim::Fault::ServerErrorPage, storesim::Fault::RefuseConnection}) {
        server->setFault("getStoreData", fault, 1);
        auto failed = load(true);
        EXPECT_FALSE(failed->succeeded());
        ASSERT_TRUE(failed->error());
        EXPECT_EQ(failed->error()->code(), 1);
        EXPECT_EQ(failed->error()->domain(), CommHelper::kStoreServerErrorDomain);
        EXPECT_EQ(count("Item"), 9u);
    }
}

} // namespace
} // namespace tavlo
