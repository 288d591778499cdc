#include "platform/ui/TextInput.h"

#include <algorithm>

namespace tavlo::ui {

std::string replacingCharacters(std::string_view text, TextRange range, std::string_view replacement) {
    size_t start = std::min(range.location, text.size());
    size_t end = std::min(text.size(), start + std::min(range.length, text.size() - start));
    std::string out(text.substr(0, start));
    out += replacement;
    out += text.substr(end);
    return out;
}

void TextInput::setSelectedRange(TextRange range) {
    size_t start = std::min(range.location, text_.size());
    selection_ = {start, std::min(range.length, text_.size() - start)};
}

void TextInput::insertText(std::string_view typed) {
    TextRange range = selection_;
    std::string replacement(typed);
    if (!shouldChangeText(range, replacement)) return;
    apply(range, replacement);
}

void TextInput::deleteBackward() {
    TextRange range = selection_;
    if (range.length == 0) {
        if (range.location == 0) return;
        // Back over one whole UTF-8 character.
        size_t start = range.location - 1;
        while (start > 0 && (static_cast<unsigned char>(text_[start]) & 0xC0) == 0x80) --start;
        range = {start, range.location - start};
    }
    if (!shouldChangeText(range, "")) return;
    apply(range, "");
}

void TextInput::assignText(std::string text) {
    text_ = std::move(text);
    selection_ = {text_.size(), 0};
}

void TextInput::apply(TextRange range, const std::string& replacement) {
    size_t start = std::min(range.location, text_.size());
    text_ = replacingCharacters(text_, range, replacement);
    selection_ = {start + replacement.size(), 0};
    textDidChange();
}

} // namespace tavlo::ui
