#pragma once

#include "support/LocalStoreScope.h"

#include "platform/foundation/Clock.h"

#include <optional>
#include <string>
#include <vector>

namespace tavlo::test {

// A store of the terminal's own in a fresh data directory, built row by row (nothing is saved
// until save()), and one ready-made small store that tests of the session and of what reads
// users, terminals and drawers can share.
class StoreFixture : public LocalStoreScope {
public:
    // One row per permission name; asking again gives the same row.
    ManagedObjectPtr addPermission(const std::string& name);
    ManagedObjectPtr addRole(const std::string& roleId, const std::vector<std::string>& permissions);
    ManagedObjectPtr addUser(const std::string& userId, const std::string& name,
                             const std::vector<ManagedObjectPtr>& roles,
                             const std::vector<std::string>& ownPermissions = {});
    // An attendance of the user under the role (null: none); open unless `end` is given.
    ManagedObjectPtr addAttendance(const ManagedObjectPtr& user, const ManagedObjectPtr& role,
                                   std::optional<Date> end = std::nullopt);
    ManagedObjectPtr addArea(const std::string& areaId, const std::string& name);
    // A drawer, attached to the terminal under its number on the terminal's receipt printer.
    ManagedObjectPtr addCashDrawer(const std::string& drawerId, const std::string& name,
                                   const ManagedObjectPtr& terminal, const std::optional<std::string>& url);
    // A cash-in of the drawer by the user, not yet cashed out.
    ManagedObjectPtr addCashIn(const ManagedObjectPtr& drawer, const ManagedObjectPtr& user);
    ManagedObjectPtr addStoreBatch(const std::string& remoteId, Date openedOn, std::optional<Date> closedOn);
    ManagedObjectPtr addOrder(const std::string& remoteId, const ManagedObjectPtr& user);
    void addOrderTypes(const std::vector<int32_t>& types);
    void addPaymentTypes(const std::vector<int32_t>& types);
    ManagedObjectPtr row(const std::string& entity, const std::string& key, const std::string& id);

    // The small store, saved:
    // - store "Corner Bistro" (IPHONE_STORE_NAME / _STATE / _CITY: "Corner Bistro", "OR", "Salem");
    // - areas A1 "Dining", A2 "Patio";
    // - terminals T1 "Front" (number 1, network name "front", this device, area A1, showing A2,
    //   TS_PRINTER_URL "receipt.local:9100"), T2 "Bar" (2, "bar"), T3 "Garden" (3, "garden",
    //   disabled);
    // - permissions STORE_LOGIN, REFUND, ALL_ORDERS, NO_SALE; roles R-SERVER (STORE_LOGIN) and
    //   R-MANAGER (STORE_LOGIN, REFUND, ALL_ORDERS);
    // - users U-ANN "Ann Marie Lee" (number 1001, card "ANNCARD", server and manager, on the
    //   clock as server), U-BOB "Bob" (1002, server and manager, not on the clock), U-CAT "Cat"
    //   (manager, disabled), U-DAN "Dan" (no role, own NO_SALE), U-EVE "Eve" (no role, own
    //   STORE_LOGIN and REFUND);
    // - drawers D1 "Till B" (T1, url "2"), D2 "Till A" (T1, url "1"), D3 "Bar Till" (T2, url "1");
    //   D1 cashed in by U-ANN, D3 by U-BOB;
    // - order types -12 to -1; payment types 1, 2, 3, 4, 7, 10, 13.
    void buildSmallStore();
};

} // namespace tavlo::test
