#pragma once

#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"
#include "platform/store/ManagedObject.h"
#include "platform/store/ObjectContext.h"

#include <optional>
#include <string>

namespace tavlo {

// One row of the outgoing queue: a record's complete request document waiting to be posted to
// the store server. Pending while `sentDate` is nil; marked sent only once the server accepted
// it; deleted by the next clean-up after that.
class OrderQueue {
public:
    static constexpr const char* kEntityName = "OrderQueue";
    static constexpr const char* kOrder = "order";
    static constexpr const char* kNoSale = "noSale";
    static constexpr const char* kCashInOut = "cashInOut";
    static constexpr const char* kClockInOut = "clockInOut";
    static constexpr const char* kCustomer = "customer";

    // Inserts a pending row into the context (not saved).
    static ManagedObjectPtr insert(ObjectContext& context, const std::string& type,
                                   const std::optional<std::string>& remoteId, const std::optional<std::string>& userId,
                                   const std::optional<std::string>& request, Date created);
    // The row an operation was given by its URI; null when it is gone.
    static ManagedObjectPtr load(ObjectContext& context, const std::string& uri);

    // The server took the post: the reply holds "success", or else "warning".
    static bool isAccepted(const std::optional<std::string>& reply);
    static void markSent(ManagedObject& row, const std::optional<std::string>& reply, Date attempt);
    static void countFailure(ManagedObject& row, Date attempt);

    // Posts the row's request to the gateway with the terminal's credentials; the reply body, or
    // nil with `error` when no good reply came.
    static std::optional<std::string> post(const std::string& url, const std::optional<std::string>& userId,
                                           const std::optional<std::string>& request, int timeoutSeconds, Error* error);
    // "Request: ..." and "Response: ..." when HH_LOG_XML is on; answers the HH_LOG_XML value.
    static std::optional<std::string> logExchange(ObjectContext& context, const std::optional<std::string>& request,
                                                  const std::optional<std::string>& reply);
};

} // namespace tavlo
