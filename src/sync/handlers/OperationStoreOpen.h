#pragma once

#include "platform/foundation/Clock.h"
#include "sync/handlers/OperationAdapter.h"

#include <optional>
#include <string>

namespace tavlo {

// Reports the latest business day's open to the store server and tries again every 30 seconds
// until the server accepts it; then the day's `synchedOn` is set. Runs on a thread of its own,
// never in a queue; cancel() ends it at its next attempt.
class OperationStoreOpen : public OperationAdapter {
public:
    static constexpr double kRetryDelay = 30.0;

    OperationStoreOpen(std::optional<std::string> serverId, std::optional<Date> dateOpened,
                       std::shared_ptr<ObjectStore> coordinator, std::string url);

    void main() override;

    // Attempts made so far (status and tests).
    int attempts() const { return attempts_.load(); }
    const std::optional<std::string>& serverId() const { return serverId_; }
    const std::optional<Date>& dateOpened() const { return dateOpened_; }
    const std::string& url() const { return url_; }

private:
    // One attempt; true when there is nothing more to do.
    bool attempt();

    std::optional<std::string> serverId_;
    std::optional<Date> dateOpened_;
    std::string url_;
    std::atomic<int> attempts_{0};
};

} // namespace tavlo
