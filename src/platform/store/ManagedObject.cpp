#include "platform/store/ManagedObject.h"

#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/store/PredicateEvaluation.h"

#include <stdexcept>

namespace tavlo {

namespace {

bool sameValue(const Value& a, const Value& b) { return a.kind() == b.kind() && a == b; }

} // namespace

Value ManagedObject::storable(Value v, const AttributeDescription& a, const std::string& entity) {
    using K = Value::Kind;
    if (v.isNil()) return v;
    bool fits = false;
    switch (a.type) {
    case AttributeType::Text: fits = v.kind() == K::Text; break;
    case AttributeType::Int16:
    case AttributeType::Int32:
    case AttributeType::Int64:
        if (v.isNumber()) return Value(v.integer());
        break;
    case AttributeType::Boolean:
        if (v.isNumber()) return Value(v.boolean());
        break;
    case AttributeType::Double:
    case AttributeType::Decimal:
        if (v.isNumber()) return Value(v.real());
        break;
    case AttributeType::Date: fits = v.kind() == K::Date; break;
    case AttributeType::Binary: fits = v.kind() == K::Binary; break;
    }
    if (!fits) throw std::invalid_argument("Wrong kind of value for " + entity + "." + a.name + ": " + v.description());
    return v;
}

ManagedObject::ManagedObject(ObjectContext* context, const EntityDescription* entity, int64_t primaryKey)
    : context_(context), entity_(entity), primaryKey_(primaryKey), values_(entity->attributes().size()),
      toOnes_(entity->relationships().size(), 0) {}

ManagedObject::~ManagedObject() {
    if (context_) context_->unregister(*this); // the context's look-ups find only live objects
}

ObjectContext& ManagedObject::context() const {
    if (!context_) throw std::logic_error(description() + " is no longer in a context");
    return *context_;
}

const AttributeDescription& ManagedObject::requireAttribute(std::string_view name) const {
    if (auto a = entity_->attributeNamed(name)) return *a;
    throw std::invalid_argument("Entity " + entity_->name() + " has no attribute \"" + std::string(name) + "\"");
}

const RelationshipDescription& ManagedObject::requireRelationship(std::string_view name, bool toMany) const {
    auto r = entity_->relationshipNamed(name);
    if (!r || r->toMany != toMany)
        throw std::invalid_argument("Entity " + entity_->name() + " has no " + (toMany ? "to-many" : "to-one") +
                                    " relationship \"" + std::string(name) + "\"");
    return *r;
}

Value ManagedObject::value(std::string_view keyPath) const {
    const size_t dot = keyPath.rfind('.');
    if (dot == std::string_view::npos) return values_[requireAttribute(keyPath).index];
    // The whole path is checked against the model first, so a wrong one throws even where a
    // step is nil.
    const EntityDescription* e = entity_;
    for (std::string_view rest = keyPath.substr(0, dot + 1); !rest.empty();) {
        const size_t end = rest.find('.');
        const RelationshipDescription* r = e->relationshipNamed(rest.substr(0, end));
        if (!r || r->toMany) {
            resolveKeyPath(*entity_, split(keyPath, ".")); // throws, naming the bad step
            throw std::invalid_argument("Key path " + std::string(keyPath) + " does not follow to-one relationships");
        }
        e = r->target;
        rest.remove_prefix(end + 1);
    }
    if (!e->attributeNamed(keyPath.substr(dot + 1)))
        throw std::invalid_argument("Key path " + std::string(keyPath) + " does not end at an attribute");
    ManagedObjectPtr last = toOne(keyPath.substr(0, dot));
    return last ? last->values_[last->requireAttribute(keyPath.substr(dot + 1)).index] : Value();
}

void ManagedObject::setValue(std::string_view key, Value value) { setValue(requireAttribute(key), std::move(value)); }

void ManagedObject::setValue(const AttributeDescription& a, Value value) {
    if (a.index >= values_.size() || &entity_->attributes()[a.index] != &a)
        throw std::invalid_argument("Entity " + entity_->name() + " has no attribute \"" + a.name + "\" of its own");
    Value v = storable(std::move(value), a, entity_->name());
    if (sameValue(values_[a.index], v)) return;
    willChange();
    values_[a.index] = std::move(v);
    markChanged(a.index);
}

ManagedObjectPtr ManagedObject::toOne(std::string_view keyPath) const {
    size_t dot = keyPath.find('.');
    if (dot != std::string_view::npos) {
        ManagedObjectPtr first = toOne(keyPath.substr(0, dot));
        return first ? first->toOne(keyPath.substr(dot + 1)) : nullptr;
    }
    const RelationshipDescription& r = requireRelationship(keyPath, false);
    int64_t pk = toOnes_[r.index];
    if (!pk || !context_) return nullptr;
    ManagedObjectPtr target = context_->objectFor(*r.target, pk);
    return target && !target->deleted_ ? target : nullptr;
}

ObjectID ManagedObject::toOneID(std::string_view name) const {
    const RelationshipDescription& r = requireRelationship(name, false);
    return toOnes_[r.index] ? ObjectID(r.target, toOnes_[r.index]) : ObjectID();
}

namespace {
void checkTarget(const ManagedObject& self, const RelationshipDescription& r, const ManagedObjectPtr& target) {
    if (!target) return;
    if (target->managedObjectContext() != self.managedObjectContext())
        throw std::invalid_argument("Relationship " + r.name + " links objects of different contexts");
    if (&target->entity() != r.target)
        throw std::invalid_argument("Relationship " + r.name + " takes " + r.targetName + ", not " +
                                    target->entityName());
}
} // namespace

void ManagedObject::setToOne(std::string_view name, const ManagedObjectPtr& target) {
    setToOne(requireRelationship(name, false), target);
}

void ManagedObject::setToOne(const RelationshipDescription& r, const ManagedObjectPtr& target) {
    if (r.source != entity_ || r.toMany)
        throw std::invalid_argument("Entity " + entity_->name() + " has no to-one relationship \"" + r.name + "\"");
    context();
    checkTarget(*this, r, target);
    setToOneKey(r, target ? target->primaryKey_ : 0);
}

void ManagedObject::setToOne(const RelationshipDescription& r, const ObjectID& target) {
    if (r.source != entity_ || r.toMany)
        throw std::invalid_argument("Entity " + entity_->name() + " has no to-one relationship \"" + r.name + "\"");
    if (target.isValid() && target.entity() != r.target)
        throw std::invalid_argument("Relationship " + r.name + " takes " + r.targetName + ", not " +
                                    target.entityName());
    context();
    setToOneKey(r, target.isValid() ? target.primaryKey() : 0);
}

std::vector<ManagedObjectPtr> ManagedObject::toMany(std::string_view name) const {
    const RelationshipDescription& r = requireRelationship(name, true);
    std::vector<ManagedObjectPtr> out;
    if (!context_) return out;
    // The members read now stay alive until they are handed out, not read again one by one.
    std::vector<ManagedObjectPtr> read;
    if (ToMany& st = toManyState(r); !st.loaded) context_->loadToMany(*this, r, &read);
    std::vector<int64_t> keys(members(r).begin(), members(r).end());
    out.reserve(keys.size());
    for (int64_t pk : keys) {
        ManagedObjectPtr o = context_->objectFor(*r.target, pk);
        if (o && !o->deleted_) out.push_back(std::move(o));
    }
    return out;
}

bool ManagedObject::containsIn(std::string_view name, const ManagedObjectPtr& target) const {
    const RelationshipDescription& r = requireRelationship(name, true);
    return target && context_ && &target->entity() == r.target && !target->deleted_ &&
           members(r).count(target->primaryKey_) > 0;
}

void ManagedObject::addTo(std::string_view name, const ManagedObjectPtr& target) {
    const RelationshipDescription& r = requireRelationship(name, true);
    context();
    checkTarget(*this, r, target);
    if (target) addKey(r, *target);
}

void ManagedObject::removeFrom(std::string_view name, const ManagedObjectPtr& target) {
    const RelationshipDescription& r = requireRelationship(name, true);
    context();
    checkTarget(*this, r, target);
    if (target) removeKey(r, *target);
}

void ManagedObject::setToMany(std::string_view name, const std::vector<ManagedObjectPtr>& targets) {
    const RelationshipDescription& r = requireRelationship(name, true);
    context();
    std::set<int64_t> wanted;
    for (const auto& t : targets) {
        checkTarget(*this, r, t);
        if (t) wanted.insert(t->primaryKey_);
    }
    for (const ManagedObjectPtr& current : toMany(name))
        if (!wanted.count(current->primaryKey_)) removeKey(r, *current);
    for (const auto& t : targets)
        if (t) addKey(r, *t);
}

ManagedObject::ToMany& ManagedObject::toManyState(const RelationshipDescription& r) const {
    if (toManys_.empty()) toManys_.resize(entity_->relationships().size());
    auto& slot = toManys_[r.index];
    if (!slot) slot = std::make_unique<ToMany>();
    return *slot;
}

bool ManagedObject::notesMemberChanges(const RelationshipDescription& r) const {
    // A list kept by the other side's column is read from there when asked: until it is read,
    // a change has nothing to note in it (and a row new to the context need not get its state).
    const ToMany* st = toManyIfMade(r);
    return !r.storedByInverse || (st && st->loaded);
}

const std::set<int64_t>& ManagedObject::members(const RelationshipDescription& r) const {
    ToMany& st = toManyState(r);
    if (!st.loaded) context().loadToMany(*this, r);
    return st.members;
}

void ManagedObject::willChange() {
    ObjectContext& c = context();
    if (inserted_ || updated_ || deleted_) {
        if (!inserted_) updated_ = true;
        return;
    }
    // The stored state, for a rollback; a held write's rollback lets go of every object instead.
    if (!c.isWriting()) snapshot_ = std::make_unique<Snapshot>(Snapshot{values_, toOnes_, version_});
    changed_.assign(values_.size() + toOnes_.size(), 0);
    updated_ = true;
    c.noteChanged(*this);
}

void ManagedObject::markChanged(size_t slot) {
    if (inserted_) return; // an inserted object writes every slot
    if (changed_.empty()) changed_.assign(values_.size() + toOnes_.size(), 0);
    changed_[slot] = 1;
}

void ManagedObject::primitiveSetToOne(const RelationshipDescription& r, int64_t pk) {
    if (toOnes_[r.index] == pk) return;
    willChange();
    context_->linkMoved(*this, r, toOnes_[r.index], pk);
    toOnes_[r.index] = pk;
    markChanged(entity_->attributes().size() + r.index);
}

void ManagedObject::primitiveAdd(const RelationshipDescription& r, int64_t pk) {
    willChange();
    if (!notesMemberChanges(r)) return;
    ToMany& st = toManyState(r);
    if (!r.storedByInverse && st.removed.erase(pk) == 0) st.added.insert(pk);
    if (st.loaded) st.members.insert(pk);
}

void ManagedObject::primitiveRemove(const RelationshipDescription& r, int64_t pk) {
    willChange();
    if (!notesMemberChanges(r)) return;
    ToMany& st = toManyState(r);
    if (!r.storedByInverse && st.added.erase(pk) == 0) st.removed.insert(pk);
    if (st.loaded) st.members.erase(pk);
}

void ManagedObject::setToOneKey(const RelationshipDescription& r, int64_t pk) {
    int64_t old = toOnes_[r.index];
    if (old == pk) return;
    ObjectContext& c = context();
    primitiveSetToOne(r, pk);
    const RelationshipDescription* inv = r.inverse;
    if (!inv) return;
    if (old) {
        if (inv->toMany && inv->storedByInverse) {
            // Kept by our column: only a loaded member list of a read object needs the news.
            if (ManagedObject* o = c.registered(*r.target, old)) o->primitiveRemove(*inv, primaryKey_);
        } else if (ManagedObjectPtr o = c.objectFor(*r.target, old)) {
            if (inv->toMany) o->primitiveRemove(*inv, primaryKey_);
            else if (o->toOnes_[inv->index] == primaryKey_) o->primitiveSetToOne(*inv, 0);
        }
    }
    if (pk) {
        if (inv->toMany && inv->storedByInverse) {
            // Kept by our column: a target not read has no list to tell, and is not read for it.
            if (ManagedObject* o = c.registered(*r.target, pk)) o->primitiveAdd(*inv, primaryKey_);
            return;
        }
        ManagedObjectPtr t = c.objectFor(*r.target, pk);
        if (!t) return;
        if (inv->toMany) {
            t->primitiveAdd(*inv, primaryKey_);
        } else {
            int64_t previous = t->toOnes_[inv->index];
            if (previous != primaryKey_) {
                if (previous)
                    if (ManagedObjectPtr p = c.objectFor(*entity_, previous); p && p->toOnes_[r.index] == pk)
                        p->primitiveSetToOne(r, 0);
                t->primitiveSetToOne(*inv, primaryKey_);
            }
        }
    }
}

void ManagedObject::addKey(const RelationshipDescription& r, ManagedObject& target) {
    if (r.storedByInverse) {
        target.setToOneKey(*r.inverse, primaryKey_);
        return;
    }
    if (members(r).count(target.primaryKey_)) return;
    primitiveAdd(r, target.primaryKey_);
    markChanged(entity_->attributes().size() + r.index);
    if (const RelationshipDescription* inv = r.inverse) {
        if (inv->toMany) target.primitiveAdd(*inv, primaryKey_);
        else target.setToOneKey(*inv, primaryKey_);
    }
}

void ManagedObject::removeKey(const RelationshipDescription& r, ManagedObject& target) {
    if (r.storedByInverse) {
        if (target.toOnes_[r.inverse->index] == primaryKey_) target.setToOneKey(*r.inverse, 0);
        return;
    }
    if (!members(r).count(target.primaryKey_)) return;
    primitiveRemove(r, target.primaryKey_);
    markChanged(entity_->attributes().size() + r.index);
    if (const RelationshipDescription* inv = r.inverse) {
        if (inv->toMany) target.primitiveRemove(*inv, primaryKey_);
        else if (target.toOnes_[inv->index] == primaryKey_) target.setToOneKey(*inv, 0);
    }
}

} // namespace tavlo
