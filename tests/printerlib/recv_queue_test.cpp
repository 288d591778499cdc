#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "printerlib/RecvQueue.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using namespace tavlo;
using namespace tavlo::printerlib;

namespace {

class RecvQueueTest : public ::testing::Test {
protected:
    void SetUp() override { RunLoop::main().reset(); }
    void TearDown() override { RunLoop::main().reset(); }

    void push(const std::string& bytes) {
        queue.push(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<long>(bytes.size()));
    }
    // Pushes `piece` once every step, `times` times, from the main loop the pops wait on.
    void trickle(const std::string& piece, int times) {
        auto left = std::make_shared<int>(times);
        trickler = RunLoop::main().scheduleTimer(RecvQueue::kStepSeconds, true, [this, piece, left] {
            if ((*left)-- > 0) push(piece);
        });
    }
    double stepsSince(Date start) const { return Date::now().secondsSince(start) / RecvQueue::kStepSeconds; }

    ScopedFakeClock clock;
    RecvQueue queue;
    std::shared_ptr<Timer> trickler;
};

std::string text(const std::vector<uint8_t>& buffer, long count) {
    return std::string(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(count));
}

TEST_F(RecvQueueTest, PartialDataIsHandedOverAfterTheStepTimeOut) {
    push("ABCD");
    std::vector<uint8_t> buffer(10);
    Date start = Date::now();
    EXPECT_EQ(queue.pop(buffer.data(), 10), 4);
    EXPECT_EQ(text(buffer, 4), "ABCD");
    EXPECT_EQ(queue.length(), 0);
    // It waited until more than `timeout` (20) steps had passed with the queue empty.
    EXPECT_NEAR(stepsSince(start), 21, 0.5);
}

TEST_F(RecvQueueTest, AWholePopReturnsAtOnce) {
    push("ABCDEF");
    std::vector<uint8_t> buffer(4);
    Date start = Date::now();
    EXPECT_EQ(queue.pop(buffer.data(), 4), 4);
    EXPECT_EQ(text(buffer, 4), "ABCD");
    EXPECT_EQ(queue.length(), 2);
    EXPECT_EQ(stepsSince(start), 0);
}

TEST_F(RecvQueueTest, ThePlainPopKeepsWaitingWhileBytesKeepComing) {
    trickle("x", 30);
    std::vector<uint8_t> buffer(100);
    EXPECT_EQ(queue.pop(buffer.data(), 100), 30);
}

TEST_F(RecvQueueTest, TheTimedPopGivesUpAfterItsStepsEvenWithTricklingData) {
    trickle("x", 60);
    std::vector<uint8_t> buffer(100);
    Date start = Date::now();
    long got = queue.pop(buffer.data(), 100, 60.0f); // its argument does not lengthen the wait
    EXPECT_GE(got, 15);
    EXPECT_LE(got, 22);
    EXPECT_NEAR(stepsSince(start), 21, 0.5);
    EXPECT_EQ(queue.timeout(), RecvQueue::kDefaultTimeout);
}

TEST_F(RecvQueueTest, TerminateEndsAWaitAfterTheCurrentStepAndRefusesNewOnes) {
    auto stopper = RunLoop::main().performAfterDelay(0.35, [this] { queue.setDoTerminate(true); });
    std::vector<uint8_t> buffer(10);
    Date start = Date::now();
    EXPECT_EQ(queue.pop(buffer.data(), 10), 0);
    EXPECT_NEAR(stepsSince(start), 4, 0.5);

    push("AB\n");
    EXPECT_EQ(queue.pop(buffer.data(), 2), 0);
    EXPECT_EQ(queue.popValue(buffer.data(), 10, '\n'), 0);
    EXPECT_EQ(queue.length(), 3);
    queue.setDoTerminate(false);
    EXPECT_EQ(queue.popValue(buffer.data(), 10, '\n'), 2);
}

TEST_F(RecvQueueTest, AFrameWaitsForItsEndByte) {
    push("AB");
    auto rest = RunLoop::main().performAfterDelay(0.5, [this] { push("\nCD"); });
    std::vector<uint8_t> buffer(10, 0xEE);
    EXPECT_EQ(queue.popValue(buffer.data(), 10, '\n'), 2);
    EXPECT_EQ(text(buffer, 3), std::string("AB\0", 3)); // the buffer was cleared
    EXPECT_EQ(queue.length(), 2);                       // "CD" waits for its own end byte
}

TEST_F(RecvQueueTest, AFrameThatNeverEndsTimesOutAndStaysQueued) {
    push("AB");
    std::vector<uint8_t> buffer(10);
    Date start = Date::now();
    EXPECT_EQ(queue.popValue(buffer.data(), 10, '\n'), 0);
    EXPECT_NEAR(stepsSince(start), 21, 0.5);
    EXPECT_EQ(queue.length(), 2);
}

struct FrameCase {
    const char* name;
    std::string queued;
    uint8_t value;
    uint8_t stx;
    long size;
    std::string frame; // what the pop hands over ("" for nothing)
    long left;         // bytes left in the queue
};

void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }

class RecvQueueFrames : public RecvQueueTest, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(RecvQueueFrames, FramesByEndByteAndByStartByte) {
    const FrameCase& c = GetParam();
    push(c.queued);
    std::vector<uint8_t> buffer(static_cast<size_t>(std::max(c.size, 1L)));
    long got = queue.popValue(buffer.data(), c.size, c.value, c.stx);
    EXPECT_EQ(got, static_cast<long>(c.frame.size()));
    EXPECT_EQ(text(buffer, got), c.frame);
    EXPECT_EQ(queue.length(), c.left);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecvQueueFrames,
    ::testing::Values(FrameCase{"line", "AB\nCD\n", '\n', 0, 10, "AB", 3},
                      FrameCase{"zeroTerminated", std::string("AB\0CD", 5), 0, 0, 10, std::string("AB\0", 3), 2},
                      FrameCase{"startByteSkipsWhatComesBefore",
                                std::string("xx7\x01"
                                            "01010101\0rest",
                                            17),
                                0, '7', 20,
                                std::string("7\x01"
                                            "01010101\0",
                                            11),
                                4},
                      FrameCase{"startByteAndEndByte", "..[abc]..", ']', '[', 10, "[abc", 2},
                      FrameCase{"noStartByteYet", "abc]", ']', '[', 10, "", 4},
                      FrameCase{"startByteWithoutEnd", "[abc", ']', '[', 10, "", 4},
                      FrameCase{"neverBeyondTheCallersBuffer", "ABCDEFGH\n", '\n', 0, 3, "ABC", 0},
                      FrameCase{"emptyLineIsDropped", "\nAB\n", '\n', 0, 10, "AB", 0},
                      FrameCase{"noBuffer", "AB\n", '\n', 0, 0, "", 3}),
    [](const ::testing::TestParamInfo<FrameCase>& instance) { return std::string(instance.param.name); });

} // namespace
