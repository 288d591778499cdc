#pragma once

#include <libxml/tree.h>

#include <string>

namespace tavlo::storesim {

// Folds an order's new document into the one the server holds, as a store server must to stay
// in step with a terminal that sends every line but only new or changed payments: the lines,
// discounts, payments and activity entries are kept by their remoteId (the new document's
// version wins), the ones the new document does not name stay as held, and the lines and
// discounts it sends with action "delete" go. The header (name, table, totals) is the new
// document's. `order` is the new `customerOrder` element, changed in place; `held` is the
// element held so far (empty for a new order).
void mergeOrder(xmlDocPtr doc, xmlNodePtr order, const std::string& held);

} // namespace tavlo::storesim
