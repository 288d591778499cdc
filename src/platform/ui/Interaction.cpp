#include "platform/ui/Interaction.h"

#include "platform/ui/Control.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Slider.h"
#include "platform/ui/TextInput.h"
#include "platform/ui/View.h"

#include <algorithm>

namespace tavlo::ui::interaction {

void press(Control& control) {
    control.sendActions(ControlEvent::TouchDown);
    control.setHighlighted(true);
    control.setHighlighted(false);
    control.sendActions(ControlEvent::TouchUpInside);
}

bool recognize(View& view, Point point, int touches, int taps, double seconds) {
    View* hit = view.hitTest(point);
    for (View* v = hit ? hit : &view; v; v = v->superview()) {
        Point local = v->convertPointFrom(point, &view);
        auto recognizers = v->gestureRecognizers();
        // A finger held down is a long press before it is a tap.
        std::stable_partition(recognizers.begin(), recognizers.end(), [&](const auto& r) {
            return seconds > 0 && dynamic_cast<LongPressGestureRecognizer*>(r.get()) != nullptr;
        });
        for (auto& r : recognizers)
            if (r->recognize(local, touches, taps, seconds)) return true;
    }
    return false;
}

void drag(View& view, const std::vector<Point>& points) {
    if (points.empty()) return;
    view.touchesBegan({{points.front(), 1}});
    for (size_t i = 1; i < points.size(); ++i) view.touchesMoved({{points[i], 1}});
    view.touchesEnded({{points.back(), 1}});
}

bool focus(View& view) { return view.isFirstResponder() || view.becomeFirstResponder(); }

void type(TextInput& input, std::string_view keys) {
    for (size_t i = 0; i < keys.size();) {
        size_t n = 1;
        while (i + n < keys.size() && (static_cast<unsigned char>(keys[i + n]) & 0xC0) == 0x80) ++n;
        input.insertText(keys.substr(i, n));
        i += n;
    }
}

void backspace(TextInput& input, int times) {
    for (int i = 0; i < times; ++i) input.deleteBackward();
}

void slide(Slider& slider, double value) {
    slider.setValue(value);
    slider.sendActions(ControlEvent::ValueChanged);
}

void pickSegment(SegmentedControl& control, int index) {
    if (control.selectedSegmentIndex() == index) return;
    control.setSelectedSegmentIndex(index);
    control.sendActions(ControlEvent::ValueChanged);
}

void pickRow(PickerView& picker, int row, int component) { picker.pickRow(row, component); }

} // namespace tavlo::ui::interaction
