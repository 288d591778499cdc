#pragma once

#include "platform/foundation/Clock.h"
#include "platform/store/ObjectContext.h"
#include "sync/handlers/OperationAdapter.h"

#include <libxml/tree.h>

#include <optional>
#include <string>

namespace tavlo {

// The customer download: asks the store server for the customers changed since the newest change
// the terminal holds and stores them in one save, then posts "customersChange". A full reload
// deletes every local customer first (only once a well-formed reply is in hand).
//
// The store handler queues one on each run when customer accounts are shared; the settings
// screen runs a full reload with start() and reads succeeded() and error() afterwards.
class OperationSynchCustomers : public OperationAdapter {
public:
    static constexpr const char* kCustomersChangeNotification = "customersChange";

    // `logXml` is not kept: logging follows the store value HH_LOG_XML.
    OperationSynchCustomers(std::string url, std::optional<std::string> storeId, std::optional<std::string> password,
                            bool fullReload, bool logXml, std::shared_ptr<ObjectStore> coordinator);

    void main() override;

    // The newest `updateDate` of the stored customers; nil when there are none.
    static std::optional<Date> latestUpdate(ObjectContext& context);
    // Reads and stores the run of "customer" elements from `first` (not saved). Answers the
    // element after the run, or null.
    xmlNodePtr updateCustomers(xmlNodePtr first, xmlDocPtr doc, ObjectContext& context) const;

    bool succeeded() const { return succeeded_; }

private:
    std::string url_;
    std::optional<std::string> storeId_, password_;
    bool succeeded_ = false;
    bool reload_;
};

} // namespace tavlo
