#include "screens/common/Alerts.h"

#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

namespace tavlo::screens {

using ui::AlertView;

namespace {

std::shared_ptr<AlertView> show(ui::ViewController* owner, const std::string& title,
                                const std::optional<std::string>& message, const AlertButtons& buttons,
                                AlertView::ClickHandler answer, const AlertSetUp& setUp = {}) {
    std::optional<std::string> cancel;
    if (buttons.cancel) cancel = localized(*buttons.cancel);
    auto shown = AlertView::make(localized(title), message, std::move(cancel), buttons.others);
    if (answer) {
        std::weak_ptr<ui::ViewController> screen;
        if (owner) screen = owner->weak_from_this();
        shown->setClickHandler([owned = owner != nullptr, screen, answer](AlertView& answered, int button) {
            std::shared_ptr<ui::ViewController> alive = screen.lock();
            if (owned && !alive) return;
            answer(answered, button);
        });
    }
    if (setUp) setUp(*shown);
    shown->show();
    return shown;
}

} // namespace

std::shared_ptr<AlertView> showAlert(ui::ViewController* owner, const std::string& title,
                                     const std::optional<std::string>& message, const AlertButtons& buttons,
                                     AlertAnswer answer) {
    if (!answer) return show(owner, title, message, buttons, {});
    return show(owner, title, message, buttons, [answer](AlertView&, int button) { answer(button); });
}

std::shared_ptr<AlertView> showAlert(ui::ViewController* owner, const std::string& title,
                                     const std::optional<std::string>& message, const AlertButtons& buttons,
                                     TextAnswer answer, const AlertSetUp& setUp) {
    auto heard = [answer](AlertView& answered, int button) {
        ui::TextField* field = answered.textField(0);
        answer(button, field ? field->text() : std::string());
    };
    return show(owner, title, message, buttons, heard, setUp);
}

} // namespace tavlo::screens
