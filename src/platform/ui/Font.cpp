#include "platform/ui/Font.h"

#include "platform/foundation/Text.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>

namespace tavlo::ui {

namespace {

std::atomic<Font::Measurer> installedMeasurer{nullptr};
std::atomic<Font::LineCounter> installedLineCounter{nullptr};

} // namespace

void Font::setMeasurer(Measurer measurer) { installedMeasurer.store(measurer); }

Size Font::measure(std::string_view text) const {
    if (Measurer m = installedMeasurer.load()) return m(*this, text);
    return measureHeadless(text);
}

void Font::setLineCounter(LineCounter counter) { installedLineCounter.store(counter); }

int Font::lineCount(std::string_view text, double width) const {
    if (LineCounter count = installedLineCounter.load()) return count(*this, text, width);
    return lineCountHeadless(text, width);
}

int Font::lineCountHeadless(std::string_view text, double width) const {
    if (width <= 0) return 1;
    int lines = 1;
    std::string line;
    size_t at = 0;
    while (at < text.size()) {
        const size_t blank = std::min(text.find(' ', at), text.size());
        const std::string word(text.substr(at, blank - at));
        at = blank + 1;
        if (word.empty()) continue;
        const std::string tried = line.empty() ? word : line + " " + word;
        if (measureHeadless(tried).width <= width) {
            line = tried;
            continue;
        }
        if (!line.empty()) ++lines;
        lines += std::max(0, static_cast<int>(std::ceil(measureHeadless(word).width / width)) - 1);
        line = word;
    }
    return lines;
}

Size Font::measureHeadless(std::string_view text) const {
    const double advance = size_ * (weight_ == Weight::Bold ? 0.6 : 0.55);
    size_t lines = 1, longest = 0, current = 0;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
            current = characterCount(text.substr(start, i - start));
            longest = std::max(longest, current);
            if (i < text.size()) ++lines;
            start = i + 1;
        }
    }
    return {advance * static_cast<double>(longest), lineHeight() * static_cast<double>(lines)};
}

} // namespace tavlo::ui
