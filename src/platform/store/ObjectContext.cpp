#include "platform/store/ObjectContext.h"

#include "platform/foundation/Text.h"
#include "platform/store/PredicateEvaluation.h"
#include "platform/store/QueryCompiler.h"
#include "platform/store/SqlConnection.h"
#include "platform/store/StoreError.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace tavlo {

namespace {

using LinkIndex = std::unordered_map<int64_t, std::vector<ManagedObject*>>;

// The changed objects by the key their to-one `r` holds. A relationship is indexed from the first
// read of one of its lists (made then from the entity's changed objects) until the next save, so a
// load that reads no list keeps no index.
const LinkIndex& linksOf(std::unordered_map<const RelationshipDescription*, LinkIndex>& indexes,
                         const std::vector<ManagedObject*>& changedOfEntity, const RelationshipDescription& r,
                         const std::function<int64_t(const ManagedObject&)>& keyOf) {
    auto [indexed, made] = indexes.try_emplace(&r);
    if (made)
        for (ManagedObject* o : changedOfEntity)
            if (int64_t key = keyOf(*o)) indexed->second[key].push_back(o);
    return indexed->second;
}

} // namespace

ObjectContext::ObjectContext(std::shared_ptr<ObjectStore> store)
    : store_(std::move(store)), registered_(store_ ? store_->model().entities().size() : 0) {
    if (!store_) throw std::invalid_argument("A context needs a store");
    size_t entities = model().entities().size();
    changedByEntity_.resize(entities);
    entityStatements_.resize(entities);
    doomed_.resize(entities);
    freeKeys_.resize(entities);
}

ObjectContext::~ObjectContext() {
    endWrite(false, nullptr);
    endRead();
    store_->giveBack(std::move(connection_)); // the next context reads with its statements
    registered_.forEach([](ManagedObject& o) { o.context_ = nullptr; });
    for (auto& o : changed_) o->context_ = nullptr;
    for (auto& o : doomedObjects_) o->context_ = nullptr;
}

SqlConnection* ObjectContext::connection(Error* error) {
    if (!connection_) connection_ = store_->connect(error);
    return connection_.get();
}

ObjectContext::ReadScope::ReadScope(ObjectContext& context, Hold hold)
    : context_(context), held_(hold == Hold::Objects) {
    if (held_) ++context_.holdingReads_;
    if (context_.readScopes_++ > 0) return;
    SqlConnection* c = context_.connection(nullptr);
    if (!c || !sqlite3_get_autocommit(c->handle())) return;
    if (SqlStatement* begin = c->statement("BEGIN", nullptr)) {
        StatementUse use(begin);
        context_.readOpen_ = begin->step() == SQLITE_DONE;
    }
}

ObjectContext::ReadScope::~ReadScope() {
    if (held_ && --context_.holdingReads_ == 0) context_.heldReads_.clear();
    if (--context_.readScopes_ == 0) context_.endRead();
}

void ObjectContext::endRead() {
    if (!readOpen_) return;
    readOpen_ = false;
    if (!connection_) return;
    if (SqlStatement* commit = connection_->statement("COMMIT", nullptr)) {
        StatementUse use(commit);
        commit->step();
    }
}

void ObjectContext::closeConnection() {
    endRead();
    queries_.clear();
    for (auto& slots : entityStatements_) slots.fill(nullptr);
    toManyStatements_.clear();
    joinStatements_.clear();
    updateStatements_.clear();
    byKeysStatements_.clear();
    rowsStatements_.clear();
    rowCleanups_.clear();
    connection_.reset();
}

// ---- identity map ----

ManagedObject* ObjectContext::registered(const EntityDescription& entity, int64_t pk) const {
    return registered_.find(entity.index(), pk); // kept alive by its holders (changed_ holds changed ones)
}

ManagedObjectPtr ObjectContext::registeredPtr(const EntityDescription& entity, int64_t pk) const {
    ManagedObject* o = registered_.find(entity.index(), pk);
    return o ? o->shared_from_this() : nullptr;
}

void ObjectContext::registerObject(const ManagedObjectPtr& object) {
    registered_.set(object->entity_->index(), object->primaryKey_, object.get());
}

void ObjectContext::unregister(const ManagedObject& object) {
    registered_.erase(object.entity_->index(), object.primaryKey_, &object);
}

void ObjectContext::noteChanged(ManagedObject& object) {
    changed_.push_back(object.shared_from_this());
    changedByEntity_[object.entity_->index()].push_back(&object);
    indexLinks(object);
}

void ObjectContext::forgetChanged(ManagedObject& object) {
    unindexLinks(object);
    auto& list = changedByEntity_[object.entity_->index()];
    std::erase(list, &object);
    std::erase_if(changed_, [&](const ManagedObjectPtr& p) { return p.get() == &object; });
}

bool ObjectContext::listsInverse(const RelationshipDescription& r) {
    return !r.toMany && r.inverse && r.inverse->toMany && r.inverse->storedByInverse;
}

void ObjectContext::indexLinks(ManagedObject& object) {
    for (const RelationshipDescription& r : object.entity_->relationships())
        if (listsInverse(r)) linkMoved(object, r, 0, object.toOnes_[r.index]);
}

void ObjectContext::unindexLinks(ManagedObject& object) {
    for (const RelationshipDescription& r : object.entity_->relationships())
        if (listsInverse(r)) linkMoved(object, r, object.toOnes_[r.index], 0);
}

void ObjectContext::linkMoved(ManagedObject& object, const RelationshipDescription& r, int64_t from, int64_t to) {
    if (from == to) return;
    auto indexed = changedByLink_.find(&r);
    if (indexed == changedByLink_.end()) return; // not indexed: no list of it read since the last save
    auto& byKey = indexed->second;
    if (from) {
        auto list = byKey.find(from);
        if (list != byKey.end()) {
            auto& objects = list->second;
            if (auto at = std::find(objects.begin(), objects.end(), &object); at != objects.end()) {
                *at = objects.back();
                objects.pop_back();
            }
            if (objects.empty()) byKey.erase(list);
        }
    }
    if (to) byKey[to].push_back(&object);
}

void ObjectContext::detach(ManagedObject& object) {
    unregister(object);
    object.context_ = nullptr;
}

void ObjectContext::dropToManyCaches(ManagedObject& o) {
    // Cleared in place: a member list being filled further up the stack stays valid.
    for (auto& t : o.toManys_)
        if (t) {
            t->loaded = false;
            t->members.clear();
        }
}

void ObjectContext::dropToManyCaches() {
    registered_.forEach([](ManagedObject& o) { dropToManyCaches(o); });
}

SqlStatement* ObjectContext::entityStatement(EntityStatement kind, const EntityDescription& e, Error* error) {
    auto& slot = entityStatements_[e.index()][static_cast<size_t>(kind)];
    if (slot) return slot;
    SqlConnection* c = connection(error);
    if (!c) return nullptr;
    std::string table = quoteName(e.name());
    std::string sql;
    switch (kind) {
    case EntityStatement::ByKey:
        sql = "SELECT " + QueryCompiler::columns(e, "t0") + " FROM " + table + " t0 WHERE t0.Z_PK = ?";
        break;
    case EntityStatement::Insert: {
        std::string names = "Z_PK, Z_OPT", marks = "?, 1";
        for (const auto& a : e.attributes()) {
            names += ", " + quoteName(a.name);
            marks += ", ?";
        }
        for (const auto& r : e.relationships())
            if (!r.toMany) {
                names += ", " + quoteName(r.name);
                marks += ", ?";
            }
        sql = "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
        break;
    }
    case EntityStatement::Delete:
        sql = "DELETE FROM " + table + " WHERE Z_PK = ?1 AND (?2 IS NULL OR Z_OPT = ?2)";
        break;
    }
    slot = c->statement(sql, error);
    return slot;
}

void ObjectContext::readRow(const EntityDescription& e, SqlStatement& row, std::vector<Value>& values,
                            std::vector<int64_t>& toOnes, int64_t& version) {
    version = row.columnInt(1);
    int column = 2;
    for (const auto& a : e.attributes()) values[a.index] = row.column(column++, a.type);
    for (const auto& r : e.relationships())
        if (!r.toMany) {
            toOnes[r.index] = row.isNull(column) ? 0 : row.columnInt(column);
            ++column;
        }
}

ManagedObjectPtr ObjectContext::objectFromRow(const EntityDescription& e, SqlStatement& row) {
    int64_t pk = row.columnInt(0);
    if (ManagedObjectPtr o = registeredPtr(e, pk)) {
        // A read object without changes takes the stored state when another context saved it.
        if (!o->hasChanges() && o->version_ != row.columnInt(1)) {
            readRow(e, row, o->values_, o->toOnes_, o->version_);
            dropToManyCaches(*o);
        }
        return o;
    }
    auto o = std::make_shared<ManagedObject>(this, &e, pk);
    readRow(e, row, o->values_, o->toOnes_, o->version_);
    registerObject(o);
    holdRead(o);
    return o;
}

bool ObjectContext::isDoomed(const EntityDescription& e, int64_t pk) const {
    const auto& doomed = doomed_[e.index()];
    return !doomed.empty() && doomed.contains(pk);
}

ManagedObjectPtr ObjectContext::objectFor(const EntityDescription& e, int64_t pk) {
    if (ManagedObjectPtr o = registeredPtr(e, pk)) return o;
    if (isDoomed(e, pk)) return nullptr;
    if (ManagedObjectPtr o = unpackHeld(e, pk)) return o;
    applyNullifiedLinks();
    SqlStatement* s = entityStatement(EntityStatement::ByKey, e, nullptr);
    if (!s) return nullptr;
    StatementUse use(s);
    s->bindInt(1, pk);
    if (s->step() != SQLITE_ROW) return nullptr;
    return objectFromRow(e, *s);
}

ManagedObjectPtr ObjectContext::objectWithID(const ObjectID& id) {
    if (!id.isValid() || model().entityNamed(id.entityName()) != id.entity()) return nullptr;
    return objectFor(*id.entity(), id.primaryKey());
}

// The condition on a column for the keys a statement takes.
std::string ObjectContext::keyCondition(const std::string& column, KeySet keys) {
    switch (keys) {
    case KeySet::One: return column + " = ?";
    case KeySet::Range: return column + " BETWEEN ?1 AND ?2";
    case KeySet::List: break;
    }
    std::string marks = "?";
    for (size_t i = 1; i < kPrefetchOwners; ++i) marks += ", ?";
    return column + " IN (" + marks + ")";
}

// Runs `each` over the rows of `statement(keySet)` for every key of `keys` (sorted, each once):
// a run of keys close together (most keys between its ends wanted) is read as a range, which
// may give rows of keys not asked for; the scattered keys in lists of kPrefetchOwners.
void ObjectContext::readByKeys(const std::vector<int64_t>& keys, const std::function<SqlStatement*(KeySet)>& statement,
                               const std::function<void(SqlStatement&)>& each) {
    constexpr int64_t kGap = 2;    // keys this close belong to one run
    constexpr size_t kMinRun = 32; // a shorter run goes into the lists
    auto run = [&](SqlStatement* s, const std::function<void(SqlStatement&)>& bind) {
        if (!s) return;
        StatementUse use(s);
        bind(*s);
        while (s->step() == SQLITE_ROW) each(*s);
    };
    std::vector<int64_t> scattered;
    for (size_t from = 0; from < keys.size();) {
        size_t to = from + 1;
        while (to < keys.size() && keys[to] - keys[to - 1] <= kGap) ++to;
        if (to - from >= kMinRun) {
            run(statement(KeySet::Range), [&](SqlStatement& s) {
                s.bindInt(1, keys[from]);
                s.bindInt(2, keys[to - 1]);
            });
        } else {
            scattered.insert(scattered.end(), keys.begin() + static_cast<std::ptrdiff_t>(from),
                             keys.begin() + static_cast<std::ptrdiff_t>(to));
        }
        from = to;
    }
    for (size_t at = 0; at < scattered.size(); at += kPrefetchOwners)
        run(statement(KeySet::List), [&](SqlStatement& s) { // the last list repeats its last key
            for (size_t i = 0; i < kPrefetchOwners; ++i)
                s.bindInt(static_cast<int>(i + 1), scattered[std::min(at + i, scattered.size() - 1)]);
        });
}

SqlStatement* ObjectContext::toManyStatement(const RelationshipDescription& r, KeySet keys) {
    SqlStatement*& slot = toManyStatements_[&r][static_cast<size_t>(keys)];
    if (slot) return slot;
    SqlConnection* c = connection(nullptr);
    if (!c) return nullptr;
    const EntityDescription& target = *r.target;
    std::string owner, from = " FROM " + quoteName(target.name()) + " t0";
    if (r.storedByInverse) {
        owner = "t0." + quoteName(r.inverse->name);
    } else {
        std::string mine = r.joinSourceFirst ? "Z_SRC" : "Z_DST", theirs = r.joinSourceFirst ? "Z_DST" : "Z_SRC";
        owner = "j." + mine;
        from += " JOIN " + quoteName(r.joinTable) + " j ON t0.Z_PK = j." + theirs;
    }
    std::string sql = "SELECT " + QueryCompiler::columns(target, "t0");
    if (keys == KeySet::One) sql += from + " WHERE " + keyCondition(owner, keys) + " ORDER BY t0.Z_PK";
    else // the owner's key last in each row; members are kept in key order
        sql += ", " + owner + from + " WHERE " + keyCondition(owner, keys);
    slot = c->statement(sql, nullptr);
    return slot;
}

SqlStatement* ObjectContext::byKeysStatement(const EntityDescription& e, KeySet keys) {
    SqlStatement*& slot = byKeysStatements_[&e][keys == KeySet::Range ? 1 : 0];
    if (slot) return slot;
    SqlConnection* c = connection(nullptr);
    if (!c) return nullptr;
    slot = c->statement("SELECT " + QueryCompiler::columns(e, "t0") + " FROM " + quoteName(e.name()) + " t0 WHERE " +
                            keyCondition("t0.Z_PK", keys),
                        nullptr);
    return slot;
}

std::vector<ManagedObjectPtr> ObjectContext::prefetch(const std::vector<ManagedObjectPtr>& owners,
                                                      std::string_view keyPath) {
    std::vector<ManagedObjectPtr> step = owners;
    for (const std::string& name : split(keyPath, ".")) {
        if (step.empty()) break;
        const EntityDescription& e = step.front()->entity();
        for (const ManagedObjectPtr& o : step)
            if (&o->entity() != &e) throw std::invalid_argument("Owners of more than one entity");
        const RelationshipDescription* r = e.relationshipNamed(name);
        if (!r) throw std::invalid_argument("Entity " + e.name() + " has no relationship \"" + name + "\"");
        writeHeldRowsBefore(*r->target, true);
        applyNullifiedLinks();
        step = r->toMany ? prefetchMembers(step, *r) : prefetchTargets(step, *r);
        // Each object once, in the order first reached: owners may share a member of a table of
        // pairs (a list kept by the members' column holds each row once, each owner answers once).
        if (r->toMany && !r->storedByInverse && step.size() > 1) {
            std::unordered_set<const ManagedObject*> seen;
            std::erase_if(step, [&](const ManagedObjectPtr& o) { return !seen.insert(o.get()).second; });
        }
    }
    return step;
}

std::vector<ManagedObjectPtr> ObjectContext::prefetchTargets(const std::vector<ManagedObjectPtr>& owners,
                                                             const RelationshipDescription& r) {
    const EntityDescription& target = *r.target;
    std::unordered_set<int64_t> wanted;
    for (const ManagedObjectPtr& o : owners) {
        int64_t pk = o->context_ == this ? o->toOnes_[r.index] : 0;
        if (pk && !registered(target, pk) && !isDoomed(target, pk)) wanted.insert(pk);
    }
    std::vector<int64_t> keys(wanted.begin(), wanted.end());
    std::sort(keys.begin(), keys.end());
    std::vector<ManagedObjectPtr> read; // alive until handed out below
    readByKeys(
        keys, [&](KeySet set) { return byKeysStatement(target, set); },
        [&](SqlStatement& row) {
            if (wanted.count(row.columnInt(0))) read.push_back(objectFromRow(target, row));
        });
    // The targets, each once, in the order first named.
    std::vector<ManagedObjectPtr> out;
    std::unordered_set<int64_t> named;
    for (const ManagedObjectPtr& o : owners) {
        int64_t pk = o->context_ == this ? o->toOnes_[r.index] : 0;
        if (!pk || !named.insert(pk).second) continue;
        if (ManagedObjectPtr t = objectFor(target, pk); t && !t->deleted_) out.push_back(std::move(t));
    }
    return out;
}

std::vector<ManagedObjectPtr> ObjectContext::prefetchMembers(const std::vector<ManagedObjectPtr>& owners,
                                                             const RelationshipDescription& r) {
    // The stored owners whose lists are not read yet, with the members read for them; the others
    // read their own (inserted ones have nothing stored).
    struct Read {
        std::vector<ManagedObjectPtr> members;
        bool whole = false;  // the list is these members, nothing unsaved added or taken away
        bool handed = false; // answered already (an owner given twice answers once)
    };
    std::unordered_map<int64_t, Read> stored;
    for (const ManagedObjectPtr& o : owners) {
        const ManagedObject::ToMany* st = o->toManyIfMade(r);
        if (!o->inserted_ && o->context_ == this && !(st && st->loaded)) stored.try_emplace(o->primaryKey_);
    }
    const EntityDescription& target = *r.target;
    const int ownerColumn = 2 + static_cast<int>(target.attributes().size()) +
                            static_cast<int>(std::count_if(target.relationships().begin(), target.relationships().end(),
                                                           [](const RelationshipDescription& t) { return !t.toMany; }));
    std::vector<int64_t> keys;
    keys.reserve(stored.size());
    for (const auto& [pk, read] : stored) keys.push_back(pk);
    std::sort(keys.begin(), keys.end());
    std::vector<ManagedObjectPtr> held; // alive until handed out below
    readByKeys(
        keys, [&](KeySet set) { return toManyStatement(r, set); },
        [&](SqlStatement& row) {
            auto read = stored.find(row.columnInt(ownerColumn));
            if (read == stored.end() || isDoomed(target, row.columnInt(0))) return;
            ManagedObjectPtr member = objectFromRow(target, row);
            // A changed member of a list kept by its column counts by its current key, below.
            if (!r.storedByInverse || !member->hasChanges()) read->second.members.push_back(member);
            else held.push_back(std::move(member));
        });
    // A list kept by its members' column gains or loses members unsaved only by changed objects.
    const bool noneChanged = r.storedByInverse && changedByEntity_[r.inverse->source->index()].empty();
    auto byKey = [](const ManagedObjectPtr& a, const ManagedObjectPtr& b) { return a->primaryKey_ < b->primaryKey_; };
    for (const ManagedObjectPtr& o : owners) {
        auto read = stored.find(o->primaryKey_);
        if (read == stored.end()) continue;
        ManagedObject::ToMany& st = o->toManyState(r);
        if (st.loaded) continue;
        std::vector<ManagedObjectPtr>& members = read->second.members;
        std::sort(members.begin(), members.end(), byKey);
        st.members.clear();
        for (const ManagedObjectPtr& m : members) st.members.insert(st.members.end(), m->primaryKey_);
        read->second.whole = noneChanged || (!r.storedByInverse && st.added.empty() && st.removed.empty());
        if (read->second.whole) st.loaded = true;
        else addUnsavedMembers(st, r, o->primaryKey_);
    }
    std::vector<ManagedObjectPtr> out;
    std::vector<int64_t> keysOfOne;                        // a copy: reading a member may drop lists
    std::unordered_set<const ManagedObject*> listedBefore; // owners whose lists were read before
    for (const ManagedObjectPtr& o : owners) {
        if (o->context_ != this) continue;
        if (auto read = stored.find(o->primaryKey_); read != stored.end()) {
            if (std::exchange(read->second.handed, true)) continue;
            if (read->second.whole) {
                for (ManagedObjectPtr& member : read->second.members)
                    if (!member->deleted_) out.push_back(std::move(member));
                continue;
            }
        } else if (!listedBefore.insert(o.get()).second) {
            continue;
        }
        const std::set<int64_t>& members = o->members(r);
        keysOfOne.assign(members.begin(), members.end());
        for (int64_t pk : keysOfOne)
            if (ManagedObjectPtr member = objectFor(target, pk); member && !member->deleted_)
                out.push_back(std::move(member));
    }
    return out;
}

size_t ObjectContext::preparedStatements() const { return connection_ ? connection_->statementCount() : 0; }

void ObjectContext::addUnsavedMembers(ManagedObject::ToMany& st, const RelationshipDescription& r, int64_t owner) {
    if (r.storedByInverse) {
        // Changed objects count by their current key, stored or not.
        const RelationshipDescription& link = *r.inverse;
        const LinkIndex& byKey = linksOf(changedByLink_, changedByEntity_[link.source->index()], link,
                                         [&](const ManagedObject& o) { return o.toOnes_[link.index]; });
        if (auto linked = byKey.find(owner); linked != byKey.end())
            for (ManagedObject* o : linked->second)
                if (!o->deleted_) st.members.insert(o->primaryKey_);
    } else {
        for (int64_t pk : st.added) st.members.insert(pk);
        for (int64_t pk : st.removed) st.members.erase(pk);
    }
    st.loaded = true;
}

void ObjectContext::loadToMany(const ManagedObject& owner, const RelationshipDescription& r,
                               std::vector<ManagedObjectPtr>* read) {
    applyNullifiedLinks();
    ManagedObject::ToMany& st = owner.toManyState(r);
    st.members.clear();
    const EntityDescription& target = *r.target;
    // A row not in the file yet has no stored members, unless it was held back with its lists written.
    const bool stored = !owner.inserted_ || owner.linksStored_;
    if (stored) writeHeldRowsBefore(target, true);
    if (SqlStatement* s = stored ? toManyStatement(r, KeySet::One) : nullptr) {
        StatementUse use(s);
        s->bindInt(1, owner.primaryKey_);
        while (s->step() == SQLITE_ROW) {
            if (isDoomed(target, s->columnInt(0))) continue;
            ManagedObjectPtr o = objectFromRow(target, *s);
            // A changed member of a list kept by its column counts by its current key, below.
            if (!r.storedByInverse || !o->hasChanges()) st.members.insert(o->primaryKey_);
            if (read) read->push_back(std::move(o));
        }
    }
    if (stored && !r.storedByInverse && holdsInserts(target)) addUnpackedMembers(st, r, owner.primaryKey_);
    addUnsavedMembers(st, r, owner.primaryKey_);
}

// ---- changes ----

ManagedObjectPtr ObjectContext::insert(std::string_view entityName) {
    return insert(model().requireEntity(entityName));
}

int64_t ObjectContext::newPrimaryKey(const EntityDescription& e) {
    // Keys of rows deleted by key come first: a store emptied and filled again keeps small keys.
    auto& freeKeys = freeKeys_[e.index()];
    if (freeKeys.empty()) return store_->nextPrimaryKey(e);
    const int64_t pk = freeKeys.back();
    freeKeys.pop_back();
    return pk;
}

ManagedObjectPtr ObjectContext::insert(const EntityDescription& e) {
    if (e.index() >= model().entities().size() || model().entities()[e.index()].get() != &e)
        throw std::invalid_argument("Entity " + e.name() + " is not of this context's model");
    auto o = std::make_shared<ManagedObject>(this, &e, newPrimaryKey(e));
    o->inserted_ = true;
    registerObject(o);
    noteChanged(*o);
    return o;
}

void ObjectContext::deleteObject(const ManagedObjectPtr& object) {
    if (!object) return;
    if (object->context_ != this) throw std::invalid_argument("The object belongs to another context");
    ManagedObject& o = *object;
    if (o.deleted_) return;
    o.willChange();
    o.deleted_ = true;
    for (const RelationshipDescription& r : o.entity_->relationships()) {
        const RelationshipDescription* inv = r.inverse;
        std::vector<int64_t> targets;
        if (!r.toMany) {
            if (o.toOnes_[r.index]) targets.push_back(o.toOnes_[r.index]);
        } else {
            const auto& m = o.members(r);
            targets.assign(m.begin(), m.end());
        }
        for (int64_t pk : targets) {
            ManagedObjectPtr t = objectFor(*r.target, pk);
            if (!t || t->deleted_) continue;
            if (r.deleteRule == DeleteRule::Cascade) {
                deleteObject(t);
            } else if (inv) {
                if (!inv->toMany) {
                    if (t->toOnes_[inv->index] == o.primaryKey_) t->primitiveSetToOne(*inv, 0);
                } else {
                    t->primitiveRemove(*inv, o.primaryKey_);
                }
            }
        }
    }
    if (o.inserted_ && !o.linksStored_) {
        forgetChanged(o);
        detach(o);
    }
}

bool ObjectContext::hasChanges() const {
    if (!changed_.empty() || doomedCount_ > 0) return true;
    for (const HeldRows& rows : held_)
        if (!rows.empty()) return true;
    return false;
}

std::vector<ManagedObjectPtr> ObjectContext::insertedObjects() const {
    std::vector<ManagedObjectPtr> out;
    for (const auto& o : changed_)
        if (o->inserted_ && !o->deleted_) out.push_back(o);
    return out;
}

std::vector<ManagedObjectPtr> ObjectContext::updatedObjects() const {
    std::vector<ManagedObjectPtr> out;
    for (const auto& o : changed_)
        if (o->isUpdated()) out.push_back(o);
    return out;
}

std::vector<ManagedObjectPtr> ObjectContext::deletedObjects() const {
    std::vector<ManagedObjectPtr> out;
    for (const auto& o : changed_)
        if (o->deleted_ && !o->inserted_) out.push_back(o);
    return out;
}

void ObjectContext::rollback() {
    if (writeHeld_ || writeFailure_) {
        endWrite(false, nullptr);
        writeFailure_.reset();
        reset();
        return;
    }
    std::vector<ManagedObjectPtr> changed;
    changed.swap(changed_);
    carried_ = 0;
    for (auto& list : changedByEntity_) list.clear();
    changedByLink_.clear();
    for (auto& o : changed) {
        if (o->inserted_) {
            detach(*o);
        } else if (o->snapshot_) {
            o->values_ = std::move(o->snapshot_->values);
            o->toOnes_ = std::move(o->snapshot_->toOnes);
            o->version_ = o->snapshot_->version;
        }
        o->inserted_ = o->updated_ = o->deleted_ = false;
        o->snapshot_.reset();
        std::fill(o->changed_.begin(), o->changed_.end(), 0);
        for (auto& t : o->toManys_) t.reset();
    }
    forgetDoomed(true);
    dropToManyCaches();
}

void ObjectContext::reset() {
    heldReads_.clear();
    holding_.clear();
    heldUntilFlush_.clear();
    held_.clear();
    registered_.forEach([](ManagedObject& o) { o.context_ = nullptr; });
    for (auto& o : changed_) o->context_ = nullptr;
    registered_.clear();
    changed_.clear();
    carried_ = 0;
    heldInserted_ = 0;
    for (auto& list : changedByEntity_) list.clear();
    changedByLink_.clear();
    forgetDoomed(false);
}

std::array<SqlStatement*, ObjectContext::kJoinStatements>* ObjectContext::joinStatements(
    const RelationshipDescription& r, Error* error) {
    auto& statements = joinStatements_[&r];
    if (!statements[PairedKeys]) {
        SqlConnection* c = connection(error);
        if (!c) return nullptr;
        std::string mine = r.joinSourceFirst ? "Z_SRC" : "Z_DST", theirs = r.joinSourceFirst ? "Z_DST" : "Z_SRC";
        std::string table = quoteName(r.joinTable);
        statements[AddPair] =
            c->statement("INSERT OR IGNORE INTO " + table + " (" + mine + ", " + theirs + ") VALUES (?, ?)", error);
        statements[RemovePair] =
            c->statement("DELETE FROM " + table + " WHERE " + mine + " = ? AND " + theirs + " = ?", error);
        statements[PairedKeys] = c->statement("SELECT " + theirs + " FROM " + table + " WHERE " + mine + " = ?", error);
        for (SqlStatement* s : statements)
            if (!s) {
                statements = {};
                return nullptr;
            }
    }
    return &statements;
}

void ObjectContext::addUnpackedMembers(ManagedObject::ToMany& st, const RelationshipDescription& r, int64_t owner) {
    std::array<SqlStatement*, kJoinStatements>* statements = joinStatements(r, nullptr);
    if (!statements) return;
    SqlStatement* s = (*statements)[PairedKeys];
    StatementUse use(s);
    s->bindInt(1, owner);
    while (s->step() == SQLITE_ROW) {
        const int64_t pk = s->columnInt(0);
        if (ManagedObject* o = registered(*r.target, pk); o && o->inserted_ && o->linksStored_ && !o->deleted_)
            st.members.insert(pk);
    }
}

bool ObjectContext::writeJoinChanges(ManagedObject& o, Error* error) {
    SqlConnection* c = connection_.get();
    for (const RelationshipDescription& r : o.entity_->relationships()) {
        const ManagedObject::ToMany* st = o.toManyIfMade(r);
        if (r.joinTable.empty() || !st || (st->added.empty() && st->removed.empty())) continue;
        // A pair of lists that are each other's inverse notes each change on both sides: the side
        // whose keys come first in the table writes it.
        if (r.inverse && r.inverse != &r && r.inverse->joinTable == r.joinTable && !r.joinSourceFirst) continue;
        std::array<SqlStatement*, kJoinStatements>* statements = joinStatements(r, error);
        if (!statements) return false;
        SqlStatement *add = (*statements)[AddPair], *remove = (*statements)[RemovePair];
        for (auto [statement, keys] : {std::pair{add, &st->added}, std::pair{remove, &st->removed}}) {
            for (int64_t pk : *keys) {
                ManagedObject* t = registered(*r.target, pk);
                if (statement == add && t && t->deleted_) continue;
                StatementUse use(statement);
                statement->bindInt(1, o.primaryKey_);
                statement->bindInt(2, pk);
                if (statement->step() != SQLITE_DONE) {
                    Error::set(error, c->lastError());
                    return false;
                }
            }
        }
    }
    return true;
}

namespace {
Error conflictError(const ManagedObject& o) {
    return Error(kObjectStoreErrorDomain, kStoreConflict,
                 "Could not merge changes: " + o.description() + " was changed or deleted by another context");
}
} // namespace

SqlStatement* ObjectContext::updateStatement(const ManagedObject& o, UpdateForm form, Error* error) {
    // One statement per entity, form and set of changed columns, found by a short key (the
    // entity, the form and the changed slots) instead of by its text.
    const EntityDescription& e = *o.entity_;
    std::string key(sizeof(size_t) + 1, '\0');
    const size_t index = e.index();
    std::memcpy(key.data(), &index, sizeof index);
    key[sizeof index] = static_cast<char>(form);
    key.append(reinterpret_cast<const char*>(o.changed_.data()), o.changed_.size());
    SqlStatement*& slot = updateStatements_[key];
    if (slot) return slot;
    std::string sql = "UPDATE " + quoteName(e.name()) + " SET Z_OPT = Z_OPT + 1";
    const size_t attributes = e.attributes().size();
    for (const auto& a : e.attributes())
        if (o.changed_[a.index]) sql += ", " + quoteName(a.name) + " = ?";
    for (const auto& r : e.relationships())
        if (!r.toMany && o.changed_[attributes + r.index]) sql += ", " + quoteName(r.name) + " = ?";
    switch (form) {
    case UpdateForm::Checked: sql += " WHERE Z_PK = ? AND Z_OPT = ? RETURNING Z_OPT"; break;
    case UpdateForm::Returning: sql += " WHERE Z_PK = ? RETURNING Z_OPT"; break;
    case UpdateForm::Plain: sql += " WHERE Z_PK = ?"; break;
    }
    SqlConnection* c = connection(error);
    slot = c ? c->statement(sql, error) : nullptr;
    SqlStatement* made = slot;
    if (!made) updateStatements_.erase(key);
    return made;
}

void ObjectContext::bindInsert(SqlStatement& s, const EntityDescription& e, int64_t pk,
                               const std::vector<Value>& values, const std::vector<int64_t>& toOnes) {
    int n = 1;
    s.bindInt(n++, pk);
    for (const Value& v : values) s.bindInPlace(n++, v);
    bindToOnes(s, e, n, toOnes);
}

void ObjectContext::bindToOnes(SqlStatement& s, const EntityDescription& e, int first,
                               const std::vector<int64_t>& toOnes) {
    int n = first;
    for (const auto& r : e.relationships())
        if (!r.toMany) {
            if (toOnes[r.index]) s.bindInt(n++, toOnes[r.index]);
            else s.bindNull(n++);
        }
}

bool ObjectContext::writeChanges(std::vector<int64_t>& versions, bool flushing, Error* error) {
    SqlConnection* c = connection_.get();
    bool checkVersion = mergePolicy_ == MergePolicy::Error;
    auto stepDone = [&](SqlStatement* s) {
        if (s->step() == SQLITE_DONE) return true;
        Error::set(error, c->lastError());
        return false;
    };
    versions.assign(changed_.size(), 0);
    for (size_t i = 0; i < changed_.size(); ++i) {
        ManagedObject& o = *changed_[i];
        const EntityDescription& e = *o.entity_;
        if (o.deleted_) {
            // A held row never reached the file; its lists did.
            if (!o.linksStored_) {
                SqlStatement* s = entityStatement(EntityStatement::Delete, e, error);
                if (!s) return false;
                {
                    StatementUse use(s);
                    s->bindInt(1, o.primaryKey_);
                    if (checkVersion) s->bindInt(2, o.version_);
                    if (!stepDone(s)) return false;
                }
                if (checkVersion && c->changes() == 0) {
                    Error::set(error, conflictError(o));
                    return false;
                }
            }
            if (!deleteRowLinks(e, o.primaryKey_, error)) return false;
        } else if (o.inserted_ && flushing && holdsInserts(e)) {
            // Held back: packed once no one else holds the object, else left for a later flush.
            if (changed_[i].use_count() > 1) {
                versions[i] = kKeptRow;
                continue;
            }
            if (!writeJoinChanges(o, error)) return false;
            held_[e.index()].put(o.primaryKey_, o.values_, o.toOnes_);
            versions[i] = kPackedRow;
        } else if (o.inserted_) {
            SqlStatement* s = entityStatement(EntityStatement::Insert, e, error);
            if (!s) return false;
            StatementUse use(s);
            bindInsert(*s, e, o.primaryKey_, o.values_, o.toOnes_);
            if (!stepDone(s)) return false;
            versions[i] = 1;
            if (!writeJoinChanges(o, error)) return false;
        } else {
            const UpdateForm form = checkVersion ? UpdateForm::Checked
                                    : writeHeld_ ? UpdateForm::Plain
                                                 : UpdateForm::Returning;
            // Inside a held write a row whose columns are as stored (only a list it shares with
            // others changed) is left alone: its pairs are written, its version stays.
            if (form == UpdateForm::Plain && std::find(o.changed_.begin(), o.changed_.end(), 1) == o.changed_.end()) {
                versions[i] = o.version_;
                if (!writeJoinChanges(o, error)) return false;
                continue;
            }
            SqlStatement* s = updateStatement(o, form, error);
            if (!s) return false;
            StatementUse use(s);
            int n = 1;
            const size_t attributes = e.attributes().size();
            for (const auto& a : e.attributes())
                if (o.changed_[a.index]) s->bindInPlace(n++, o.values_[a.index]);
            for (const auto& r : e.relationships())
                if (!r.toMany && o.changed_[attributes + r.index]) {
                    if (o.toOnes_[r.index]) s->bindInt(n++, o.toOnes_[r.index]);
                    else s->bindNull(n++);
                }
            s->bindInt(n++, o.primaryKey_);
            if (checkVersion) s->bindInt(n++, o.version_);
            if (form == UpdateForm::Plain) {
                // Inside a held write, where this context's changes win: the row's new version
                // is one past the one read, unless another context saved it before the write
                // began, when the next read of the row takes its stored state again. No row:
                // another context deleted it.
                if (!stepDone(s)) return false;
                versions[i] = c->changes() > 0 ? o.version_ + 1 : o.version_;
            } else if (int rc = s->step(); rc == SQLITE_ROW) {
                versions[i] = s->columnInt(0);
                if (!stepDone(s)) return false;
            } else if (rc == SQLITE_DONE) {
                // No row: another context deleted it (or, under "error", changed it first).
                if (checkVersion) {
                    Error::set(error, conflictError(o));
                    return false;
                }
                versions[i] = o.version_;
            } else {
                Error::set(error, c->lastError());
                return false;
            }
            if (!writeJoinChanges(o, error)) return false;
        }
    }
    return true;
}

bool ObjectContext::writePending(ObjectContextChanges& changes, std::vector<int64_t>& versions, bool flushing,
                                 Error* error) {
    // Rows deleted by key go first: new rows may take their keys.
    return writeDoomedRows(changes, error) && writeChanges(versions, flushing, error) &&
           writeHeldRows(changes, error, flushing);
}

void ObjectContext::markSaved(const std::vector<int64_t>& versions, ObjectContextChanges& changes) {
    // Keys freed by deleted rows serve the inserts still to come inside a held write.
    std::vector<std::vector<int64_t>> freeKeys;
    if (writeHeld_) freeKeys.swap(freeKeys_);
    forgetDoomed(false);
    if (writeHeld_) freeKeys_.swap(freeKeys);
    std::vector<ManagedObjectPtr> done;
    done.swap(changed_);
    for (auto& list : changedByEntity_) list.clear();
    changedByLink_.clear();
    std::vector<ManagedObjectPtr> kept;
    for (size_t i = 0; i < done.size(); ++i) {
        ManagedObject& o = *done[i];
        if (versions[i] == kKeptRow) {
            kept.push_back(done[i]);
            continue;
        }
        if (versions[i] == kPackedRow) {
            detach(o); // its row is in held_ now, and unpacked from there when asked for
            continue;
        }
        o.linksStored_ = false;
        if (o.deleted_) {
            changes.deleted.push_back(o.objectID());
            detach(o);
            o.inserted_ = o.updated_ = false;
            continue;
        }
        (o.inserted_ ? changes.inserted : changes.updated).push_back(o.objectID());
        o.version_ = versions[i];
        o.inserted_ = o.updated_ = false;
        o.snapshot_.reset();
        std::fill(o.changed_.begin(), o.changed_.end(), 0);
        for (auto& t : o.toManys_)
            if (t) {
                t->added.clear();
                t->removed.clear();
            }
    }
    for (const ManagedObjectPtr& o : kept) noteChanged(*o);
    carried_ = kept.size();
    heldInserted_ = 0;
}

bool ObjectContext::beginWrite(Error* error) {
    if (writeHeld_) return true;
    endRead();
    if (connection_ && connection_->isReadOnly()) closeConnection();
    SqlConnection* c = connection(error);
    if (!c || !c->exec("BEGIN IMMEDIATE", error)) return false;
    writeHeld_ = true;
    writeFailure_.reset();
    flushed_ = ObjectContextChanges{};
    return true;
}

bool ObjectContext::endWrite(bool commit, Error* error) {
    if (!writeHeld_) return !commit;
    writeHeld_ = false;
    holding_.clear();
    heldUntilFlush_.clear();
    held_.clear();
    if (commit && connection_->exec("COMMIT", error)) return true;
    connection_->exec("ROLLBACK", nullptr);
    flushed_ = ObjectContextChanges{};
    return false;
}

bool ObjectContext::flush(Error* error) {
    if (writeFailure_) {
        Error::set(error, *writeFailure_);
        return false;
    }
    if (!writeHeld_) return save(error);
    ObjectContextChanges changes;
    std::vector<int64_t> versions;
    Error failure;
    if (!writePending(changes, versions, true, &failure)) {
        endWrite(false, nullptr);
        writeFailure_ = failure;
        Error::set(error, failure);
        return false;
    }
    markSaved(versions, changes);
    for (auto [from, to] :
         {std::pair{&changes.inserted, &flushed_.inserted}, std::pair{&changes.updated, &flushed_.updated},
          std::pair{&changes.deleted, &flushed_.deleted}})
        to->insert(to->end(), from->begin(), from->end());
    return true;
}

bool ObjectContext::save(Error* error) {
    if (writeFailure_) {
        Error::set(error, *writeFailure_);
        return false;
    }
    if (!writeHeld_ && !hasChanges()) return true;
    ObjectContextChanges changes;
    std::vector<int64_t> versions;
    Error failure;
    if (writeHeld_) {
        changes = std::move(flushed_);
        flushed_ = ObjectContextChanges{};
        if (!writePending(changes, versions, false, &failure) || !endWrite(true, &failure)) {
            endWrite(false, nullptr);
            writeFailure_ = failure;
            Error::set(error, failure);
            return false;
        }
        markSaved(versions, changes);
    } else {
        endRead();
        // A connection opened while the file was read-only stays so: try a new one.
        if (connection_ && connection_->isReadOnly()) closeConnection();
        SqlConnection* c = connection(error);
        if (!c) return false;
        // The file is written first and the objects marked saved only once it committed: a
        // failure leaves both as they were.
        if (!c->exec("BEGIN IMMEDIATE", &failure) || !writePending(changes, versions, false, &failure) ||
            !c->exec("COMMIT", &failure)) {
            c->exec("ROLLBACK", nullptr);
            Error::set(error, failure);
            return false;
        }
        markSaved(versions, changes);
    }
    changes.store = store_.get();
    changes.context = this;
    NotificationCenter::defaultCenter().post(
        Notification{kDidSaveNotification, std::any(std::move(changes)), {}, this});
    return true;
}

void ObjectContext::mergeChanges(const Notification& didSave) {
    const auto* changes = std::any_cast<ObjectContextChanges>(&didSave.object);
    if (!changes || changes->store != store_.get() || changes->context == this) return;
    auto gone = [&](ManagedObject& o) {
        if (o.hasChanges()) forgetChanged(o);
        detach(o);
        o.deleted_ = true;
        o.inserted_ = o.updated_ = false;
    };
    for (const ObjectID& id : changes->deleted)
        if (ManagedObjectPtr o = registeredPtr(*id.entity(), id.primaryKey())) gone(*o);
    for (const ObjectID& id : changes->updated) {
        ManagedObjectPtr o = registeredPtr(*id.entity(), id.primaryKey());
        if (!o) continue;
        SqlStatement* s = entityStatement(EntityStatement::ByKey, *id.entity(), nullptr);
        if (!s) continue;
        StatementUse use(s);
        s->bindInt(1, id.primaryKey());
        if (s->step() != SQLITE_ROW) {
            gone(*o);
            continue;
        }
        if (!o->hasChanges()) {
            readRow(*id.entity(), *s, o->values_, o->toOnes_, o->version_);
            continue;
        }
        // Unsaved changes of this context stay on top of the stored values.
        std::vector<Value> values(o->values_.size());
        std::vector<int64_t> toOnes(o->toOnes_.size());
        int64_t version = 0;
        readRow(*id.entity(), *s, values, toOnes, version);
        size_t attributes = values.size();
        for (size_t i = 0; i < values.size(); ++i)
            if (!o->slotChanged(i)) o->values_[i] = values[i];
        unindexLinks(*o);
        for (size_t i = 0; i < toOnes.size(); ++i)
            if (!o->slotChanged(attributes + i)) o->toOnes_[i] = toOnes[i];
        indexLinks(*o);
        if (o->snapshot_) *o->snapshot_ = ManagedObject::Snapshot{std::move(values), std::move(toOnes), version};
        o->version_ = version;
    }
    dropToManyCaches();
}

// ---- fetching ----

ObjectContext::QueryCacheEntry* ObjectContext::compiled(const EntityDescription& e, const FetchRequest& request,
                                                        QueryCompiler::Answer answer, bool limited, Error* error,
                                                        const std::vector<std::string>& properties) {
    std::string key = QueryCompiler::shapeKey(e, request, answer, limited);
    for (const std::string& property : properties) key += "\x01" + property;
    auto it = queries_.find(key);
    if (it != queries_.end()) return it->second.get();
    auto entry = std::make_unique<QueryCacheEntry>();
    entry->query = QueryCompiler::compile(e, request.predicate ? &*request.predicate : nullptr, request.sortDescriptors,
                                          answer, limited, properties, &entry->types);
    SqlConnection* c = connection(error);
    if (!c) return nullptr;
    entry->statement = c->statement(entry->query.sql, error);
    if (!entry->statement) return nullptr;
    return queries_.emplace(std::move(key), std::move(entry)).first->second.get();
}

bool ObjectContext::runQuery(QueryCacheEntry& entry, const Predicate* predicate, const std::vector<Value>& aggregates,
                             int64_t limit, const std::function<void(SqlStatement&)>& onRow, Error* error) {
    SqlStatement* s = entry.statement;
    StatementUse use(s);
    int n = 1;
    for (const CompiledQuery::Bind& b : entry.query.binds) {
        Value v;
        switch (b.kind) {
        case CompiledQuery::Bind::Kind::Constant: v = b.constant; break;
        case CompiledQuery::Bind::Kind::Argument: {
            PredicateExpression e;
            e.argument = b.index;
            e.conversion = b.conversion;
            v = predicate->argumentValue(e);
            break;
        }
        case CompiledQuery::Bind::Kind::Element:
            v = predicate->arguments()[static_cast<size_t>(b.index)].array()[static_cast<size_t>(b.element)];
            break;
        case CompiledQuery::Bind::Kind::Aggregate: v = aggregates[static_cast<size_t>(b.index)]; break;
        case CompiledQuery::Bind::Kind::Limit: v = limit; break;
        }
        s->bind(n++, b.coerce ? coerceForAttribute(v, b.type) : v);
    }
    for (;;) {
        int rc = s->step();
        if (rc == SQLITE_ROW) onRow(*s);
        else if (rc == SQLITE_DONE) return true;
        else {
            Error::set(error, connection_->lastError());
            return false;
        }
    }
}

std::vector<Value> ObjectContext::aggregateValues(const EntityDescription& e, const Predicate& predicate, Error* error,
                                                  bool& ok) {
    std::vector<Value> out;
    ok = true;
    SqlConnection* c = connection(error);
    if (!c) {
        ok = false;
        return out;
    }
    // Stored rows this context changed or deleted count by their values here, not the stored ones.
    const auto& pending = changedByEntity_[e.index()];
    std::unordered_set<int64_t> excluded;
    for (ManagedObject* o : pending)
        if (!o->inserted_) excluded.insert(o->primaryKey_);
    bool skipping = !excluded.empty() || !doomed_[e.index()].empty();
    for (const Predicate::Aggregate& a : predicate.aggregates()) {
        AttributeType type;
        SqlStatement* s = c->statement(QueryCompiler::aggregate(e, a, skipping, &type), error);
        if (!s) {
            ok = false;
            return out;
        }
        Value v;
        {
            StatementUse use(s);
            int rc;
            // Ranked rows when some are skipped: the first row not skipped holds the aggregate.
            while ((rc = s->step()) == SQLITE_ROW) {
                if (!skipping) {
                    v = s->column(0, type);
                    break;
                }
                int64_t pk = s->columnInt(0);
                if (excluded.count(pk) || isDoomed(e, pk)) continue;
                v = s->column(1, type);
                break;
            }
            if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
                Error::set(error, c->lastError());
                ok = false;
                return out;
            }
        }
        bool max = a.function == PredicateExpression::Function::Max;
        for (ManagedObject* o : pending) {
            if (o->deleted_) continue;
            Value mine = keyPathValue(*o, a.keyPath);
            if (mine.isNil()) continue;
            int order = v.isNil() ? 0 : compareValues(mine, v);
            if (v.isNil() || (max ? order > 0 : order < 0)) v = mine;
        }
        out.push_back(std::move(v));
    }
    return out;
}

std::vector<ManagedObjectPtr> ObjectContext::fetchObjects(const FetchRequest& request, bool countOnly, bool first,
                                                          size_t* count, Error* error) {
    std::vector<ManagedObjectPtr> out;
    const EntityDescription& e = model().requireEntity(request.entityName);
    const Predicate* predicate = request.predicate ? &*request.predicate : nullptr;
    writeHeldRowsBefore(e, readsOwnTableOnly(request));
    applyNullifiedLinks();
    const auto& pending = changedByEntity_[e.index()];
    const auto& doomed = doomed_[e.index()];
    bool overlay = !pending.empty() || !doomed.empty();
    int64_t limit = first ? 1 : request.fetchLimit > 0 ? request.fetchLimit : 0;
    std::vector<Value> aggregates;
    if (predicate && !predicate->aggregates().empty()) {
        bool ok = true;
        aggregates = aggregateValues(e, *predicate, error, ok);
        if (!ok) return out;
    }
    if (countOnly && !overlay) {
        QueryCacheEntry* q = compiled(e, request, QueryCompiler::Answer::Count, false, error);
        if (!q) return out;
        int64_t n = 0;
        if (!runQuery(
                *q, predicate, aggregates, 0, [&](SqlStatement& row) { n = row.columnInt(0); }, error))
            return out;
        *count = static_cast<size_t>(limit ? std::min(n, limit) : n);
        return out;
    }
    int64_t sqlLimit = limit;
    if (overlay && limit) {
        // Rows of changed objects are judged in memory, so the store may have to give that many more.
        for (ManagedObject* o : pending)
            if (!o->inserted_) ++sqlLimit;
        sqlLimit += static_cast<int64_t>(doomed.size());
    }
    QueryCacheEntry* q = compiled(e, request, QueryCompiler::Answer::Rows, sqlLimit > 0, error);
    if (!q) return out;
    bool ok = runQuery(
        *q, predicate, aggregates, sqlLimit,
        [&](SqlStatement& row) {
            if (overlay) {
                int64_t pk = row.columnInt(0);
                if (isDoomed(e, pk)) return;
                ManagedObject* known = registered(e, pk);
                if (known && known->hasChanges()) return;
            }
            out.push_back(objectFromRow(e, row));
        },
        error);
    if (!ok) return {};
    if (overlay) {
        // A conjunct "attribute == value" passes over most changed objects at the cost of one compare.
        const AttributeDescription* quick = nullptr;
        Value quickValue;
        if (predicate) quick = equalityConjunct(e, *predicate, predicate->root(), quickValue);
        std::vector<ManagedObject*> candidates(pending.begin(), pending.end());
        for (ManagedObject* o : candidates) {
            if (o->deleted_) continue;
            if (quick) {
                const Value& v = o->values_[quick->index];
                if (v.isNil() || compareValues(v, quickValue) != 0) continue;
            }
            if (!predicate || predicate->evaluate(*o, aggregates)) out.push_back(o->shared_from_this());
        }
        if (!request.sortDescriptors.empty()) sortObjects(out, request.sortDescriptors);
        if (limit && static_cast<int64_t>(out.size()) > limit) out.resize(static_cast<size_t>(limit));
    }
    if (count) *count = out.size();
    return out;
}

const AttributeDescription* ObjectContext::equalityConjunct(const EntityDescription& e, const Predicate& p,
                                                            const PredicateNode& n, Value& value) {
    if (n.kind == PredicateNode::Kind::And) {
        for (const PredicateNode& c : n.children)
            if (auto a = equalityConjunct(e, p, c, value)) return a;
        return nullptr;
    }
    if (n.kind != PredicateNode::Kind::Comparison || n.op != PredicateNode::Operator::Equal ||
        n.options.caseInsensitive || n.options.diacriticInsensitive || n.lhs.keyPath.size() != 1 ||
        n.lhs.kind != PredicateExpression::Kind::KeyPath)
        return nullptr;
    const AttributeDescription* a = e.attributeNamed(n.lhs.keyPath[0]);
    if (!a) return nullptr;
    if (n.rhs.kind == PredicateExpression::Kind::Constant) value = n.rhs.constant;
    else if (n.rhs.kind == PredicateExpression::Kind::Argument &&
             !p.arguments()[static_cast<size_t>(n.rhs.argument)].isArray())
        value = p.argumentValue(n.rhs);
    else return nullptr;
    if (value.isNil()) return nullptr;
    value = coerceForAttribute(value, a->type);
    return a;
}

void ObjectContext::sortObjects(std::vector<ManagedObjectPtr>& objects, const std::vector<SortDescriptor>& sorts) {
    std::vector<std::vector<std::string>> paths;
    for (const SortDescriptor& s : sorts) paths.push_back(split(s.keyPath, "."));
    std::vector<std::pair<std::vector<Value>, ManagedObjectPtr>> keyed;
    keyed.reserve(objects.size());
    for (auto& o : objects) {
        std::vector<Value> keys;
        for (const auto& p : paths) keys.push_back(keyPathValue(*o, p));
        keyed.emplace_back(std::move(keys), std::move(o));
    }
    std::sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        for (size_t i = 0; i < sorts.size(); ++i) {
            const Value& x = a.first[i];
            const Value& y = b.first[i];
            int c = x.isNil() ? (y.isNil() ? 0 : -1) : y.isNil() ? 1 : compareValues(x, y, sorts[i].caseInsensitive);
            if (c != 0) return sorts[i].ascending ? c < 0 : c > 0;
        }
        return a.second->primaryKey_ < b.second->primaryKey_;
    });
    for (size_t i = 0; i < objects.size(); ++i) objects[i] = std::move(keyed[i].second);
}

std::vector<ManagedObjectPtr> ObjectContext::fetch(const FetchRequest& request, Error* error) {
    return fetchObjects(request, false, false, nullptr, error);
}

std::vector<ObjectID> ObjectContext::fetchObjectIDs(const FetchRequest& request, Error* error) {
    std::vector<ObjectID> out;
    const EntityDescription& e = model().requireEntity(request.entityName);
    const Predicate* predicate = request.predicate ? &*request.predicate : nullptr;
    writeHeldRowsBefore(e, readsOwnTableOnly(request));
    applyNullifiedLinks();
    if (!changedByEntity_[e.index()].empty() || !doomed_[e.index()].empty() ||
        (predicate && !predicate->aggregates().empty())) {
        // Changed objects are judged in memory, so the fetch takes whole objects.
        for (const ManagedObjectPtr& o : fetch(request, error)) out.push_back(o->objectID());
        return out;
    }
    const int64_t limit = std::max<int64_t>(request.fetchLimit, 0);
    QueryCacheEntry* q = compiled(e, request, QueryCompiler::Answer::Keys, limit > 0, error);
    if (!q) return out;
    bool ok = runQuery(
        *q, predicate, {}, limit, [&](SqlStatement& row) { out.emplace_back(&e, row.columnInt(0)); }, error);
    if (!ok) return {};
    return out;
}

ManagedObjectPtr ObjectContext::fetchFirst(const FetchRequest& request, Error* error) {
    auto objects = fetchObjects(request, false, true, nullptr, error);
    return objects.empty() ? nullptr : objects.front();
}

size_t ObjectContext::count(const FetchRequest& request, Error* error) {
    size_t n = 0;
    fetchObjects(request, true, false, &n, error);
    return n;
}

Value ObjectContext::max(std::string_view entity, std::string_view keyPath, Error* error) {
    const EntityDescription& e = model().requireEntity(entity);
    writeHeldRowsBefore(e, keyPath.find('.') == std::string_view::npos);
    AttributeType type;
    std::string sql =
        QueryCompiler::aggregate(e, {PredicateExpression::Function::Max, split(keyPath, ".")}, false, &type);
    SqlConnection* c = connection(error);
    SqlStatement* s = c ? c->statement(sql, error) : nullptr;
    if (!s) return {};
    StatementUse use(s);
    int rc = s->step();
    if (rc == SQLITE_ROW) return s->column(0, type);
    if (rc != SQLITE_DONE) Error::set(error, c->lastError());
    return {};
}

} // namespace tavlo
