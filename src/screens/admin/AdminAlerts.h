#pragma once

#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/AlertView.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens::admin {

// The administration screen's alerts: a message with the one button "Ok" (or the one given).
inline void alert(const char* title, const std::string& message, const char* button = "Ok") {
    ui::AlertView::make(localized(title), message, localized(button))->show();
}

// "Confirmation" with the message, "No" and "Yes"; the delegate answers it by its tag.
inline void confirm(const std::string& message, int tag, std::shared_ptr<ui::AlertViewDelegate> delegate) {
    auto shown = ui::AlertView::make(localized("Confirmation"), message, localized("No"), {localized("Yes")});
    shown->setTag(tag);
    shown->setDelegate(std::move(delegate));
    shown->show();
}

// "Confirmation" with the message, "Cancel" and one button per choice, answered by its tag.
inline void choose(const std::string& message, const std::vector<std::string>& choices, int tag,
                   std::shared_ptr<ui::AlertViewDelegate> delegate) {
    auto shown = ui::AlertView::make(localized("Confirmation"), message, localized("Cancel"), choices);
    shown->setTag(tag);
    shown->setDelegate(std::move(delegate));
    shown->show();
}

} // namespace tavlo::screens::admin
