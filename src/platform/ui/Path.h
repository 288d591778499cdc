#pragma once

#include "platform/ui/Geometry.h"

#include <vector>

namespace tavlo::ui {

// A graphics path: lines and whole shapes (rectangles, rounded rectangles, ellipses).
class Path {
public:
    enum class Op { MoveTo, LineTo, Close, Rect, RoundedRect, Ellipse };
    struct Element {
        Op op;
        Point point;   // MoveTo, LineTo
        ui::Rect rect; // Rect, RoundedRect, Ellipse
        double radius = 0;
        bool operator==(const Element&) const = default;
    };

    static Path rect(const ui::Rect& r);
    static Path roundedRect(const ui::Rect& r, double radius);
    static Path ellipse(const ui::Rect& r);

    Path& moveTo(Point p);
    Path& lineTo(Point p);
    Path& close();
    Path& addRect(const ui::Rect& r);
    Path& addRoundedRect(const ui::Rect& r, double radius);
    Path& addEllipse(const ui::Rect& r);

    const std::vector<Element>& elements() const { return elements_; }
    bool isEmpty() const { return elements_.empty(); }
    // The shape when the path is exactly one rectangle, rounded rectangle or ellipse.
    bool isSingle(Op op) const { return elements_.size() == 1 && elements_.front().op == op; }
    ui::Rect boundingBox() const;

    bool operator==(const Path&) const = default;

private:
    std::vector<Element> elements_;
};

} // namespace tavlo::ui
