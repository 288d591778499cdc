#pragma once

namespace tavlo::screens {

// The interfaces "OrderDetailsView" (with its controller, which the order screen opens by name)
// and "SplitView".
void registerDetailsScreens();

} // namespace tavlo::screens
