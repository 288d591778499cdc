#include "screens/common/prompts/PromptScreens.h"

namespace tavlo::screens {

void registerPromptScreens() {
    registerTextView();
    registerAmountView();
    registerSeatsView();
    registerAuthenticateView();
}

} // namespace tavlo::screens
