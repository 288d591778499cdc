#pragma once

#include <mutex>

namespace tavlo {

class OperationHandler;

// Keeps code outside a handler clear of the handler's runs: while a guard from hold() lives, its
// holder has the handler's queue lock, which a run holds throughout, so hold() waits for a run in
// progress and no run starts until the guard goes. The queue lock comes first in the handler's
// lock order, so the holder may itself hand records over. Made by the handler; a default one
// belongs to no handler and its guards hold nothing.
class RunExclusion {
public:
    // The lock for as long as it lives; not copied, not moved.
    class Guard {
    public:
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        friend class RunExclusion;
        explicit Guard(std::recursive_mutex* queueLock)
            : lock_(queueLock ? std::unique_lock(*queueLock) : std::unique_lock<std::recursive_mutex>()) {}

        std::unique_lock<std::recursive_mutex> lock_;
    };

    RunExclusion() = default;

    [[nodiscard]] Guard hold() const { return Guard(queueLock_); }

private:
    friend class OperationHandler;
    explicit RunExclusion(std::recursive_mutex& queueLock) : queueLock_(&queueLock) {}

    std::recursive_mutex* queueLock_ = nullptr;
};

} // namespace tavlo
