#pragma once

#include "platform/ui/Path.h"

#include <cmath>
#include <initializer_list>

namespace tavlo::ui::render {

// Small shapes the renderer draws its symbols with.

// A closed polygon, or an open polyline, through the points.
inline Path polygon(std::initializer_list<Point> points, bool closed = true) {
    Path path;
    bool first = true;
    for (Point p : points) {
        if (first) path.moveTo(p);
        else path.lineTo(p);
        first = false;
    }
    if (closed) path.close();
    return path;
}

// An arc of a circle as a polyline, from one angle to another (radians, clockwise on screen).
inline Path arc(Point centre, double radius, double from, double to, int steps = 16) {
    Path path;
    for (int i = 0; i <= steps; ++i) {
        double a = from + (to - from) * i / steps;
        Point p{centre.x + radius * std::cos(a), centre.y + radius * std::sin(a)};
        if (i == 0) path.moveTo(p);
        else path.lineTo(p);
    }
    return path;
}

inline Path line(Point a, Point b) { return Path().moveTo(a).lineTo(b); }

} // namespace tavlo::ui::render
