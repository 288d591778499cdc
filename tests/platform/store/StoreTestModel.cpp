#include "StoreTestModel.h"

namespace tavlo::test {

Model storeTestModel() {
    using T = AttributeType;
    constexpr auto Indexed = EntityDescription::Indexed::Yes;
    Model m;
    m.entity("Terminal")
        .attribute("terminalId", T::Text, Indexed)
        .attribute("name", T::Text)
        .attribute("networkName", T::Text)
        .attribute("disabled", T::Boolean)
        .toMany("terminalParams", "TerminalParam", "terminal", DeleteRule::Cascade)
        .toOne("area", "Area");
    m.entity("TerminalParam")
        .attribute("name", T::Text, Indexed)
        .attribute("value", T::Text)
        .toOne("terminal", "Terminal", "terminalParams");
    m.entity("Area").attribute("areaId", T::Text).attribute("name", T::Text).attribute("disabled", T::Boolean);
    m.entity("AreaLocation").attribute("areaLocationId", T::Text).attribute("seats", T::Int32).toOne("area", "Area");
    m.entity("StoreBatch")
        .attribute("remoteId", T::Text, Indexed)
        .attribute("batchId", T::Int64)
        .attribute("openedOn", T::Date)
        .attribute("closedOn", T::Date)
        .toMany("orders", "Order", "storeBatch");
    m.entity("Order")
        .attribute("remoteId", T::Text, Indexed)
        .attribute("name", T::Text)
        .attribute("type", T::Int16)
        .attribute("closed", T::Date)
        .attribute("sentDate", T::Date)
        .attribute("total", T::Int64)
        .attribute("rate", T::Double)
        .attribute("storeWide", T::Boolean)
        .attribute("note", T::Binary)
        .toOne("storeBatch", "StoreBatch", "orders")
        .toOne("areaLocation", "AreaLocation")
        .toOne("user", "User")
        .toMany("selections", "Selection", "order", DeleteRule::Cascade)
        .toMany("newSelections", "Selection", "order")
        .toOne("memo", "Memo", {}, DeleteRule::Cascade);
    m.entity("Selection")
        .attribute("name", T::Text)
        .attribute("sequence", T::Int32)
        .toOne("order", "Order", "selections");
    m.entity("User")
        .attribute("userId", T::Text, Indexed)
        .attribute("name", T::Text)
        .toMany("roles", "Role", "users")
        .toMany("permissions", "Permission");
    m.entity("Role")
        .attribute("roleId", T::Text)
        .toMany("users", "User", "roles")
        .toMany("memos", "Memo", {}, DeleteRule::Cascade);
    m.entity("Memo").attribute("text", T::Text);
    m.entity("Permission").attribute("permissionId", T::Text).attribute("name", T::Text);
    return m;
}

} // namespace tavlo::test
