#pragma once

#include "platform/foundation/AlertSink.h"

namespace tavlo::ui {

// Shows the model's messages as alerts of the installed application, on the main thread.
class ApplicationAlertSink : public AlertSink {
public:
    void showAlert(const std::string& title, const std::string& message, const std::string& button) override;
};

} // namespace tavlo::ui
