#pragma once

#include "platform/ui/Control.h"
#include "platform/ui/Font.h"

#include <string>
#include <vector>

namespace tavlo::ui {

enum class SegmentedControlStyle { Plain, Bordered, Bar };

// A row of titled segments of which at most one is selected; choosing one sends ValueChanged.
class SegmentedControl : public Control {
public:
    static constexpr int kNoSegment = -1;

    explicit SegmentedControl(std::vector<std::string> titles = {}, Rect frame = {});

    int numberOfSegments() const { return static_cast<int>(segments_.size()); }
    void insertSegment(std::string title, int index);
    void removeAllSegments();
    std::string titleForSegment(int index) const;
    void setTitle(std::string title, int index);
    bool isEnabledForSegment(int index) const;
    void setEnabled(bool enabled, int index);
    using Control::setEnabled;
    int selectedSegmentIndex() const { return selected_; }
    // Set by the program: no action is sent. Out of range selects nothing.
    void setSelectedSegmentIndex(int index);
    SegmentedControlStyle style() const { return style_; }
    void setStyle(SegmentedControlStyle style) { style_ = style; }
    // The titles' font: smaller in a bar.
    Font titleFont() const {
        return style_ == SegmentedControlStyle::Bar ? Font::boldSystem(13) : Font::boldSystem(15);
    }
    // How the segments share `width`, where a title takes its own width and `padding` on each
    // side: while every title has its room in `titleFont`, equal shares where each fits, else
    // each segment its title's room and an equal part of what is left. When they do not all
    // fit, the titles shrink, then break at a space onto two lines, shrink down to
    // `kMinimumTitleSize` and at last lose padding (down to 1 point) until they do, so that a bar
    // of many segments still shows every title whole; past that each segment gives up the same
    // share of its room.
    struct Layout {
        Font font;
        double padding = 0;
        int lines = 1;
        std::vector<double> widths;
    };
    Layout layout(double width, double padding) const;
    static constexpr double kMinimumTitleSize = 9;
    std::vector<double> segmentWidths(double width, double padding) const { return layout(width, padding).widths; }
    // The segment under x (from the control's left edge) when the segments span `width`.
    int segmentAt(double x, double width, double padding) const;

private:
    struct Segment {
        std::string title;
        bool enabled = true;
    };
    bool valid(int index) const { return index >= 0 && index < numberOfSegments(); }

    std::vector<Segment> segments_;
    int selected_ = kNoSegment;
    SegmentedControlStyle style_ = SegmentedControlStyle::Plain;
};

} // namespace tavlo::ui
