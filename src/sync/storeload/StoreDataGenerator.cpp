#include "sync/storeload/StoreDataGenerator.h"

#include <cstdint>
#include <iterator>
#include <string_view>

namespace tavlo {

namespace {

// Appends elements without any blank text between them; the generated texts need no escaping.
class Out {
public:
    explicit Out(size_t reserve) { s_.reserve(reserve); }

    Out& open(std::string_view name) {
        s_ += '<';
        s_ += name;
        s_ += '>';
        return *this;
    }
    Out& open(std::string_view name, std::string_view idPrefix, size_t id) {
        s_ += '<';
        s_ += name;
        s_ += " id=\"";
        s_ += idPrefix;
        s_ += std::to_string(id);
        s_ += "\">";
        return *this;
    }
    // An element with its id and one more attribute.
    Out& open(std::string_view name, std::string_view idPrefix, size_t id, std::string_view attribute,
              std::string_view value) {
        open(name, idPrefix, id);
        s_.pop_back();
        s_ += ' ';
        s_ += attribute;
        s_ += "=\"";
        s_ += value;
        s_ += "\">";
        return *this;
    }
    Out& close(std::string_view name) {
        s_ += "</";
        s_ += name;
        s_ += '>';
        return *this;
    }
    Out& leaf(std::string_view name, std::string_view text) {
        open(name);
        s_ += text;
        return close(name);
    }
    Out& leaf(std::string_view name, int64_t n) { return leaf(name, std::to_string(n)); }
    Out& ref(std::string_view name, std::string_view prefix, size_t id) {
        open(name);
        s_ += prefix;
        s_ += std::to_string(id);
        return close(name);
    }
    Out& taxAmount(size_t tax, int64_t amount, std::string_view amountName = "amount") {
        open("itemTaxAmount").ref("taxId", "TX", tax).leaf(amountName, amount);
        return close("itemTaxAmount");
    }
    Out& param(std::string_view key, std::string_view value) {
        open("param").leaf("key", key).leaf("value", value);
        return close("param");
    }
    std::string take() { return std::move(s_); }

private:
    std::string s_;
};

constexpr size_t kUsers = 10, kRoles = 2, kTerminals = 2, kDrawers = 2, kPrinters = 2;
constexpr size_t kAreas = 2, kLocationsPerArea = 10, kShapes = 4, kRecipeGroups = 5, kSchedules = 2;
constexpr const char* kOpened = "1700000000000";
// Where the generated printers are: a loopback port nothing listens on, so that printing to them
// fails at once and reaches no one.
constexpr const char* kNoPrinter = "127.0.0.1:9";

std::string name(std::string_view prefix, size_t n) { return std::string(prefix) + " " + std::to_string(n); }

} // namespace

std::string StoreDataGenerator::reply(size_t items, const std::vector<std::pair<std::string, std::string>>& storeParams,
                                      const std::string& firstTerminalDevice) {
    const size_t sides = sideCount(items), recipes = recipeCount(items), combos = comboCount(items),
                 groups = comboGroupCount(items), sections = sectionCount(items);
    Out o(items * 700 + 64 * 1024);

    o.open("tavloReply").leaf("success", "true");
    o.leaf("storeDateUpdated", "1700000100000").leaf("menuDateUpdated", "1700000200000");

    o.open("store").leaf("storeName", "Generated Store").leaf("address", "1 Test Road").leaf("city", "Loopback");
    o.leaf("batchId", "GB-1").leaf("openedBy", "U0").leaf("openedOn", kOpened).leaf("openedFrom", "T0");
    for (size_t m = 0; m < kMenus; ++m) o.ref("menuId", "M", m);
    // Dine in, take out, delivery and pick up, by the codes orders carry.
    for (int type : {-3, -1, -2, -12}) o.leaf("orderType", type);
    for (int t = 1; t <= 3; ++t) o.leaf("paymentType", t);
    for (size_t i = 0; i < kTaxes; ++i) o.ref("taxId", "TX", i);
    for (size_t i = 0; i < kTerminals; ++i) o.ref("terminalId", "T", i);
    for (size_t i = 0; i < kRoles; ++i) o.ref("roleId", "R", i);
    for (size_t i = 0; i < kUsers; ++i) o.ref("userId", "U", i);
    for (size_t i = 0; i < kPrinters; ++i) o.ref("printerId", "P", i);
    for (size_t i = 0; i < kAreas; ++i) o.ref("areaId", "A", i);
    o.close("store");

    for (int k = 0; k < 10; ++k) o.param("HH_PARAM_" + std::to_string(k), std::to_string(k));
    for (const auto& [key, value] : storeParams) o.param(key, value);

    // Square and round tables, in two sizes.
    for (size_t i = 0; i < kShapes; ++i) {
        const int64_t side = i < 2 ? 110 : 130;
        o.open("areaShape", "S", i, "type", i % 2 ? "ellipse" : "rectangle").leaf("x", 0).leaf("y", 0);
        o.leaf("width", side).leaf("height", side);
        o.leaf("rgbStrokeColor", 0).leaf("rgbFillColor", 65280).leaf("disabled", "false").close("areaShape");
    }
    // Each area's tables in two rows of five on its floor plan.
    constexpr size_t kColumns = 5;
    for (size_t i = 0; i < kAreas * kLocationsPerArea; ++i) {
        const size_t place = i % kLocationsPerArea;
        o.open("areaLocation", "L", i, "shapeId", "S" + std::to_string(place % kShapes));
        o.leaf("areaLocationName", name("Table", i)).leaf("shortName", "T" + std::to_string(i)).leaf("seats", 4);
        o.leaf("x", int64_t(60 + place % kColumns * 190)).leaf("y", int64_t(120 + place / kColumns * 280));
        o.leaf("disabled", "false").close("areaLocation");
    }
    for (size_t a = 0; a < kAreas; ++a) {
        o.open("area", "A", a).leaf("areaName", name("Area", a)).leaf("disabled", "false");
        for (size_t l = 0; l < kLocationsPerArea; ++l) o.ref("areaLocationId", "L", a * kLocationsPerArea + l);
        o.close("area");
    }
    o.open("comp", "C", 0).leaf("compName", "Manager").leaf("percentage", 100).leaf("permissionNeeded", "true");
    o.close("comp");
    for (size_t d = 0; d < kDrawers; ++d)
        o.open("cashDrawer", "D", d).leaf("cashDrawerName", name("Drawer", d)).close("cashDrawer");
    for (size_t t = 0; t < kTerminals; ++t) {
        // Each till has an address, so payments can go through it: on loopback, as nothing of a
        // generated store is anywhere else.
        o.open("terminal", "T", t).leaf("terminalName", name("Till", t)).leaf("number", int64_t(t) + 1);
        o.leaf("networkName", "127.0.0." + std::to_string(t + 20));
        o.leaf("log", "false").leaf("disabled", "false").ref("areaId", "A", t % kAreas);
        o.param("TS_UID", t == 0 ? firstTerminalDevice : "device-" + std::to_string(t));
        o.param("TS_PRINTER_URL", kNoPrinter);
        // The link's url is the pin the till kicks its drawer through.
        o.open("terminalCashDrawer").ref("cashDrawerId", "D", t % kDrawers).leaf("url", int64_t(t % kDrawers) + 1);
        o.close("terminalCashDrawer").close("terminal");
    }
    // Every role holds the first permission: every user may sign in. The last role holds them all,
    // so its users (the odd ones, from 1001) can do what a manager does: sell, pay, void, comp,
    // cash drawers in and out, and open and close the store.
    const char* const permissions[] = {"STORE_LOGIN",
                                       "NEW_ORDER",
                                       "ADD_ITEM",
                                       "REPORT_TIPS",
                                       "ALL_ORDERS",
                                       "QUICK_SALE",
                                       "PAY",
                                       "CLOSE_ORDER",
                                       "CANCEL_ORDER",
                                       "PRINT_ORDER",
                                       "RE_OPEN_ORDER",
                                       "TRANSFER_ORDER",
                                       "ALL_AREA_ORDERS",
                                       "REMOVE_ITEM",
                                       "VOID",
                                       "REFUND",
                                       "COMMENTS",
                                       "COMPLIMENTARY",
                                       "MODIFY_ITEM_PRICE",
                                       "TIP_ADJUST",
                                       "NEW_PAYMENT_TIP_ADJUST",
                                       "PAY_CREDIT_MANUAL",
                                       "NO_SALE",
                                       "CLOSE_STORE",
                                       "CASH_IN_CASH_DRAWER",
                                       "CASH_OUT_CASH_DRAWER",
                                       "CASH_OUT_CASH_DRAWER_VIEW",
                                       "CASH_OUT_USER",
                                       "CASH_OUT_OTHERS",
                                       "FORCE_CLOCK_IN",
                                       "PRINT_DAILY_REPORT",
                                       "PRINT_SALES_STATUS_REPORT"};
    constexpr size_t kPermissions = std::size(permissions);
    for (size_t p = 0; p < kPermissions; ++p)
        o.open("permission", "PM", p).leaf("permissionName", permissions[p]).close("permission");
    for (size_t r = 0; r < kRoles; ++r) {
        o.open("role", "R", r).leaf("roleName", name("Role", r)).leaf("jobTitle", "true");
        const size_t held = r + 1 == kRoles ? kPermissions : r * 2 + 1;
        for (size_t p = 0; p < held; ++p) o.ref("permissionId", "PM", p);
        o.close("role");
    }
    for (size_t u = 0; u < kUsers; ++u) {
        o.open("user", "U", u).leaf("firstName", "User").leaf("lastName", std::to_string(u));
        o.leaf("employeeNumber", int64_t(kFirstEmployeeNumber + u))
            .leaf("email", "u" + std::to_string(u) + "@store.test");
        o.leaf("disabled", "false").ref("roleId", "R", u % kRoles).ref("permissionId", "PM", u % kPermissions);
        o.close("user");
    }
    for (size_t u = 0; u < kUsers; ++u) {
        o.open("attendance", "AT", u).ref("userId", "U", u).ref("roleId", "R", u % kRoles);
        o.leaf("startTime", std::to_string(1700000000 + u * 60) + "000").leaf("hourlyWages", 1500).close("attendance");
    }
    for (size_t t = 0; t < kTaxes; ++t) {
        o.open("tax", "TX", t).leaf("taxName", name("Tax", t)).leaf("percentage", int64_t(100 + t * 250));
        o.leaf("disabled", "false").close("tax");
    }
    o.open("rule", "RU", 0)
        .leaf("ruleName", "Happy Hour")
        .leaf("disabled", "false")
        .param("start", "16:00")
        .close("rule");

    for (size_t g = 0; g < kRecipeGroups; ++g)
        o.open("recipeGroup", "RG", g).leaf("recipeGroupName", name("Group", g)).close("recipeGroup");
    for (size_t p = 0; p < kPreparations; ++p) {
        o.open("preparation", "PR", p).leaf("preparationName", name("Preparation", p)).leaf("price", int64_t(p) * 5);
        o.leaf("disabled", "false").taxAmount(p % kTaxes, 1).close("preparation");
    }
    const size_t perGroup = kPreparations / kPreparationGroups;
    for (size_t g = 0; g < kPreparationGroups; ++g) {
        o.open("preparationGroup", "PG", g).leaf("preparationGroupName", name("Choices", g));
        o.leaf("preparationGroupMinAllowed", 0).leaf("preparationGroupMaxAllowed", 2);
        for (size_t p = 0; p < perGroup; ++p) o.ref("preparationId", "PR", g * perGroup + p);
        o.close("preparationGroup");
    }
    for (size_t r = 0; r < recipes; ++r) {
        o.open("recipe", "RC", r).leaf("recipeName", name("Recipe", r)).leaf("disabled", "false");
        o.ref("recipeGroupId", "RG", r % kRecipeGroups).ref("preparationGroupId", "PG", r % kPreparationGroups);
        o.close("recipe");
    }
    for (size_t p = 0; p < kPrinters; ++p) {
        o.open("printer", "P", p).leaf("printerName", name("Printer", p)).leaf("url", kNoPrinter);
        for (size_t r = p; r < recipes && r < 40; r += kPrinters) o.ref("recipeId", "RC", r);
        o.close("printer");
    }
    for (size_t s = 0; s < sides; ++s) {
        o.open("sideItem", "SD", s).leaf("price", 150).leaf("additionPrice", 100).ref("recipeId", "RC", s % recipes);
        o.taxAmount(0, 11).close("sideItem");
    }
    for (size_t i = 0; i < items; ++i) {
        o.open("item", "I", i).leaf("itemName", name("Item", i)).leaf("price", int64_t(100 + i % 2000));
        o.leaf("sideCount", 1)
            .leaf("disabled", "false")
            .ref("recipeId", "RC", i / 2)
            .ref("defaultSideId", "SD", i % sides);
        o.open("preparationCharge").ref("preparationId", "PR", i % kPreparations).leaf("price", 25).taxAmount(0, 2);
        o.close("preparationCharge").taxAmount(i % kTaxes, 8).close("item");
    }
    for (size_t c = 0; c < combos; ++c) {
        o.open("comboItem", "CI", c).leaf("comboItemName", name("Combo", c)).leaf("price", 995);
        o.ref("itemId", "I", 2 * c).ref("itemId", "I", 2 * c + 1);
        o.open("comboItemComboGroup")
            .ref("comboGroupId", "CG", c % groups)
            .leaf("itemCount", 1)
            .close("comboItemComboGroup");
        o.taxAmount(0, 70).close("comboItem");
    }
    for (size_t g = 0; g < groups; ++g) {
        o.open("comboGroup", "CG", g).leaf("comboGroupName", name("Choice", g));
        for (size_t k = 0; k < 4; ++k) {
            o.open("comboGroupItem").ref("itemId", "I", (4 * g + k) % items).leaf("additionPrice", int64_t(k) * 25);
            o.taxAmount(0, int64_t(k) * 2, "amountAdd").close("comboGroupItem");
        }
        o.close("comboGroup");
    }
    // Sections in groups of four: the three sub-sections come before their parent.
    auto section = [&](size_t s, bool parent) {
        o.open("section", "S", s).leaf("sectionName", name("Section", s));
        for (size_t i = s * kItemsPerSection; i < items && i < (s + 1) * kItemsPerSection; ++i) o.ref("itemId", "I", i);
        // The combos are offered in the first section too.
        for (size_t c = 0; s == 0 && c < combos; ++c) o.ref("itemId", "CI", c);
        for (size_t sub = s + 1; parent && sub < s + 4 && sub < sections; ++sub) o.ref("sectionId", "S", sub);
        o.close("section");
    };
    for (size_t first = 0; first < sections; first += 4) {
        for (size_t s = first + 1; s < first + 4 && s < sections; ++s) section(s, false);
        section(first, true);
    }
    // Every day of the week (Sunday first), from 1970 to 2100: one schedule until five, the other after.
    for (size_t s = 0; s < kSchedules; ++s) {
        o.open("schedule", "SC", s).leaf("startDate", 0).leaf("endDate", "4102444800000");
        o.leaf("startDailyTime", s ? "17:00:00" : "00:00:00").leaf("endDailyTime", s ? "23:59:59" : "16:59:59");
        o.leaf("daysOfWeek", "1111111").close("schedule");
    }
    for (size_t m = 0; m < kMenus; ++m) {
        // A menu that no section falls to is kept, switched off.
        const bool hasSections = 4 * m < sections;
        o.open("menu", "M", m).leaf("menuName", name("Menu", m)).leaf("disabled", hasSections ? "false" : "true");
        // A side belongs to one menu: the sides are dealt out among the menus.
        for (size_t s = m; s < sides; s += kMenus) o.ref("sideItemId", "SD", s);
        for (size_t parent = 4 * m; parent < sections; parent += 4 * kMenus) o.ref("sectionId", "S", parent);
        o.open("preparationCharge").ref("preparationId", "PR", m).leaf("price", 30).close("preparationCharge");
        o.ref("scheduleId", "SC", m % kSchedules).ref("areaId", "A", m % kAreas).close("menu");
    }
    o.close("tavloReply");
    return o.take();
}

} // namespace tavlo
