#include "screens/prompts/PromptScreens.h"

namespace tavlo::screens {

void registerPromptScreens() { registerTextView(); }

} // namespace tavlo::screens
