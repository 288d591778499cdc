#pragma once

#include "platform/ui/Button.h"

#include <memory>
#include <string>

namespace tavlo::screens {

// The red button with a white title of the details and customer screens (the order's title, the
// tools, "Remove Customer", "Map").
inline std::shared_ptr<ui::Button> redButton(const std::string& title, ui::Rect frame) {
    auto button = ui::Button::make(ui::ButtonType::RoundedRect, frame);
    button->setTitle(title);
    button->setTitleColor(ui::Color::white());
    button->setBackgroundColor(ui::Color(0.75, 0.12, 0.12));
    return button;
}

} // namespace tavlo::screens
