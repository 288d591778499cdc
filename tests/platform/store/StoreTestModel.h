#pragma once

#include "platform/store/ObjectContext.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tavlo::test {

// A small model with the shapes the terminal uses: a to-one with its to-many inverse (cascade),
// a many-to-many, a to-many without inverse and two to-manys sharing one back-link; and rows owned
// through a to-one and through a to-many without inverses (Memo).
Model storeTestModel();

// Terminals "T0".."T<count - 1>", the t-th with t % 4 parameters ("P0".."P2"); not saved.
inline void addTerminals(ObjectContext& c, int count) {
    for (int t = 0; t < count; ++t) {
        auto terminal = c.insert("Terminal");
        terminal->setValue("terminalId", "T" + std::to_string(t));
        for (int p = 0; p < t % 4; ++p) {
            auto param = c.insert("TerminalParam");
            param->setValue("name", "P" + std::to_string(p));
            param->setToOne("terminal", terminal);
        }
    }
}

// A fresh data directory with a store file in it.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { open(); }
    void open(Model model = storeTestModel()) {
        Error error;
        store = ObjectStore::open(std::move(model), ObjectStore::defaultPath(), &error);
        ASSERT_TRUE(store) << error.localizedDescription();
    }
    void reopen(Model model = storeTestModel()) {
        store.reset();
        open(std::move(model));
    }
    // The store again, in a file that may not grow past a quarter of a megabyte.
    void reopenSmall() {
        store.reset();
        ObjectStore::Options options;
        options.maxFileBytes = 256 * 1024;
        Error error;
        store = ObjectStore::open(storeTestModel(), ObjectStore::defaultPath(), &error, options);
        ASSERT_TRUE(store) << error.localizedDescription();
    }
    std::unique_ptr<ObjectContext> newContext(
        ObjectContext::MergePolicy policy = ObjectContext::MergePolicy::Overwrite) {
        auto c = std::make_unique<ObjectContext>(store);
        c->setMergePolicy(policy);
        return c;
    }

    TempHome home;
    std::shared_ptr<ObjectStore> store;
};

} // namespace tavlo::test
