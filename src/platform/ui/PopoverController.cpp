#include "platform/ui/PopoverController.h"

#include "platform/ui/Application.h"

namespace tavlo::ui {

PopoverController::~PopoverController() {
    if (visible_) dismiss(false);
}

void PopoverController::presentFromBarButtonItem(const BarButtonItem&, bool animated) {
    Application* app = Application::current();
    if (visible_ || !content_ || !app) return;
    Window& window = app->keyWindow() ? *app->keyWindow() : app->window();
    auto view = content_->view();
    view->setFrame({0, 44, 320, std::max(0.0, window.bounds().height() - 44)});
    window.addSubview(view);
    visible_ = true;
    content_->beginAppearanceTransition(true, animated);
    content_->endAppearanceTransition();
}

void PopoverController::dismiss(bool animated) {
    if (!visible_) return;
    visible_ = false;
    content_->beginAppearanceTransition(false, animated);
    content_->view()->removeFromSuperview();
    content_->endAppearanceTransition();
}

} // namespace tavlo::ui
