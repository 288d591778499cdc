#include "platform/store/ObjectRegistry.h"

#include "platform/store/KeyHome.h"

namespace tavlo {

size_t ObjectRegistry::home(const Table& t, int64_t key) { return keyHome(key, t.slots.size() - 1); }

ManagedObject* ObjectRegistry::find(size_t entity, int64_t key) const {
    const Table& t = tables_[entity];
    if (t.used == 0) return nullptr;
    const size_t mask = t.slots.size() - 1;
    for (size_t i = home(t, key);; i = (i + 1) & mask) {
        const Slot& slot = t.slots[i];
        if (!slot.object) return nullptr;
        if (slot.key == key) return slot.object;
    }
}

void ObjectRegistry::set(size_t entity, int64_t key, ManagedObject* object) {
    Table& t = tables_[entity];
    if (2 * (t.used + 1) > t.slots.size()) grow(t);
    const size_t mask = t.slots.size() - 1;
    size_t i = home(t, key);
    while (t.slots[i].object && t.slots[i].key != key) i = (i + 1) & mask;
    if (!t.slots[i].object) ++t.used;
    t.slots[i] = {key, object};
}

void ObjectRegistry::erase(size_t entity, int64_t key, const ManagedObject* object) {
    Table& t = tables_[entity];
    if (t.used == 0) return;
    const size_t mask = t.slots.size() - 1;
    size_t i = home(t, key);
    for (; t.slots[i].object; i = (i + 1) & mask)
        if (t.slots[i].key == key) break;
    if (t.slots[i].object != object || !object) return;
    // Backward shift: each later slot of the cluster moves into the hole when its home lies at or
    // before the hole (cyclically), so no look-up ever stops short of its key.
    size_t hole = i;
    for (size_t j = (i + 1) & mask; t.slots[j].object; j = (j + 1) & mask) {
        const size_t h = home(t, t.slots[j].key);
        if (((j - h) & mask) >= ((j - hole) & mask)) {
            t.slots[hole] = t.slots[j];
            hole = j;
        }
    }
    t.slots[hole] = Slot{};
    --t.used;
}

void ObjectRegistry::clear() {
    for (Table& t : tables_) t = Table{};
}

void ObjectRegistry::grow(Table& t) {
    std::vector<Slot> old;
    old.swap(t.slots);
    t.slots.assign(old.empty() ? 16 : 2 * old.size(), Slot{});
    const size_t mask = t.slots.size() - 1;
    for (const Slot& slot : old) {
        if (!slot.object) continue;
        size_t i = home(t, slot.key);
        while (t.slots[i].object) i = (i + 1) & mask;
        t.slots[i] = slot;
    }
}

} // namespace tavlo
