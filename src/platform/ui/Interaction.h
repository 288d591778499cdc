#pragma once

#include "platform/ui/Geometry.h"

#include <string_view>
#include <vector>

namespace tavlo::ui {

class Control;
class PickerView;
class SegmentedControl;
class Slider;
class TextInput;
class View;

// What a person's finger and keys do to the views, the same whoever drives them: the test harness
// (which finds what to act on by name) and the window (by where the pointer is). Callers check
// first that the person could reach the view.
namespace interaction {

// A tap on a control: touch down, highlighted while pressed, touch up inside.
void press(Control& control);
// A gesture at a point of a view (its coordinates): offered to the recognisers of the view the
// point hits, then to those of its ancestors; answers whether one took it.
bool recognize(View& view, Point point, int touches, int taps, double seconds);
// A finger drawn along points of a view: touches began, moved, ended.
void drag(View& view, const std::vector<Point>& points);
// The input becomes the first responder unless it is already; answers whether it is.
bool focus(View& view);
// Keys typed one character at a time, each offered to the input's owner first.
void type(TextInput& input, std::string_view keys);
void backspace(TextInput& input, int times = 1);
// A slider moved to a value: it changes and tells its targets.
void slide(Slider& slider, double value);
// A segment chosen: a change of segment tells the targets.
void pickSegment(SegmentedControl& control, int index);
// A picker's wheel turned to a row.
void pickRow(PickerView& picker, int row, int component);

} // namespace interaction

} // namespace tavlo::ui
