#include "sync/storeload/StoreLoadIndex.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <stdexcept>

namespace tavlo {

namespace {
size_t seenSlot(std::string_view entity) {
    // The length and two letters tell a load's entities apart.
    if (entity.empty()) return 0;
    return (entity.size() * 7 + static_cast<unsigned char>(entity.front()) * 3 +
            static_cast<unsigned char>(entity.back())) %
           StoreLoadIndex::kTablesSeen;
}

} // namespace

StoreLoadIndex::Table& StoreLoadIndex::table(std::string_view entity, std::initializer_list<std::string_view> keys) {
    Table*& seen = tableSeen_[seenSlot(entity)];
    Table* found = seen && seen->name == entity ? seen : nullptr;
    for (auto t = tables_.begin(); !found && t != tables_.end(); ++t)
        if ((*t)->name == entity) found = seen = t->get();
    if (found) {
        // One key per entity: rows inserted under one key would be missing from another's table.
        if (!std::equal(keys.begin(), keys.end(), found->keys.begin(), found->keys.end(),
                        [](std::string_view a, const KeyPart& b) { return a == b.name; }))
            throw std::logic_error("The load keys " + std::string(entity) + " in two ways");
        return *found;
    }

    const EntityDescription& e = context_.model().requireEntity(entity);
    auto t = std::make_unique<Table>();
    t->name = entity;
    t->entity = &e;
    int relations = 0, texts = 0;
    for (std::string_view k : keys) {
        KeyPart part{std::string(k), e.attributeNamed(k), e.relationshipNamed(k)};
        if (part.relationship && part.relationship->toMany)
            throw std::invalid_argument("A to-many cannot key " + std::string(entity));
        if (!part.relationship && !part.attribute)
            throw std::invalid_argument(std::string(entity) + " has no key " + std::string(k));
        if ((part.relationship ? ++relations > 2 : ++texts > 1))
            throw std::invalid_argument("Too many key parts for " + std::string(entity));
        if (part.relationship) part.attribute = nullptr;
        t->keys.push_back(std::move(part));
    }
    std::vector<ManagedObjectPtr> stored = context_.fetchAll(entity);
    t->rows.reserve(stored.size());
    for (ManagedObjectPtr& row : stored) {
        std::optional<std::string> text;
        if (std::optional<Probe> key = keyOf(*t, *row, text)) t->rows.set(*key, row->objectID().primaryKey());
    }
    t->stored = std::move(stored);
    tables_.push_back(std::move(t));
    return *(seen = tables_.back().get());
}

void StoreLoadIndex::Rows::reserve(size_t rows) {
    size_t slots = 16;
    while (slots < 2 * rows) slots *= 2;
    if (slots > slots_.size()) rehash(slots);
}

size_t StoreLoadIndex::Rows::slotOf(const Probe& key) const {
    const size_t mask = slots_.size() - 1;
    // Steps of 1, 2, 3, ...: the first ones stay within a line or two, and a look-up soon leaves a
    // crowd of runs that met (a plain walk would cross it all). Over a power of two the steps
    // reach every slot.
    for (size_t i = key.hash & mask, step = 1;; i = (i + step++) & mask) {
        const Slot& slot = slots_[i];
        if (slot.entry == 0 || (slot.tag == tagOf(key.hash) && entry(slot.entry - 1).key == key)) return i;
    }
}

int64_t* StoreLoadIndex::Rows::find(const Probe& key) {
    if (slots_.empty()) return nullptr;
    const Slot& slot = slots_[slotOf(key)];
    return slot.entry ? &entry(slot.entry - 1).row : nullptr;
}

void StoreLoadIndex::Rows::set(const Probe& key, int64_t row) {
    if (2 * (entryCount_ + 1) > slots_.size()) rehash(std::max<size_t>(16, 2 * slots_.size()));
    Slot& slot = slots_[slotOf(key)];
    if (slot.entry) {
        entry(slot.entry - 1).row = row;
        return;
    }
    if ((entryCount_ >> kEntryBlockBits) == entryBlocks_.size())
        entryBlocks_.push_back(std::make_unique_for_overwrite<Entry[]>(size_t{1} << kEntryBlockBits));
    entry(entryCount_++) = {Key{{key.rows[0], key.rows[1]}, keep(key.text), key.hash}, row};
    slot = {tagOf(key.hash), static_cast<uint32_t>(entryCount_)};
}

std::string_view StoreLoadIndex::Rows::keep(std::string_view text) {
    if (text.empty()) return {};
    constexpr size_t kBlock = 16 * 1024;
    if (text.size() > textRoom_) {
        textRoom_ = std::max(kBlock, text.size());
        texts_.push_back(std::make_unique_for_overwrite<char[]>(textRoom_));
        textNext_ = texts_.back().get();
    }
    std::string_view kept(textNext_, text.size());
    std::memcpy(textNext_, text.data(), text.size());
    textNext_ += text.size();
    textRoom_ -= text.size();
    return kept;
}

void StoreLoadIndex::Rows::rehash(size_t slots) {
    slots_.assign(slots, Slot{});
    const size_t mask = slots - 1;
    for (size_t e = 0; e < entryCount_; ++e) {
        const size_t hash = entry(e).key.hash;
        size_t i = hash & mask;
        for (size_t step = 1; slots_[i].entry; ++step) i = (i + step) & mask; // as slotOf steps
        slots_[i] = {tagOf(hash), static_cast<uint32_t>(e + 1)};
    }
}

void StoreLoadIndex::hash(Probe& p) {
    // Ids come in runs ("I1", "I2", ...; a link row for each item in turn), and a load names them
    // in runs too: the items of a section, the taxes of each new item. So a key is read as a run
    // and a place in it: the number that ends its text (for a link row, its first row's key), and
    // all the rest. The run and the number's eighth are hashed together, and the number's last
    // three bits pick a place among eight side by side (as keyHome does for row keys): the keys of
    // a run read a few lines of the table instead of a line each. Link rows that share a first
    // row but not a second are runs of their own, and spread as any keys do.
    std::string_view run = p.text;
    int64_t firstRow = p.rows[0];
    std::optional<uint64_t> number;
    if (run.empty()) {
        number = static_cast<uint64_t>(firstRow);
        firstRow = 0;
    } else {
        size_t digits = 0;
        while (digits < run.size() && digits < 18 && run[run.size() - 1 - digits] >= '0' &&
               run[run.size() - 1 - digits] <= '9')
            ++digits;
        if (digits > 0) {
            number = 0;
            for (char c : run.substr(run.size() - digits)) *number = *number * 10 + static_cast<uint64_t>(c - '0');
            run.remove_suffix(digits);
        }
    }
    // The run's text, then each part mixed in (a multiply and a shift, as 64-bit mixers do).
    uint64_t h = std::hash<std::string_view>()(run);
    for (uint64_t part : {static_cast<uint64_t>(firstRow), static_cast<uint64_t>(p.rows[1]), number.value_or(0) >> 3}) {
        h ^= part + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
        h *= 0xff51afd7ed558ccdull;
        h ^= h >> 33;
    }
    // A text without a number is a run of one: its hash places it. The high bits, the tag, tell
    // the eight of a run apart.
    const uint64_t place = number ? *number & 7 : h & 7;
    p.hash = static_cast<size_t>(((h ^ place << 32) & ~uint64_t{7}) | place);
}

std::optional<StoreLoadIndex::Probe> StoreLoadIndex::keyOf(const Table& t, const ManagedObject& row,
                                                           std::optional<std::string>& text) {
    Probe p;
    size_t part = 0;
    for (const KeyPart& k : t.keys) {
        if (k.relationship) {
            p.rows[part++] = row.toOneID(k.name).primaryKey();
        } else {
            text = row.text(k.name);
            if (!text) return std::nullopt;
            p.text = *text;
        }
    }
    hash(p);
    return p;
}

StoreLoadIndex::Probe StoreLoadIndex::keyOf(const Table& t, std::initializer_list<KeyValue> values) {
    if (values.size() != t.keys.size()) throw std::invalid_argument("Key values do not match the keys");
    Probe p;
    size_t part = 0;
    for (const KeyValue& v : values) {
        if (const auto* text = std::get_if<std::string_view>(&v)) p.text = *text;
        else p.rows[part++] = keyOf(v);
    }
    hash(p);
    return p;
}

int64_t StoreLoadIndex::keyOf(const KeyValue& row) {
    if (const auto* id = std::get_if<ObjectID>(&row)) return id->isValid() ? id->primaryKey() : 0;
    const ManagedObject* object = std::get<const ManagedObject*>(row);
    return object ? object->objectID().primaryKey() : 0;
}

namespace {
size_t recentSlot(const EntityDescription& entity, int64_t key, size_t slots) {
    uint64_t h = (static_cast<uint64_t>(key) * 0x9e3779b97f4a7c15ull) ^ entity.index();
    return static_cast<size_t>(h ^ (h >> 29)) & (slots - 1);
}
} // namespace

ManagedObjectPtr StoreLoadIndex::rowOf(const Table& t, int64_t key) {
    const ManagedObjectPtr& recent = recent_[recentSlot(*t.entity, key, kRecentRows)];
    // A row held here that left the context (a rollback, a delete saved) is read again.
    if (recent && recent->objectID().primaryKey() == key && &recent->entity() == t.entity &&
        recent->managedObjectContext() == &context_)
        return recent;
    ManagedObjectPtr row = context_.object(*t.entity, key);
    if (row) remember(row);
    return row;
}

void StoreLoadIndex::remember(const ManagedObjectPtr& row) {
    // A held row is unpacked from memory as fast; held here, its object could not be let go.
    if (context_.holdsInserts(row->entity())) return;
    recent_[recentSlot(row->entity(), row->objectID().primaryKey(), kRecentRows)] = row;
}

ManagedObjectPtr StoreLoadIndex::liveRow(const Table& t, int64_t& key) {
    if (!key) return nullptr;
    ManagedObjectPtr row = rowOf(t, key);
    if (!row || row->isDeleted()) {
        key = 0; // let go: the key may serve a new row
        return nullptr;
    }
    return row;
}

ManagedObjectPtr StoreLoadIndex::find(std::string_view entity, std::initializer_list<std::string_view> keys,
                                      std::initializer_list<KeyValue> values) {
    Table& t = table(entity, keys);
    return findIn(t, keyOf(t, values));
}

ManagedObjectPtr StoreLoadIndex::findIn(Table& t, const Probe& key) {
    int64_t* found = t.rows.find(key);
    return found ? liveRow(t, *found) : nullptr;
}

ObjectID StoreLoadIndex::findID(std::string_view entity, std::string_view idAttribute, const std::string& id) {
    Table& t = table(entity, {idAttribute});
    int64_t* found = t.rows.find(keyOf(t, {KeyValue(id)}));
    if (!found || !*found) return {};
    // A held row is live, and stays packed; any other is found as find() finds it.
    if (!context_.isHeld(*t.entity, *found) && !liveRow(t, *found)) return {};
    return ObjectID(t.entity, *found);
}

ManagedObjectPtr StoreLoadIndex::insert(std::string_view entity, std::initializer_list<std::string_view> keys,
                                        std::initializer_list<KeyValue> values) {
    Table& t = table(entity, keys);
    return insertRow(t, keyOf(t, values), values);
}

template <class Text, class Row>
void StoreLoadIndex::forEachKeyPart(const Table& t, std::initializer_list<KeyValue> values, Text text, Row row) {
    auto value = values.begin();
    for (const KeyPart& k : t.keys) {
        const KeyValue& v = *value++;
        if (const auto* part = std::get_if<std::string_view>(&v)) {
            if (!k.attribute) throw std::invalid_argument("A text cannot key " + t.name + "." + k.name);
            text(*k.attribute, *part);
        } else {
            if (!k.relationship) throw std::invalid_argument("A row cannot key " + t.name + "." + k.name);
            row(*k.relationship, v);
        }
    }
}

ManagedObjectPtr StoreLoadIndex::insertRow(Table& t, const Probe& key, std::initializer_list<KeyValue> values) {
    ManagedObjectPtr row = context_.insert(*t.entity);
    forEachKeyPart(
        t, values, [&](const AttributeDescription& a, std::string_view text) { row->setValue(a, text); },
        [&](const RelationshipDescription& r, const KeyValue& v) {
            if (const auto* id = std::get_if<ObjectID>(&v)) {
                row->setToOne(r, *id);
            } else {
                const ManagedObject* target = std::get<const ManagedObject*>(v);
                row->setToOne(r, target ? std::const_pointer_cast<ManagedObject>(target->shared_from_this()) : nullptr);
            }
        });
    t.rows.set(key, row->objectID().primaryKey());
    return row;
}

ManagedObjectPtr StoreLoadIndex::findOrInsert(std::string_view entity, std::initializer_list<std::string_view> keys,
                                              std::initializer_list<KeyValue> values, bool* inserted) {
    // One look-up of the table and one hash of the key serve both.
    Table& t = table(entity, keys);
    const Probe key = keyOf(t, values);
    ManagedObjectPtr row = findIn(t, key);
    if (inserted) *inserted = !row;
    return row ? row : insertRow(t, key, values);
}

ObjectID StoreLoadIndex::setRow(std::string_view entity, std::initializer_list<std::string_view> keys,
                                std::initializer_list<KeyValue> keyValues, std::initializer_list<RowValue> values) {
    Table& t = table(entity, keys);
    const Probe key = keyOf(t, keyValues);
    ManagedObjectPtr row = findIn(t, key);
    // Outside a held write, a new row is an object like any other, written by the save.
    if (!row && !context_.isWriting()) row = insertRow(t, key, keyValues);
    if (row) {
        for (const auto& [name, value] : values) row->setValue(name, value);
        return row->objectID();
    }
    // The values and the key's parts, as the row's setters would take them.
    constexpr size_t kMostValues = 8;
    if (values.size() >= kMostValues) throw std::invalid_argument("Too many values for a row of " + t.name);
    std::array<ObjectContext::HeldValue, kMostValues> set;
    size_t setCount = 0;
    for (const auto& [name, value] : values) {
        const AttributeDescription* a = t.entity->attributeNamed(name);
        if (!a) throw std::invalid_argument(t.name + " has no attribute " + std::string(name));
        set[setCount++] = {a, value};
    }
    std::array<ObjectContext::HeldLink, 2> links;
    size_t linkCount = 0;
    forEachKeyPart(
        t, keyValues,
        [&](const AttributeDescription& a, std::string_view text) {
            set[setCount++] = {&a, Value(std::string(text))};
        },
        [&](const RelationshipDescription& r, const KeyValue& v) {
            links[linkCount++] = {&r, keyOf(v)};
        });
    return holdRow(t, key, std::span(set.data(), setCount), std::span(links.data(), linkCount));
}

ObjectID StoreLoadIndex::holdRow(Table& t, const Probe& key, std::span<const ObjectContext::HeldValue> values,
                                 std::span<const ObjectContext::HeldLink> toOnes) {
    // Held until the next flush, which writes them together.
    if (!context_.holdsInserts(*t.entity)) context_.holdInserts(t.name, ObjectContext::Hold::UntilFlush);
    const ObjectID held = context_.insertHeld(*t.entity, values, toOnes);
    if (held.isValid()) t.rows.set(key, held.primaryKey());
    return held;
}

ObjectID StoreLoadIndex::insertHeld(std::string_view entity, std::string_view idAttribute, std::string_view id,
                                    std::span<const ObjectContext::HeldValue> values,
                                    std::span<const ObjectContext::HeldLink> toOnes) {
    Table& t = table(entity, {idAttribute});
    std::vector<ObjectContext::HeldValue> set(values.begin(), values.end());
    set.emplace_back(t.keys.front().attribute, Value(std::string(id)));
    return holdRow(t, keyOf(t, {KeyValue(id)}), set, toOnes);
}

} // namespace tavlo
