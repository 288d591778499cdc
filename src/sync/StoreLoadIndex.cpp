#include "sync/StoreLoadIndex.h"

#include <algorithm>
#include <stdexcept>

namespace tavlo {

namespace {

constexpr char kSeparator = '\x1f';

void appendPart(std::string& key, const std::optional<std::string>& text) {
    // nil and "" differ: a nil key part never equals a given text.
    if (text) key += 't' + *text;
    else key += 'n';
    key += kSeparator;
}

void appendPart(std::string& key, int64_t primaryKey) {
    key += 'r' + std::to_string(primaryKey);
    key += kSeparator;
}

} // namespace

StoreLoadIndex::Table& StoreLoadIndex::table(std::string_view entity, std::initializer_list<std::string_view> keys) {
    auto found = tables_.find(std::string(entity));
    if (found != tables_.end()) {
        // One key per entity: rows inserted under one key would be missing from another's table.
        if (!std::equal(keys.begin(), keys.end(), found->second.keys.begin(), found->second.keys.end()))
            throw std::logic_error("The load keys " + std::string(entity) + " in two ways");
        return found->second;
    }

    const EntityDescription& e = context_.model().requireEntity(entity);
    Table t;
    for (std::string_view k : keys) {
        const RelationshipDescription* r = e.relationshipNamed(k);
        if (r && r->toMany) throw std::invalid_argument("A to-many cannot key " + std::string(entity));
        if (!r && !e.attributeNamed(k)) throw std::invalid_argument(std::string(entity) + " has no key " + std::string(k));
        t.keys.emplace_back(k);
        t.relation.push_back(r != nullptr);
    }
    for (ManagedObjectPtr& row : context_.fetchAll(entity)) {
        std::string key = keyOf(t, *row);
        t.rows.emplace(std::move(key), std::move(row));
    }
    return tables_.emplace(std::string(entity), std::move(t)).first->second;
}

std::string StoreLoadIndex::keyOf(const Table& t, const ManagedObject& row) {
    std::string key;
    for (size_t i = 0; i < t.keys.size(); ++i) {
        if (t.relation[i]) appendPart(key, row.toOneID(t.keys[i]).primaryKey());
        else appendPart(key, row.text(t.keys[i]));
    }
    return key;
}

std::string StoreLoadIndex::keyOf(std::initializer_list<KeyValue> values) {
    std::string key;
    for (const KeyValue& v : values) {
        if (const auto* text = std::get_if<std::string>(&v)) appendPart(key, *text);
        else if (const ManagedObject* row = std::get<const ManagedObject*>(v)) appendPart(key, row->objectID().primaryKey());
        else appendPart(key, int64_t(0));
    }
    return key;
}

ManagedObjectPtr StoreLoadIndex::find(std::string_view entity, std::initializer_list<std::string_view> keys,
                                      std::initializer_list<KeyValue> values) {
    Table& t = table(entity, keys);
    auto found = t.rows.find(keyOf(values));
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
    if (values.size() != t.keys.size()) throw std::invalid_argument("Key values do not match the keys");
    ManagedObjectPtr row = context_.insert(entity);
    auto value = values.begin();
    for (size_t i = 0; i < t.keys.size(); ++i, ++value) {
        if (const auto* text = std::get_if<std::string>(&*value)) {
            row->setValue(t.keys[i], *text);
        } else {
            const ManagedObject* target = std::get<const ManagedObject*>(*value);
            row->setToOne(t.keys[i], target ? std::const_pointer_cast<ManagedObject>(target->shared_from_this()) : nullptr);
        }
    }
    t.rows[keyOf(values)] = row;
    return row;
}

ManagedObjectPtr StoreLoadIndex::findOrInsert(std::string_view entity, std::initializer_list<std::string_view> keys,
                                              std::initializer_list<KeyValue> values, bool* inserted) {
    ManagedObjectPtr row = find(entity, keys, values);
    if (inserted) *inserted = !row;
    return row ? row : insert(entity, keys, values);
}

} // namespace tavlo
