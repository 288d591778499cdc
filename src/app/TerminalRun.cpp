#include "TerminalRun.h"

#include "core/ports/LoadProgress.h"
#include "core/session/DBHelper.h"
#include "core/session/LocalStoreModel.h"
#include "core/session/StoreCheck.h"
#include "platform/foundation/FdSource.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/render/ScreenWindow.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/shell/ApplicationIdleTimer.h"
#include "screens/shell/TavloMobileAppDelegate.h"
#include "sync/handlers/AppShell.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace tavlo {

using screens::TavloMobileAppDelegate;

namespace {

int fail(const std::string& text) {
    std::fprintf(stderr, "tavlo: %s\n", text.c_str());
    return 1;
}

sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

// While it exists, Ctrl-C or SIGTERM stops the main run loop.
class StopOnSignal {
public:
    StopOnSignal() {
        sigset_t signals = stopSignals();
        fd_ = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
        if (fd_ < 0) return;
        source_ = FdSource::create(fd_, FdSource::Read, [fd = fd_](unsigned) {
            signalfd_siginfo info;
            while (::read(fd, &info, sizeof info) == sizeof info) {}
            RunLoop::main().stop();
        });
        RunLoop::main().addSource(source_, {RunLoop::commonModes});
    }
    ~StopOnSignal() {
        if (source_) source_->invalidate();
        if (fd_ >= 0) ::close(fd_);
    }
    StopOnSignal(const StopOnSignal&) = delete;
    StopOnSignal& operator=(const StopOnSignal&) = delete;

private:
    int fd_ = -1;
    std::shared_ptr<FdSource> source_;
};

} // namespace

void blockStopSignals() {
    sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

int TerminalRun::run() {
    // A store that fails its check is set aside before anything opens it.
    const StoreCheck::Result check = StoreCheck::run(DBHelper::storePath(), LocalStoreModel::build());
    // Without its store the terminal can do nothing at all.
    Error openError;
    if (!DBHelper::sharedStore(&openError)) {
        const std::string checked = StoreCheck::message(check);
        return fail(openError.localizedDescription() + (checked.empty() ? "" : " " + checked));
    }

    auto app = std::make_shared<ui::Application>(phone ? ui::DeviceIdiom::Phone : ui::DeviceIdiom::Tablet);
    ui::Application::install(app);
    jackmag::IdleTimer::install(std::make_shared<screens::ApplicationIdleTimer>());
    auto delegate = std::make_shared<TavloMobileAppDelegate>();
    app->setDelegate(delegate);
    Error noDisplay;
    std::unique_ptr<ui::render::ScreenWindow> window = ui::render::ScreenWindow::open(*app, "Tavlo", &noDisplay);
    // The wait overlay shows the long loads' progress, and is seen at once in the window.
    LoadProgress::install(screens::ActivityIndicator::progressDisplay());
    if (window) screens::ActivityIndicator::setDrawNow([w = window.get()] { w->displayNow(); });

    int status = 0;
    try {
        app->launch();
        if (!check.healthy)
            ui::AlertView::make(localized("Store set aside"), StoreCheck::message(check), localized("OK"))->show();
        if (window) {
            window->displayNow();
            StopOnSignal stop;
            RunLoop::main().run();
        } else {
            RunLoop::main().runUntilIdle();
            ui::Window& screen = app->window();
            Error error;
            if (!ui::render::snapshot(screen, screen.bounds().size).writePng(firstScreenPath.string(), &error))
                status = fail(error.localizedDescription());
            else
                std::printf("tavlo: %s; the first screen is in %s\n", noDisplay.localizedDescription().c_str(),
                            firstScreenPath.c_str());
            // Out at once, also into a pipe: whoever waits for the first screen reads it now.
            std::fflush(stdout);
            if (const ui::AlertView* alert = app->frontAlert())
                std::printf("tavlo: it shows \"%s\": %s\n", alert->title().value_or("").c_str(),
                            alert->message().value_or("").c_str());
        }
    } catch (const InconsistencyError& e) {
        // A screen the start-up shows by name is not registered.
        status = fail(e.what());
    }
    // A store that could not be loaded (and was not loaded later in the window) ends the run with
    // the reason.
    if (delegate->storeLoadError()) status = fail(delegate->storeLoadError()->localizedDescription());

    app->terminate();
    if (delegate->terminationStatus() != 0) status = delegate->terminationStatus();
    // Nothing the run started works on after it.
    AppShell::endHandlers();
    delegate->waitForBackgroundWork();
    screens::ActivityIndicator::setDrawNow(nullptr);
    LoadProgress::install(nullptr);
    window.reset();
    jackmag::IdleTimer::install(nullptr);
    ui::Application::install(nullptr);
    return status;
}

} // namespace tavlo
