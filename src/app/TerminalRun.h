#pragma once

#include <filesystem>

namespace tavlo {

// One run of the terminal: the application with its delegate, in a window on the display; on a
// machine with no display, the first screen drawn into a PNG instead.
struct TerminalRun {
    bool phone = false; // the phone's 320x480 in portrait; else the pad's 1024x768 in landscape
    // Where the first screen goes when there is no display.
    std::filesystem::path firstScreenPath;

    // Launches the application and runs it until the window is closed, Ctrl-C or SIGTERM; with
    // no display, until the first screen is drawn. The program's exit status: 1 when the object
    // store cannot be opened, the first store load failed or a screen is missing.
    int run();
};

// Ctrl-C and SIGTERM are taken through the main run loop (they end the run as closing the window
// does): blocked here, before any thread starts, so that no thread is ended by them.
void blockStopSignals();

} // namespace tavlo
