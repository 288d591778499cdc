#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "xml/XmlHelper.h"

namespace tavlo {

void DBHelper::saveOrderSummaries(xmlNodePtr first, xmlDocPtr doc, ObjectContext* context) {
    if (!context) return;
    for (xmlNodePtr node = first; node; node = node->next) {
        // Text and comments between the elements are passed over.
        if (node->type != XML_ELEMENT_NODE) continue;
        if (!XmlHelper::isElementNamed(node, "orderSummary")) break;
        Order order(context);
        order.read(node, doc, context);
        order.write(*context);
    }
}

} // namespace tavlo
