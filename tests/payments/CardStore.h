#pragma once

#include "core/session/LocalStoreModel.h"
#include "platform/foundation/Clock.h"
#include "platform/store/ObjectContext.h"
#include "platform/store/ObjectStore.h"
#include "support/FakePaymentHandler.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tavlo::test {

// A fresh terminal store in a temporary data directory, a fake clock, and a fake gateway handler
// keeping its card records in the store's main context.
class CardStore : public ::testing::Test {
protected:
    explicit CardStore(ObjectStore::Options options = {}) {
        Error error;
        store = ObjectStore::open(LocalStoreModel::build(), ObjectStore::defaultPath(), &error, options);
        EXPECT_TRUE(store) << error.localizedDescription();
        context = std::make_unique<ObjectContext>(store);
        handler = std::make_unique<FakePaymentHandler>(context.get());
        config = handler->config();
    }

    // A new context that reads what was saved, and nothing else; it lives as long as the test.
    ObjectContext* freshContext() { return readers.emplace_back(std::make_unique<ObjectContext>(store)).get(); }

    // An approved sale of `cents` in the open batch; its number.
    std::string sale(int32_t cents, const HostConfig& settings) {
        Error error;
        std::shared_ptr<PaymentTransaction> t = handler->newTransaction(settings, &error);
        EXPECT_TRUE(t) << error.localizedDescription();
        if (!t) return {};
        t->setValue(std::to_string(cents), "SUB_TOTAL");
        t->setValue("1111", "NUMBER");
        EXPECT_TRUE(handler->sale(*t, settings, &error)) << error.localizedDescription();
        return t->transactionId().value_or("");
    }
    std::string sale(int32_t cents) { return sale(cents, config); }

    int32_t openBatch() {
        Error error;
        int32_t number = handler->openBatch(config, Date::now(), &error);
        EXPECT_NE(number, -1) << error.localizedDescription();
        return number;
    }

    TempHome home;
    ScopedFakeClock clock;
    std::shared_ptr<ObjectStore> store;
    std::unique_ptr<ObjectContext> context;
    std::unique_ptr<FakePaymentHandler> handler;
    HostConfig config;
    std::vector<std::unique_ptr<ObjectContext>> readers;
};

} // namespace tavlo::test
