#include "screens/shell/ApplicationIdleTimer.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"

namespace tavlo::screens {

bool ApplicationIdleTimer::isIdleTimerDisabled() const {
    ui::Application* app = ui::Application::current();
    return app && app->isIdleTimerDisabled();
}

void ApplicationIdleTimer::setIdleTimerDisabled(bool disabled) {
    auto set = [disabled] {
        if (ui::Application* app = ui::Application::current()) app->setIdleTimerDisabled(disabled);
    };
    // Never waits for the main thread: it may itself be waiting for the reader's task to end.
    if (RunLoop::isMainThread()) set();
    else performOnMainThread(set);
}

} // namespace tavlo::screens
