#include "platform/ui/ViewController.h"

#include "platform/foundation/Error.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SplitViewController.h"

namespace tavlo::ui {

namespace {

bool isPhone() {
    Application* app = Application::current();
    return !app || app->idiom() == DeviceIdiom::Phone;
}

// A form sheet on a tablet: 540 by 620 points in the middle of the window.
Rect formSheetFrame(const Rect& window) {
    double w = std::min(540.0, window.width()), h = std::min(620.0, window.height());
    return {(window.width() - w) / 2, (window.height() - h) / 2, w, h};
}

} // namespace

ViewController::ViewController(std::string interfaceName) : interfaceName_(std::move(interfaceName)) {}

ViewController::~ViewController() {
    if (presented_ && presented_->presenting_ == this) presented_->presenting_ = nullptr;
}

std::shared_ptr<View> ViewController::view() {
    if (!view_) {
        loadView();
        if (!view_) throw InconsistencyError("loadView made no view");
        viewDidLoad();
    }
    return view_;
}

void ViewController::loadView() {
    if (!interfaceName_.empty()) {
        view_ = InterfaceRegistry::shared().build(interfaceName_, *this);
        return;
    }
    view_ = std::make_shared<View>(screenFrame());
    view_->setBackgroundColor(Color::white());
}

void ViewController::setTitle(std::optional<std::string> title) {
    title_ = title;
    navigationItem_.setTitle(std::move(title));
}

void ViewController::setToolbarItems(BarItems items, bool) {
    toolbarItems_ = std::move(items);
    if (NavigationController* nav = navigationController()) nav->refreshToolbar();
}

void ViewController::connect(std::string name, std::shared_ptr<View> view) {
    outlets_[std::move(name)] = std::move(view);
}

View* ViewController::outlet(std::string_view name) const {
    auto it = outlets_.find(name);
    return it == outlets_.end() ? nullptr : it->second.get();
}

NavigationController* ViewController::navigationController() const {
    for (ViewController* p = parent_; p; p = p->parent_)
        if (auto* nav = dynamic_cast<NavigationController*>(p)) return nav;
    return nullptr;
}

SplitViewController* ViewController::splitViewController() const {
    for (ViewController* p = parent_; p; p = p->parent_)
        if (auto* split = dynamic_cast<SplitViewController*>(p)) return split;
    return nullptr;
}

ViewController& ViewController::rootAncestor() {
    ViewController* c = this;
    while (c->parent_) c = c->parent_;
    return *c;
}

ViewController* ViewController::presentingViewController() const {
    return const_cast<ViewController*>(this)->rootAncestor().presenting_;
}

void ViewController::present(std::shared_ptr<ViewController> controller, bool animated, Completion completion) {
    if (!controller) return;
    ViewController& host = rootAncestor();
    if (host.presented_) throw InconsistencyError("A controller that already presents another cannot present a second");
    host.presented_ = controller;
    controller->presenting_ = &host;
    Window* window = host.isViewLoaded() ? host.view_->window() : nullptr;
    if (window && host.appearance_ != Appearance::Disappeared) {
        bool covers = controller->presentationStyle_ == ModalPresentationStyle::FullScreen || isPhone();
        auto view = controller->view();
        view->setFrame(covers ? window->bounds() : formSheetFrame(window->bounds()));
        view->setAutoresizingMask(covers ? Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight
                                         : Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleRightMargin |
                                               Autoresizing::FlexibleTopMargin | Autoresizing::FlexibleBottomMargin);
        window->addSubview(view);
        if (covers) host.beginAppearanceTransition(false, animated);
        controller->beginAppearanceTransition(true, animated);
        if (covers) host.endAppearanceTransition();
        controller->endAppearanceTransition();
    }
    if (completion) completion();
}

void ViewController::dismiss(bool animated, Completion completion) {
    ViewController& root = rootAncestor();
    ViewController* host = root.presented_ ? &root : root.presenting_;
    if (!host || !host->presented_) return;

    std::vector<std::shared_ptr<ViewController>> chain; // bottom first
    for (auto c = host->presented_; c; c = c->presented_) chain.push_back(c);
    bool uncovers = host->appearance_ == Appearance::Disappeared && host->isViewLoaded() && host->view_->window();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) (*it)->beginAppearanceTransition(false, animated);
    if (uncovers) host->beginAppearanceTransition(true, animated);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        (*it)->endAppearanceTransition();
        if ((*it)->isViewLoaded()) (*it)->view_->removeFromSuperview();
    }
    if (uncovers) host->endAppearanceTransition();
    for (auto& c : chain) {
        c->presenting_ = nullptr;
        c->presented_.reset();
        releaseLater(c);
    }
    host->presented_.reset();
    if (completion) completion();
    if (Application* app = Application::current()) app->updateInterfaceOrientation();
}

void ViewController::beginAppearanceTransition(bool appearing, bool animated) {
    if (appearing == isOnScreen()) return;
    if (appearing) view();
    appearance_ = appearing ? Appearance::Appearing : Appearance::Disappearing;
    transitionAnimated_ = animated;
    if (appearing) viewWillAppear(animated);
    else viewWillDisappear(animated);
    for (ViewController* child : visibleChildren()) child->beginAppearanceTransition(appearing, animated);
}

void ViewController::endAppearanceTransition() {
    if (appearance_ == Appearance::Appearing) {
        appearance_ = Appearance::Appeared;
        viewDidAppear(transitionAnimated_);
    } else if (appearance_ == Appearance::Disappearing) {
        appearance_ = Appearance::Disappeared;
        viewDidDisappear(transitionAnimated_);
    } else {
        return;
    }
    for (ViewController* child : visibleChildren()) child->endAppearanceTransition();
}

ViewController* ViewController::visibleViewController() {
    if (presented_) return presented_->visibleViewController();
    auto children = visibleChildren();
    return children.empty() ? this : children.back()->visibleViewController();
}

Rect ViewController::screenFrame() {
    Application* app = Application::current();
    return app ? app->device().screenBounds(app->interfaceOrientation()) : Rect(0, 0, 320, 480);
}

void ViewController::releaseLater(std::shared_ptr<ViewController> controller) {
    if (Application* app = Application::current()) app->releaseLater(std::move(controller));
}

uint32_t ViewController::supportedInterfaceOrientations() const {
    return isPhone() ? OrientationMask::AllButUpsideDown : OrientationMask::All;
}

InterfaceOrientation ViewController::interfaceOrientation() const {
    Application* app = Application::current();
    return app ? app->interfaceOrientation() : InterfaceOrientation::Portrait;
}

void ViewController::didRotate(InterfaceOrientation from) {
    for (ViewController* child : visibleChildren()) child->didRotate(from);
    if (presented_) presented_->didRotate(from);
}

void ViewController::setEditing(bool editing, bool) {
    editing_ = editing;
    if (editItem_) {
        editItem_->setSystemItem(editing ? SystemItem::Done : SystemItem::Edit);
        editItem_->setStyle(editing ? BarButtonStyle::Done : BarButtonStyle::Bordered);
    }
}

std::shared_ptr<BarButtonItem> ViewController::editButtonItem() {
    if (!editItem_) {
        std::weak_ptr<ViewController> weak = weak_from_this();
        editItem_ = BarButtonItem::system(editing_ ? SystemItem::Done : SystemItem::Edit, [weak](BarButtonItem&) {
            if (auto self = weak.lock()) self->setEditing(!self->isEditing(), true);
        });
        editItem_->setStyle(editing_ ? BarButtonStyle::Done : BarButtonStyle::Bordered);
    }
    return editItem_;
}

} // namespace tavlo::ui
