#include "platform/ui/Font.h"

#include "platform/foundation/Text.h"

#include <atomic>

namespace tavlo::ui {

namespace {

std::atomic<Font::Measurer> installedMeasurer{nullptr};

} // namespace

void Font::setMeasurer(Measurer measurer) { installedMeasurer.store(measurer); }

Size Font::measure(std::string_view text) const {
    if (Measurer m = installedMeasurer.load()) return m(*this, text);
    return measureHeadless(text);
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
