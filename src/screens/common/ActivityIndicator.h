#pragma once

#include "core/ports/LoadProgress.h"
#include "platform/ui/View.h"

#include <functional>
#include <memory>
#include <string>

namespace tavlo::screens {

// The wait overlay: a dimmed panel with a spinner and "Please wait ..." over a screen while a
// call keeps the terminal busy (the store server, card payments, reports, reloads). There is at
// most one overlay in the process; all of it is class-wide, guarded by one recursive lock.
//
// The pattern: on the main thread show(view), the blocking work, then hide(); where the work runs
// on a thread of its own, that thread calls hide() when done. The overlay is built and attached on
// the main thread and a frame is drawn at once through the draw-now hook, so a person sees it
// before a synchronous call keeps the main loop from drawing. It is taken down on the main thread.
class ActivityIndicator {
public:
    static constexpr int kSpinnerTag = 9230;
    static constexpr int kLabelTag = 9231;
    // Longest wait of hide() for a show handed to the main thread: 8 steps of 0.25 seconds.
    static constexpr double kWaitStep = 0.25;
    static constexpr int kWaitSteps = 8;

    // Covers the view (a null view gives an overlay of no size, attached to nothing). With
    // `split` on a tablet whose key window shows a split view, both panes are covered instead.
    // Called off the main thread, the overlay is put up by the main thread as soon as it is free.
    static void show(std::shared_ptr<ui::View> view, bool split = true);
    // Builds the overlay over the view and keeps it as the one overlay, first taking down one that
    // is still up. Main thread.
    static void showOn(std::shared_ptr<ui::View> view);
    // Status texts of callers that want the label to stay "Please wait ...": does nothing.
    static void refresh(const std::string& /*text*/) {}
    // The label reads "<text> ...". Any thread: from another thread the main thread shows the
    // latest text once it is free (texts that arrive before that are passed over).
    static void setStatus(const std::string& text);
    // Takes the overlay down. A show still waiting for the main thread is waited for in steps of
    // 0.25 seconds (at most 2 seconds) from another thread and called off from the main thread.
    // The panel leaves the screen when the main thread next runs its loop. Any thread.
    static void hide();
    // hideThreaded() on another thread; returns at once.
    static void hide2();
    // Takes the overlay up now down, without waiting for a pending show.
    static void hideThreaded();

    // The overlay up now; null when none is.
    static std::shared_ptr<ui::View> overlay();
    // A show was asked for and the main thread has not put it up yet.
    static bool isShowPending();

    // Draws a frame of the screen now (the window's owner installs it; none by default).
    using DrawNow = std::function<void()>;
    static void setDrawNow(DrawNow drawNow);

    // The overlay as the display of load progress: each text goes to setStatus(). The screens'
    // start-up installs it with LoadProgress::install.
    static std::shared_ptr<LoadProgress> progressDisplay();
};

} // namespace tavlo::screens
