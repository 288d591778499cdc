#pragma once

#include "platform/ui/Geometry.h"

#include <string>
#include <string_view>

namespace tavlo::ui {

// A font: the system face (plain, bold or italic) or a named family ("Arial", "Courier-Bold"), and a
// point size.
class Font {
public:
    enum class Weight { Regular, Bold, Italic };

    Font() = default;
    static Font system(double size) { return Font("", Weight::Regular, size); }
    static Font boldSystem(double size) { return Font("", Weight::Bold, size); }
    static Font italicSystem(double size) { return Font("", Weight::Italic, size); }
    static Font named(std::string family, double size) { return Font(std::move(family), Weight::Regular, size); }

    const std::string& family() const { return family_; } // empty: the system face
    Weight weight() const { return weight_; }
    double pointSize() const { return size_; }
    bool isSystem() const { return family_.empty(); }
    Font withSize(double size) const { return Font(family_, weight_, size); }

    // Headless metrics: a fixed advance per character and a line height of 1.2 em, so that layout
    // that depends on text width is the same on every machine. A drawing backend installs its own
    // measure (setMeasurer), so that layout agrees with what it draws.
    double lineHeight() const { return size_ * 1.2; }
    Size measure(std::string_view text) const;
    using Measurer = Size (*)(const Font& font, std::string_view text);
    // Null goes back to the headless metrics. Any thread.
    static void setMeasurer(Measurer measurer);
    // How many lines the text takes wrapped at its word breaks to a width (a word wider than the
    // width broken too), as the drawing backend lays it out once it installed its count.
    int lineCount(std::string_view text, double width) const;
    using LineCounter = int (*)(const Font& font, std::string_view text, double width);
    static void setLineCounter(LineCounter counter);

    bool operator==(const Font&) const = default;

private:
    Size measureHeadless(std::string_view text) const;
    int lineCountHeadless(std::string_view text, double width) const;
    Font(std::string family, Weight weight, double size) : family_(std::move(family)), weight_(weight), size_(size) {}
    std::string family_;
    Weight weight_ = Weight::Regular;
    double size_ = 17;
};

} // namespace tavlo::ui
