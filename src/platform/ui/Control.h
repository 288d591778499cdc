#pragma once

#include "platform/ui/View.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace tavlo::ui {

namespace ControlEvent {
constexpr uint32_t TouchDown = 1 << 0;
constexpr uint32_t TouchUpInside = 1 << 6;
constexpr uint32_t ValueChanged = 1 << 12;
constexpr uint32_t EditingDidBegin = 1 << 16;
constexpr uint32_t EditingChanged = 1 << 17;
constexpr uint32_t EditingDidEnd = 1 << 18;
constexpr uint32_t EditingDidEndOnExit = 1 << 19;
constexpr uint32_t AllEvents = 0xFFFFFFFF;
} // namespace ControlEvent

namespace ControlState {
constexpr uint32_t Normal = 0;
constexpr uint32_t Highlighted = 1 << 0;
constexpr uint32_t Disabled = 1 << 1;
constexpr uint32_t Selected = 1 << 2;
} // namespace ControlState

enum class ContentVerticalAlignment { Center, Top, Bottom, Fill };
enum class ContentHorizontalAlignment { Center, Left, Right, Fill };

// A view that a person operates: enabled, selected and highlighted states, and actions per event.
class Control : public View {
public:
    using Action = std::function<void(Control& sender)>;

    using View::View;

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    // The ControlState bits now in force.
    uint32_t state() const;

    void addTarget(Action action, uint32_t events);
    void removeAllTargets() { targets_.clear(); }
    bool hasActions(uint32_t events) const;
    // Runs every action registered for any of the events, in the order they were added.
    void sendActions(uint32_t events);

    ContentVerticalAlignment contentVerticalAlignment() const { return vertical_; }
    void setContentVerticalAlignment(ContentVerticalAlignment a) { vertical_ = a; }
    ContentHorizontalAlignment contentHorizontalAlignment() const { return horizontal_; }
    void setContentHorizontalAlignment(ContentHorizontalAlignment a) { horizontal_ = a; }

protected:
    virtual void stateDidChange() {}

private:
    struct Target {
        Action action;
        uint32_t events;
    };
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    std::vector<Target> targets_;
    ContentVerticalAlignment vertical_ = ContentVerticalAlignment::Center;
    ContentHorizontalAlignment horizontal_ = ContentHorizontalAlignment::Center;
};

} // namespace tavlo::ui
