#include "platform/ui/Window.h"

#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"

namespace tavlo::ui {

Window::Window(Rect frame) : View(frame) {
    setHidden(true);
    setBackgroundColor(Color::black());
}

Window::~Window() = default;

void Window::setRootViewController(std::shared_ptr<ViewController> root) {
    if (root == root_) return;
    std::shared_ptr<ViewController> old = std::move(root_);
    bool shown = !isHidden();
    if (old && shown) old->beginAppearanceTransition(false, false);
    root_ = std::move(root);
    if (root_) {
        auto view = root_->view();
        view->setFrame(bounds());
        view->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        insertSubview(view, 0);
        if (shown) root_->beginAppearanceTransition(true, false);
    }
    if (old) {
        if (shown) old->endAppearanceTransition();
        if (old->isViewLoaded() && old->view()->superview() == this) old->view()->removeFromSuperview();
        if (Application* app = Application::current()) app->releaseLater(old);
    }
    if (root_ && shown) root_->endAppearanceTransition();
    if (Application* app = Application::current()) app->updateInterfaceOrientation();
}

void Window::makeKeyAndVisible() {
    Application* app = Application::current();
    if (app) app->setKeyWindow(this);
    if (!isHidden()) return;
    setHidden(false);
    if (root_) {
        root_->beginAppearanceTransition(true, false);
        root_->endAppearanceTransition();
    }
    if (app) app->updateInterfaceOrientation();
}

bool Window::isKeyWindow() const {
    Application* app = Application::current();
    return app && app->keyWindow() == this;
}

} // namespace tavlo::ui
