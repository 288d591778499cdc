#pragma once

#include "sync/storeload/StoreLoadReader.h"

namespace tavlo {

// Readers of the configuration part of a store-data reply: store parameters, the store's own
// data and business day, the floor plan, comps, cash drawers, terminals with their parameters
// and drawers, printers, permissions, roles, users, attendance, taxes and rules.
//
// Each run reader takes the first element of its run and answers the element after the run.
class StoreLoadConfig {
public:
    explicit StoreLoadConfig(StoreLoadReader& reader) : r_(reader) {}

    xmlNodePtr updateStoreParams(xmlNodePtr node);
    // One `store` element; answers the element after it.
    xmlNodePtr updateStore(xmlNodePtr node);
    // The business day the kept `store` element names; run after the whole reply was read.
    void updateStoreBatch(xmlNodePtr store);
    xmlNodePtr updateAreaShapes(xmlNodePtr node);
    xmlNodePtr updateAreaLocations(xmlNodePtr node);
    xmlNodePtr updateAreas(xmlNodePtr node);
    xmlNodePtr updateComps(xmlNodePtr node);
    xmlNodePtr updateCashDrawers(xmlNodePtr node);
    xmlNodePtr updateTerminals(xmlNodePtr node);
    xmlNodePtr updatePrinters(xmlNodePtr node);
    xmlNodePtr updatePermissions(xmlNodePtr node);
    xmlNodePtr updateRoles(xmlNodePtr node);
    xmlNodePtr updateUsers(xmlNodePtr node);
    xmlNodePtr updateAttendance(xmlNodePtr node);
    xmlNodePtr updateTaxes(xmlNodePtr node);
    xmlNodePtr updateRules(xmlNodePtr node);

    // Sort fields of an area location from its name: ("", n) for a number alone, (word) for one
    // word, (first word, n) when the second word is a number, (name) otherwise.
    struct SortFields {
        std::optional<std::string> sortType;
        std::optional<double> sortNumber;
    };
    static SortFields sortFields(const std::string& name);

private:
    // The owner's parameters of a run of `param` children: `entity` rows keyed by name and
    // owner; the others of the owner go (except IPHONE_* ones when `keepOwn`).
    void updateParams(const ManagedObjectPtr& owner, xmlNodePtr first, std::string_view entity,
                      std::string_view ownerLink, std::string_view ownerParams, bool keepOwn);
    void updateTerminalDrawers(const ManagedObjectPtr& terminal, const XmlFields& element);
    void setArea(const ManagedObjectPtr& terminal, const XmlFields& element, std::string_view child,
                 std::string_view relation, const char* missingFormat);

    StoreLoadReader& r_;
};

} // namespace tavlo
