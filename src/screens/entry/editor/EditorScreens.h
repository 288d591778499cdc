#pragma once

namespace tavlo::screens {

// Registers the selection editor's and the comp list's interfaces and controllers
// ("SelectionView", "CompListView"), which the order screen and the order details open by name.
void registerEditorScreens();

} // namespace tavlo::screens
