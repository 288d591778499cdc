#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace tavlo {

// A large, well-formed store-data reply for load measurements and the loopback store server.
// For N items it holds, on one line as the server sends it: a store header listing everything
// it names, three taxes, roles, users, a floor plan, terminals and printers, a fixed set of
// preparations in groups, one recipe per two items, N/10 side items, the N items (each with a
// tax amount, a preparation charge with its tax, a default side), N/20 combo items with parts and
// a group, N/40 combo groups, sections of 25 items (every fourth one the parent of the three
// after it), 10 menus and their schedules. Ids are "I<n>", "RC<n>", "SD<n>", "CI<n>", "CG<n>",
// "S<n>", "M<n>" and the like. Every user may sign in (the roles carry STORE_LOGIN): user n is
// "User n" with the employee number 1000 + n. The first terminal, "Till 0", is the device
// `firstTerminalDevice` (its TS_UID), the second "device-1".
class StoreDataGenerator {
public:
    // `storeParams` are store parameters (key, value) added after the generated ones.
    static std::string reply(size_t items, const std::vector<std::pair<std::string, std::string>>& storeParams = {},
                             const std::string& firstTerminalDevice = "device-0");
    static constexpr int kFirstEmployeeNumber = 1000;

    // Sizes of the parts, for callers that check what a load stored.
    static size_t sideCount(size_t items) { return items / 10 + 1; }
    static size_t recipeCount(size_t items) { return (items + 1) / 2; }
    static size_t comboCount(size_t items) { return items / 20; }
    static size_t comboGroupCount(size_t items) { return items / 40 + 1; }
    static size_t sectionCount(size_t items) { return (items + kItemsPerSection - 1) / kItemsPerSection; }
    static constexpr size_t kItemsPerSection = 25;
    static constexpr size_t kMenus = 10;
    static constexpr size_t kPreparations = 40;
    static constexpr size_t kPreparationGroups = 8;
    static constexpr size_t kTaxes = 3;
};

} // namespace tavlo
