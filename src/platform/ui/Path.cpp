#include "platform/ui/Path.h"

#include <limits>

namespace tavlo::ui {

Path Path::rect(const ui::Rect& r) { return Path().addRect(r); }
Path Path::roundedRect(const ui::Rect& r, double radius) { return Path().addRoundedRect(r, radius); }
Path Path::ellipse(const ui::Rect& r) { return Path().addEllipse(r); }

Path& Path::moveTo(Point p) {
    elements_.push_back({Op::MoveTo, p, {}, 0});
    return *this;
}

Path& Path::lineTo(Point p) {
    elements_.push_back({Op::LineTo, p, {}, 0});
    return *this;
}

Path& Path::close() {
    elements_.push_back({Op::Close, {}, {}, 0});
    return *this;
}

Path& Path::addRect(const ui::Rect& r) {
    elements_.push_back({Op::Rect, {}, r, 0});
    return *this;
}

Path& Path::addRoundedRect(const ui::Rect& r, double radius) {
    elements_.push_back({Op::RoundedRect, {}, r, radius});
    return *this;
}

Path& Path::addEllipse(const ui::Rect& r) {
    elements_.push_back({Op::Ellipse, {}, r, 0});
    return *this;
}

ui::Rect Path::boundingBox() const {
    if (elements_.empty()) return {};
    double minX = std::numeric_limits<double>::max(), minY = minX;
    double maxX = std::numeric_limits<double>::lowest(), maxY = maxX;
    auto take = [&](Point p) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    };
    for (const Element& e : elements_) {
        if (e.op == Op::MoveTo || e.op == Op::LineTo) take(e.point);
        if (e.op == Op::Rect || e.op == Op::RoundedRect || e.op == Op::Ellipse) {
            take(e.rect.origin);
            take({e.rect.maxX(), e.rect.maxY()});
        }
    }
    if (minX > maxX) return {};
    return {minX, minY, maxX - minX, maxY - minY};
}

} // namespace tavlo::ui
