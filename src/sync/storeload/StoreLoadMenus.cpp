#include "sync/storeload/StoreLoadMenus.h"

#include "core/util/TavloLog.h"
#include "platform/foundation/DateFormatter.h"

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <unordered_set>

namespace tavlo {

namespace {

using Reader = StoreLoadReader;

std::vector<ManagedObjectPtr> bySequence(std::vector<ManagedObjectPtr> sections) {
    std::stable_sort(sections.begin(), sections.end(),
                     [](const auto& a, const auto& b) { return a->int32("sequence") < b->int32("sequence"); });
    return sections;
}

// What a section sets in each of its items.
struct ItemParts {
    explicit ItemParts(const Model& model)
        : entity(model.requireEntity("Item")), section(part(entity.relationshipNamed("section"))),
          menu(part(entity.relationshipNamed("menu"))), sequence(part(entity.attributeNamed("sequence"))) {}
    template <class Part> static const Part& part(const Part* found) {
        if (!found) throw std::logic_error("The store's items lack a part a section sets");
        return *found;
    }
    const EntityDescription& entity;
    const RelationshipDescription& section;
    const RelationshipDescription& menu;
    const AttributeDescription& sequence;
};

int64_t keyOf(const ManagedObjectPtr& row) { return row ? row->objectID().primaryKey() : 0; }

} // namespace

xmlNodePtr StoreLoadMenus::updateSections(xmlNodePtr node) {
    for (; Reader::isNamed(node, "section"); node = Reader::next(node)) {
        bool inserted = false;
        ManagedObjectPtr section = r_.rowFor(node, "Section", "sectionId", &inserted);
        if (!section) continue;
        XmlFields xml(node, r_.doc());
        section->setValue("name", xml.text("sectionName"));
        associateItems(section, xml.texts("itemId"), inserted);
        associateSubSections(section, xml.texts("sectionId"));
        catalogue_.associatePreparationCharges(StoreLoadCatalogue::ChargeOwner::Section, section, xml);
    }
    return node;
}

void StoreLoadMenus::associateItems(const ManagedObjectPtr& section, const std::vector<std::string>& ids, bool isNew) {
    std::unordered_set<std::string> listed(ids.begin(), ids.end());
    // A section new to this load has no items yet (reading its list would weigh every new item).
    for (const ManagedObjectPtr& item : isNew ? std::vector<ManagedObjectPtr>() : section->toMany("items")) {
        std::optional<std::string> id = item->text("itemId");
        if (id && listed.count(*id)) continue;
        section->removeFrom("items", item);
        r_.context().deleteObject(item);
    }
    ManagedObjectPtr menu = section->toOne("menu");
    ObjectContext& context = r_.context();
    const ItemParts parts(context.model());
    const int64_t sectionKey = keyOf(section), menuKey = keyOf(menu);
    std::vector<int64_t>& items = sectionItems_[sectionKey];
    items.clear();
    int32_t sequence = 0;
    for (const std::string& id : ids) {
        const ObjectID found = r_.index().findID("Item", "itemId", id);
        if (!found.isValid()) {
            TAVLO_LOG_MAIL("Unable to find item %@ for section", id);
            continue;
        }
        const int64_t key = found.primaryKey();
        ++sequence;
        // An item the load holds packed is set there, as its object's setters would set it.
        if (!context.changeHeld(parts.entity, key, {{&parts.sequence, Value(sequence)}},
                                {{&parts.section, sectionKey}, {&parts.menu, menuKey}})) {
            ManagedObjectPtr item = context.object(parts.entity, key);
            section->addTo("items", item);
            item->setToOne(parts.menu, menu);
            item->setValue(parts.sequence, sequence);
        }
        items.push_back(key);
    }
}

void StoreLoadMenus::placeItems(const ManagedObjectPtr& section, const ManagedObjectPtr& menu) {
    auto read = sectionItems_.find(keyOf(section));
    if (read == sectionItems_.end()) {
        for (const ManagedObjectPtr& item : section->toMany("items")) item->setToOne("menu", menu);
        return;
    }
    ObjectContext& context = r_.context();
    const ItemParts parts(context.model());
    const int64_t sectionKey = keyOf(section), menuKey = keyOf(menu);
    for (int64_t key : read->second) {
        // A later section may have taken an item over.
        if (std::optional<int64_t> owner = context.heldToOne(parts.entity, key, parts.section)) {
            if (*owner == sectionKey) context.changeHeld(parts.entity, key, {}, {{&parts.menu, menuKey}});
            continue;
        }
        ManagedObjectPtr item = context.object(parts.entity, key);
        if (item && item->toOneID("section") == section->objectID() && !item->isDeleted())
            item->setToOne(parts.menu, menu);
    }
}

void StoreLoadMenus::associateSubSections(const ManagedObjectPtr& section, const std::vector<std::string>& ids) {
    const int32_t base = section->int32("sequence");
    ManagedObjectPtr menu = section->toOne("menu");
    std::unordered_set<std::string> listed(ids.begin(), ids.end());
    for (const ManagedObjectPtr& sub : section->toMany("sections")) {
        std::optional<std::string> id = sub->text("sectionId");
        if (id && listed.count(*id)) continue;
        section->removeFrom("sections", sub);
        if (menu) menu->removeFrom("sections", sub);
        r_.context().deleteObject(sub);
    }
    resequenceAfter(section, base + static_cast<int32_t>(ids.size()));
    int32_t sequence = base;
    for (const std::string& id : ids) {
        ManagedObjectPtr sub = r_.index().find("Section", "sectionId", id);
        if (!sub) {
            TAVLO_LOG_MAIL("Unable to find section %@ for section", id);
            continue;
        }
        if (sub == section) {
            TAVLO_LOG_MAIL("Section %@ is listed below itself", id);
            continue;
        }
        section->addTo("sections", sub);
        sub->setValue("sequence", ++sequence);
        sub->setToOne("menu", menu);
        placeItems(sub, menu);
    }
}

void StoreLoadMenus::resequenceAfter(const ManagedObjectPtr& section, int32_t n) {
    ManagedObjectPtr menu = section->toOne("menu");
    if (!menu) return;
    const std::optional<std::string> id = section->text("sectionId");
    bool after = false;
    for (const ManagedObjectPtr& other : bySequence(menu->toMany("sections"))) {
        if (after) other->setValue("sequence", ++n);
        else after = other->text("sectionId") == id;
    }
}

std::vector<std::string> StoreLoadMenus::subSectionIds(const ManagedObjectPtr& section) const {
    std::vector<std::string> ids;
    std::unordered_set<const ManagedObject*> seen{section.get()};
    std::function<void(const ManagedObjectPtr&)> below = [&](const ManagedObjectPtr& parent) {
        for (const ManagedObjectPtr& sub : bySequence(parent->toMany("sections"))) {
            if (!seen.insert(sub.get()).second) continue;
            if (std::optional<std::string> id = sub->text("sectionId")) ids.push_back(*id);
            below(sub);
        }
    };
    below(section);
    return ids;
}

void StoreLoadMenus::removeOldSections(const ManagedObjectPtr& owner, const std::vector<std::string>& latestIds) {
    std::unordered_set<std::string> latest(latestIds.begin(), latestIds.end());
    for (const ManagedObjectPtr& section : owner->toMany("sections")) {
        std::optional<std::string> id = section->text("sectionId");
        if (!id || !latest.count(*id)) r_.context().deleteObject(section);
    }
}

xmlNodePtr StoreLoadMenus::updateSchedules(xmlNodePtr node) {
    DateFormatter daily("HH:mm:ss");
    for (; Reader::isNamed(node, "schedule"); node = Reader::next(node)) {
        ManagedObjectPtr schedule = r_.rowFor(node, "Schedule", "scheduleId");
        if (!schedule) continue;
        XmlFields xml(node, r_.doc());
        schedule->setValue("startDate", xml.time("startDate").value_or(Date(0)));
        schedule->setValue("endDate", xml.time("endDate").value_or(Date(0)));
        for (const char* field : {"startDailyTime", "endDailyTime"}) {
            std::optional<std::string> text = xml.text(field);
            schedule->setValue(field, text ? daily.dateFromString(*text) : std::nullopt);
        }
        schedule->setValue("daysOfWeek", xml.text("daysOfWeek"));
        schedule->setValue("disabled", xml.flag("disabled"));
    }
    return node;
}

xmlNodePtr StoreLoadMenus::updateMenus(xmlNodePtr node) {
    for (; Reader::isNamed(node, "menu"); node = Reader::next(node)) readMenu(node);
    return node;
}

void StoreLoadMenus::readMenu(xmlNodePtr node) {
    bool inserted = false;
    ManagedObjectPtr menu = r_.rowFor(node, "Menu", "menuId", &inserted);
    if (!menu) return;
    XmlFields xml(node, r_.doc());
    std::optional<std::string> name = xml.text("menuName");
    menu->setValue("name", name ? *name : std::string("_"));
    menu->setValue("disabled", xml.flag("disabled"));
    if (xml.has("seq")) menu->setValue("sequence", xml.integer("seq"));
    else if (inserted) menu->setValue("sequence", ++menuSequenceBase_);

    if (xml.has("sideItemId")) associateSides(menu, xml.texts("sideItemId"));
    if (xml.has("sectionId")) {
        int32_t base = 0;
        for (const std::string& id : xml.texts("sectionId")) {
            if (ManagedObjectPtr section = r_.index().find("Section", "sectionId", id))
                base = associateSection(section, menu, base);
            else TAVLO_LOG_MAIL("Unable to find section %@ for section", id);
        }
    }
    catalogue_.associatePreparationCharges(StoreLoadCatalogue::ChargeOwner::Menu, menu, xml);
    r_.associate(menu, "schedules", "Schedule", "scheduleId", xml.texts("scheduleId"), false,
                 [](const std::string& id) { TAVLO_LOG_MAIL("Unable to find schedule %@", id); });
    r_.associate(menu, "areas", "Area", "areaId", xml.texts("areaId"), false, [](const std::string& id) {
        if (id != "-1") TAVLO_LOG_MAIL("Unable to find area %@", id);
    });
}

void StoreLoadMenus::associateSides(const ManagedObjectPtr& menu, const std::vector<std::string>& ids) {
    std::unordered_set<std::string> listed(ids.begin(), ids.end());
    for (const ManagedObjectPtr& side : menu->toMany("sides")) {
        std::optional<std::string> id = side->text("sideId");
        if (!id || !listed.count(*id)) menu->removeFrom("sides", side);
    }
    for (size_t i = 0; i < ids.size(); ++i) {
        ManagedObjectPtr side = r_.index().find("Side", "sideId", ids[i]);
        if (!side) {
            TAVLO_LOG_MAIL("Unable to find side %@", ids[i]);
            continue;
        }
        side->setValue("sequence", static_cast<int32_t>(i));
        menu->addTo("sides", side);
    }
}

int32_t StoreLoadMenus::associateSection(const ManagedObjectPtr& section, const ManagedObjectPtr& menu, int32_t base) {
    std::unordered_set<const ManagedObject*> path;
    return placeSection(section, menu, base, path);
}

int32_t StoreLoadMenus::placeSection(const ManagedObjectPtr& section, const ManagedObjectPtr& menu, int32_t base,
                                     std::unordered_set<const ManagedObject*>& path) {
    const int32_t own = section->int32("sequence");
    const int32_t placed = (own == 0 ? 1 : own) + base;
    section->setValue("sequence", placed);
    section->setToOne("menu", menu);
    placeItems(section, menu);
    path.insert(section.get());
    int32_t b = placed, best = placed;
    for (const ManagedObjectPtr& sub : bySequence(section->toMany("sections"))) {
        // Sections that list each other in a ring would be placed without end.
        if (path.count(sub.get())) {
            TAVLO_LOG_MAIL("Section %@ is listed below itself", sub->text("sectionId"));
            continue;
        }
        int32_t r = placeSection(sub, menu, b, path);
        best = std::max(best, r);
        if (r != sub->int32("sequence")) b = r;
    }
    path.erase(section.get());
    return best;
}

} // namespace tavlo
