#pragma once

#include <memory>
#include <string>

namespace tavlo {

// Where code without a screen (the model, background operations) shows a message to the person
// at the terminal. The UI layer installs the real one; with none installed nothing is shown.
class AlertSink {
public:
    virtual ~AlertSink() = default;
    // One message with one button. Any thread.
    virtual void showAlert(const std::string& title, const std::string& message, const std::string& button) = 0;

    static void install(std::shared_ptr<AlertSink> sink);
    static std::shared_ptr<AlertSink> current();
    static void show(const std::string& title, const std::string& message, const std::string& button);
};

} // namespace tavlo
