#pragma once

#include "platform/ui/AlertView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::ui {
class ViewController;
}

namespace tavlo::screens {

// An alert's buttons: the cancel button first (index 0) when there is one, then the others in
// order. `{"Ok"}` is a message with one button, `{"No", {"Yes"}}` a question, `{std::nullopt,
// names}` a choice without a way out.
struct AlertButtons {
    AlertButtons(std::optional<std::string> cancelTitle, std::vector<std::string> otherTitles = {})
        : cancel(std::move(cancelTitle)), others(std::move(otherTitles)) {}
    AlertButtons(const char* cancelTitle) : cancel(cancelTitle) {}

    std::optional<std::string> cancel;
    std::vector<std::string> others;
};

// The answer to an alert: the index of the button pressed (0: the cancel button when there is
// one).
using AlertAnswer = std::function<void(int button)>;
// The answer to an alert with an input field, with the text typed there ("" without a field).
using TextAnswer = std::function<void(int button, const std::string& typed)>;
// Readies an alert before it shows (its input style, its field's keyboard).
using AlertSetUp = std::function<void(ui::AlertView& alert)>;

// Shows an alert whose answer is the closure given where the question is asked. The title and
// the cancel button are English texts shown localized; the message and the other buttons are
// shown as given (a name read from the store is not translated). With an `owner`, the answer is
// heard only while that screen lives, and the screen lives until the answer is over.
std::shared_ptr<ui::AlertView> showAlert(ui::ViewController* owner, const std::string& title,
                                         const std::optional<std::string>& message, const AlertButtons& buttons,
                                         AlertAnswer answer = {});
std::shared_ptr<ui::AlertView> showAlert(ui::ViewController* owner, const std::string& title,
                                         const std::optional<std::string>& message, const AlertButtons& buttons,
                                         TextAnswer answer, const AlertSetUp& setUp = {});

} // namespace tavlo::screens
