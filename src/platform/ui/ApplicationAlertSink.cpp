#include "platform/ui/ApplicationAlertSink.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"

namespace tavlo::ui {

void ApplicationAlertSink::showAlert(const std::string& title, const std::string& message, const std::string& button) {
    auto show = [title, message, button] {
        if (!Application::current()) return;
        AlertView::make(title, message, button)->show();
    };
    if (RunLoop::isMainThread()) show();
    else performOnMainThread(show);
}

} // namespace tavlo::ui
