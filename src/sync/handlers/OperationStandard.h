#pragma once

#include "sync/handlers/OperationAdapter.h"

#include <string>

namespace tavlo {

// Posts one pending row of the outgoing queue ("order", "noSale", "cashInOut", "clockInOut") and
// records the outcome in the row: sent with the server's reply once accepted, otherwise one more
// failure. Runs on the order handler's queue; the row is read in the operation's own context.
class OperationStandard : public OperationAdapter {
public:
    OperationStandard(const ObjectID& row, std::shared_ptr<ObjectStore> coordinator, std::string url);

    void main() override;

    const std::string& objectURI() const { return objectURI_; }
    const std::string& url() const { return url_; }

private:
    std::string objectURI_;
    std::string url_;
};

} // namespace tavlo
