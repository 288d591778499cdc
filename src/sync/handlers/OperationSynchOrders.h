#pragma once

#include "platform/store/ObjectContext.h"
#include "sync/handlers/OperationAdapter.h"
#include "sync/handlers/RunExclusion.h"

#include <libxml/tree.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class Order;

// The order download: brings the orders and cash in/outs made on other terminals and in the back
// office into the local store, in one save, and posts "ordersChange" with the orders read when
// the reply held any. A full reload deletes every local order and cash in/out first (only once a
// well-formed reply is in hand). Cash records of a business day the terminal does not know open
// that day, closing the latest open day first.
//
// The order handler queues one on each run when it downloads; the settings screen runs a full
// reload with start() and reads succeeded() and error() afterwards.
class OperationSynchOrders : public OperationAdapter {
public:
    // The object of "ordersChange".
    using OrderList = std::vector<std::shared_ptr<Order>>;

    // `logXml` is not kept: logging follows the store value HH_LOG_XML.
    OperationSynchOrders(std::string url, std::optional<std::string> storeId, std::optional<std::string> password,
                         bool fullReload, std::shared_ptr<ObjectStore> coordinator, bool logXml = false);

    void main() override;

    // Reads and stores the run of "customerOrder" elements from `first` (not saved), each order
    // appended to `into` when one is given. Answers the element after the run, or null.
    xmlNodePtr synchOrders(xmlNodePtr first, xmlDocPtr doc, OrderList* into, ObjectContext& context) const;
    // Reads and stores the run of "cashInOut" elements from `first` (not saved), opening the
    // business days they name that are not known yet. Answers the element after the run, or null.
    xmlNodePtr synchCashInOut(xmlNodePtr first, xmlDocPtr doc, ObjectContext& context) const;

    // Replaces every local order with the summaries of the orders the server holds (open ones
    // only when `open`), kept clear of the order handler's runs (`outsideRuns`) only while the
    // orders are replaced: the exchange does not wait for a run. Answers the reply's "isOpen"
    // (true when absent); false with `error` when the summaries could not be had or saved. A
    // "warning" sets code 0 and goes on.
    static bool updateOrderSummaries(const std::optional<std::string>& storeId,
                                     const std::optional<std::string>& password,
                                     const std::optional<std::string>& userId, const std::string& url, bool open,
                                     ObjectContext* context, RunExclusion outsideRuns, Error* error);

    bool succeeded() const { return succeeded_; }

private:
    // Shows a progress text during a full reload.
    void progress(const std::string& text) const;
    // Writes a well-formed reply into the context and saves it.
    void store(xmlDocPtr doc, ObjectContext& context);

    std::string url_;
    std::optional<std::string> storeId_, password_;
    bool succeeded_ = false;
    bool reload_;
};

} // namespace tavlo
