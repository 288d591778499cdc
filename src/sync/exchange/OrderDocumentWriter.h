#pragma once

#include <optional>
#include <string>

#include <libxml/tree.h>

namespace tavlo {

class ObjectContext;

// One order as the order send sees it: its document, and where the server's summary of it goes.
// The order model supplies it; tests give a fixed document.
class OrderDocumentWriter {
public:
    virtual ~OrderDocumentWriter() = default;

    // The order's `customerOrder` request document, written with the card fields encrypted by
    // the key in use at the time of the call. nil when it cannot be written.
    virtual std::optional<std::string> document(const std::optional<std::string>& storeId,
                                                const std::optional<std::string>& terminalId, bool printReceipt,
                                                const std::optional<std::string>& printURL,
                                                const std::optional<std::string>& drawerURL, bool allPayments,
                                                bool sendBackVoids, ObjectContext* context) = 0;

    // Stores the server's summary of the order that came back with an accepted send.
    virtual void saveOrderSummary(xmlDocPtr doc, xmlNodePtr summary, ObjectContext* context) = 0;
};

} // namespace tavlo
