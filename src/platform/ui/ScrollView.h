#pragma once

#include "platform/ui/View.h"

namespace tavlo::ui {

class ScrollView;

class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(ScrollView&) {}
    // The subview that zooming scales; none means the scroll view does not zoom.
    virtual View* viewForZooming(ScrollView&) { return nullptr; }
    virtual void scrollViewDidZoom(ScrollView&) {}
};

// A view larger inside than outside: the bounds origin is the content offset; the zoom scale
// scales the delegate's zooming view.
class ScrollView : public View {
public:
    using View::View;

    Size contentSize() const { return contentSize_; }
    void setContentSize(Size size) { contentSize_ = size; }
    Point contentOffset() const { return bounds().origin; }
    void setContentOffset(Point offset, bool animated = false);

    double zoomScale() const { return zoom_; }
    // Kept within the limits; the zooming view and the content size follow, and the offset stays
    // within the content.
    void setZoomScale(double scale, bool animated = false);
    double minimumZoomScale() const { return minZoom_; }
    void setMinimumZoomScale(double scale) { minZoom_ = scale; }
    double maximumZoomScale() const { return maxZoom_; }
    void setMaximumZoomScale(double scale) { maxZoom_ = scale; }
    // Zooms so that a rectangle of the zooming view fills the scroll view, scrolling no farther
    // than the content's edges.
    void zoomToRect(const Rect& rect, bool animated = false);

    ScrollViewDelegate* delegate() const { return delegate_; }
    void setDelegate(ScrollViewDelegate* delegate) { delegate_ = delegate; }
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
    bool bounces() const { return bounces_; }
    void setBounces(bool bounces) { bounces_ = bounces; }
    bool showsHorizontalScrollIndicator() const { return horizontalIndicator_; }
    void setShowsHorizontalScrollIndicator(bool shows) { horizontalIndicator_ = shows; }
    bool showsVerticalScrollIndicator() const { return verticalIndicator_; }
    void setShowsVerticalScrollIndicator(bool shows) { verticalIndicator_ = shows; }
    // Sideways paging: a drag or the wheel comes to rest on whole pages of this width (0: anywhere).
    double pageWidth() const { return pageWidth_; }
    void setPageWidth(double width) { pageWidth_ = width; }
    // Where a move to `offset` comes to rest: across, on the nearest whole page (the last may reach
    // past the content's edge, so that it shows whole); down, within the content.
    Point settledOffset(Point offset) const;

private:
    // The nearest offset that shows no more than the content (none beyond its edges).
    Point withinContent(Point offset) const;

    Size contentSize_;
    double zoom_ = 1;
    double minZoom_ = 1;
    double maxZoom_ = 1;
    ScrollViewDelegate* delegate_ = nullptr;
    bool scrollEnabled_ = true;
    bool bounces_ = true;
    bool horizontalIndicator_ = true;
    bool verticalIndicator_ = true;
    double pageWidth_ = 0;
};

} // namespace tavlo::ui
