#include "platform/store/ObjectRegistry.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

namespace tavlo::test {
namespace {

// Stand-ins for objects: the registry keeps their addresses and never reads them.
ManagedObject* objectAt(std::vector<char>& cells, size_t i) { return reinterpret_cast<ManagedObject*>(&cells[i]); }

TEST(ObjectRegistry, AgreesWithAPlainMapThroughInsertsReplacementsAndErasures) {
    std::vector<char> cells(4096);
    ObjectRegistry registry(3);
    std::map<std::pair<size_t, int64_t>, ManagedObject*> expected;
    std::mt19937 random(51);
    for (int step = 0; step < 60'000; ++step) {
        const size_t entity = random() % 3;
        // Keys in runs (as a table gives them) and some far apart, so clusters form and wrap.
        const int64_t key = random() % 4 ? static_cast<int64_t>(random() % 1500) + 1 : static_cast<int64_t>(random());
        ManagedObject* object = objectAt(cells, random() % cells.size());
        auto at = expected.find({entity, key});
        switch (random() % 3) {
        case 0:
            registry.set(entity, key, object);
            expected[{entity, key}] = object;
            break;
        case 1: // erasing another object under the key leaves the registered one
            registry.erase(entity, key, object);
            if (at != expected.end() && at->second == object) expected.erase(at);
            break;
        default:
            if (at != expected.end()) {
                registry.erase(entity, key, at->second);
                expected.erase(at);
            }
        }
        if (step % 997 == 0) {
            for (const auto& [where, registered] : expected)
                ASSERT_EQ(registry.find(where.first, where.second), registered) << "step " << step;
        }
        auto now = expected.find({entity, key});
        ASSERT_EQ(registry.find(entity, key), now == expected.end() ? nullptr : now->second);
    }
    size_t seen = 0;
    registry.forEach([&](ManagedObject&) { ++seen; });
    EXPECT_EQ(seen, expected.size());
    registry.clear();
    EXPECT_EQ(registry.find(0, 1), nullptr);
}

} // namespace
} // namespace tavlo::test
