#include "platform/ui/SplitViewController.h"

namespace tavlo::ui {

SplitViewController::~SplitViewController() {
    if (master_) releaseChild(*master_);
    if (detail_) releaseChild(*detail_);
}

void SplitViewController::setViewControllers(std::shared_ptr<ViewController> master,
                                             std::shared_ptr<ViewController> detail) {
    bool shown = isOnScreen();
    std::vector<std::shared_ptr<ViewController>> leaving;
    for (auto& old : {master_, detail_})
        if (old && old != master && old != detail) leaving.push_back(old);
    if (shown)
        for (auto& c : leaving) c->beginAppearanceTransition(false, false);
    for (auto& c : leaving) {
        if (c->isViewLoaded()) c->view()->removeFromSuperview();
        if (shown) c->endAppearanceTransition();
        releaseChildLater(c);
    }
    master_ = std::move(master);
    detail_ = std::move(detail);
    if (master_) adoptChild(*master_);
    if (detail_) adoptChild(*detail_);
    layoutPanes();
    if (shown)
        for (ViewController* child : visibleChildren()) {
            child->beginAppearanceTransition(true, false);
            child->endAppearanceTransition();
        }
}

void SplitViewController::loadView() {
    ViewController::loadView();
    view()->setBackgroundColor(Color::black());
    layoutPanes();
}

void SplitViewController::layoutPanes() {
    if (!isViewLoaded()) return;
    Rect b = view()->bounds();
    double left = masterHidden_ ? 0 : kMasterWidth + 1;
    if (master_ && !masterHidden_) {
        master_->view()->setFrame({0, 0, kMasterWidth, b.height()});
        master_->view()->setAutoresizingMask(Autoresizing::FlexibleHeight);
        if (master_->view()->superview() != view().get()) view()->addSubview(master_->view());
    }
    if (detail_) {
        detail_->view()->setFrame({left, 0, std::max(0.0, b.width() - left), b.height()});
        detail_->view()->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        if (detail_->view()->superview() != view().get()) view()->addSubview(detail_->view());
    }
}

void SplitViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    updateMasterVisibility(animated);
}

void SplitViewController::didRotate(InterfaceOrientation from) {
    updateMasterVisibility(true);
    ViewController::didRotate(from);
}

void SplitViewController::updateMasterVisibility(bool animated) {
    bool hide = !isLandscape(interfaceOrientation());
    if (hide == masterHidden_ || !master_) return;
    if (!masterItem_) {
        masterItem_ = BarButtonItem::titled(master_->title().value_or("Menu"), BarButtonStyle::Bordered);
        // The delegate puts the item on another controller's bar, which may outlive this one.
        std::weak_ptr<ViewController> weak = weak_from_this();
        masterItem_->setAction([weak](BarButtonItem& item) {
            auto self = std::static_pointer_cast<SplitViewController>(weak.lock());
            if (self && self->popover_) self->popover_->presentFromBarButtonItem(item, true);
        });
    }
    bool shown = isVisible();
    if (hide) {
        if (shown) master_->beginAppearanceTransition(false, animated);
        if (master_->isViewLoaded()) master_->view()->removeFromSuperview();
        if (shown) master_->endAppearanceTransition();
        masterHidden_ = true;
        popover_ = std::make_shared<PopoverController>(master_);
        if (delegate_) delegate_->willHideViewController(*this, *master_, masterItem_, popover_);
        layoutPanes();
    } else {
        if (popover_) popover_->dismiss(false);
        popover_.reset();
        if (delegate_) delegate_->willShowViewController(*this, *master_, masterItem_);
        masterHidden_ = false;
        layoutPanes();
        if (shown) {
            master_->beginAppearanceTransition(true, animated);
            master_->endAppearanceTransition();
        }
    }
}

uint32_t SplitViewController::supportedInterfaceOrientations() const {
    uint32_t mask = OrientationMask::All;
    for (auto* c : {master_.get(), detail_.get()})
        if (c) mask &= c->supportedInterfaceOrientations();
    return mask ? mask : OrientationMask::All;
}

std::vector<ViewController*> SplitViewController::visibleChildren() const {
    std::vector<ViewController*> children;
    if (master_ && !masterHidden_) children.push_back(master_.get());
    if (detail_) children.push_back(detail_.get());
    return children;
}

} // namespace tavlo::ui
