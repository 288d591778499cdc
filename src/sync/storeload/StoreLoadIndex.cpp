#include "sync/storeload/StoreLoadIndex.h"

#include <algorithm>
#include <stdexcept>

namespace tavlo {

StoreLoadIndex::Table& StoreLoadIndex::table(std::string_view entity, std::initializer_list<std::string_view> keys) {
    auto found = tables_.find(entity);
    if (found != tables_.end()) {
        // One key per entity: rows inserted under one key would be missing from another's table.
        if (!std::equal(keys.begin(), keys.end(), found->second.keys.begin(), found->second.keys.end()))
            throw std::logic_error("The load keys " + std::string(entity) + " in two ways");
        return found->second;
    }

    const EntityDescription& e = context_.model().requireEntity(entity);
    Table t;
    int relations = 0, texts = 0;
    for (std::string_view k : keys) {
        const RelationshipDescription* r = e.relationshipNamed(k);
        if (r && r->toMany) throw std::invalid_argument("A to-many cannot key " + std::string(entity));
        if (!r && !e.attributeNamed(k)) throw std::invalid_argument(std::string(entity) + " has no key " + std::string(k));
        if ((r ? ++relations > 2 : ++texts > 1)) throw std::invalid_argument("Too many key parts for " + std::string(entity));
        t.keys.emplace_back(k);
        t.relation.push_back(r != nullptr);
    }
    for (ManagedObjectPtr& row : context_.fetchAll(entity))
        if (std::optional<Key> key = keyOf(t, *row)) t.rows.emplace(std::move(*key), std::move(row));
    return tables_.emplace(std::string(entity), std::move(t)).first->second;
}

namespace {

// A primary key in seven-bit groups, the last one without the high bit; zigzag-coded first, so
// that a negative key stays short too.
void appendRowPart(std::string& key, int64_t primaryKey) {
    uint64_t n = (static_cast<uint64_t>(primaryKey) << 1) ^ static_cast<uint64_t>(primaryKey >> 63);
    for (; n >= 0x80; n >>= 7) key += static_cast<char>((n & 0x7f) | 0x80);
    key += static_cast<char>(n);
}

} // namespace

std::optional<StoreLoadIndex::Key> StoreLoadIndex::keyOf(const Table& t, const ManagedObject& row) {
    Key key;
    std::optional<std::string> text;
    for (size_t i = 0; i < t.keys.size(); ++i) {
        if (t.relation[i]) {
            appendRowPart(key, row.toOneID(t.keys[i]).primaryKey());
        } else {
            text = row.text(t.keys[i]);
            if (!text) return std::nullopt;
        }
    }
    if (text) key += *text;
    return key;
}

StoreLoadIndex::Key StoreLoadIndex::keyOf(const Table& t, std::initializer_list<KeyValue> values) {
    if (values.size() != t.keys.size()) throw std::invalid_argument("Key values do not match the keys");
    Key key;
    std::string_view text;
    for (const KeyValue& v : values) {
        if (const auto* part = std::get_if<std::string_view>(&v)) {
            text = *part;
        } else {
            const ManagedObject* row = std::get<const ManagedObject*>(v);
            appendRowPart(key, row ? row->objectID().primaryKey() : 0);
        }
    }
    key += text;
    return key;
}

ManagedObjectPtr StoreLoadIndex::find(std::string_view entity, std::initializer_list<std::string_view> keys,
                                      std::initializer_list<KeyValue> values) {
    Table& t = table(entity, keys);
    auto found = t.rows.find(keyOf(t, values));
    if (found == t.rows.end()) return nullptr;
    if (found->second->isDeleted() || !found->second->managedObjectContext()) {
        t.rows.erase(found);
        return nullptr;
    }
    return found->second;
}

ManagedObjectPtr StoreLoadIndex::insert(std::string_view entity, std::initializer_list<std::string_view> keys,
                                        std::initializer_list<KeyValue> values) {
    Table& t = table(entity, keys);
    Key key = keyOf(t, values);
    ManagedObjectPtr row = context_.insert(entity);
    auto value = values.begin();
    for (size_t i = 0; i < t.keys.size(); ++i, ++value) {
        if (const auto* text = std::get_if<std::string_view>(&*value)) {
            row->setValue(t.keys[i], *text);
        } else {
            const ManagedObject* target = std::get<const ManagedObject*>(*value);
            row->setToOne(t.keys[i], target ? std::const_pointer_cast<ManagedObject>(target->shared_from_this()) : nullptr);
        }
    }
    t.rows[std::move(key)] = row;
    return row;
}

ManagedObjectPtr StoreLoadIndex::findOrInsert(std::string_view entity, std::initializer_list<std::string_view> keys,
                                              std::initializer_list<KeyValue> values, bool* inserted) {
    ManagedObjectPtr row = find(entity, keys, values);
    if (inserted) *inserted = !row;
    return row ? row : insert(entity, keys, values);
}

} // namespace tavlo
