#include "platform/foundation/RunLoop.h"
#include "platform/ui/Label.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

using namespace tavlo::ui;
using tavlo::ui::test::Harness;

namespace {

// Counts whole seconds on screen while it is shown, as the order's age row does.
class Elapsed : public ViewController {
public:
    std::shared_ptr<Label> label = std::make_shared<Label>(Rect(0, 0, 200, 20));
    int ticks = 0;
    void viewDidLoad() override { view()->addSubview(label); }
    void viewDidAppear(bool) override {
        timer_ = tavlo::Timer::scheduled(1.0, true, [this] { label->setText(std::to_string(++ticks)); });
    }
    void viewWillDisappear(bool) override {
        if (timer_) timer_->invalidate();
    }

private:
    std::shared_ptr<tavlo::Timer> timer_;
};

} // namespace

TEST(Clock, ARepeatingTimerFiresAsTheFakeClockAdvances) {
    Harness h;
    auto screen = std::make_shared<Elapsed>();
    h.show(screen);
    auto start = h.clock().now();

    h.advance(0.5);
    EXPECT_EQ(screen->ticks, 0);
    h.advance(0.5);
    EXPECT_EQ(screen->label->text(), "1");
    h.advance(3);
    EXPECT_EQ(screen->label->text(), "4");
    EXPECT_DOUBLE_EQ(h.clock().now().secondsSince(start), 4.0) << "no sleeping: the clock moved by hand";

    h.window().setRootViewController(nullptr); // the screen goes; its timer stops
    h.advance(5);
    EXPECT_EQ(screen->ticks, 4);
}

TEST(Clock, WorkDeferredToTheNextTurnRunsWhenTheLoopGoesIdle) {
    Harness h;
    auto screen = std::make_shared<Elapsed>();
    h.show(screen);
    tavlo::RunLoop::main().performAfterDelay(0, [&] { screen->label->setText("later"); });
    EXPECT_EQ(screen->label->text(), std::nullopt);
    h.runUntilIdle();
    EXPECT_EQ(screen->label->text(), "later");
}
