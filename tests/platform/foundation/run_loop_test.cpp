#include "platform/foundation/RunLoop.h"

#include "platform/foundation/Error.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <functional>
#include <future>
#include <thread>
#include <unistd.h>

using namespace tavlo;

namespace {

class RunLoopTest : public ::testing::Test {
protected:
    void SetUp() override { loop.reset(); }
    void TearDown() override { loop.reset(); }
    double elapsed() { return clock->now().secondsSince(start); }

    ScopedFakeClock clock;
    Date start = clock->now();
    RunLoop& loop = RunLoop::main();
};

struct Pipe {
    Pipe() {
        if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    }
    ~Pipe() {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    void put(char c) const { ASSERT_EQ(::write(fds[1], &c, 1), 1); }
    int drain() const {
        char buffer[64];
        ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        return n > 0 ? static_cast<int>(n) : 0;
    }
    int fds[2];
};

} // namespace

TEST_F(RunLoopTest, TimersFireInOrderAsTheFakeClockPassesThem) {
    std::vector<std::pair<std::string, double>> fired;
    auto once = loop.scheduleTimer(15, false, [&] { fired.emplace_back("once", elapsed()); });
    auto every = loop.scheduleTimer(10, true, [&] { fired.emplace_back("every", elapsed()); });

    EXPECT_TRUE(loop.runFor(9));
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(elapsed(), 9);

    EXPECT_TRUE(loop.runFor(26)); // to 35
    std::vector<std::pair<std::string, double>> expected{{"every", 10}, {"once", 15}, {"every", 20}, {"every", 30}};
    EXPECT_EQ(fired, expected);
    EXPECT_EQ(elapsed(), 35);
    EXPECT_FALSE(once->isValid());
    EXPECT_TRUE(every->isValid());

    every->invalidate();
    loop.runFor(100);
    EXPECT_EQ(fired.size(), 4u);
}

TEST_F(RunLoopTest, FireNowAndInvalidateFromInsideTheCallback) {
    int onceCount = 0, repeatCount = 0;
    auto once = loop.scheduleTimer(60, false, [&] { ++onceCount; });
    once->fire(); // the background handlers' wake-up: runs at once, then the timer is spent
    EXPECT_EQ(onceCount, 1);
    EXPECT_FALSE(once->isValid());
    once->fire();
    loop.runFor(120);
    EXPECT_EQ(onceCount, 1);

    std::shared_ptr<Timer> repeating;
    repeating = loop.scheduleTimer(1, true, [&] {
        if (++repeatCount == 3) repeating->invalidate();
    });
    repeating->fire(); // keeps its schedule
    EXPECT_TRUE(repeating->isValid());
    loop.runFor(10);
    EXPECT_EQ(repeatCount, 3);
}

TEST_F(RunLoopTest, LateRepeatingTimerFiresOnceAndKeepsItsRhythm) {
    int count = 0;
    auto timer = loop.scheduleTimer(10, true, [&] { ++count; });
    clock->advance(35); // nobody ran the loop meanwhile
    loop.runUntilIdle();
    EXPECT_EQ(count, 1);
    EXPECT_EQ(timer->fireDate().secondsSince(start), 40);
}

TEST_F(RunLoopTest, PerformOnMainFromAnotherThreadRunsOnTheMainLoop) {
    bool finished = false;
    bool ranOnMain = false;
    int order = 0, first = 0, second = 0;
    std::thread worker([&] {
        performOnMainThread([&] { first = ++order; });
        performOnMainThread(
            [&] {
                ranOnMain = RunLoop::isMainThread();
                second = ++order;
            },
            true);
        performOnMainThread([&] { finished = true; }); // only after the waited call has run
    });
    while (!finished) loop.runOnce();
    worker.join();
    EXPECT_TRUE(ranOnMain);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);

    // Waiting on the main thread itself runs at once; an exception reaches the waiting caller.
    bool direct = false;
    performOnMainThread([&] { direct = true; }, true);
    EXPECT_TRUE(direct);
    std::thread thrower([&] {
        EXPECT_THROW(performOnMainThread([] { throw std::runtime_error("boom"); }, true), std::runtime_error);
        performOnMainThread([&] { finished = false; });
    });
    while (finished) loop.runOnce();
    thrower.join();
}

TEST_F(RunLoopTest, DeferredCallsAndTheirCancellation) {
    std::vector<std::string> calls;
    int target = 0;
    loop.performAfterDelay(0, [&] { calls.push_back("now"); });
    loop.performAfterDelay(
        2, [&] { calls.push_back("cancelled by target"); }, &target);
    loop.performAfterDelay(
        3, [&] { calls.push_back("kept"); }, &calls);
    auto dropped = loop.performAfterDelay(1, [&] { calls.push_back("invalidated"); });

    EXPECT_EQ(loop.runUntilIdle(), 1u); // only the zero-delay call; the clock does not move
    EXPECT_EQ(elapsed(), 0);
    loop.cancelPerforms(&target);
    dropped->invalidate();
    loop.runFor(5);
    EXPECT_EQ(calls, (std::vector<std::string>{"now", "kept"}));
}

TEST_F(RunLoopTest, RunningInAModeServicesOnlyWhatIsScheduledInIt) {
    std::vector<std::string> seen;
    loop.scheduleTimer(1, false, [&] { seen.push_back("default timer"); });
    auto tracking = loop.scheduleTimer(1, false, [&] { seen.push_back("tracking timer"); }, {"tracking"});
    loop.performAfterDelay(0, [&] { seen.push_back("deferred in both"); }, nullptr, {RunLoop::defaultMode, "tracking"});
    loop.perform([&] { seen.push_back("perform in common"); });
    loop.perform([&] { seen.push_back("perform in default"); }, false, {RunLoop::defaultMode});

    loop.runFor(2, "tracking");
    EXPECT_EQ(seen, (std::vector<std::string>{"perform in common", "deferred in both", "tracking timer"}));
    seen.clear();
    loop.runFor(1);
    EXPECT_EQ(seen, (std::vector<std::string>{"perform in default", "default timer"}));

    // Moving a timer between modes (what a socket does when its modes change).
    seen.clear();
    auto moved = loop.scheduleTimer(1, false, [&] { seen.push_back("moved"); }, {"tracking"});
    loop.addTimer(moved, {RunLoop::defaultMode});
    loop.removeTimer(moved, {"tracking"});
    loop.runFor(2, "tracking");
    EXPECT_TRUE(seen.empty());
    loop.runFor(0);
    EXPECT_EQ(seen, std::vector<std::string>{"moved"});
}

TEST_F(RunLoopTest, FileDescriptorSourcesReportReadinessWhileEnabled) {
    Pipe pipe;
    std::vector<unsigned> events;
    auto reader = FdSource::create(pipe.fds[0], FdSource::Read, [&](unsigned e) {
        events.push_back(e);
        pipe.drain();
    });
    loop.addSource(reader);
    EXPECT_EQ(loop.runUntilIdle(), 0u);
    pipe.put('a');
    EXPECT_EQ(loop.runUntilIdle(), 1u);
    EXPECT_EQ(events, std::vector<unsigned>{FdSource::Read});

    reader->disable(FdSource::Read);
    pipe.put('b');
    EXPECT_EQ(loop.runUntilIdle(), 0u);
    reader->enable(FdSource::Read);
    EXPECT_EQ(loop.runUntilIdle(), 1u);

    reader->invalidate();
    pipe.put('c');
    EXPECT_EQ(loop.runUntilIdle(), 0u);

    // A source that does not turn itself back on: one call until it is enabled again.
    int writable = 0;
    auto writer = FdSource::create(
        pipe.fds[1], FdSource::Write, [&](unsigned e) { writable += e == FdSource::Write; }, false);
    loop.addSource(writer, {"tracking"});
    EXPECT_EQ(loop.runUntilIdle(), 0u); // not in the default mode
    loop.runUntilIdle("tracking");
    loop.runUntilIdle("tracking");
    EXPECT_EQ(writable, 1);
    EXPECT_EQ(writer->enabledEvents(), 0u);
    writer->enable(FdSource::Write);
    loop.runUntilIdle("tracking");
    EXPECT_EQ(writable, 2);
}

TEST_F(RunLoopTest, NestedRunForInsideACallback) {
    std::vector<std::string> seen;
    loop.scheduleTimer(1, false, [&] {
        seen.push_back("outer at " + std::to_string(static_cast<int>(elapsed())));
        loop.scheduleTimer(2, false,
                           [&] { seen.push_back("inner at " + std::to_string(static_cast<int>(elapsed()))); });
        loop.runFor(5);
        seen.push_back("outer done at " + std::to_string(static_cast<int>(elapsed())));
    });
    loop.scheduleTimer(4, false, [&] { seen.push_back("later at " + std::to_string(static_cast<int>(elapsed()))); });
    loop.runFor(10);
    EXPECT_EQ(seen, (std::vector<std::string>{"outer at 1", "inner at 3", "later at 4", "outer done at 6"}));
    EXPECT_EQ(elapsed(), 10);
}

TEST_F(RunLoopTest, ThreadLoopIsWokenStoppedAndRunsPerformsInOrder) {
    RunLoop* threadLoop = nullptr;
    std::promise<void> ready;
    std::thread thread([&] {
        threadLoop = &RunLoop::current();
        ready.set_value();
        threadLoop->run();
    });
    ready.get_future().wait();
    std::vector<int> order;
    threadLoop->perform([&] { order.push_back(1); });
    std::thread::id ranOn;
    threadLoop->perform(
        [&] {
            order.push_back(2);
            ranOn = std::this_thread::get_id();
        },
        true);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(ranOn, thread.get_id());
    EXPECT_THROW(threadLoop->runUntilIdle(), InconsistencyError); // only its own thread runs it
    threadLoop->perform([&] { threadLoop->stop(); });
    thread.join();
}

// A thread's loop may end, and be destroyed with its thread, as soon as it sees a stop; stop()
// must be done with the loop by then. Kept busy by timers that are always due, the loop sees the
// request without ever reading its wake-up, so a stop() that still touched the loop afterwards
// would race with its destruction (the thread sanitizer reports it).
TEST_F(RunLoopTest, ABusyThreadLoopStoppedFromOutsideEndsAfterTheStopIsDone) {
    std::promise<RunLoop*> busy;
    std::thread thread([&] {
        RunLoop& own = RunLoop::current();
        std::function<void()> again = [&] { own.scheduleTimer(0, false, again); };
        own.scheduleTimer(0, false, [&] {
            busy.set_value(&own);
            again();
        });
        own.run();
    });
    busy.get_future().get()->stop();
    thread.join();
}

namespace {

// A scaled clock runs real time faster: its sleeps and the run loop's waits last their clock time
// divided by the factor, and the clock has moved at least as far as was waited for.
TEST(ScaledClockTest, WaitsOfTheClockAndTheLoopFollowItsScale) {
    ScopedScaledClock scaled(50.0);
    Clock& clock = Clock::current();
    EXPECT_DOUBLE_EQ(clock.realSeconds(2.0), 0.04);
    Date start = Date::now();
    clock.sleepFor(2.0);
    EXPECT_GE(Date::now().secondsSince(start), 2.0);

    std::thread([] {
        RunLoop& loop = RunLoop::current();
        bool fired = false;
        auto timer = loop.scheduleTimer(1.0, false, [&] { fired = true; });
        Date begin = Date::now();
        EXPECT_TRUE(loop.runFor(3.0));
        EXPECT_TRUE(fired);
        EXPECT_GE(Date::now().secondsSince(begin), 3.0);
    }).join();
}

} // namespace
