#pragma once

#include "platform/store/ManagedObject.h"
#include "platform/store/ObjectContext.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tavlo {

// The rows a store load looks up, by their key: an id attribute ("itemId"), or for link rows the
// rows they join ("item" and "tax" of a TaxItem), or a name and its owner ("name" and "terminal"
// of a TerminalParam). Each entity and key is read from the context once, when first asked for;
// rows the load inserts through here join at once. So every look-up of a load costs a hash probe
// whatever the number of unsaved rows, instead of a fetch that weighs them all. The index keeps
// each row's primary key, not its object: a load that flushes its context lets go of the rows it
// wrote, and a look-up takes the row from the context (read again from the file when let go).
//
// A key is at most one attribute and two to-ones. Each entity is keyed one way for the life of
// the index, and its rows must be inserted through it meanwhile (insert, findOrInsert, setRow);
// rows deleted by the load (directly or by a delete rule) are no longer found.
class StoreLoadIndex {
public:
    // A key part: a text for an attribute, a row (or its id) for a to-one relationship.
    using KeyValue = std::variant<std::string_view, const ManagedObject*, ObjectID>;
    // An attribute of a row and the value it is set to.
    using RowValue = std::pair<std::string_view, Value>;

    explicit StoreLoadIndex(ObjectContext& context) : context_(context) {}

    // The live row whose key attributes / to-ones equal the values, or null.
    ManagedObjectPtr find(std::string_view entity, std::initializer_list<std::string_view> keys,
                          std::initializer_list<KeyValue> values);
    ManagedObjectPtr find(std::string_view entity, std::string_view idAttribute, const std::string& id) {
        return find(entity, {idAttribute}, {KeyValue(id)});
    }
    // The id of the live row under the id attribute's text (invalid for none), without making its
    // object when the context holds the row packed (ObjectContext::holdInserts).
    ObjectID findID(std::string_view entity, std::string_view idAttribute, const std::string& id);
    // A new row with its key set (attributes and to-ones), found from now on.
    ManagedObjectPtr insert(std::string_view entity, std::initializer_list<std::string_view> keys,
                            std::initializer_list<KeyValue> values);
    // find, or insert when there is none; `inserted` tells which.
    ManagedObjectPtr findOrInsert(std::string_view entity, std::initializer_list<std::string_view> keys,
                                  std::initializer_list<KeyValue> values, bool* inserted = nullptr);

    // The row under the key with the values set, for a load's many link rows: a row found is set
    // through its object; inside a held write a new one is held packed without one until the next
    // flush writes it (ObjectContext::insertHeld, the entity then held until each flush), to-ones
    // in the key included. Its id; invalid when the context's held write failed. A link row's key
    // names first the row whose links an element lists (an item before its taxes): a run of such
    // rows then sits side by side in the index.
    ObjectID setRow(std::string_view entity, std::initializer_list<std::string_view> keys,
                    std::initializer_list<KeyValue> keyValues, std::initializer_list<RowValue> values);

    // A new row under the id, held packed without an object (ObjectContext::insertHeld) with the
    // values and to-ones set, for a load's many rows of an entity whose inserts the context holds:
    // the caller has found none under the id. Its id; invalid when the context's held write failed.
    ObjectID insertHeld(std::string_view entity, std::string_view idAttribute, std::string_view id,
                        std::span<const ObjectContext::HeldValue> values,
                        std::span<const ObjectContext::HeldLink> toOnes);

    ObjectContext& context() const { return context_; }

    static constexpr size_t kTablesSeen = 61;

private:
    // A row's key: the primary keys of its to-ones (in the order the table's keys give, 0 for
    // none or unused) and the attribute's text, with its hash worked out once. A look-up probes
    // with the same parts over the caller's text, so it makes no string. A row whose key
    // attribute is nil is not indexed: no look-up names nil.
    struct Probe {
        int64_t rows[2] = {0, 0};
        std::string_view text;
        size_t hash = 0;
    };
    struct Key {
        bool operator==(const Probe& p) const { return rows[0] == p.rows[0] && rows[1] == p.rows[1] && text == p.text; }
        int64_t rows[2];
        std::string_view text; // in the table's texts
        size_t hash;
    };
    // The rows of one table (their primary keys) by key, in open addressing: a slot holds an
    // entry's number beside part of its hash, so a look-up reads one slot or a few neighbours, and
    // an entry only on a match (a chained map reads a bucket, a node before the chain and each
    // node on it). Entries sit in blocks that never move and key texts side by side in blocks of
    // their own, so a large load neither copies its entries as they grow nor keeps a string per
    // key.
    class Rows {
    public:
        void reserve(size_t rows);
        // The row's key stored under the key (0 when it was let go), or null when none is.
        int64_t* find(const Probe& key);
        void set(const Probe& key, int64_t row);

    private:
        // Eight bytes, so that a table of a large load's items stays small: the hash's high half
        // beside the entry's number (a probe reads the entry only when they match).
        struct Slot {
            uint32_t tag = 0;
            uint32_t entry = 0; // 0: empty, else the entry's index + 1
        };
        static uint32_t tagOf(size_t hash) { return static_cast<uint32_t>(static_cast<uint64_t>(hash) >> 32); }
        struct Entry {
            Key key;
            int64_t row;
        };
        // The slot of the key's entry, or the empty slot where it goes.
        size_t slotOf(const Probe& key) const;
        void rehash(size_t slots);
        std::string_view keep(std::string_view text);

        // The entry's place among the blocks, found by a shift and a mask.
        static constexpr size_t kEntryBlockBits = 8;
        Entry& entry(size_t e) const {
            return entryBlocks_[e >> kEntryBlockBits][e & ((size_t{1} << kEntryBlockBits) - 1)];
        }

        std::vector<Slot> slots_; // a power of two, at most half full
        std::vector<std::unique_ptr<Entry[]>> entryBlocks_;
        size_t entryCount_ = 0;
        std::vector<std::unique_ptr<char[]>> texts_;
        char* textNext_ = nullptr; // the free end of the last block of texts
        size_t textRoom_ = 0;      // and its room
    };
    struct KeyPart {
        std::string name;
        const AttributeDescription* attribute = nullptr;       // a key attribute, or
        const RelationshipDescription* relationship = nullptr; // a key to-one
    };
    struct Table {
        std::string name;
        const EntityDescription* entity;
        std::vector<KeyPart> keys;
        Rows rows;
        // The rows the store held when the table was made, held: a load over a store that holds
        // its rows (the store handler's sync) finds each without reading it again. A load after
        // a clean finds none stored.
        std::vector<ManagedObjectPtr> stored;
    };
    Table& table(std::string_view entity, std::initializer_list<std::string_view> keys);
    // The row's key (nil when its key attribute is nil); `text` holds its text meanwhile.
    static std::optional<Probe> keyOf(const Table& t, const ManagedObject& row, std::optional<std::string>& text);
    static Probe keyOf(const Table& t, std::initializer_list<KeyValue> values);
    // The primary key a to-one part names (0 for none).
    static int64_t keyOf(const KeyValue& row);
    // Walks the key's parts with their values: `text` for an attribute's, `row` for a to-one's.
    template <class Text, class Row>
    static void forEachKeyPart(const Table& t, std::initializer_list<KeyValue> values, Text text, Row row);
    static void hash(Probe& probe);

    // The row under a key, from the recent rows when it is one of them, else from the context.
    ManagedObjectPtr rowOf(const Table& t, int64_t key);
    // The same, null for a row deleted or gone, whose key is then let go.
    ManagedObjectPtr liveRow(const Table& t, int64_t& key);
    // The live row of the table under the key, or null.
    ManagedObjectPtr findIn(Table& t, const Probe& key);
    // A new row of the table under the key, its key parts set from the values.
    ManagedObjectPtr insertRow(Table& t, const Probe& key, std::initializer_list<KeyValue> values);
    void remember(const ManagedObjectPtr& row);
    // Holds a new row of the table under the key, packed (its entity held until each flush unless
    // the context holds it otherwise already), and indexes it.
    ObjectID holdRow(Table& t, const Probe& key, std::span<const ObjectContext::HeldValue> values,
                     std::span<const ObjectContext::HeldLink> toOnes);

    ObjectContext& context_;
    // A load keys a score of entities, each named at every look-up.
    std::vector<std::unique_ptr<Table>> tables_;
    // The table last found under each of a few slots of names, tried before the scan.
    std::array<Table*, kTablesSeen> tableSeen_{};
    // The rows found last, by a hash of their entity and key, held: the rows many others name
    // (taxes, preparations, sides, a recipe two items share) stay in memory between flushes
    // instead of being read from the file at every look-up. Rows inserted are not held here (a
    // load names most of them once), nor rows of an entity whose inserts the context holds.
    static constexpr size_t kRecentRows = 4096;
    std::vector<ManagedObjectPtr> recent_ = std::vector<ManagedObjectPtr>(kRecentRows);
};

} // namespace tavlo
