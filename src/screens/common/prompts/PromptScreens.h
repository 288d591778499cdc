#pragma once

namespace tavlo::screens {

// The interfaces of the prompts others open: "TextView", "AmountView", "SeatsView" and
// "AuthenticateView". The program calls registerPromptScreens once; so do tests that show them.
void registerTextView();
void registerAmountView();
void registerSeatsView();
void registerAuthenticateView();
void registerPromptScreens();

} // namespace tavlo::screens
