#pragma once

#include "core/ports/Port.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tavlo {

// The card batch of the store's card host: opened with the business day, settled at its close.
// The payments layer implements it with the host's gateway handler. Main thread.
class CardBatch : public Port<CardBatch> {
public:
    static constexpr const char* kClassName = "CardBatch";
    // The host's settings: every store parameter "HOST_<HOST>_*", by full name.
    using HostConfig = std::map<std::string, std::string>;

    virtual ~CardBatch() = default;
    // True when a gateway handler serves `host` (any case).
    virtual bool hasHandler(const std::string& host) = 0;
    // The open batch's number; -1 with `error` when it failed or no handler serves the host.
    virtual int32_t openBatch(const std::string& host, const HostConfig& config, Date openDate, Error* error) = 0;
    // Settles the batch; `transactionIds` are the store server's references of the day's card
    // payments.
    virtual bool closeBatch(const std::string& host, const HostConfig& config,
                            const std::vector<std::string>& transactionIds, Error* error) = 0;
};

} // namespace tavlo
