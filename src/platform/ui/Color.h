#pragma once

#include "platform/ui/Image.h"

#include <optional>

namespace tavlo::ui {

// An RGBA colour with components from 0 to 1, or a pattern that tiles an image.
class Color {
public:
    constexpr Color() = default;
    constexpr Color(double r, double g, double b, double a = 1) : r_(r), g_(g), b_(b), a_(a) {}
    static Color withWhite(double white, double alpha = 1) { return {white, white, white, alpha}; }
    static Color pattern(Image image);

    static Color black() { return {0, 0, 0}; }
    static Color white() { return {1, 1, 1}; }
    static Color clear() { return {0, 0, 0, 0}; }
    static Color red() { return {1, 0, 0}; }
    static Color green() { return {0, 1, 0}; }
    static Color blue() { return {0, 0, 1}; }
    static Color yellow() { return {1, 1, 0}; }
    static Color gray() { return withWhite(0.5); }
    static Color lightGray() { return withWhite(2.0 / 3.0); }
    static Color darkGray() { return withWhite(1.0 / 3.0); }

    double r() const { return r_; }
    double g() const { return g_; }
    double b() const { return b_; }
    double a() const { return a_; }
    const std::optional<Image>& patternImage() const { return pattern_; }
    Color withAlpha(double alpha) const;

    bool operator==(const Color&) const = default;

private:
    double r_ = 0, g_ = 0, b_ = 0, a_ = 0;
    std::optional<Image> pattern_;
};

} // namespace tavlo::ui
