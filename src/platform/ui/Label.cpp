#include "platform/ui/Label.h"

namespace tavlo::ui {

void Label::setText(std::optional<std::string> text) {
    text_ = std::move(text);
    setNeedsDisplay();
}

Size Label::sizeThatFits(Size) const { return font_.measure(text_.value_or("")); }

} // namespace tavlo::ui
