#include "OrderMerge.h"

#include <array>
#include <set>
#include <string_view>

#include "xml/XmlHelper.h"

namespace tavlo::storesim {

namespace {

// The kinds of records an order holds by their remoteId, each with the elements that follow its
// run in the order document. A held record the new document lacks goes back in before the new
// document's first one of its kind (it is older), else before the run's followers.
struct Kept {
    std::string_view name;
    std::array<std::string_view, 4> followers;
};
constexpr std::array<Kept, 4> kKept{{
    {"discount", {"customerOrderTax", "selection", "payment", "total"}},
    {"selection", {"payment", "total", "", ""}},
    {"payment", {"total", "", "", ""}},
    {"activityLog", {"", "", "", ""}},
}};

std::string remoteIdOf(xmlNodePtr node) { return XmlHelper::getAttributeValue(node, "remoteId").value_or(""); }

bool named(xmlNodePtr node, std::string_view name) { return !name.empty() && XmlHelper::isElementNamed(node, name); }

xmlNodePtr placeFor(xmlNodePtr order, const Kept& kept) {
    for (xmlNodePtr c = xmlFirstElementChild(order); c; c = xmlNextElementSibling(c))
        if (named(c, kept.name)) return c;
    for (xmlNodePtr c = xmlFirstElementChild(order); c; c = xmlNextElementSibling(c))
        for (std::string_view follower : kept.followers)
            if (named(c, follower)) return c;
    return nullptr;
}

} // namespace

void mergeOrder(xmlDocPtr doc, xmlNodePtr order, const std::string& held) {
    XmlDocPtr heldDoc = held.empty() ? XmlDocPtr() : XmlHelper::parse(held);
    xmlNodePtr heldOrder = heldDoc ? xmlDocGetRootElement(heldDoc.get()) : nullptr;
    for (const Kept& kept : kKept) {
        std::set<std::string> sent;
        for (xmlNodePtr c = xmlFirstElementChild(order); c; c = xmlNextElementSibling(c))
            if (named(c, kept.name)) sent.insert(remoteIdOf(c));
        if (!heldOrder) continue;
        xmlNodePtr before = placeFor(order, kept);
        for (xmlNodePtr c = xmlFirstElementChild(heldOrder); c; c = xmlNextElementSibling(c)) {
            if (!named(c, kept.name) || sent.contains(remoteIdOf(c))) continue;
            xmlNodePtr copy = xmlDocCopyNode(c, doc, 1);
            if (before) xmlAddPrevSibling(before, copy);
            else xmlAddChild(order, copy);
        }
    }
    // What a terminal voided or moved away is gone; what stays is held as it now stands.
    for (xmlNodePtr c = xmlFirstElementChild(order); c;) {
        xmlNodePtr next = xmlNextElementSibling(c);
        const bool kept = named(c, "discount") || named(c, "selection") || named(c, "payment");
        if (kept && XmlHelper::getAttributeValue(c, "action").value_or("") == "delete") {
            xmlUnlinkNode(c);
            xmlFreeNode(c);
        } else if (kept) {
            xmlUnsetProp(c, reinterpret_cast<const xmlChar*>("action"));
        }
        c = next;
    }
}

} // namespace tavlo::storesim
