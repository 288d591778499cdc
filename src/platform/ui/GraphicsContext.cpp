#include "platform/ui/GraphicsContext.h"

#include <cmath>

namespace tavlo::ui {

Rect GraphicsState::toDevice(const Rect& r) const {
    Point a = toDevice(r.origin);
    Point b = toDevice(Point{r.maxX(), r.maxY()});
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y)};
}

void GraphicsContext::restoreState() {
    if (saved_.empty()) return;
    state_ = saved_.back();
    saved_.pop_back();
}

void GraphicsContext::translate(double dx, double dy) {
    state_.translateX += dx * state_.scaleX;
    state_.translateY += dy * state_.scaleY;
}

void GraphicsContext::scale(double sx, double sy) {
    state_.scaleX *= sx;
    state_.scaleY *= sy;
}

void GraphicsContext::clip(const Rect& rect) {
    Rect device = state_.toDevice(rect);
    if (state_.clip) {
        const Rect& c = *state_.clip;
        double x1 = std::max(c.minX(), device.minX()), y1 = std::max(c.minY(), device.minY());
        double x2 = std::min(c.maxX(), device.maxX()), y2 = std::min(c.maxY(), device.maxY());
        device = {x1, y1, std::max(0.0, x2 - x1), std::max(0.0, y2 - y1)};
    }
    state_.clip = device;
}

Size GraphicsContext::measureText(std::string_view text, const Font& font, double, const TextWrap&) const {
    return measureText(text, font);
}

void GraphicsContext::drawText(std::string_view text, Point at, const Font& font) {
    drawText(text, Rect(at, measureText(text, font)), font, TextAlignment::Left);
}

} // namespace tavlo::ui
