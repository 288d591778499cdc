#include "screens/prompts/PromptScreens.h"

namespace tavlo::screens {

void registerPromptScreens() {
    registerTextView();
    registerAmountView();
}

} // namespace tavlo::screens
