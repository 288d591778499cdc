#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavlo {

class ManagedObject;

// A context's objects by entity and key, one per row, without keeping them alive: an object
// leaves when it goes (its destructor asks), so a look-up never meets a dead one and needs no
// weak reference to lock. Per entity, keys sit in open addressing beside their object, so a
// look-up reads one slot or a few neighbours and a new object allocates nothing of its own.
class ObjectRegistry {
public:
    explicit ObjectRegistry(size_t entities) : tables_(entities) {}

    // The object of the entity's row, or null.
    ManagedObject* find(size_t entity, int64_t key) const;
    // Registers the object under its row, in place of any other.
    void set(size_t entity, int64_t key, ManagedObject* object);
    // Unregisters the object when it is the one registered under its row.
    void erase(size_t entity, int64_t key, const ManagedObject* object);
    void clear();

    template <typename Each> void forEach(Each each) const {
        for (const Table& t : tables_)
            for (const Slot& slot : t.slots)
                if (slot.object) each(*slot.object);
    }

private:
    struct Slot {
        int64_t key = 0;
        ManagedObject* object = nullptr; // null: empty
    };
    struct Table {
        std::vector<Slot> slots; // a power of two, at most half full
        size_t used = 0;
    };
    static size_t home(const Table& t, int64_t key);
    static void grow(Table& t);

    std::vector<Table> tables_;
};

} // namespace tavlo
