#include "support/StoreFixture.h"

#include "platform/store/ObjectContext.h"

namespace tavlo::test {

ManagedObjectPtr StoreFixture::row(const std::string& entity, const std::string& key, const std::string& id) {
    return (*this)->fetchFirst(entity, key + " == %@", id);
}

ManagedObjectPtr StoreFixture::addPermission(const std::string& name) {
    if (auto existing = row("Permission", "name", name)) return existing;
    auto permission = (*this)->insert("Permission");
    permission->setValue("permissionId", "P-" + name);
    permission->setValue("name", name);
    return permission;
}

ManagedObjectPtr StoreFixture::addRole(const std::string& roleId, const std::vector<std::string>& permissions) {
    auto role = (*this)->insert("Role");
    role->setValue("roleId", roleId);
    role->setValue("name", roleId);
    for (const auto& name : permissions) role->addTo("permissions", addPermission(name));
    return role;
}

ManagedObjectPtr StoreFixture::addUser(const std::string& userId, const std::string& name,
                                       const std::vector<ManagedObjectPtr>& roles,
                                       const std::vector<std::string>& ownPermissions) {
    auto user = (*this)->insert("User");
    user->setValue("userId", userId);
    user->setValue("name", name);
    user->setValue("disabled", false);
    for (const auto& role : roles) user->addTo("roles", role);
    for (const auto& permission : ownPermissions) user->addTo("permissions", addPermission(permission));
    return user;
}

ManagedObjectPtr StoreFixture::addAttendance(const ManagedObjectPtr& user, const ManagedObjectPtr& role,
                                             std::optional<Date> end) {
    auto attendance = (*this)->insert("Attendance");
    attendance->setValue("start", Date::now().addingSeconds(-3600));
    attendance->setValue("end", end);
    attendance->setToOne("user", user);
    attendance->setToOne("role", role);
    return attendance;
}

ManagedObjectPtr StoreFixture::addArea(const std::string& areaId, const std::string& name) {
    auto area = (*this)->insert("Area");
    area->setValue("areaId", areaId);
    area->setValue("name", name);
    return area;
}

ManagedObjectPtr StoreFixture::addCashDrawer(const std::string& drawerId, const std::string& name,
                                             const ManagedObjectPtr& terminal, const std::optional<std::string>& url) {
    auto drawer = (*this)->insert("CashDrawer");
    drawer->setValue("cashDrawerId", drawerId);
    drawer->setValue("name", name);
    auto entry = (*this)->insert("TerminalCashDrawer");
    entry->setValue("url", url);
    entry->setToOne("terminal", terminal);
    entry->setToOne("cashDrawer", drawer);
    return drawer;
}

ManagedObjectPtr StoreFixture::addCashIn(const ManagedObjectPtr& drawer, const ManagedObjectPtr& user) {
    auto cash = (*this)->insert("CashInOut");
    cash->setValue("inDate", Date::now().wholeSecondsDate());
    cash->setToOne("cashDrawer", drawer);
    cash->setToOne("inBy", user);
    return cash;
}

ManagedObjectPtr StoreFixture::addStoreBatch(const std::string& remoteId, Date openedOn, std::optional<Date> closedOn) {
    auto batch = (*this)->insert("StoreBatch");
    batch->setValue("remoteId", remoteId);
    batch->setValue("openedOn", openedOn);
    batch->setValue("closedOn", closedOn);
    return batch;
}

ManagedObjectPtr StoreFixture::addOrder(const std::string& remoteId, const ManagedObjectPtr& user) {
    auto order = (*this)->insert("Order");
    order->setValue("remoteId", remoteId);
    order->setToOne("user", user);
    return order;
}

void StoreFixture::addOrderTypes(const std::vector<int32_t>& types) {
    for (int32_t type : types) (*this)->insert("OrderType")->setValue("type", type);
}

void StoreFixture::addPaymentTypes(const std::vector<int32_t>& types) {
    for (int32_t type : types) (*this)->insert("PaymentType")->setValue("type", type);
}

void StoreFixture::buildSmallStore() {
    addStoreParam("IPHONE_STORE_NAME", "Corner Bistro");
    addStoreParam("IPHONE_STORE_STATE", "OR");
    addStoreParam("IPHONE_STORE_CITY", "Salem");

    auto dining = addArea("A1", "Dining");
    auto patio = addArea("A2", "Patio");
    struct TerminalRow {
        const char *id, *name, *number, *networkName;
        bool disabled;
    };
    std::vector<ManagedObjectPtr> terminals;
    for (const auto& t : {TerminalRow{"T1", "Front", "1", "front", false}, TerminalRow{"T2", "Bar", "2", "bar", false},
                          TerminalRow{"T3", "Garden", "3", "garden", true}}) {
        auto terminal = addTerminal(t.id, std::string(t.number));
        terminal->setValue("name", t.name);
        terminal->setValue("networkName", t.networkName);
        terminal->setValue("disabled", t.disabled);
        terminals.push_back(terminal);
    }
    auto front = terminals[0];
    addTerminalParam(front, "TS_UID", std::string(kDeviceId));
    addTerminalParam(front, "TS_PRINTER_URL", "receipt.local:9100");
    front->setToOne("area", dining);
    front->setToOne("areaDisplayed", patio);

    auto server = addRole("R-SERVER", {"STORE_LOGIN"});
    auto manager = addRole("R-MANAGER", {"STORE_LOGIN", "REFUND", "ALL_ORDERS"});
    auto ann = addUser("U-ANN", "Ann Marie Lee", {server, manager});
    ann->setValue("number", "1001");
    ann->setValue("trackData", "ANNCARD");
    ann->setValue("emailAddress", "ann@example.com");
    auto bob = addUser("U-BOB", "Bob", {server, manager});
    bob->setValue("number", "1002");
    addUser("U-CAT", "Cat", {manager})->setValue("disabled", true);
    addUser("U-DAN", "Dan", {}, {"NO_SALE"});
    addUser("U-EVE", "Eve", {}, {"STORE_LOGIN", "REFUND"});
    addAttendance(ann, server);

    auto tillB = addCashDrawer("D1", "Till B", front, "2");
    addCashDrawer("D2", "Till A", front, "1");
    auto barTill = addCashDrawer("D3", "Bar Till", terminals[1], "1");
    addCashIn(tillB, ann);
    addCashIn(barTill, bob);

    addOrderTypes({-12, -11, -10, -9, -8, -7, -6, -5, -4, -3, -2, -1});
    addPaymentTypes({1, 2, 3, 4, 7, 10, 13});
    save();
}

} // namespace tavlo::test
