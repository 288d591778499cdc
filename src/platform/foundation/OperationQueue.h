#pragma once

#include "platform/foundation/Operation.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tavlo {

// Runs operations on its own threads, at most `maxConcurrentOperationCount` at a time, starting
// them in the order they were added. A suspended queue starts nothing new; operations already
// executing run to their end.
class OperationQueue {
public:
    // The default width: as many operations at a time as the machine has cores.
    static constexpr int kDefaultMaxConcurrentOperationCount = -1;

    explicit OperationQueue(int maxConcurrentOperationCount = kDefaultMaxConcurrentOperationCount);
    // Cancels what has not started and waits for what is executing.
    ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    void addOperation(std::shared_ptr<Operation> operation);
    std::shared_ptr<Operation> addOperation(std::function<void()> work);

    int maxConcurrentOperationCount() const;
    void setMaxConcurrentOperationCount(int count);
    bool isSuspended() const;
    void setSuspended(bool suspended);

    // Operations added and not yet finished (executing ones included).
    size_t operationCount() const;
    std::vector<std::shared_ptr<Operation>> operations() const;
    void cancelAllOperations();
    // Blocks until every operation has finished (forever when the queue is suspended with work).
    void waitUntilAllOperationsAreFinished();
    // Called on the queue's thread each time its last operation has finished (the count is then
    // zero), outside the queue's lock. Set it before adding operations.
    void setIdleHandler(std::function<void()> handler);

private:
    int width() const; // under the lock
    void ensureWorkers();
    void work();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Operation>> waiting_;
    std::vector<std::shared_ptr<Operation>> executing_;
    std::vector<std::thread> workers_;
    int maxConcurrent_;
    bool suspended_ = false;
    bool closing_ = false;
    std::function<void()> idleHandler_;
};

} // namespace tavlo
