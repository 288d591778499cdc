// Stored rows read as tables of values, without objects (fetchRows, fetchMembers).
#include "platform/store/ObjectContext.h"
#include "platform/store/SqlConnection.h"

#include <sqlite3.h>

#include <algorithm>
#include <stdexcept>

namespace tavlo {

namespace {

// Adds the row's columns from `first` on, one per type, each as the attribute's type reads it
// (SqlStatement::column), without a Value: the column's value taken once, then read as its type
// (the statement is this thread's alone).
void addColumns(StoredRows& rows, SqlStatement& row, int first, const std::vector<AttributeType>& types) {
    sqlite3_stmt* statement = row.handle();
    for (size_t i = 0; i < types.size(); ++i) {
        const int column = first + static_cast<int>(i);
        const AttributeType type = types[i];
        sqlite3_value* v = sqlite3_column_value(statement, column);
        if (sqlite3_value_type(v) == SQLITE_NULL) {
            rows.addNil();
            continue;
        }
        switch (type) {
        case AttributeType::Text:
            rows.addText(std::string_view(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                          static_cast<size_t>(sqlite3_value_bytes(v))));
            break;
        case AttributeType::Int16:
        case AttributeType::Int32:
        case AttributeType::Int64: rows.addInteger(sqlite3_value_int64(v)); break;
        case AttributeType::Boolean: rows.addBoolean(sqlite3_value_int64(v) != 0); break;
        case AttributeType::Double:
        case AttributeType::Decimal: rows.addReal(sqlite3_value_double(v)); break;
        case AttributeType::Date: rows.addDate(Date(sqlite3_value_double(v))); break;
        case AttributeType::Binary: rows.addValue(row.column(column, type)); break;
        }
    }
}

} // namespace

StoredRows ObjectContext::fetchRows(const FetchRequest& request, const std::vector<std::string>& properties,
                                    Error* error) {
    StoredRows rows(properties);
    fetchRows(request, rows, error);
    return rows;
}

void ObjectContext::fetchRows(const FetchRequest& request, StoredRows& rows, Error* error) {
    rows.clear();
    const std::vector<std::string>& properties = rows.properties();
    const EntityDescription& e = model().requireEntity(request.entityName);
    writeHeldRowsBefore(e, false);
    const Predicate* predicate = request.predicate ? &*request.predicate : nullptr;
    std::vector<Value> aggregates;
    if (predicate && !predicate->aggregates().empty()) {
        bool ok = true;
        aggregates = aggregateValues(e, *predicate, error, ok);
        if (!ok) return;
    }
    const int64_t limit = std::max<int64_t>(request.fetchLimit, 0);
    QueryCacheEntry* q = compiled(e, request, QueryCompiler::Answer::Values, limit > 0, error, properties);
    if (!q) return;
    runQuery(
        *q, predicate, aggregates, limit,
        [&](SqlStatement& row) {
            rows.add(row.columnInt(0), 0);
            addColumns(rows, row, 1, q->types);
        },
        error);
}

StoredRows ObjectContext::fetchMembers(std::string_view entity, std::string_view relationship,
                                       const std::vector<int64_t>& owners, const std::vector<std::string>& properties,
                                       Error* error) {
    const EntityDescription& e = model().requireEntity(entity);
    const RelationshipDescription* r = e.relationshipNamed(relationship);
    if (!r || !r->toMany || !r->storedByInverse)
        throw std::invalid_argument("Entity " + e.name() + " has no to-many kept by its members named \"" +
                                    std::string(relationship) + "\"");
    return rowsByColumn(*r->target, r->inverse->name, owners, properties, error);
}

StoredRows ObjectContext::fetchRows(std::string_view entity, const std::vector<int64_t>& keys,
                                    const std::vector<std::string>& properties, Error* error) {
    return rowsByColumn(model().requireEntity(entity), "Z_PK", keys, properties, error);
}

StoredRows ObjectContext::rowsByColumn(const EntityDescription& e, const std::string& column, std::vector<int64_t> keys,
                                       const std::vector<std::string>& properties, Error* error) {
    writeHeldRowsBefore(e, false);
    if (!std::is_sorted(keys.begin(), keys.end())) std::sort(keys.begin(), keys.end()); // most come in order
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    std::string cacheKey = e.name() + "\x01" + column;
    for (const std::string& property : properties) cacheKey += "\x01" + property;
    RowsStatement& cached = rowsStatements_[cacheKey];
    auto statement = [&](KeySet set) -> SqlStatement* {
        SqlStatement*& slot = cached.byKeySet[set == KeySet::Range ? 1 : 0];
        if (slot) return slot;
        SqlConnection* c = connection(error);
        if (!c) return nullptr;
        cached.types.clear();
        CompiledQuery q =
            QueryCompiler::compile(e, nullptr, {}, QueryCompiler::Answer::Values, false, properties, &cached.types);
        const std::string byColumn = "t0." + quoteName(column);
        const size_t from = q.sql.find(" FROM ");
        q.sql.insert(from, ", " + byColumn); // the column's value last in each row
        slot = c->statement(q.sql + " WHERE " + keyCondition(byColumn, set), error);
        return slot;
    };
    const bool members = column != "Z_PK";
    const int byColumn = static_cast<int>(properties.size()) + 1;
    StoredRows rows(properties);
    rows.reserve(keys.size()); // about one row per key
    bool ordered = true;       // by the column's value, then by key
    int64_t lastBy = 0, lastKey = 0;
    // A range also gives rows not asked for; keys without a gap take every value of theirs.
    const bool everyKeyBetween = keys.empty() || keys.back() - keys.front() == static_cast<int64_t>(keys.size()) - 1;
    auto asked = [&](int64_t by) {
        if (everyKeyBetween) return !keys.empty() && by >= keys.front() && by <= keys.back();
        return std::binary_search(keys.begin(), keys.end(), by);
    };
    readByKeys(keys, statement, [&](SqlStatement& row) {
        const int64_t by = row.columnInt(byColumn), key = row.columnInt(0);
        if (!asked(by)) return;
        if (by < lastBy || (by == lastBy && key < lastKey)) ordered = false;
        lastBy = by;
        lastKey = key;
        rows.add(key, members ? by : 0);
        addColumns(rows, row, 1, cached.types);
    });
    if (!ordered) rows.sort();
    return rows;
}

} // namespace tavlo
