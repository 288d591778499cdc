// The card reader drivers keep the terminal awake through the application's idle timer.
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "screens/shell/ApplicationIdleTimer.h"

#include <gtest/gtest.h>

#include <thread>

namespace tavlo::screens {
namespace {

TEST(ApplicationIdleTimer, SwitchesTheApplicationsTimerOnTheMainThread) {
    auto app = std::make_shared<ui::Application>(ui::DeviceIdiom::Tablet);
    ui::Application::install(app);
    ApplicationIdleTimer timer;
    timer.setIdleTimerDisabled(true);
    EXPECT_TRUE(app->isIdleTimerDisabled());
    EXPECT_TRUE(timer.isIdleTimerDisabled());

    std::thread task([&] { timer.setIdleTimerDisabled(false); }); // as the reader's task does
    task.join();
    EXPECT_TRUE(app->isIdleTimerDisabled());
    RunLoop::main().runUntilIdle();
    EXPECT_FALSE(app->isIdleTimerDisabled());
    ui::Application::install(nullptr);
    EXPECT_FALSE(timer.isIdleTimerDisabled());
    timer.setIdleTimerDisabled(true); // no application: nothing to switch
}

} // namespace
} // namespace tavlo::screens
