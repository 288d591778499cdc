#pragma once

#include "platform/ui/Font.h"
#include "platform/ui/View.h"

#include <optional>
#include <string>

namespace tavlo::ui {

class Label : public View {
public:
    using View::View;

    const std::optional<std::string>& text() const { return text_; }
    void setText(std::optional<std::string> text);
    const Font& font() const { return font_; }
    void setFont(const Font& font) { font_ = font; }
    const Color& textColor() const { return textColor_; }
    void setTextColor(const Color& color) { textColor_ = color; }
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment alignment) { alignment_ = alignment; }
    // 0 means as many lines as the text needs.
    int numberOfLines() const { return lines_; }
    void setNumberOfLines(int lines) { lines_ = lines; }
    LineBreakMode lineBreakMode() const { return lineBreak_; }
    void setLineBreakMode(LineBreakMode mode) { lineBreak_ = mode; }
    // Shrinking to fit the width, down to a fraction of the font size.
    bool adjustsFontSizeToFitWidth() const { return shrinks_; }
    void setAdjustsFontSizeToFitWidth(bool shrinks) { shrinks_ = shrinks; }
    double minimumScaleFactor() const { return minimumScale_; }
    void setMinimumScaleFactor(double scale) { minimumScale_ = scale; }

    Size sizeThatFits(Size size) const override;
    std::optional<std::string> displayedText() const override { return text_; }

private:
    std::optional<std::string> text_;
    Font font_ = Font::system(17);
    Color textColor_ = Color::black();
    TextAlignment alignment_ = TextAlignment::Left;
    int lines_ = 1;
    LineBreakMode lineBreak_ = LineBreakMode::TruncateTail;
    bool shrinks_ = false;
    double minimumScale_ = 0;
};

} // namespace tavlo::ui
