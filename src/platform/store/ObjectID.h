#pragma once

#include "platform/store/EntityDescription.h"

#include <compare>
#include <cstdint>
#include <functional>
#include <string>

namespace tavlo {

// The stable identity of a stored object: its entity and its key in the store. It is fixed when
// the object is inserted and stays the same through saves, in every context of the store.
class ObjectID {
public:
    ObjectID() = default;
    ObjectID(const EntityDescription* entity, int64_t primaryKey) : entity_(entity), primaryKey_(primaryKey) {}

    const EntityDescription* entity() const { return entity_; }
    const std::string& entityName() const;
    int64_t primaryKey() const { return primaryKey_; }
    bool isValid() const { return entity_ && primaryKey_ > 0; }
    explicit operator bool() const { return isValid(); }

    // "x-tavlo-object:///Entity/p12"; ObjectStore::objectIDForURIRepresentation reads it back.
    std::string uriRepresentation() const;
    std::string description() const { return uriRepresentation(); }

    bool operator==(const ObjectID& o) const { return entity_ == o.entity_ && primaryKey_ == o.primaryKey_; }
    bool operator<(const ObjectID& o) const {
        if (entity_ != o.entity_) return entity_ && o.entity_ ? entity_->index() < o.entity_->index() : !entity_;
        return primaryKey_ < o.primaryKey_;
    }

private:
    const EntityDescription* entity_ = nullptr;
    int64_t primaryKey_ = 0;
};

} // namespace tavlo

template <> struct std::hash<tavlo::ObjectID> {
    size_t operator()(const tavlo::ObjectID& id) const noexcept {
        return std::hash<int64_t>()(id.primaryKey()) ^ (std::hash<const void*>()(id.entity()) << 1);
    }
};
