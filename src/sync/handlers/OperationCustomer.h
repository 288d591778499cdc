#pragma once

#include "sync/handlers/OperationAdapter.h"

#include <atomic>
#include <optional>
#include <string>

namespace tavlo {

// Posts one customer to the store server and stores the customer the server sends back (it
// keeps our id). With a queue row it takes the request from the row and records the outcome
// there; without one (a terminal that does not queue) it posts what it was given, and the caller
// runs it with start() and reads succeeded() and error().
class OperationCustomer : public OperationAdapter {
public:
    // A queued customer.
    OperationCustomer(const ObjectID& row, std::shared_ptr<ObjectStore> coordinator, std::string url);
    // An immediate send, no row.
    OperationCustomer(std::optional<std::string> remoteId, std::optional<std::string> request,
                      std::optional<std::string> userId, std::shared_ptr<ObjectStore> coordinator, std::string url);

    void main() override;

    bool succeeded() const { return succeeded_.load(); }
    const std::optional<std::string>& objectURI() const { return objectURI_; }
    const std::string& url() const { return url_; }
    const std::optional<std::string>& request() const { return request_; }
    const std::optional<std::string>& userId() const { return userId_; }
    const std::optional<std::string>& remoteId() const { return remoteId_; }

private:
    // Stores the reply's customer under our id; logs the warnings passed on the way.
    void storeReply(const std::string& reply, ObjectContext& context);

    std::atomic<bool> succeeded_{false};
    std::optional<std::string> objectURI_;
    std::string url_;
    std::optional<std::string> request_, userId_, remoteId_;
};

} // namespace tavlo
