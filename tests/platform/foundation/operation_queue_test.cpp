#include "platform/foundation/OperationQueue.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

using namespace tavlo;

namespace {

// Records its state as seen from inside main().
class Probe : public Operation {
public:
    void main() override {
        sawExecuting = isExecuting();
        ran = true;
    }
    bool sawExecuting = false;
    bool ran = false;
};

// Holds its thread until opened (lets a test see what runs at the same time).
class Gate {
public:
    void open() {
        std::lock_guard lock(m_);
        open_ = true;
        cv_.notify_all();
    }
    void pass() {
        std::unique_lock lock(m_);
        ++waiting_;
        cv_.notify_all();
        cv_.wait(lock, [&] { return open_; });
    }
    void waitForWaiting(int n) {
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return waiting_ >= n; });
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool open_ = false;
    int waiting_ = 0;
};

} // namespace

TEST(Operation, StartRunsMainOnceOnTheCallersThreadUnlessCancelled) {
    auto probe = std::make_shared<Probe>();
    EXPECT_FALSE(probe->isExecuting() || probe->isFinished());
    probe->start();
    EXPECT_TRUE(probe->ran && probe->sawExecuting && probe->isFinished());
    EXPECT_FALSE(probe->isExecuting());

    auto cancelled = std::make_shared<Probe>();
    cancelled->cancel();
    cancelled->start();
    EXPECT_FALSE(cancelled->ran);
    EXPECT_TRUE(cancelled->isCancelled() && cancelled->isFinished());
}

TEST(OperationQueue, SerialQueueRunsOneAtATimeInOrder) {
    OperationQueue queue(1);
    std::mutex m;
    std::vector<int> order;
    int running = 0, most = 0;
    for (int i = 0; i < 20; ++i) {
        queue.addOperation([&, i] {
            {
                std::lock_guard lock(m);
                most = std::max(most, ++running);
                order.push_back(i);
            }
            std::this_thread::yield();
            std::lock_guard lock(m);
            --running;
        });
    }
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(queue.operationCount(), 0u);
    EXPECT_EQ(most, 1);
    ASSERT_EQ(order.size(), 20u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(order[i], i);
}

TEST(OperationQueue, WiderQueueRunsSeveralAtOnce) {
    OperationQueue queue(3);
    Gate gate;
    for (int i = 0; i < 4; ++i) queue.addOperation([&] { gate.pass(); });
    gate.waitForWaiting(3); // would hang if the queue ran fewer than three at a time
    EXPECT_EQ(queue.operationCount(), 4u);
    gate.open();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(OperationQueue, SuspendHoldsNewWorkAndCancelAllSkipsIt) {
    OperationQueue queue(1);
    Gate gate;
    auto first = queue.addOperation([&] { gate.pass(); });
    gate.waitForWaiting(1);
    queue.setSuspended(true);
    auto held = std::make_shared<Probe>();
    queue.addOperation(held);
    gate.open(); // the executing one runs to its end; the held one does not start
    while (queue.operationCount() > 1) std::this_thread::yield();
    EXPECT_TRUE(first->isFinished());
    EXPECT_FALSE(held->ran);

    queue.setSuspended(false);
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(held->ran);

    queue.setSuspended(true);
    std::vector<std::shared_ptr<Probe>> probes(3);
    for (auto& p : probes) queue.addOperation(p = std::make_shared<Probe>());
    queue.cancelAllOperations();
    queue.setSuspended(false);
    queue.waitUntilAllOperationsAreFinished();
    for (auto& p : probes) EXPECT_TRUE(p->isCancelled() && p->isFinished() && !p->ran);
}

TEST(OperationQueue, AFailingOperationDoesNotStopTheQueue) {
    OperationQueue queue(1);
    queue.addOperation([] { throw std::runtime_error("lost connection"); });
    auto after = std::make_shared<Probe>();
    queue.addOperation(after);
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(after->ran);
}
