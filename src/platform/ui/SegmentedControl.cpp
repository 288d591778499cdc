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
    selected_ = kNoSegment;
}

std::string SegmentedControl::titleForSegment(int index) const { return valid(index) ? segments_[index].title : ""; }

void SegmentedControl::setTitle(std::string title, int index) {
    if (valid(index)) segments_[index].title = std::move(title);
}

namespace {

// A title's width on one line, or with `lines` 2 on the two lines that split it best at a space.
double titleWidth(const std::string& title, const Font& font, int lines) {
    double best = font.measure(title).width;
    if (lines < 2) return best;
    for (size_t space = title.find(' '); space != std::string::npos; space = title.find(' ', space + 1))
        best = std::min(
            best, std::max(font.measure(title.substr(0, space)).width, font.measure(title.substr(space + 1)).width));
    return best;
}

std::vector<double> roomOfEach(const std::vector<std::string>& titles, const Font& font, int lines, double padding) {
    std::vector<double> room;
    for (const std::string& title : titles) room.push_back(titleWidth(title, font, lines) + 2 * padding);
    return room;
}

double sum(const std::vector<double>& values) {
    double total = 0;
    for (double value : values) total += value;
    return total;
}

constexpr double kSmallestOneLineSize = 10;

} // namespace

SegmentedControl::Layout SegmentedControl::layout(double width, double padding) const {
    const int count = numberOfSegments();
    Layout result{titleFont(), padding, 1, {}};
    if (count == 0) return result;
    std::vector<std::string> titles;
    for (const Segment& segment : segments_) titles.push_back(segment.title);
    auto fits = [&] { return sum(roomOfEach(titles, result.font, result.lines, result.padding)) <= width; };
    auto shrinkTo = [&](double smallest) {
        while (result.font.pointSize() > smallest && !fits())
            result.font = result.font.withSize(std::max(smallest, result.font.pointSize() - 0.5));
    };
    // Smaller titles first, then titles on two lines, smaller still, and at last less padding.
    shrinkTo(std::max(kSmallestOneLineSize, kMinimumTitleSize));
    if (!fits()) result.lines = 2;
    shrinkTo(kMinimumTitleSize);
    while (result.padding > 1 && !fits()) result.padding = std::max(1.0, result.padding - 0.5);
    if (result.lines == 2 && sum(roomOfEach(titles, result.font, 1, result.padding)) <= width) result.lines = 1;

    const std::vector<double> needed = roomOfEach(titles, result.font, result.lines, result.padding);
    const double total = sum(needed);
    result.widths.assign(count, width / count);
    bool cut = false;
    for (int i = 0; i < count; ++i) cut = cut || needed[i] > result.widths[i];
    if (!cut) return result;
    if (total <= width) {
        // What is left over is shared equally.
        const double spare = (width - total) / count;
        for (int i = 0; i < count; ++i) result.widths[i] = needed[i] + spare;
    } else {
        // Past the smallest titles every segment gives up the same share of its room.
        for (int i = 0; i < count; ++i) result.widths[i] = needed[i] * width / total;
    }
    return result;
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
    selected_ = valid(index) ? index : kNoSegment;
    setNeedsDisplay();
}

} // namespace tavlo::ui
