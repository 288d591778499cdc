#include "platform/ui/Control.h"

namespace tavlo::ui {

void Control::setEnabled(bool enabled) {
    enabled_ = enabled;
    stateDidChange();
}

void Control::setSelected(bool selected) {
    selected_ = selected;
    stateDidChange();
}

void Control::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    stateDidChange();
}

uint32_t Control::state() const {
    uint32_t s = ControlState::Normal;
    if (highlighted_) s |= ControlState::Highlighted;
    if (!enabled_) s |= ControlState::Disabled;
    if (selected_) s |= ControlState::Selected;
    return s;
}

void Control::addTarget(Action action, uint32_t events) {
    if (action) targets_.push_back({std::move(action), events});
}

bool Control::hasActions(uint32_t events) const {
    for (const Target& t : targets_)
        if (t.events & events) return true;
    return false;
}

void Control::sendActions(uint32_t events) {
    // An action may add or remove targets, or drop the last owner of this control.
    std::shared_ptr<View> keep = weak_from_this().lock();
    std::vector<Target> targets = targets_;
    for (const Target& t : targets)
        if (t.events & events) t.action(*this);
}

} // namespace tavlo::ui
