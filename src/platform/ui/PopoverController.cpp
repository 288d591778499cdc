#include "platform/ui/PopoverController.h"

#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"

#include <algorithm>

namespace tavlo::ui {

PopoverController::~PopoverController() {
    if (visible_) dismiss(false);
}

void PopoverController::presentFromBarButtonItem(const BarButtonItem& item, bool animated) {
    Application* app = Application::current();
    if (visible_ || !content_ || !app) return;
    Window& window = app->keyWindow() ? *app->keyWindow() : app->window();
    auto view = content_->view();
    // Below the bar, clear of the screen's edges, no taller than a panel needs.
    double top = NavigationController::kNavigationBarHeight + 16;
    view->setFrame({10, top, 320, std::clamp(window.bounds().height() - top - 10, 0.0, 660.0)});
    window.addSubview(view);
    visible_ = true;
    anchor_ = &item;
    app->addPopover(this);
    content_->beginAppearanceTransition(true, animated);
    content_->endAppearanceTransition();
}

void PopoverController::dismiss(bool animated) {
    if (!visible_) return;
    visible_ = false;
    anchor_ = nullptr;
    if (Application* app = Application::current()) app->removePopover(this);
    content_->beginAppearanceTransition(false, animated);
    content_->view()->removeFromSuperview();
    content_->endAppearanceTransition();
}

} // namespace tavlo::ui
