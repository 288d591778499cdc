#pragma once

// Helpers shared by the persistence tests: request documents parsed back, contexts on the test
// store, and the few rows records link to.

#include "platform/store/ObjectContext.h"
#include "support/LocalStoreScope.h"
#include "xml/XmlHelper.h"

#include <gtest/gtest.h>
#include <libxml/tree.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::test {

// A request document parsed back: `record` is the one element under the `tavloRequest` root.
struct ParsedRequest {
    XmlDocPtr doc;
    xmlNodePtr root = nullptr;
    xmlNodePtr record = nullptr;

    explicit ParsedRequest(const std::optional<std::string>& text) {
        if (!text) return;
        doc = XmlHelper::parse(*text);
        if (!doc) return;
        root = xmlDocGetRootElement(doc.get());
        for (xmlNodePtr n = root ? root->children : nullptr; n && !record; n = n->next)
            if (n->type == XML_ELEMENT_NODE) record = n;
    }
    std::optional<std::string> text(const char* name) const { return XmlHelper::getChildValue(doc.get(), record, name); }
    std::optional<std::string> attribute(const char* name) const { return XmlHelper::getAttributeValue(record, name); }
};

// The names of an element's child elements, in document order.
inline std::vector<std::string> childNames(xmlNodePtr element) {
    std::vector<std::string> names;
    for (xmlNodePtr n = element ? element->children : nullptr; n; n = n->next)
        if (n->type == XML_ELEMENT_NODE) names.emplace_back(reinterpret_cast<const char*>(n->name));
    return names;
}

// A second context on the test store: what another thread or a later run would read.
inline std::unique_ptr<ObjectContext> otherContext(const LocalStoreScope& scope) {
    return std::make_unique<ObjectContext>(scope.context()->store());
}

inline ManagedObjectPtr addRow(ObjectContext& context, const char* entity, const char* key, const std::string& id) {
    ManagedObjectPtr row = context.insert(entity);
    row->setValue(key, id);
    return row;
}

inline ManagedObjectPtr addUser(ObjectContext& context, const std::string& userId) {
    return addRow(context, "User", "userId", userId);
}

// 1 January 1965, 00:00 UTC.
inline Date date1965() { return Date(-157766400.0); }

} // namespace tavlo::test
