#include "screens/prompts/PromptScreens.h"

namespace tavlo::screens {

void registerPromptScreens() {
    registerTextView();
    registerAmountView();
    registerSeatsView();
}

} // namespace tavlo::screens
