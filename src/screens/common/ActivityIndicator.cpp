#include "screens/common/ActivityIndicator.h"

#include "core/util/TavloLog.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/ui/ActivitySpinner.h"
#include "platform/ui/Application.h"
#include "platform/ui/Label.h"
#include "platform/ui/SplitViewController.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

namespace tavlo::screens {

using namespace ui;

namespace {

// A status text drawn at once while the main thread is busy is drawn at most this often.
constexpr double kStatusFrameInterval = 1.0 / 30;

struct OverlayState {
    std::recursive_mutex lock; // "lockActivityObject": the overlay, the pending show
    std::shared_ptr<View> overlay;
    std::atomic<bool> pending{false};
    uint64_t showTicket = 0; // the show handed to the main thread that may still put one up

    std::mutex hookLock;
    ActivityIndicator::DrawNow drawNow;
    std::optional<Date> lastDraw;

    std::mutex statusLock;
    std::optional<std::string> queuedStatus; // for the main thread, latest first
};

OverlayState& state() {
    static OverlayState s;
    return s;
}

void drawNow(bool throttled) {
    OverlayState& s = state();
    ActivityIndicator::DrawNow draw;
    {
        std::lock_guard guard(s.hookLock);
        Date now = Date::now();
        if (throttled && s.lastDraw && now.secondsSince(*s.lastDraw) < kStatusFrameInterval) return;
        s.lastDraw = now;
        draw = s.drawNow;
    }
    if (draw) draw();
}

// What a show covers: the given view, or on a tablet the split view the key window shows.
std::shared_ptr<View> coverFor(std::shared_ptr<View> view, bool split) {
    Application* app = Application::current();
    if (!split || !app || app->idiom() != DeviceIdiom::Tablet) return view;
    Window* window = app->keyWindow() ? app->keyWindow() : &app->window();
    if (auto* splitView = dynamic_cast<SplitViewController*>(window->rootViewController())) return splitView->view();
    return view;
}

std::shared_ptr<View> makeOverlay(const std::shared_ptr<View>& view) {
    Size size = view ? view->bounds().size : Size();
    auto panel = std::make_shared<View>(Rect(0, 0, size.width, size.height));
    // Half-black paint rather than a half-transparent view: the spinner and the text stay white.
    panel->setBackgroundColor(Color(0, 0, 0, 0.5));

    auto spinner = std::make_shared<ActivitySpinner>(ActivitySpinnerStyle::White,
                                                     Rect(size.width / 2 - 12, size.height / 3 - 6, 24, 24));
    spinner->setTag(ActivityIndicator::kSpinnerTag);
    spinner->setAutoresizingMask(Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleRightMargin |
                                 Autoresizing::FlexibleTopMargin | Autoresizing::FlexibleBottomMargin);
    panel->addSubview(spinner);

    auto label = std::make_shared<Label>(Rect(0, size.height / 3 + 20, size.width, 60));
    label->setTag(ActivityIndicator::kLabelTag);
    label->setFont(Font::system(16));
    label->setTextColor(Color::white());
    label->setTextAlignment(TextAlignment::Center);
    label->setText(localized("Please wait ..."));
    panel->addSubview(label);
    return panel;
}

// Forgets the overlay; the main thread stops its spinner and takes it off the screen when it is
// next free. Under the lock.
void takeDown(OverlayState& s) {
    if (!s.overlay) return;
    std::shared_ptr<View> panel = std::move(s.overlay);
    RunLoop::main().perform([panel] {
        if (auto* spinner = dynamic_cast<ActivitySpinner*>(panel->viewWithTag(ActivityIndicator::kSpinnerTag)))
            spinner->stopAnimating();
        panel->removeFromSuperview();
    });
}

// Puts up the overlay the main thread was handed, unless a hide called it off meanwhile.
void showHanded(const std::shared_ptr<View>& view, uint64_t ticket) {
    OverlayState& s = state();
    {
        std::lock_guard guard(s.lock);
        if (ticket != s.showTicket || !s.pending) return;
        ActivityIndicator::showOn(view);
        s.pending = false;
    }
    drawNow(false);
}

class OverlayProgress : public LoadProgress {
public:
    void showProgress(const std::string& text) override { ActivityIndicator::setStatus(text); }
};

} // namespace

void ActivityIndicator::show(std::shared_ptr<View> view, bool split) {
    OverlayState& s = state();
    std::shared_ptr<View> target = coverFor(std::move(view), split);
    if (!RunLoop::isMainThread()) {
        std::lock_guard guard(s.lock);
        s.pending = true;
        uint64_t ticket = ++s.showTicket;
        RunLoop::main().perform([target, ticket] { showHanded(target, ticket); });
        return;
    }
    {
        std::lock_guard guard(s.lock);
        ++s.showTicket; // a show handed over earlier is overtaken by this one
        s.pending = true;
        showOn(target);
        s.pending = false;
    }
    drawNow(false);
}

void ActivityIndicator::showOn(std::shared_ptr<View> view) {
    OverlayState& s = state();
    std::lock_guard guard(s.lock);
    if (s.overlay) {
        TAVLO_LOG("Unexpected call to ActivityIndicator show when already having a view");
        takeDown(s);
    }
    s.overlay = makeOverlay(view);
    if (view) view->addSubview(s.overlay);
    if (auto* spinner = dynamic_cast<ActivitySpinner*>(s.overlay->viewWithTag(kSpinnerTag))) spinner->startAnimating();
}

void ActivityIndicator::setStatus(const std::string& text) {
    OverlayState& s = state();
    if (!RunLoop::isMainThread()) {
        std::lock_guard guard(s.statusLock);
        bool handedOver = s.queuedStatus.has_value();
        s.queuedStatus = text;
        if (!handedOver)
            RunLoop::main().perform([] {
                std::optional<std::string> latest;
                {
                    std::lock_guard lock(state().statusLock);
                    latest.swap(state().queuedStatus);
                }
                if (latest) setStatus(*latest);
            });
        return;
    }
    {
        std::lock_guard guard(s.lock);
        auto* label = s.overlay ? dynamic_cast<Label*>(s.overlay->viewWithTag(kLabelTag)) : nullptr;
        if (!label) return;
        label->setText(format("%@ ...", text));
        label->setNeedsDisplay();
    }
    drawNow(true);
}

void ActivityIndicator::hide() {
    OverlayState& s = state();
    // A show handed to the main thread: another thread waits for it to go up; the main thread
    // itself cannot put it up while waiting, so it calls it off below.
    if (!RunLoop::isMainThread()) {
        for (int step = 1; s.pending; ++step) {
            if (step > kWaitSteps) {
                TAVLO_LOG("Waited more than expected to hide activity indicator");
                break;
            }
            Clock::current().sleepFor(kWaitStep);
            TAVLO_LOG("Waiting %f seconds (%d)", kWaitStep, step);
        }
    }
    std::lock_guard guard(s.lock);
    if (s.pending) {
        ++s.showTicket;
        s.pending = false;
    }
    takeDown(s);
}

void ActivityIndicator::hide2() {
    // A queue of its own that lives as long as the process, so that nothing waits for it at exit.
    static OperationQueue* hiding = new OperationQueue(1);
    std::lock_guard guard(state().lock);
    hiding->addOperation([] { hideThreaded(); });
}

void ActivityIndicator::hideThreaded() {
    OverlayState& s = state();
    std::lock_guard guard(s.lock);
    takeDown(s);
}

std::shared_ptr<View> ActivityIndicator::overlay() {
    std::lock_guard guard(state().lock);
    return state().overlay;
}

bool ActivityIndicator::isShowPending() { return state().pending; }

void ActivityIndicator::setDrawNow(DrawNow drawNow) {
    std::lock_guard guard(state().hookLock);
    state().drawNow = std::move(drawNow);
    state().lastDraw.reset();
}

std::shared_ptr<LoadProgress> ActivityIndicator::progressDisplay() { return std::make_shared<OverlayProgress>(); }

} // namespace tavlo::screens
