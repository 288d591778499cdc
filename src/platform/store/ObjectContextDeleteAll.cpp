// Deleting every row of an entity by key: the rows are never read into objects. Their delete
// rules run over keys and link columns: rows that a cascade reaches are deleted by key too, links
// of other rows to them are set nil (in memory for read objects, at the next read or the save for
// rows not read), and changed objects, whose links may differ from the stored ones, are deleted
// and unlinked one by one as deleteObject does.
#include "platform/store/ObjectContext.h"

#include "platform/store/SqlConnection.h"

#include <sqlite3.h>

#include <algorithm>
#include <functional>

namespace tavlo {

void ObjectContext::deleteAll(std::string_view entity, Error* error) {
    const EntityDescription& e = model().requireEntity(entity);
    writeHeldRowsBefore(e, false);
    std::vector<ManagedObjectPtr> changed;
    for (ManagedObject* o : changedByEntity_[e.index()])
        if (!o->deleted_) changed.push_back(o->shared_from_this());
    for (const ManagedObjectPtr& o : changed) deleteObject(o);

    SqlConnection* c = connection(error);
    SqlStatement* s = c ? c->statement("SELECT Z_PK FROM " + quoteName(e.name()), error) : nullptr;
    if (!s) return;
    std::vector<int64_t> keys;
    bool whole = true; // no changed object keeps a row of the table
    {
        StatementUse use(s);
        int rc;
        while ((rc = s->step()) == SQLITE_ROW) {
            int64_t pk = s->columnInt(0);
            if (isDoomed(e, pk)) continue;
            ManagedObject* known = registered(e, pk);
            if (known && known->hasChanges()) whole = false;
            else keys.push_back(pk);
        }
        if (rc != SQLITE_DONE) {
            Error::set(error, c->lastError());
            return;
        }
    }
    // Inside a held write no other context adds a row to the table before the doomed rows go.
    if (whole && isWriting()) {
        wholeDoomed_.resize(model().entities().size());
        wholeDoomed_[e.index()] = true;
    }
    doomRows(e, std::move(keys), error);
}

const std::vector<const RelationshipDescription*>& ObjectContext::incomingToOnes(const EntityDescription& e) {
    if (incoming_.empty()) {
        incoming_.resize(model().entities().size());
        for (const auto& other : model().entities())
            for (const RelationshipDescription& q : other->relationships())
                if (!q.toMany) incoming_[q.target->index()].push_back(&q);
    }
    return incoming_[e.index()];
}

bool ObjectContext::scanLinks(const EntityDescription& e, const std::string& column,
                              const std::function<void(int64_t row, int64_t target)>& each, Error* error) {
    SqlConnection* c = connection(error);
    std::string name = quoteName(column);
    SqlStatement* s =
        c ? c->statement("SELECT Z_PK, " + name + " FROM " + quoteName(e.name()) + " WHERE " + name + " IS NOT NULL",
                         error)
          : nullptr;
    if (!s) return false;
    std::vector<std::pair<int64_t, int64_t>> links;
    {
        StatementUse use(s);
        int rc;
        while ((rc = s->step()) == SQLITE_ROW) links.emplace_back(s->columnInt(0), s->columnInt(1));
        if (rc != SQLITE_DONE) {
            Error::set(error, c->lastError());
            return false;
        }
    }
    for (auto [row, target] : links) each(row, target);
    return true;
}

void ObjectContext::doomRows(const EntityDescription& first, std::vector<int64_t> firstKeys, Error* error) {
    struct Batch {
        const EntityDescription* entity;
        std::vector<int64_t> keys;
    };
    std::vector<Batch> work;
    work.push_back({&first, std::move(firstKeys)});
    std::vector<ManagedObjectPtr> cascaded; // changed objects a cascade reaches: deleted one by one
    std::vector<size_t> touched;
    auto reachChanged = [&](ManagedObject& o) {
        if (!o.deleted_) cascaded.push_back(o.shared_from_this());
    };
    while (!work.empty()) {
        Batch batch = std::move(work.back());
        work.pop_back();
        const EntityDescription& x = *batch.entity;
        RowKeySet keys;             // the batch's rows not doomed before
        std::vector<int64_t> fresh; // the same, to walk
        for (int64_t pk : batch.keys) {
            if (!doomed_[x.index()].insert(pk)) continue;
            keys.insert(pk);
            fresh.push_back(pk);
            freeKeys_[x.index()].push_back(pk);
            if (ManagedObjectPtr o = registeredPtr(x, pk)) {
                o->deleted_ = true;
                doomedObjects_.push_back(std::move(o));
            }
        }
        if (keys.empty()) continue;
        doomedCount_ += keys.size();
        touched.push_back(x.index());

        // Rows that link to a doomed row: doomed too when the doomed side cascades, else unlinked.
        for (const RelationshipDescription* q : incomingToOnes(x)) {
            const EntityDescription& s = *q->source;
            bool cascade = q->inverse && q->inverse->deleteRule == DeleteRule::Cascade;
            std::vector<int64_t> next;
            auto link = [&](int64_t row, int64_t target) {
                if (!keys.contains(target) || isDoomed(s, row)) return;
                ManagedObjectPtr o = registeredPtr(s, row);
                if (o && o->hasChanges()) return; // changed objects count by their own links, below
                if (cascade) next.push_back(row);
                else if (o) o->primitiveSetToOne(*q, 0);
                else nullified_.push_back({q, row, target});
            };
            // A table emptied whole holds no row left to find: each is doomed already.
            if (!isWholeDoomed(s) && !scanLinks(s, q->name, link, error)) return;
            for (ManagedObject* o : changedByEntity_[s.index()]) {
                if (o->deleted_ || !keys.contains(o->toOnes_[q->index])) continue;
                if (cascade) reachChanged(*o);
                else o->primitiveSetToOne(*q, 0);
            }
            if (!next.empty()) work.push_back({&s, std::move(next)});
        }

        // Rows a doomed row owns through its own to-one column or a table of pairs.
        for (const RelationshipDescription& r : x.relationships()) {
            if (r.deleteRule != DeleteRule::Cascade || r.storedByInverse) continue;
            const EntityDescription& t = *r.target;
            if (isWholeDoomed(t)) continue; // every row it could reach is doomed already
            std::vector<int64_t> next;
            auto reach = [&](int64_t target) {
                if (isDoomed(t, target)) return;
                ManagedObjectPtr o = registeredPtr(t, target);
                if (o && o->hasChanges()) reachChanged(*o);
                else next.push_back(target);
            };
            if (!r.toMany) {
                if (!scanLinks(
                        x, r.name,
                        [&](int64_t row, int64_t target) {
                            if (keys.contains(row)) reach(target);
                        },
                        error))
                    return;
            } else {
                std::string mine = r.joinSourceFirst ? "Z_SRC" : "Z_DST",
                            theirs = r.joinSourceFirst ? "Z_DST" : "Z_SRC";
                SqlConnection* c = connection(error);
                SqlStatement* s =
                    c ? c->statement("SELECT " + theirs + " FROM " + quoteName(r.joinTable) + " WHERE " + mine + " = ?",
                                     error)
                      : nullptr;
                if (!s) return;
                std::vector<int64_t> targets;
                for (int64_t pk : fresh) {
                    StatementUse use(s);
                    s->bindInt(1, pk);
                    while (s->step() == SQLITE_ROW) targets.push_back(s->columnInt(0));
                }
                for (int64_t target : targets) reach(target);
            }
            if (!next.empty()) work.push_back({&t, std::move(next)});
        }

        // Changed objects keep no pair with a doomed row (its key may serve a new row).
        for (const auto& y : model().entities())
            for (const RelationshipDescription& q : y->relationships()) {
                if (q.joinTable.empty() || q.target != &x) continue;
                for (ManagedObject* o : changedByEntity_[y->index()]) {
                    ManagedObject::ToMany* st = o->toManyIfMade(q);
                    if (!st) continue;
                    for (int64_t pk : fresh) {
                        st->added.erase(pk);
                        st->removed.erase(pk);
                        st->members.erase(pk);
                    }
                }
            }
    }
    for (const ManagedObjectPtr& o : cascaded) deleteObject(o);
    for (size_t entity : touched) std::sort(freeKeys_[entity].rbegin(), freeKeys_[entity].rend());
    dropToManyCaches();
}

void ObjectContext::applyNullifiedLinks() {
    if (nullified_.empty()) return;
    std::vector<NullifiedLink> links;
    links.swap(nullified_);
    for (const NullifiedLink& l : links) {
        const EntityDescription& s = *l.link->source;
        if (isDoomed(s, l.row)) continue;
        ManagedObjectPtr o = objectFor(s, l.row);
        if (o && !o->deleted_ && o->toOnes_[l.link->index] == l.target) o->primitiveSetToOne(*l.link, 0);
    }
}

bool ObjectContext::linkCleanups(const EntityDescription& e, bool whole, std::vector<SqlStatement*>& statements,
                                 Error* error) {
    SqlConnection* c = connection(error);
    if (!c) return false;
    for (const auto& other : model().entities()) {
        for (const RelationshipDescription& q : other->relationships()) {
            bool outgoing = other.get() == &e && !q.joinTable.empty();
            bool incoming = q.target == &e && !q.inverse;
            if (!outgoing && !incoming) continue;
            std::string sql;
            if (!q.joinTable.empty()) {
                bool mine = outgoing == q.joinSourceFirst; // the entity's keys are in Z_SRC
                sql = "DELETE FROM " + quoteName(q.joinTable) +
                      (whole  ? ""
                       : mine ? " WHERE Z_SRC = ?"
                              : " WHERE Z_DST = ?");
            } else {
                std::string column = quoteName(q.name);
                sql = "UPDATE " + quoteName(other->name()) + " SET " + column + " = NULL WHERE " + column +
                      (whole ? " IS NOT NULL" : " = ?");
            }
            SqlStatement* s = c->statement(sql, error);
            if (!s) return false;
            statements.push_back(s);
        }
    }
    return true;
}

bool ObjectContext::deleteRowLinks(const EntityDescription& e, int64_t pk, Error* error) {
    if (rowCleanups_.empty()) rowCleanups_.resize(model().entities().size());
    auto& cleanups = rowCleanups_[e.index()];
    if (!cleanups) {
        std::vector<SqlStatement*> statements;
        if (!linkCleanups(e, false, statements, error)) return false;
        cleanups = std::move(statements);
    }
    for (SqlStatement* s : *cleanups) {
        StatementUse use(s);
        s->bindInt(1, pk);
        if (s->step() != SQLITE_DONE) {
            Error::set(error, connection_->lastError());
            return false;
        }
    }
    return true;
}

bool ObjectContext::writeDoomedRows(ObjectContextChanges& changes, Error* error) {
    if (doomedCount_ == 0) return true;
    SqlConnection* c = connection(error);
    if (!c) return false;
    // Steps a bound statement to its end and resets it; false with the error when it fails.
    auto run = [&](SqlStatement* s) {
        StatementUse use(s);
        if (s->step() == SQLITE_DONE) return true;
        Error::set(error, c->lastError());
        return false;
    };
    // Links first: emptying a table also sets nil every link to it that no inverse keeps.
    for (const NullifiedLink& l : nullified_) {
        const EntityDescription& s = *l.link->source;
        if (isDoomed(s, l.row)) continue;
        std::string column = quoteName(l.link->name);
        SqlStatement* u = c->statement("UPDATE " + quoteName(s.name()) + " SET " + column +
                                           " = NULL, Z_OPT = Z_OPT + 1"
                                           " WHERE Z_PK = ? AND " +
                                           column + " = ?",
                                       error);
        if (!u) return false;
        u->bindInt(1, l.row);
        u->bindInt(2, l.target);
        if (!run(u)) return false;
        if (c->changes() > 0) changes.updated.emplace_back(&s, l.row);
    }
    for (const auto& e : model().entities()) {
        const auto& doomed = doomed_[e->index()];
        if (doomed.empty()) continue;
        const std::vector<int64_t> keys = doomed.sorted(); // in key order: each page of the table is visited once
        for (int64_t pk : keys) changes.deleted.emplace_back(e.get(), pk);
        // When no other row is left, the table and its pairs are emptied whole, which costs
        // SQLite a walk over their pages instead of a search per row.
        std::string table = quoteName(e->name());
        bool whole = true;
        if (!isWholeDoomed(*e)) {
            SqlStatement* rows = c->statement("SELECT Z_PK FROM " + table, error);
            if (!rows) return false;
            StatementUse use(rows);
            int rc;
            while (whole && (rc = rows->step()) == SQLITE_ROW) whole = doomed.contains(rows->columnInt(0));
            if (whole && rc != SQLITE_DONE) {
                Error::set(error, c->lastError());
                return false;
            }
        }
        if (whole) {
            std::vector<SqlStatement*> statements;
            SqlStatement* empty = c->statement("DELETE FROM " + table, error);
            if (!empty || !linkCleanups(*e, true, statements, error) || !run(empty)) return false;
            for (SqlStatement* s : statements)
                if (!run(s)) return false;
            continue;
        }
        SqlStatement* s = entityStatement(EntityStatement::Delete, *e, error);
        if (!s) return false;
        for (int64_t pk : keys) {
            s->bindInt(1, pk);
            s->bindNull(2); // no version check: the row goes whoever changed it meanwhile
            if (!run(s) || !deleteRowLinks(*e, pk, error)) return false;
        }
    }
    return true;
}

void ObjectContext::forgetDoomed(bool restore) {
    for (const ManagedObjectPtr& o : doomedObjects_) {
        if (restore) {
            o->deleted_ = false;
            registerObject(o);
            continue;
        }
        unregister(*o);
        o->context_ = nullptr;
    }
    doomedObjects_.clear();
    for (auto& keys : doomed_) keys.clear();
    for (auto& keys : freeKeys_) keys.clear();
    wholeDoomed_.clear();
    nullified_.clear();
    doomedCount_ = 0;
}

} // namespace tavlo
