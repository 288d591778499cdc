#include "core/order/TaxAmounts.h"

#include "xml/XmlFields.h"

namespace tavlo {

void TaxAmounts::read(const XmlFields& parent, std::string_view element) {
    for (xmlNodePtr node : parent.run(element)) {
        XmlFields entry(node, parent.doc());
        if (std::optional<std::string> name = entry.text("taxName")) set(*name, entry.integer("amount"));
    }
}

} // namespace tavlo
