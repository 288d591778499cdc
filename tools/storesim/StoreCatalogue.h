#pragma once

#include <libxml/tree.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tavlo::storesim {

// What a store server knows of its store from the store data it serves, beside the orders: the
// store's name, its kitchen printers, the names of its preparations and users, and the taxes its
// menu items are exempt from (which the server adds to the lines it answers that do not carry
// them).
struct StoreCatalogue {
    struct Printer {
        std::string name;
        std::string url; // "host:port"; empty: the printer has no address and gets nothing
        std::set<std::string> recipes;
    };

    std::string storeName;
    std::vector<Printer> printers;
    std::map<std::string, std::string> preparations; // id -> name
    std::map<std::string, std::string> users;        // id -> first and last name
    std::map<std::string, std::string> drawers;      // id -> name
    std::map<std::string, int> drawerPins;           // id -> the pin its till kicks it through
    // (menuId, recipeId) of an item -> the names of the taxes it is exempt from
    std::map<std::pair<std::string, std::string>, std::vector<std::string>> exemptions;

    static StoreCatalogue fromStoreData(const std::string& reply);
    // Adds to each line of the order that stands for one of the items the `defaultExemptionTax`
    // of each tax the item is exempt from, as the server's order replies carry them.
    void addItemExemptions(xmlDocPtr doc, xmlNodePtr order) const;
};

} // namespace tavlo::storesim
