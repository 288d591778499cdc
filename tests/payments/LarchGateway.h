#pragma once

#include "CardGateway.h"
#include "payments/LarchHandler.h"
#include "platform/store/ObjectContext.h"
#include "support/StoreFixture.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace tavlo::test {

// A terminal store with the business day open, the loopback card gateway, and the Larch handler
// configured for it (time zone UTC).
class LarchGateway : public ::testing::Test {
protected:
    using Answer = gatewaysim::Answer;
    static constexpr const char* kCard = "4111111111111111";
    static constexpr const char* kExpiry = "2811";
    static constexpr const char* kSecurityCode = "987";
    static constexpr const char* kTrack2 = "4111111111111111=28111010000098700000";

    LarchGateway() {
        gateway.start();
        config = {{"HOST_LARCH_CAPTURE_URL", gateway.captureUrl()},
                  {"HOST_LARCH_DETAILS_URL", gateway.detailsUrl()},
                  {"HOST_LARCH_USER", "merchant1"},
                  {"HOST_LARCH_PASSWORD", "secret"},
                  {"HOST_LARCH_RP", "42"},
                  {"HOST_LARCH_SETTLE_TZ_ABBREV", "UTC"}};
        store.addStoreBatch("DAY-1", dayOpened, std::nullopt);
        store.save();
        handler = std::make_unique<LarchHandler>(store.context().get());
    }

    int32_t openBatch() {
        Error error;
        int32_t number = handler->openBatch(config, dayOpened, &error);
        EXPECT_GT(number, 0) << error.localizedDescription();
        return number;
    }

    // A swiped card transaction of `cents` with every card field a swipe brings.
    std::shared_ptr<PaymentTransaction> swiped(int32_t cents) {
        Error error;
        std::shared_ptr<PaymentTransaction> t = handler->newTransaction(config, &error);
        EXPECT_TRUE(t) << error.localizedDescription();
        if (!t) return nullptr;
        t->setValue(std::to_string(cents), "SUB_TOTAL");
        t->setValue(kCard, "NUMBER");
        t->setValue(kExpiry, "EXP_DATE");
        t->setValue(kTrack2, "TRACK_2");
        t->setValue(kSecurityCode, "CARD_CONF");
        return t;
    }

    // An approved sale; its number.
    std::string sale(int32_t cents, const std::optional<std::string>& tip = std::nullopt) {
        std::shared_ptr<PaymentTransaction> t = swiped(cents);
        if (!t) return {};
        if (tip) t->setValue(*tip, "TIP");
        Error error;
        EXPECT_TRUE(handler->sale(*t, config, &error)) << error.localizedDescription();
        return t->transactionId().value_or("");
    }

    // What the store file holds: a context that reads only what was saved.
    std::unique_ptr<ObjectContext> saved() { return std::make_unique<ObjectContext>(store.context()->store()); }
    ManagedObjectPtr storedRow(ObjectContext& context, const std::string& id) {
        return context.fetchFirst("Transaction", "transactionId == %d", std::stoi(id));
    }
    std::map<std::string, std::string> storedFields(const std::string& id) {
        std::map<std::string, std::string> fields;
        auto context = saved();
        if (ManagedObjectPtr row = storedRow(*context, id))
            for (const ManagedObjectPtr& field : row->toMany("transactionFields"))
                fields[field->text("name").value_or("")] = field->text("value").value_or("");
        return fields;
    }
    std::string reference(const std::string& id) { return storedFields(id)["PNRef"]; }
    bool isVoided(const std::string& id) {
        auto context = saved();
        ManagedObjectPtr row = storedRow(*context, id);
        return row && !row->isNil("voided");
    }
    bool isSettled(int32_t batchId) {
        auto context = saved();
        ManagedObjectPtr batch = context->fetchFirst("Batch", "batchId == %d", batchId);
        return batch && !batch->isNil("settled");
    }

    StoreFixture store;
    Date dayOpened = Date(1'700'000'000.0); // 2023-11-14 22:13:20 UTC
    gatewaysim::CardGateway gateway{gatewaysim::CardGateway::Options{"merchant1", "secret", 3}};
    HostConfig config;
    std::unique_ptr<LarchHandler> handler;
};

} // namespace tavlo::test
