#include "support/ui/FieldAndButtonScreen.h"

namespace tavlo::ui::test {

void FieldAndButtonController::loadView() {
    auto root = std::make_shared<View>(Rect(0, 0, 1024, 724));
    root->setBackgroundColor(Color(0.96, 0.95, 0.92));
    field_ = std::make_shared<TextField>(Rect(40, 40, 500, 48));
    field_->setBorderStyle(BorderStyle::RoundedRect);
    field_->setPlaceholder("Name of the table");
    auto save = Button::make(ButtonType::RoundedRect, Rect(560, 40, 160, 48));
    save->setTitle("Save");
    save->addTarget(
        [this](Control&) {
            result_->setText("Saved: " + field_->text());
            if (onSave) onSave(field_->text());
        },
        ControlEvent::TouchUpInside);
    result_ = std::make_shared<Label>(Rect(40, 110, 680, 40));
    result_->setText("Nothing saved yet");
    for (std::shared_ptr<View> v :
         {std::shared_ptr<View>(field_), std::shared_ptr<View>(save), std::shared_ptr<View>(result_)})
        root->addSubview(v);
    setView(root);
    setTitle("Window test");
}

std::shared_ptr<NavigationController> makeFieldAndButtonScreen(
    const std::shared_ptr<FieldAndButtonController>& controller) {
    return std::make_shared<NavigationController>(controller);
}

} // namespace tavlo::ui::test
