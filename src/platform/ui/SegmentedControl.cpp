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

bool SegmentedControl::isEnabledForSegment(int index) const { return valid(index) && segments_[index].enabled; }

void SegmentedControl::setEnabled(bool enabled, int index) {
    if (valid(index)) segments_[index].enabled = enabled;
}

void SegmentedControl::setSelectedSegmentIndex(int index) {
    selected_ = valid(index) ? index : noSegment;
    setNeedsDisplay();
}

} // namespace tavlo::ui
