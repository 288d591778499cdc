#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

enum class AttributeType { Text, Int16, Int32, Int64, Boolean, Double, Decimal, Date, Binary };
enum class DeleteRule { Nullify, Cascade };

class EntityDescription;

struct AttributeDescription {
    std::string name;
    AttributeType type = AttributeType::Text;
    bool indexed = false;
    size_t index = 0; // slot in the entity's attribute list
};

struct RelationshipDescription {
    std::string name;
    std::string targetName;
    std::string inverseName; // empty: none
    bool toMany = false;
    DeleteRule deleteRule = DeleteRule::Nullify;
    size_t index = 0; // slot in the entity's relationship list

    // Filled when the model is finalised.
    const EntityDescription* source = nullptr;
    const EntityDescription* target = nullptr;
    const RelationshipDescription* inverse = nullptr;
    // A to-many whose inverse to-one names it back lives in that to-one's column; every other
    // to-many has a table of pairs of its own (shared with a to-many inverse).
    bool storedByInverse = false;
    std::string joinTable;       // for to-manys kept in a table of pairs
    bool joinSourceFirst = true; // this side's key is the table's first column
};

// An entity: a named kind of record with typed attributes and relationships.
class EntityDescription {
public:
    enum class Indexed { No, Yes };

    explicit EntityDescription(std::string name) : name_(std::move(name)) {}

    // Declaration (chainable); only before the model is handed to a store.
    EntityDescription& attribute(std::string name, AttributeType type, Indexed indexed = Indexed::No);
    EntityDescription& toOne(std::string name, std::string target, std::string inverse = {},
                             DeleteRule rule = DeleteRule::Nullify);
    EntityDescription& toMany(std::string name, std::string target, std::string inverse = {},
                              DeleteRule rule = DeleteRule::Nullify);
    // One index over several attributes or to-ones, in this order (for lookups by all of them).
    EntityDescription& compoundIndex(std::vector<std::string> columns);

    const std::string& name() const { return name_; }
    size_t index() const { return index_; }
    const std::vector<AttributeDescription>& attributes() const { return attributes_; }
    const std::vector<RelationshipDescription>& relationships() const { return relationships_; }
    const AttributeDescription* attributeNamed(std::string_view name) const;
    const RelationshipDescription* relationshipNamed(std::string_view name) const;
    const std::vector<std::vector<std::string>>& compoundIndexes() const { return compoundIndexes_; }

private:
    friend class Model;
    std::string name_;
    size_t index_ = 0;
    std::vector<AttributeDescription> attributes_;
    std::vector<RelationshipDescription> relationships_;
    std::vector<std::vector<std::string>> compoundIndexes_;
    // Attributes and relationships by name: a record's fields are read by name, many per row. Open
    // addressing over their numbers, in a few bytes that stay in cache beside the lists: a slot
    // holds a number + 1 (0: empty), at a hash of the name's length and three of its letters
    // (names of one entity seldom share all four), and a look-up compares the name it finds.
    using NameSlots = std::vector<uint32_t>; // a power of two, at most half full
    static size_t nameHash(std::string_view name) noexcept {
        if (name.empty()) return 0;
        size_t h = name.size();
        for (char c : {name.front(), name[name.size() / 2], name.back()}) h = h * 131 + static_cast<unsigned char>(c);
        return h;
    }
    template <class Named>
    static const Named* named(const NameSlots& slots, const std::vector<Named>& list, std::string_view name) {
        if (slots.empty()) return nullptr;
        const size_t mask = slots.size() - 1;
        for (size_t i = nameHash(name) & mask; slots[i]; i = (i + 1) & mask)
            if (list[slots[i] - 1].name == name) return &list[slots[i] - 1];
        return nullptr;
    }
    template <class Named> static void indexNames(NameSlots& slots, const std::vector<Named>& list) {
        size_t size = 8;
        while (size < 2 * list.size()) size *= 2;
        slots.assign(size, 0);
        for (size_t n = 0; n < list.size(); ++n) {
            size_t i = nameHash(list[n].name) & (size - 1);
            while (slots[i]) i = (i + 1) & (size - 1);
            slots[i] = static_cast<uint32_t>(n + 1);
        }
    }
    NameSlots attributeSlots_;
    NameSlots relationshipSlots_;
};

} // namespace tavlo
