#include "platform/ui/SegmentedControl.h"

#include <algorithm>

namespace tavlo::ui {

SegmentedControl::SegmentedControl(std::vector<std::string> titles, Rect frame) : Control(frame) {
    for (auto& t : titles) segments_.push_back({std::move(t), true});
}

void SegmentedControl::insertSegment(std::string title, int index) {
    index = std::clamp(index, 0, numberOfSegments());
    segments_.insert(segments_.begin() + index, {std::move(title), true});
    if (selected_ >= index) ++selected_;
}

void SegmentedControl::removeAllSegments() {
    segments_.clear();
    selected_ = noSegment;
}

std::string SegmentedControl::titleForSegment(int index) const { return valid(index) ? segments_[index].title : ""; }

void SegmentedControl::setTitle(std::string title, int index) {
    if (valid(index)) segments_[index].title = std::move(title);
}

std::vector<double> SegmentedControl::segmentWidths(double width, double padding) const {
    int count = numberOfSegments();
    if (count == 0) return {};
    std::vector<double> widths(count, width / count);
    std::vector<double> needed(count);
    double total = 0;
    bool cut = false;
    Font font = titleFont();
    for (int i = 0; i < count; ++i) {
        needed[i] = font.measure(segments_[i].title).width + 2 * padding;
        total += needed[i];
        cut = cut || needed[i] > widths[i];
    }
    if (!cut || total > width) return widths;
    double spare = (width - total) / count;
    for (int i = 0; i < count; ++i) widths[i] = needed[i] + spare;
    return widths;
}

int SegmentedControl::segmentAt(double x, double width, double padding) const {
    std::vector<double> widths = segmentWidths(width, padding);
    double right = 0;
    for (int i = 0; i < static_cast<int>(widths.size()); ++i) {
        right += widths[i];
        if (x < right) return i;
    }
    return static_cast<int>(widths.size()) - 1;
}

bool SegmentedControl::isEnabledForSegment(int index) const { return valid(index) && segments_[index].enabled; }

void SegmentedControl::setEnabled(bool enabled, int index) {
    if (valid(index)) segments_[index].enabled = enabled;
}

void SegmentedControl::setSelectedSegmentIndex(int index) {
    selected_ = valid(index) ? index : noSegment;
    setNeedsDisplay();
}

} // namespace tavlo::ui
