#pragma once

#include <optional>
#include <string>

#include <libxml/tree.h>

#include "platform/foundation/Error.h"

namespace tavlo {

class ObjectContext;

// One order as the order send sees it: its document, and what the send stores back in the
// local store. The order model supplies it; tests give a fixed document.
class OrderDocumentWriter {
public:
    virtual ~OrderDocumentWriter() = default;

    // This device's terminal id in the local store, nil when the device has no terminal row.
    virtual std::optional<std::string> terminalId(ObjectContext* context) = 0;

    // The order's `customerOrder` request document, written with the card fields encrypted by
    // the key in use at the time of the call. nil when it cannot be written.
    virtual std::optional<std::string> document(const std::optional<std::string>& storeId,
                                                const std::optional<std::string>& terminalId, bool printReceipt,
                                                const std::optional<std::string>& printURL,
                                                const std::optional<std::string>& drawerURL, bool allPayments,
                                                bool sendBackVoids, ObjectContext* context) = 0;

    // Stores the server's summary of the order that came back with an accepted send.
    virtual void saveOrderSummary(xmlDocPtr doc, xmlNodePtr summary, ObjectContext* context) = 0;

    // Saves the context after an accepted send, this context's changes winning.
    virtual bool save(ObjectContext* context, Error* error) = 0;
};

} // namespace tavlo
