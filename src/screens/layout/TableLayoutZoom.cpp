// The table layout's zooming and gestures: a press picks a table, two taps zoom in on the point,
// a two-finger tap zooms out, and the plan stays centred while it is smaller than the screen.
#include "screens/layout/TableLayoutViewController.h"

#include "core/session/Session.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/GestureRecognizer.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

namespace {

// A press held this long, moving no farther, picks a table.
constexpr double kPressSeconds = 0.1;
constexpr double kPressMovement = 10;

} // namespace

void TableLayoutViewController::setupZooming() {
    ScrollView& scroll = scrollView();
    scroll.setMinimumZoomScale(kMinimumZoom);
    scroll.setMaximumZoomScale(kMaximumZoom);
    scroll.setContentSize({kPlanWidth, kPlanHeight});
    scroll.setDelegate(this);

    auto press =
        std::make_shared<LongPressGestureRecognizer>([this](GestureRecognizer& g) { scrollViewOneFingerTapped(g); });
    press->setMinimumPressDuration(kPressSeconds);
    press->setAllowableMovement(kPressMovement);
    scroll.addGestureRecognizer(press);

    auto zoomOut =
        std::make_shared<TapGestureRecognizer>([this](GestureRecognizer& g) { scrollViewTwoFingerTapped(g); });
    zoomOut->setNumberOfTouchesRequired(2);
    scroll.addGestureRecognizer(zoomOut);

    auto zoomIn = std::make_shared<TapGestureRecognizer>([this](GestureRecognizer& g) { scrollViewDoubleTapped(g); });
    zoomIn->setNumberOfTapsRequired(2);
    scroll.addGestureRecognizer(zoomIn);
}

View* TableLayoutViewController::viewForZooming(ScrollView&) { return planView_.get(); }

void TableLayoutViewController::scrollViewDidZoom(ScrollView&) { centerScrollViewContents(); }

void TableLayoutViewController::centerScrollViewContents() {
    const Size visible = scrollView().bounds().size;
    Rect frame = planView_->frame();
    frame.origin.x = frame.width() < visible.width ? (visible.width - frame.width()) / 2 : 0;
    frame.origin.y = frame.height() < visible.height ? (visible.height - frame.height()) / 2 : 0;
    planView_->setFrame(frame);
}

void TableLayoutViewController::scrollViewOneFingerTapped(GestureRecognizer& gesture) {
    if (gesture.state() != GestureRecognizer::State::Ended) return;
    Point at = gesture.locationInView(planView_.get());
    std::optional<AreaLocation> table = tableAt(static_cast<int>(at.x), static_cast<int>(at.y));
    ObjectContext* context = contextOf(session_.get());
    if (!table || !context) return;
    if (ManagedObjectPtr row =
            context->fetchFirst("AreaLocation", "areaLocationId == %@", table->areaLocationId().value_or("")))
        selected_(row);
}

void TableLayoutViewController::scrollViewTwoFingerTapped(GestureRecognizer&) {
    ScrollView& scroll = scrollView();
    scroll.setZoomScale(std::max(scroll.zoomScale() / kZoomStep, scroll.minimumZoomScale()), true);
}

void TableLayoutViewController::scrollViewDoubleTapped(GestureRecognizer& gesture) {
    ScrollView& scroll = scrollView();
    double scale = std::min(scroll.zoomScale() * kZoomStep, scroll.maximumZoomScale());
    Point at = gesture.locationInView(planView_.get());
    Size size{scroll.bounds().width() / scale, scroll.bounds().height() / scale};
    scroll.zoomToRect(Rect(at.x - size.width / 2, at.y - size.height / 2, size.width, size.height), true);
}

std::optional<AreaLocation> TableLayoutViewController::tableAt(int x, int y) const {
    const std::optional<Area>& area = planView_->area();
    if (!selected_ || !area) return std::nullopt;
    for (const AreaLocation& location : area->locations()) {
        if (location.seats() < 1) continue;
        if (TableLayoutView::frameOf(location).contains({static_cast<double>(x), static_cast<double>(y)}))
            return location;
    }
    return std::nullopt;
}

} // namespace tavlo::screens
