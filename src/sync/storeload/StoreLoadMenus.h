#pragma once

#include "sync/storeload/StoreLoadCatalogue.h"
#include "sync/storeload/StoreLoadReader.h"

#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tavlo {

// Readers of the menu structure of a store-data reply: sections with their items and
// sub-sections, schedules, and menus with their sides, sections, schedules, areas and charges.
// Sections and items get one running order within their menu: a menu's sections, sub-sections
// included, sort by one `sequence`, each sub-section right after its parent.
class StoreLoadMenus {
public:
    StoreLoadMenus(StoreLoadReader& reader, StoreLoadCatalogue& catalogue) : r_(reader), catalogue_(catalogue) {}

    xmlNodePtr updateSections(xmlNodePtr node);
    xmlNodePtr updateSchedules(xmlNodePtr node);
    // A run of `menu` elements. A new menu without `seq` takes the next number after the base,
    // which carries over from run to run within a load.
    xmlNodePtr updateMenus(xmlNodePtr node);
    int32_t menuSequenceBase() const { return menuSequenceBase_; }
    void setMenuSequenceBase(int32_t base) { menuSequenceBase_ = base; }

    // Places a section and its sub-sections in the menu after `base`; answers the highest
    // sequence it gave.
    int32_t associateSection(const ManagedObjectPtr& section, const ManagedObjectPtr& menu, int32_t base);
    // Renumbers the sections of the section's menu that follow it from n + 1 on.
    void resequenceAfter(const ManagedObjectPtr& section, int32_t n);

    // The ids of every section below the section, depth first: each sub-section's id (in
    // sequence order) followed by the ids below it. A section met a second time (sections that
    // list each other in a ring) is not followed again.
    std::vector<std::string> subSectionIds(const ManagedObjectPtr& section) const;
    // Deletes from the store every section of the owner's `sections` (a menu's or a section's)
    // whose id the latest ids do not list.
    void removeOldSections(const ManagedObjectPtr& owner, const std::vector<std::string>& latestIds);

private:
    void associateItems(const ManagedObjectPtr& section, const std::vector<std::string>& ids, bool isNew);
    void associateSubSections(const ManagedObjectPtr& section, const std::vector<std::string>& ids);
    void associateSides(const ManagedObjectPtr& menu, const std::vector<std::string>& ids);
    void readMenu(xmlNodePtr node);
    int32_t placeSection(const ManagedObjectPtr& section, const ManagedObjectPtr& menu, int32_t base,
                         std::unordered_set<const ManagedObject*>& path);

    // Sets the menu of the section's items: those it listed in this load, else those the store
    // holds under it.
    void placeItems(const ManagedObjectPtr& section, const ManagedObjectPtr& menu);

    StoreLoadReader& r_;
    StoreLoadCatalogue& catalogue_;
    int32_t menuSequenceBase_ = 0;
    // Section -> its items, by primary key: the rows may be let go and read again meanwhile.
    std::unordered_map<int64_t, std::vector<int64_t>> sectionItems_;
};

} // namespace tavlo
