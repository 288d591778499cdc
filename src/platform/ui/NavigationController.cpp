#include "platform/ui/NavigationController.h"

namespace tavlo::ui {

NavigationController::NavigationController(std::shared_ptr<ViewController> root)
    : toolbar_(std::make_shared<Toolbar>()) {
    toolbar_->setHidden(true);
    if (root) {
        adoptChild(*root);
        stack_.push_back(std::move(root));
    }
}

NavigationController::~NavigationController() {
    for (auto& c : stack_) releaseChild(*c);
}

void NavigationController::loadView() {
    ViewController::loadView();
    view()->addSubview(toolbar_);
    if (ViewController* top = topViewController()) view()->insertSubview(top->view(), 0);
    layoutContent();
}

Rect NavigationController::contentFrame() {
    Rect b = view()->bounds();
    double top = barHidden_ ? 0 : kNavigationBarHeight;
    double bottom = toolbarHidden_ ? 0 : Toolbar::kHeight;
    return {0, top, b.width(), std::max(0.0, b.height() - top - bottom)};
}

void NavigationController::layoutContent() {
    if (!isViewLoaded()) return;
    Rect b = view()->bounds();
    toolbar_->setFrame({0, b.height() - Toolbar::kHeight, b.width(), Toolbar::kHeight});
    toolbar_->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleTopMargin);
    if (ViewController* top = topViewController()) {
        top->view()->setFrame(contentFrame());
        top->view()->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    }
    refreshToolbar();
}

void NavigationController::transition(ViewController* outgoing, ViewController* incoming, bool animated) {
    bool shown = isOnScreen();
    if (shown && outgoing) outgoing->beginAppearanceTransition(false, animated);
    if (isViewLoaded() && incoming) view()->insertSubview(incoming->view(), 0);
    if (shown && incoming) incoming->beginAppearanceTransition(true, animated);
    if (outgoing && outgoing->isViewLoaded() && outgoing->view()->superview() == view().get())
        outgoing->view()->removeFromSuperview();
    if (shown && outgoing) outgoing->endAppearanceTransition();
    if (shown && incoming) incoming->endAppearanceTransition();
    layoutContent();
}

void NavigationController::setViewControllers(Stack controllers, bool animated) {
    ViewController* outgoing = topViewController();
    Stack old = std::move(stack_);
    stack_ = std::move(controllers);
    for (auto& c : old) releaseChildLater(c);
    for (auto& c : stack_) adoptChild(*c);
    ViewController* incoming = topViewController();
    if (incoming != outgoing) transition(outgoing, incoming, animated);
}

void NavigationController::push(std::shared_ptr<ViewController> controller, bool animated) {
    if (!controller) return;
    ViewController* outgoing = topViewController();
    adoptChild(*controller);
    stack_.push_back(std::move(controller));
    transition(outgoing, topViewController(), animated);
}

std::shared_ptr<ViewController> NavigationController::pop(bool animated) {
    if (stack_.size() < 2) return nullptr;
    std::shared_ptr<ViewController> popped = stack_.back();
    stack_.pop_back();
    transition(popped.get(), topViewController(), animated);
    releaseChildLater(popped);
    return popped;
}

NavigationController::Stack NavigationController::popTo(const ViewController& controller, bool animated) {
    auto it = std::find_if(stack_.begin(), stack_.end(), [&](const auto& c) { return c.get() == &controller; });
    if (it == stack_.end() || it + 1 == stack_.end()) return {};
    Stack popped(it + 1, stack_.end());
    stack_.erase(it + 1, stack_.end());
    transition(popped.back().get(), topViewController(), animated);
    for (auto& c : popped) releaseChildLater(c);
    return popped;
}

NavigationController::Stack NavigationController::popToRoot(bool animated) {
    if (stack_.empty()) return {};
    return popTo(*stack_.front(), animated);
}

std::optional<std::string> NavigationController::backButtonTitle() const {
    if (stack_.size() < 2 || stack_.back()->navigationItem().hidesBackButton()) return std::nullopt;
    ViewController& below = *stack_[stack_.size() - 2];
    if (auto& back = below.navigationItem().backBarButtonItem())
        if (back->title()) return back->title();
    return below.navigationItem().title().value_or("Back");
}

void NavigationController::tapBackButton() {
    if (backButtonTitle()) pop(true);
}

void NavigationController::setNavigationBarHidden(bool hidden, bool) {
    barHidden_ = hidden;
    layoutContent();
}

void NavigationController::setToolbarHidden(bool hidden, bool) {
    toolbarHidden_ = hidden;
    toolbar_->setHidden(hidden);
    layoutContent();
}

void NavigationController::refreshToolbar() {
    ViewController* top = topViewController();
    toolbar_->setItems(top ? top->toolbarItems() : Toolbar::Items{});
}

uint32_t NavigationController::supportedInterfaceOrientations() const {
    ViewController* top = topViewController();
    return top ? top->supportedInterfaceOrientations() : ViewController::supportedInterfaceOrientations();
}

bool NavigationController::shouldAutorotate() const {
    ViewController* top = topViewController();
    return top ? top->shouldAutorotate() : true;
}

std::vector<ViewController*> NavigationController::visibleChildren() const {
    if (ViewController* top = topViewController()) return {top};
    return {};
}

} // namespace tavlo::ui
