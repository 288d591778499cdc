// Inserts held back from the flushes of a held write until its save (holdInserts).
#include "platform/store/ObjectContext.h"
#include "platform/store/SqlConnection.h"

#include <sqlite3.h>

#include <stdexcept>

namespace tavlo {

void ObjectContext::holdInserts(std::string_view entity, Hold until) {
    const EntityDescription& e = model().requireEntity(entity);
    if (!writeHeld_) throw std::logic_error("Inserts are held only inside a held write");
    if (holding_.empty()) {
        holding_.assign(model().entities().size(), false);
        heldUntilFlush_.assign(model().entities().size(), false);
        held_.resize(model().entities().size());
    }
    holding_[e.index()] = true;
    heldUntilFlush_[e.index()] = until == Hold::UntilFlush;
}

bool ObjectContext::holdsInserts(std::string_view entity) const { return holdsInserts(model().requireEntity(entity)); }

ManagedObjectPtr ObjectContext::unpackHeld(const EntityDescription& e, int64_t pk) {
    if (!holdsInserts(e) || !held_[e.index()].contains(pk)) return nullptr;
    auto o = std::make_shared<ManagedObject>(this, &e, pk);
    held_[e.index()].take(pk, o->values_, o->toOnes_);
    o->inserted_ = true;
    o->linksStored_ = true;
    registerObject(o);
    noteChanged(*o);
    return o;
}

std::optional<int64_t> ObjectContext::heldToOne(const EntityDescription& e, int64_t pk,
                                                const RelationshipDescription& toOne) const {
    if (toOne.source != &e || toOne.toMany)
        throw std::invalid_argument("Entity " + e.name() + " has no to-one relationship \"" + toOne.name + "\"");
    std::vector<int64_t> toOnes(e.relationships().size());
    if (!holdsInserts(e) || !held_[e.index()].readToOnes(pk, e.attributes().size(), toOnes)) return std::nullopt;
    return toOnes[toOne.index];
}

void ObjectContext::checkRowParts(const EntityDescription& e, std::span<const HeldValue> values,
                                  std::span<const HeldLink> toOnes) {
    for (const auto& [a, value] : values)
        if (!a || a->index >= e.attributes().size() || &e.attributes()[a->index] != a)
            throw std::invalid_argument("Entity " + e.name() + " has no such attribute of its own");
    for (const auto& [r, key] : toOnes) {
        if (!r || r->source != &e || r->toMany)
            throw std::invalid_argument("Entity " + e.name() + " has no such to-one relationship");
        if (r->inverse && !(r->inverse->toMany && r->inverse->storedByInverse))
            throw std::logic_error(e.name() + "." + r->name + " is changed through its row's object");
    }
}

void ObjectContext::tellInverse(const RelationshipDescription& r, int64_t pk, int64_t from, int64_t to) {
    // As a to-one's setter tells the list its column keeps: only a loaded list of a read row.
    if (!r.inverse || from == to) return;
    if (ManagedObject* o = from ? registered(*r.target, from) : nullptr) o->primitiveRemove(*r.inverse, pk);
    if (ManagedObject* o = to ? registered(*r.target, to) : nullptr) {
        // A row new to the context reads its list from the file too from now on, where the held
        // row that names it is written first.
        if (o->inserted_) o->linksStored_ = true;
        o->primitiveAdd(*r.inverse, pk);
    }
}

bool ObjectContext::changeHeld(const EntityDescription& e, int64_t pk, std::initializer_list<HeldValue> values,
                               std::initializer_list<HeldLink> toOnes) {
    checkRowParts(e, values, toOnes);
    if (!isHeld(e, pk)) return false;
    // Packed again from its own bytes: the values not set are not unpacked.
    std::vector<Value> made;
    made.reserve(values.size());
    std::vector<const Value*> set(e.attributes().size(), nullptr);
    for (const auto& [a, value] : values)
        set[a->index] = &made.emplace_back(ManagedObject::storable(value, *a, e.name()));
    HeldRows& rows = held_[e.index()];
    std::vector<int64_t> links(e.relationships().size());
    rows.readToOnes(pk, e.attributes().size(), links);
    bool changed = values.size() > 0;
    for (const auto& [r, key] : toOnes) {
        const int64_t old = links[r->index];
        if (old == key) continue;
        links[r->index] = key;
        changed = true;
        tellInverse(*r, pk, old, key);
    }
    if (changed) rows.rewrite(pk, set, links);
    return true;
}

ObjectID ObjectContext::insertHeld(const EntityDescription& e, std::span<const HeldValue> values,
                                   std::span<const HeldLink> toOnes) {
    checkRowParts(e, values, toOnes);
    // After a failure the held write is over, and refuses every row as it refuses saves.
    if (writeFailure_) return {};
    if (!holdsInserts(e)) throw std::logic_error("Inserts of " + e.name() + " are not held");
    // Rows deleted by key leave the file first: the new row may take one of their keys, and a
    // read may write it before the next flush.
    if (doomedCount_ > 0 && !flush(nullptr)) return {};
    std::vector<Value> row(e.attributes().size());
    for (const auto& [a, value] : values) row[a->index] = ManagedObject::storable(value, *a, e.name());
    std::vector<int64_t> links(e.relationships().size(), 0);
    for (const auto& [r, key] : toOnes) links[r->index] = key;
    const int64_t pk = newPrimaryKey(e);
    held_[e.index()].put(pk, row, links);
    ++heldInserted_;
    for (const auto& [r, key] : toOnes) tellInverse(*r, pk, 0, key);
    return ObjectID(&e, pk);
}

bool ObjectContext::addToHeld(const RelationshipDescription& r, int64_t pk, std::span<const int64_t> members) {
    if (!r.toMany || r.joinTable.empty() || !r.source || &model().requireEntity(r.source->name()) != r.source)
        throw std::invalid_argument("\"" + r.name + "\" is not a list kept in a table of pairs of this context");
    if (writeFailure_ || !isHeld(*r.source, pk)) return false;
    Error failure;
    std::array<SqlStatement*, kJoinStatements>* statements = joinStatements(r, &failure);
    for (int64_t member : members) {
        if (statements) {
            SqlStatement* add = (*statements)[AddPair];
            StatementUse use(add);
            add->bindInt(1, pk);
            add->bindInt(2, member);
            if (add->step() == SQLITE_DONE) {
                // Stored: a loaded inverse list takes the row in as read, not as a change to write,
                // and a new row reads its lists from the file too from now on.
                if (ManagedObject* o = r.inverse ? registered(*r.target, member) : nullptr) {
                    if (o->inserted_) o->linksStored_ = true;
                    if (ManagedObject::ToMany* list = o->toManyIfMade(*r.inverse); list && list->loaded)
                        list->members.insert(pk);
                }
                continue;
            }
            failure = connection_->lastError();
        }
        endWrite(false, nullptr);
        writeFailure_ = failure;
        return false;
    }
    return true;
}

void ObjectContext::bindHeld(SqlStatement& s, const EntityDescription& e, int64_t pk, HeldRows::Packed& row) {
    int n = 1;
    s.bindInt(n++, pk);
    for (size_t a = 0; a < e.attributes().size(); ++a, ++n) {
        const HeldRows::Packed::Part part = row.value();
        switch (part.kind) {
        case Value::Kind::Nil: s.bindNull(n); break;
        case Value::Kind::Integer:
        case Value::Kind::Boolean: s.bindInt(n, part.integer); break;
        case Value::Kind::Real:
        case Value::Kind::Date: s.bindReal(n, part.real); break;
        case Value::Kind::Text: s.bindTextInPlace(n, part.bytes); break;
        case Value::Kind::Binary: s.bindBytesInPlace(n, part.bytes); break;
        }
    }
    thread_local std::vector<int64_t> toOnes;
    toOnes.resize(e.relationships().size());
    for (int64_t& key : toOnes) key = row.key();
    bindToOnes(s, e, n, toOnes);
}

bool ObjectContext::writeHeldRows(ObjectContextChanges& changes, Error* error, bool atFlush) {
    for (const auto& entity : model().entities()) {
        const EntityDescription& e = *entity;
        if (!holdsInserts(e) || held_[e.index()].empty() || (atFlush && !heldUntilFlush_[e.index()])) continue;
        SqlStatement* s = entityStatement(EntityStatement::Insert, e, error);
        if (!s) return false;
        bool written = held_[e.index()].drain([&](int64_t pk, HeldRows::Packed& row) {
            StatementUse use(s);
            bindHeld(*s, e, pk, row);
            if (s->step() != SQLITE_DONE) {
                Error::set(error, connection_->lastError());
                return false;
            }
            changes.inserted.emplace_back(&e, pk);
            return true;
        });
        if (!written) return false;
    }
    return true;
}

bool ObjectContext::readsOwnTableOnly(const FetchRequest& request) {
    if (request.predicate) return false;
    for (const SortDescriptor& sort : request.sortDescriptors)
        if (sort.keyPath.find('.') != std::string::npos) return false;
    return true;
}

void ObjectContext::writeHeldRowsBefore(const EntityDescription& e, bool ownTableOnly) {
    if (holding_.empty() || writeFailure_) return;
    bool any = false;
    for (const HeldRows& rows : held_) any = any || !rows.empty();
    if (!any || (ownTableOnly && held_[e.index()].empty())) return;
    Error failure;
    if (!writeHeldRows(flushed_, &failure)) {
        endWrite(false, nullptr);
        writeFailure_ = failure;
    }
}

} // namespace tavlo
