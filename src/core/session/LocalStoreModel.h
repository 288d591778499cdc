#pragma once

#include "platform/foundation/Clock.h"
#include "platform/store/Model.h"

#include <optional>
#include <string_view>

namespace tavlo {

class ManagedObject;

// The terminal's object model, declared in one place: the store's configuration and menus (written
// by the store load), the trading day's records, and the card batches of the gateway handler.
//
// Every relationship has an inverse, so that deleting a row clears the links to it (keys of the
// store file are reused after a restart, so a dangling link could later point at a stranger).
// Orders, selections, payments and drawer records delete the rows they own; every other delete
// only clears links. Attributes that predicates look rows up by are indexed.
class LocalStoreModel {
public:
    static Model build();

    // Dates that rows are later found by with "==" after a trip through the server, which carries
    // whole seconds (CashInOut.inDate, StoreBatch.openedOn). Writers store them whole, so the
    // lookup matches.
    static bool storesWholeSeconds(std::string_view entity, std::string_view attribute);
    // Sets a date attribute, in whole seconds where storesWholeSeconds says so.
    static void setDate(ManagedObject& row, std::string_view attribute, std::optional<Date> date);
};

} // namespace tavlo
