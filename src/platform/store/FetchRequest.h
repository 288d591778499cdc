#pragma once

#include "platform/store/Predicate.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

// One sort key: a key path (along to-ones, "tax.name"), its direction and whether texts compare
// without regard to ASCII case. nil sorts first when ascending.
struct SortDescriptor {
    std::string keyPath;
    bool ascending = true;
    bool caseInsensitive = false;
};

// What to fetch: the rows of an entity that match the predicate (all when there is none), in the
// order of the sort keys, at most fetchLimit of them (0 or less: no limit). A list given a
// fetchBatchSize reads only the rows' ids at first and their objects that many at a time, as it is
// asked for them (0: every object at once).
struct FetchRequest {
    explicit FetchRequest(std::string entity, std::optional<Predicate> filter = std::nullopt,
                          std::vector<SortDescriptor> sorts = {}, int64_t limit = 0)
        : entityName(std::move(entity)), predicate(std::move(filter)), sortDescriptors(std::move(sorts)),
          fetchLimit(limit) {}

    std::string entityName;
    std::optional<Predicate> predicate;
    std::vector<SortDescriptor> sortDescriptors;
    int64_t fetchLimit = 0;
    size_t fetchBatchSize = 0;
};

} // namespace tavlo
