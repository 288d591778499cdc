#pragma once

#include "platform/store/ManagedObject.h"

#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class ObjectContext;

// Look-ups and link edits that the records' writers share.

// The row of the entity whose `key` equals the id; null for a nil id or when there is none.
ManagedObjectPtr findRow(ObjectContext& context, const char* entity, const char* key,
                         const std::optional<std::string>& id);
inline ManagedObjectPtr findUser(ObjectContext& context, const std::optional<std::string>& userId) {
    return findRow(context, "User", "userId", userId);
}
// The same in a context that may be missing (then there is no row).
inline ManagedObjectPtr findRow(ObjectContext* context, const char* entity, const char* key,
                                const std::optional<std::string>& id) {
    return context ? findRow(*context, entity, key, id) : nullptr;
}
inline ManagedObjectPtr findUser(ObjectContext* context, const std::optional<std::string>& userId) {
    return context ? findUser(*context, userId) : nullptr;
}

// The member whose text `key` (a key path) equals the value; null when none does.
ManagedObjectPtr memberWith(const std::vector<ManagedObjectPtr>& members, const char* key,
                            const std::optional<std::string>& value);

// The related row's text, only when the row is linked; otherwise the field stays as it is.
void readLinked(const ManagedObject& row, const char* relation, const char* key, std::optional<std::string>& field);

// Deletes a link row. The model deletes a link's target with it; the target is kept here unless
// `dropTarget` says otherwise.
void dropLink(ObjectContext& context, const ManagedObjectPtr& link, const char* toTarget, bool dropTarget);

} // namespace tavlo
