#pragma once

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tavlo::ui {

// A range of a UTF-8 text, in bytes.
struct TextRange {
    size_t location = 0;
    size_t length = 0;
    bool operator==(const TextRange&) const = default;
};

enum class KeyboardType {
    Default = 0,
    ASCIICapable = 1,
    NumbersAndPunctuation = 2,
    URL = 3,
    NumberPad = 4,
    PhonePad = 5,
    NamePhonePad = 6,
    EmailAddress = 7,
    DecimalPad = 8
};

// The text with the range replaced; a range past the end is cut to the text.
std::string replacingCharacters(std::string_view text, TextRange range, std::string_view replacement);

// What a keyboard types into: a text with a selection, and the looks and keyboard it is shown with.
// Each key press is offered to the owner first (its delegate may refuse it and set the text itself).
class TextInput {
public:
    virtual ~TextInput() = default;

    const std::string& text() const { return text_; }
    TextRange selectedRange() const { return selection_; }
    void setSelectedRange(TextRange range);
    void selectAll() { selection_ = {0, text_.size()}; }
    const Font& font() const { return font_; }
    void setFont(const Font& font) { font_ = font; }
    const Color& textColor() const { return textColor_; }
    void setTextColor(const Color& color) { textColor_ = color; }
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment a) { alignment_ = a; }
    KeyboardType keyboardType() const { return keyboard_; }
    void setKeyboardType(KeyboardType k) { keyboard_ = k; }

    // One key press: the typed text replaces the selection.
    void insertText(std::string_view typed);
    // The delete key: removes the selection, or the character before the cursor.
    void deleteBackward();

protected:
    // A change made by the program, not by a key: no one is asked; the cursor goes to the end.
    void assignText(std::string text);
    virtual bool shouldChangeText(TextRange, const std::string&) { return true; }
    virtual void textDidChange() {}

private:
    void apply(TextRange range, const std::string& replacement);

    std::string text_;
    TextRange selection_;
    Font font_ = Font::system(17);
    Color textColor_ = Color::black();
    TextAlignment alignment_ = TextAlignment::Left;
    KeyboardType keyboard_ = KeyboardType::Default;
};

} // namespace tavlo::ui
