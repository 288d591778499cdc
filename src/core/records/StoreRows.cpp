#include "core/records/StoreRows.h"

#include "platform/store/ObjectContext.h"

namespace tavlo {

ManagedObjectPtr findRow(ObjectContext& context, const char* entity, const char* key,
                         const std::optional<std::string>& id) {
    return id ? context.fetchFirst(entity, std::string(key) + " == %@", *id) : nullptr;
}

ManagedObjectPtr memberWith(const std::vector<ManagedObjectPtr>& members, const char* key,
                            const std::optional<std::string>& value) {
    if (!value) return nullptr;
    for (const ManagedObjectPtr& m : members)
        if (m->text(key) == value) return m;
    return nullptr;
}

void readLinked(const ManagedObject& row, const char* relation, const char* key, std::optional<std::string>& field) {
    if (ManagedObjectPtr target = row.toOne(relation)) field = target->text(key);
}

void dropLink(ObjectContext& context, const ManagedObjectPtr& link, const char* toTarget, bool dropTarget) {
    ManagedObjectPtr target = link->toOne(toTarget);
    link->setToOne(toTarget, nullptr);
    context.deleteObject(link);
    if (dropTarget && target) context.deleteObject(target);
}

} // namespace tavlo
