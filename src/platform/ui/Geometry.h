#pragma once

#include <algorithm>
#include <compare>
#include <cstdint>

namespace tavlo::ui {

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    double minX() const { return origin.x; }
    double minY() const { return origin.y; }
    double maxX() const { return origin.x + size.width; }
    double maxY() const { return origin.y + size.height; }
    double midX() const { return origin.x + size.width / 2; }
    double midY() const { return origin.y + size.height / 2; }
    Point center() const { return {midX(), midY()}; }
    bool isEmpty() const { return size.width <= 0 || size.height <= 0; }

    // Edges count as inside, so a tap on the border of a table still hits it.
    bool contains(Point p) const { return p.x >= minX() && p.x <= maxX() && p.y >= minY() && p.y <= maxY(); }
    Rect offsetBy(double dx, double dy) const { return {origin.x + dx, origin.y + dy, size.width, size.height}; }
    Rect insetBy(double dx, double dy) const {
        return {origin.x + dx, origin.y + dy, std::max(0.0, size.width - 2 * dx), std::max(0.0, size.height - 2 * dy)};
    }
    bool operator==(const Rect&) const = default;
};

enum class TextAlignment { Left, Center, Right };

enum class LineBreakMode { WordWrap, CharWrap, Clip, TruncateHead, TruncateTail, TruncateMiddle };

} // namespace tavlo::ui
