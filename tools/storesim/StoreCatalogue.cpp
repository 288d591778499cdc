#include "StoreCatalogue.h"
#include "ElementText.h"

#include "xml/XmlHelper.h"

namespace tavlo::storesim {

namespace {

std::vector<xmlNodePtr> children(xmlNodePtr parent, const char* name) {
    std::vector<xmlNodePtr> out;
    for (xmlNodePtr c = parent ? xmlFirstElementChild(parent) : nullptr; c; c = xmlNextElementSibling(c))
        if (XmlHelper::isElementNamed(c, name)) out.push_back(c);
    return out;
}

std::string id(xmlNodePtr node) { return XmlHelper::getAttributeValue(node, "id").value_or(""); }

std::vector<std::string> values(xmlDocPtr doc, xmlNodePtr parent, const char* name) {
    std::vector<std::string> out;
    for (xmlNodePtr c : children(parent, name)) out.push_back(XmlHelper::getValue(c, doc).value_or(""));
    return out;
}

} // namespace

StoreCatalogue StoreCatalogue::fromStoreData(const std::string& reply) {
    StoreCatalogue catalogue;
    XmlDocPtr owner = XmlHelper::parse(reply);
    xmlDocPtr doc = owner.get();
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc) : nullptr;
    if (!root) return catalogue;
    if (xmlNodePtr store = XmlHelper::getFirstChildNode(root, "store"))
        catalogue.storeName = childText(doc, store, "storeName");
    for (xmlNodePtr p : children(root, "printer")) {
        std::vector<std::string> recipes = values(doc, p, "recipeId");
        catalogue.printers.push_back(
            {childText(doc, p, "printerName"), childText(doc, p, "url"), {recipes.begin(), recipes.end()}});
    }
    for (xmlNodePtr p : children(root, "preparation"))
        catalogue.preparations[id(p)] = childText(doc, p, "preparationName");
    for (xmlNodePtr u : children(root, "user"))
        catalogue.users[id(u)] = childText(doc, u, "firstName") + " " + childText(doc, u, "lastName");

    for (xmlNodePtr d : children(root, "cashDrawer")) catalogue.drawers[id(d)] = childText(doc, d, "cashDrawerName");
    for (xmlNodePtr t : children(root, "terminal"))
        for (xmlNodePtr link : children(t, "terminalCashDrawer"))
            catalogue.drawerPins[childText(doc, link, "cashDrawerId")] =
                static_cast<int>(childNumber(doc, link, "url"));

    // An item's menu is the menu of the section that lists it.
    std::map<std::string, std::string> taxNames, sectionMenus, itemMenus;
    for (xmlNodePtr t : children(root, "tax")) taxNames[id(t)] = childText(doc, t, "taxName");
    for (xmlNodePtr m : children(root, "menu"))
        for (const std::string& section : values(doc, m, "sectionId")) sectionMenus[section] = id(m);
    for (xmlNodePtr s : children(root, "section"))
        for (const std::string& item : values(doc, s, "itemId")) itemMenus[item] = sectionMenus[id(s)];
    for (xmlNodePtr item : children(root, "item")) {
        std::vector<std::string>& names = catalogue.exemptions[{itemMenus[id(item)], childText(doc, item, "recipeId")}];
        for (const std::string& tax : values(doc, item, "exemptionTax"))
            if (auto name = taxNames.find(tax); name != taxNames.end()) names.push_back(name->second);
    }
    return catalogue;
}

void StoreCatalogue::addItemExemptions(xmlDocPtr doc, xmlNodePtr order) const {
    for (xmlNodePtr line : children(order, "selection")) {
        addItemExemptions(doc, line); // a combo's parts
        if (XmlHelper::getFirstChildNode(line, "defaultExemptionTax")) continue;
        auto found = exemptions.find({childText(doc, line, "menuId"), childText(doc, line, "recipeId")});
        if (found == exemptions.end()) continue;
        // They follow the line's own exemptions, before its sides, parts and preparations.
        xmlNodePtr before = nullptr;
        for (xmlNodePtr c = xmlFirstElementChild(line); c && !before; c = xmlNextElementSibling(c))
            for (const char* name : {"side", "selection", "preparation", "taxAmount", "additionTaxAmount"})
                if (XmlHelper::isElementNamed(c, name)) before = c;
        for (const std::string& tax : found->second) {
            xmlNodePtr node =
                xmlNewDocNode(doc, nullptr, reinterpret_cast<const xmlChar*>("defaultExemptionTax"), nullptr);
            xmlNodeAddContent(node, reinterpret_cast<const xmlChar*>(tax.c_str()));
            if (before) xmlAddPrevSibling(before, node);
            else xmlAddChild(line, node);
        }
    }
}

} // namespace tavlo::storesim
