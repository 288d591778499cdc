#include "platform/ui/View.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Window.h"

#include <algorithm>

namespace tavlo::ui {

namespace {

std::weak_ptr<View> firstResponder;

// Spreads a size change over the flexible parts of one axis, in proportion to their sizes.
void resizeAxis(double& position, double& length, double oldParent, double newParent, bool flexStart, bool flexLength,
                bool flexEnd) {
    double delta = newParent - oldParent;
    if (delta == 0 || !(flexStart || flexLength || flexEnd)) return;
    double start = position, end = oldParent - position - length;
    double total = (flexStart ? start : 0) + (flexLength ? length : 0) + (flexEnd ? end : 0);
    int parts = int(flexStart) + int(flexLength) + int(flexEnd);
    auto share = [&](bool flexible, double size) {
        if (!flexible) return 0.0;
        return total > 0 ? delta * size / total : delta / parts;
    };
    position += share(flexStart, start);
    length += share(flexLength, length);
}

} // namespace

View::View(Rect frame) : frame_(frame), bounds_(0, 0, frame.width(), frame.height()) {}

View::~View() {
    for (auto& sub : subviews_) sub->superview_ = nullptr;
}

void View::setFrame(const Rect& frame) {
    Size old = bounds_.size;
    frame_ = frame;
    bounds_.size = {frame.width() / scale_, frame.height() / scale_};
    if (bounds_.size != old) {
        autoresizeSubviews(old);
        setNeedsLayout();
    }
}

void View::setBounds(const Rect& bounds) {
    Size old = bounds_.size;
    bounds_ = bounds;
    frame_.size = {bounds.width() * scale_, bounds.height() * scale_};
    if (bounds_.size != old) {
        autoresizeSubviews(old);
        setNeedsLayout();
    }
}

void View::setCenter(Point center) { frame_.origin = {center.x - frame_.width() / 2, center.y - frame_.height() / 2}; }

void View::setTransformScale(double scale) {
    if (scale <= 0) return;
    scale_ = scale;
    frame_.size = {bounds_.width() * scale, bounds_.height() * scale};
}

void View::setBackgroundColor(std::optional<Color> color) {
    backgroundColor_ = std::move(color);
    setNeedsDisplay();
}

void View::autoresizeSubviews(Size oldSize) {
    for (auto& sub : subviews_) {
        uint32_t m = sub->autoresizingMask_;
        if (m == Autoresizing::None) continue;
        Rect f = sub->frame_;
        resizeAxis(f.origin.x, f.size.width, oldSize.width, bounds_.width(), m & Autoresizing::FlexibleLeftMargin,
                   m & Autoresizing::FlexibleWidth, m & Autoresizing::FlexibleRightMargin);
        resizeAxis(f.origin.y, f.size.height, oldSize.height, bounds_.height(), m & Autoresizing::FlexibleTopMargin,
                   m & Autoresizing::FlexibleHeight, m & Autoresizing::FlexibleBottomMargin);
        sub->setFrame(f);
    }
}

void View::addSubview(std::shared_ptr<View> view) { insertSubview(std::move(view), subviews_.size()); }

void View::insertSubview(std::shared_ptr<View> view, size_t index) {
    if (!view || view.get() == this) return;
    if (view->superview_) view->detach();
    view->superview_ = this;
    subviews_.insert(subviews_.begin() + std::min(index, subviews_.size()), view);
    view->didMoveToSuperview();
    setNeedsLayout();
}

void View::detach() {
    View* parent = superview_;
    superview_ = nullptr;
    auto& siblings = parent->subviews_;
    auto it = std::find_if(siblings.begin(), siblings.end(), [this](const auto& v) { return v.get() == this; });
    if (it != siblings.end()) {
        std::shared_ptr<View> keep = *it; // stays alive until we are done with it
        siblings.erase(it);
    }
}

void View::removeFromSuperview() {
    if (!superview_) return;
    if (auto responder = firstResponder.lock(); responder && responder->isDescendantOf(*this))
        responder->resignFirstResponder();
    std::shared_ptr<View> keep = shared_from_this();
    detach();
    didMoveToSuperview();
}

void View::bringSubviewToFront(const View& view) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const auto& v) { return v.get() == &view; });
    if (it != subviews_.end()) std::rotate(it, it + 1, subviews_.end());
}

void View::sendSubviewToBack(const View& view) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const auto& v) { return v.get() == &view; });
    if (it != subviews_.end()) std::rotate(subviews_.begin(), it, it + 1);
}

View* View::viewWithTag(int tag) {
    if (tag_ == tag) return this;
    for (auto& sub : subviews_)
        if (View* found = sub->viewWithTag(tag)) return found;
    return nullptr;
}

bool View::isDescendantOf(const View& ancestor) const {
    for (const View* v = this; v; v = v->superview_)
        if (v == &ancestor) return true;
    return false;
}

Window* View::window() const {
    const View* root = this;
    while (root->superview_) root = root->superview_;
    return dynamic_cast<Window*>(const_cast<View*>(root));
}

bool View::isShown() const {
    for (const View* v = this; v; v = v->superview_)
        if (v->hidden_ || v->alpha_ < 0.01) return false;
    return true;
}

void View::layoutIfNeeded() {
    if (needsLayout_) {
        needsLayout_ = false;
        layoutSubviews();
    }
    // A subview may be removed by its parent's layout; walk a copy.
    auto subs = subviews_;
    for (auto& sub : subs) sub->layoutIfNeeded();
}

void View::sizeToFit() {
    Size fit = sizeThatFits(frame_.size);
    setFrame({frame_.origin, fit});
}

void View::displayIfNeeded() {
    if (!needsDisplay_) return;
    needsDisplay_ = false;
    ++displayCount_;
}

void View::draw(GraphicsContext&, const Rect&) {}

Point View::convertPoint(Point point, const View* to) const {
    // Up to the root, then down to the target.
    Point p = point;
    for (const View* v = this; v->superview_; v = v->superview_)
        p = {v->frame_.x() + (p.x - v->bounds_.x()) * v->scale_, v->frame_.y() + (p.y - v->bounds_.y()) * v->scale_};
    return to ? to->convertPointFrom(p, nullptr) : p;
}

Point View::convertPointFrom(Point point, const View* from) const {
    Point p = from ? from->convertPoint(point, nullptr) : point;
    std::vector<const View*> chain;
    for (const View* v = this; v->superview_; v = v->superview_) chain.push_back(v);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const View* v = *it;
        p = {(p.x - v->frame_.x()) / v->scale_ + v->bounds_.x(), (p.y - v->frame_.y()) / v->scale_ + v->bounds_.y()};
    }
    return p;
}

Rect View::convertRect(const Rect& rect, const View* to) const {
    Point a = convertPoint(rect.origin, to);
    Point b = convertPoint({rect.maxX(), rect.maxY()}, to);
    return {a.x, a.y, b.x - a.x, b.y - a.y};
}

View* View::hitTest(Point point) {
    if (!isShown() || !userInteraction_ || !bounds_.contains(point)) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        View* sub = it->get();
        if (View* hit = sub->hitTest(sub->convertPointFrom(point, this))) return hit;
    }
    return this;
}

void View::addGestureRecognizer(std::shared_ptr<GestureRecognizer> recognizer) {
    if (!recognizer) return;
    recognizer->view_ = this;
    gestures_.push_back(std::move(recognizer));
}

void View::removeGestureRecognizer(const GestureRecognizer& recognizer) {
    std::erase_if(gestures_, [&](const auto& g) { return g.get() == &recognizer; });
}

void View::touchesBegan(const std::vector<Touch>&) {}
void View::touchesMoved(const std::vector<Touch>&) {}
void View::touchesEnded(const std::vector<Touch>&) {}

View* View::currentFirstResponder() { return firstResponder.lock().get(); }

bool View::isFirstResponder() const { return firstResponder.lock().get() == this; }

bool View::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!shouldBecomeFirstResponder()) return false;
    std::shared_ptr<View> previous = firstResponder.lock();
    if (previous && !previous->shouldResignFirstResponder()) return false;
    firstResponder = weak_from_this();
    // Moving between fields keeps the keyboard up: no notification.
    if (previous) previous->didResignFirstResponder();
    didBecomeFirstResponder();
    if (!previous) NotificationCenter::defaultCenter().post(keyboardDidShowNotification, {}, {}, nullptr);
    return true;
}

bool View::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    if (!shouldResignFirstResponder()) return false;
    firstResponder.reset();
    didResignFirstResponder();
    NotificationCenter::defaultCenter().post(keyboardWillHideNotification, {}, {}, nullptr);
    return true;
}

} // namespace tavlo::ui
