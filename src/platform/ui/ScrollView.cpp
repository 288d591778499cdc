#include "platform/ui/ScrollView.h"

#include <algorithm>
#include <cmath>

namespace tavlo::ui {

void ScrollView::setContentOffset(Point offset, bool) {
    const bool moved = offset != bounds().origin;
    setBounds({offset, bounds().size});
    // What is in view changed: a table lays out the rows that came into view.
    if (moved) setNeedsLayout();
    if (delegate_) delegate_->scrollViewDidScroll(*this);
}

void ScrollView::setZoomScale(double scale, bool) {
    View* zoomed = delegate_ ? delegate_->viewForZooming(*this) : nullptr;
    if (!zoomed) return;
    zoom_ = std::clamp(scale, minZoom_, std::max(minZoom_, maxZoom_));
    zoomed->setTransformScale(zoom_);
    contentSize_ = zoomed->frame().size;
    // Zoomed out, what was in sight may lie beyond the smaller content: come back to its edge.
    Point offset = contentOffset();
    if (Point within = withinContent(offset); within != offset) setBounds({within, bounds().size});
    delegate_->scrollViewDidZoom(*this);
}

Point ScrollView::withinContent(Point offset) const {
    return {std::clamp(offset.x, 0.0, std::max(0.0, contentSize_.width - bounds().width())),
            std::clamp(offset.y, 0.0, std::max(0.0, contentSize_.height - bounds().height()))};
}

Point ScrollView::settledOffset(Point offset) const {
    Point within = withinContent(offset);
    if (pageWidth_ <= 0) return within;
    const double last = std::ceil(std::max(0.0, contentSize_.width - bounds().width()) / pageWidth_);
    return {std::clamp(std::round(offset.x / pageWidth_), 0.0, last) * pageWidth_, within.y};
}

void ScrollView::zoomToRect(const Rect& rect, bool animated) {
    if (rect.isEmpty()) return;
    setZoomScale(std::min(bounds().width() / rect.width(), bounds().height() / rect.height()), animated);
    // A rectangle near an edge scrolls only as far as the content reaches.
    setContentOffset(withinContent({rect.x() * zoom_, rect.y() * zoom_}), animated);
}

} // namespace tavlo::ui
