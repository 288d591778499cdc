#pragma once

#include "platform/store/EntityDescription.h"
#include "platform/store/ObjectID.h"
#include "platform/store/Value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

class ObjectContext;
class ManagedObject;
using ManagedObjectPtr = std::shared_ptr<ManagedObject>;

// One record of the store, living in one context. Values are read and written by attribute name
// and relationships by relationship name; reads take key paths along to-one relationships
// ("areaLocation.area.areaId"). An unknown name throws std::invalid_argument, as an unknown key
// does on the platform. Inverse relationships are kept by the setters.
class ManagedObject : public std::enable_shared_from_this<ManagedObject> {
public:
    ManagedObject(ObjectContext* context, const EntityDescription* entity, int64_t primaryKey);
    ~ManagedObject();
    ManagedObject(const ManagedObject&) = delete;
    ManagedObject& operator=(const ManagedObject&) = delete;

    const EntityDescription& entity() const { return *entity_; }
    const std::string& entityName() const { return entity_->name(); }
    ObjectID objectID() const { return ObjectID(entity_, primaryKey_); }
    // Null once the object was deleted and saved, rolled back as an insert, or its context reset.
    ObjectContext* managedObjectContext() const { return context_; }
    bool isInserted() const { return inserted_; }
    bool isUpdated() const { return updated_ && !inserted_ && !deleted_; }
    bool isDeleted() const { return deleted_; }
    bool hasChanges() const { return inserted_ || updated_ || deleted_; }

    // Attributes (and key paths along to-ones). nil reads as nullopt / 0 / NO.
    Value value(std::string_view keyPath) const;
    std::optional<std::string> text(std::string_view keyPath) const { return value(keyPath).text(); }
    int16_t int16(std::string_view keyPath) const { return static_cast<int16_t>(value(keyPath).integer()); }
    int32_t int32(std::string_view keyPath) const { return static_cast<int32_t>(value(keyPath).integer()); }
    int64_t int64(std::string_view keyPath) const { return value(keyPath).integer(); }
    bool boolean(std::string_view keyPath) const { return value(keyPath).boolean(); }
    double real(std::string_view keyPath) const { return value(keyPath).real(); }
    std::optional<Date> date(std::string_view keyPath) const { return value(keyPath).date(); }
    std::optional<Bytes> binary(std::string_view keyPath) const { return value(keyPath).binary(); }
    bool isNil(std::string_view keyPath) const { return value(keyPath).isNil(); }

    // Sets an attribute (nil allowed). Numbers convert between the numeric types; a text into a
    // number attribute (or the like) throws std::invalid_argument.
    void setValue(std::string_view key, Value value);
    // The same by the attribute's description (of this object's entity), for a caller that sets
    // one attribute of many rows.
    void setValue(const AttributeDescription& attribute, Value value);

    // Relationships. toOne follows a key path of to-ones; null when any step is empty.
    ManagedObjectPtr toOne(std::string_view keyPath) const;
    ObjectID toOneID(std::string_view name) const;
    void setToOne(std::string_view name, const ManagedObjectPtr& target);
    void setToOne(const RelationshipDescription& relationship, const ManagedObjectPtr& target);
    // The same by the target's id (of a row of this context), without its object: a target not
    // read is not read for it when its list is kept by this column.
    void setToOne(const RelationshipDescription& relationship, const ObjectID& target);
    // Members of a to-many in the order they were stored.
    std::vector<ManagedObjectPtr> toMany(std::string_view name) const;
    bool containsIn(std::string_view name, const ManagedObjectPtr& target) const;
    void addTo(std::string_view name, const ManagedObjectPtr& target);
    void removeFrom(std::string_view name, const ManagedObjectPtr& target);
    void setToMany(std::string_view name, const std::vector<ManagedObjectPtr>& targets);

    std::string description() const { return entity_->name() + " " + objectID().uriRepresentation(); }

private:
    friend class ObjectContext;

    struct ToMany {
        bool loaded = false;
        std::set<int64_t> members;
        std::set<int64_t> added, removed; // pending rows of a table of pairs
    };
    struct Snapshot {
        std::vector<Value> values;
        std::vector<int64_t> toOnes;
        int64_t version = 0;
    };

    // A value made into the attribute's type for storing; numbers convert, other kinds must match.
    static Value storable(Value v, const AttributeDescription& a, const std::string& entity);
    ObjectContext& context() const;
    const AttributeDescription& requireAttribute(std::string_view name) const;
    const RelationshipDescription& requireRelationship(std::string_view name, bool toMany) const;
    ToMany& toManyState(const RelationshipDescription& r) const;
    // The to-many's state when it was made, else null.
    ToMany* toManyIfMade(const RelationshipDescription& r) const {
        return r.index < toManys_.size() ? toManys_[r.index].get() : nullptr;
    }
    // Whether the attribute or relationship slot holds an unsaved change: every slot of an
    // inserted object does.
    bool slotChanged(size_t slot) const { return slot < changed_.size() ? changed_[slot] != 0 : inserted_; }
    // Whether a change of the to-many's members is to be noted in its state.
    bool notesMemberChanges(const RelationshipDescription& r) const;
    const std::set<int64_t>& members(const RelationshipDescription& r) const;
    void willChange();
    void markChanged(size_t slot);
    // Changes of one side only; the public setters keep the other side with these.
    void primitiveSetToOne(const RelationshipDescription& r, int64_t pk);
    void primitiveAdd(const RelationshipDescription& r, int64_t pk);
    void primitiveRemove(const RelationshipDescription& r, int64_t pk);
    void setToOneKey(const RelationshipDescription& r, int64_t pk);
    void addKey(const RelationshipDescription& r, ManagedObject& target);
    void removeKey(const RelationshipDescription& r, ManagedObject& target);

    ObjectContext* context_;
    const EntityDescription* entity_;
    int64_t primaryKey_;
    int64_t version_ = 0;
    bool inserted_ = false, updated_ = false, deleted_ = false;
    bool linksStored_ = false; // inserted, but its lists are in the file: it was unpacked from held
                               // rows, or held rows name it
    std::vector<Value> values_;
    std::vector<int64_t> toOnes_;                          // per relationship; 0: none
    mutable std::vector<std::unique_ptr<ToMany>> toManys_; // per relationship, made on use (empty till then)
    std::vector<uint8_t> changed_;       // attributes, then relationships; made at the first change of a stored object
    std::unique_ptr<Snapshot> snapshot_; // the stored state, kept from the first change
};

} // namespace tavlo
