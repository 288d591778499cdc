#include "platform/foundation/OperationQueue.h"

#include <algorithm>
#include <exception>
#include <iostream>

namespace tavlo {

namespace {
class FunctionOperation : public Operation {
public:
    explicit FunctionOperation(std::function<void()> work) : work_(std::move(work)) {}
    void main() override {
        if (work_) work_();
    }

private:
    std::function<void()> work_;
};
} // namespace

OperationQueue::OperationQueue(int maxConcurrentOperationCount) : maxConcurrent_(maxConcurrentOperationCount) {}

OperationQueue::~OperationQueue() {
    {
        std::lock_guard lock(mutex_);
        for (auto& op : waiting_) op->cancel();
        closing_ = true;
        suspended_ = false;
    }
    changed_.notify_all();
    for (auto& t : workers_) t.join();
}

int OperationQueue::width() const {
    if (maxConcurrent_ > 0) return maxConcurrent_;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void OperationQueue::ensureWorkers() {
    // Threads are made when there is work for them and kept; never more than the width.
    size_t wanted = std::min(static_cast<size_t>(width()), waiting_.size() + executing_.size());
    while (workers_.size() < wanted) workers_.emplace_back([this] { work(); });
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation) {
    if (!operation) return;
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(operation));
        ensureWorkers();
    }
    changed_.notify_all();
}

std::shared_ptr<Operation> OperationQueue::addOperation(std::function<void()> work) {
    auto operation = std::make_shared<FunctionOperation>(std::move(work));
    addOperation(operation);
    return operation;
}

int OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard lock(mutex_);
    return maxConcurrent_;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    {
        std::lock_guard lock(mutex_);
        maxConcurrent_ = count;
        ensureWorkers();
    }
    changed_.notify_all();
}

bool OperationQueue::isSuspended() const {
    std::lock_guard lock(mutex_);
    return suspended_;
}

void OperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard lock(mutex_);
        suspended_ = suspended;
    }
    changed_.notify_all();
}

size_t OperationQueue::operationCount() const {
    std::lock_guard lock(mutex_);
    return waiting_.size() + executing_.size();
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<Operation>> all(executing_);
    all.insert(all.end(), waiting_.begin(), waiting_.end());
    return all;
}

void OperationQueue::cancelAllOperations() {
    std::lock_guard lock(mutex_);
    for (auto& op : executing_) op->cancel();
    for (auto& op : waiting_) op->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.empty() && executing_.empty(); });
}

void OperationQueue::setIdleHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    idleHandler_ = std::move(handler);
}

void OperationQueue::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] {
            return (closing_ && waiting_.empty()) ||
                   (!suspended_ && !waiting_.empty() && static_cast<int>(executing_.size()) < width());
        });
        if (waiting_.empty()) return; // closing
        auto operation = std::move(waiting_.front());
        waiting_.pop_front();
        executing_.push_back(operation);
        lock.unlock();
        try {
            operation->start();
        } catch (const std::exception& e) {
            // One failed operation must not take the queue (and the program) down with it.
            std::cerr << "operation failed: " << e.what() << std::endl;
        } catch (...) { std::cerr << "operation failed" << std::endl; }
        lock.lock();
        std::erase(executing_, operation);
        const bool idle = waiting_.empty() && executing_.empty();
        std::function<void()> onIdle = idle ? idleHandler_ : nullptr;
        changed_.notify_all();
        lock.unlock();
        operation.reset(); // its destructor may take locks of its own
        if (onIdle) onIdle();
        lock.lock();
    }
}

} // namespace tavlo
