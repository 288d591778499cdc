#include "platform/ui/render/ScreenWindow.h"

#include "platform/foundation/FdSource.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/render/CairoGraphicsContext.h"
#include "platform/ui/render/CairoPixels.h"
#include "platform/ui/render/DisplayConnection.h"
#include "platform/ui/render/FingerprintContext.h"
#include "platform/ui/render/PointerInput.h"
#include "platform/ui/render/Renderer.h"
#include "platform/ui/render/Typesetter.h"

#include <SDL.h>
#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tavlo::ui::render {

namespace {

constexpr const char* kErrorDomain = "ScreenWindow";
constexpr double kIdleLookInterval = 0.25; // an idle screen is looked at this often
constexpr double kBusyLookInterval = 1.0 / ScreenWindow::kMaximumFrameRate;
constexpr double kBusySeconds = 1;         // after input or a change, for this long
constexpr double kPollInterval = 1.0 / 60; // where the display gives no descriptor

double seconds() { return static_cast<double>(SDL_GetTicks64()) / 1000.0; }

} // namespace

struct ScreenWindow::State {
    Application& app;
    SDL_Window* window = nullptr;
    cairo_surface_t* frame = nullptr;
    Size size;
    PointerInput pointer;
    std::shared_ptr<FdSource> source;
    std::shared_ptr<Timer> poll;
    std::shared_ptr<Timer> look;
    std::shared_ptr<Timer> holdTimer;
    uint64_t shown = 0; // the fingerprint of the frame on the display
    bool stale = true;  // the display lost the frame (exposed, resized)
    double lastFrame = -1e9;
    double lastActivity = 0;
    uint64_t frames = 0;
    std::function<void()> onClose = [] { RunLoop::main().stop(); };

    explicit State(Application& application)
        : app(application), pointer([this] { return fingerprintScreen(app).regions; }) {}
    ~State();

    Window& screen() { return app.keyWindow() ? *app.keyWindow() : app.window(); }
    void followWindowSize();
    void pump();
    void handle(const SDL_Event& event);
    void lookSoon(double delay);
    void lookAtScreen();
    void draw(uint64_t fingerprint);
};

ScreenWindow::State::~State() {
    RunLoop::main().cancelPerforms(this);
    for (auto* timer : {&look, &holdTimer, &poll})
        if (*timer) (*timer)->invalidate();
    if (source) source->invalidate();
    if (frame) cairo_surface_destroy(frame);
    if (window) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::unique_ptr<ScreenWindow> ScreenWindow::open(Application& app, const std::string& title, Error* error) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1"); // the program's own signal handling stays
    // We draw every pixel ourselves: a plain framebuffer, no OpenGL (which would make the window
    // anew on first use and needs a GPU or its emulation).
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // A tap that gives the window the focus is a tap all the same: a terminal has no other use for it.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    const char* kNoDisplay = "No display to open a window on (no X11 or Wayland display is set)";
    if (!std::getenv("SDL_VIDEODRIVER")) {
        const bool x11 = std::getenv("DISPLAY"), wayland = std::getenv("WAYLAND_DISPLAY");
        if (!x11 && !wayland) {
            Error::set(error, kErrorDomain, 1, kNoDisplay);
            return nullptr;
        }
        // Without a Wayland display its library is not even asked: it complains on the terminal's
        // output when XDG_RUNTIME_DIR is missing, as it is on a machine with X11 alone.
        if (!wayland) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        Error::set(error, kErrorDomain, 1, std::string("No display to open a window on: ") + SDL_GetError());
        return nullptr;
    }
    // Where no display answers, SDL falls back on drivers that show nothing to anyone; they count
    // as a display only when asked for by name (SDL_VIDEODRIVER).
    std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
    if ((driver == "offscreen" || driver == "dummy") && !std::getenv("SDL_VIDEODRIVER")) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        Error::set(error, kErrorDomain, 1, kNoDisplay);
        return nullptr;
    }
    Typesetter::shared();
    auto state = std::make_unique<State>(app);
    state->size = state->screen().bounds().size;
    state->window =
        SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                         static_cast<int>(state->size.width), static_cast<int>(state->size.height), SDL_WINDOW_SHOWN);
    if (!state->window) {
        Error::set(error, kErrorDomain, 2, std::string("The window could not be made: ") + SDL_GetError());
        return nullptr;
    }
    if (!SDL_GetWindowSurface(state->window)) {
        Error::set(error, kErrorDomain, 3, std::string("The window has no surface to draw on: ") + SDL_GetError());
        return nullptr;
    }
    state->frame = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(state->size.width),
                                              static_cast<int>(state->size.height));
    SDL_StartTextInput();
    State* s = state.get();
    int fd = displayEventDescriptor(state->window);
    if (fd >= 0) {
        state->source = FdSource::create(fd, FdSource::Read, [s](unsigned) { s->pump(); });
        RunLoop::main().addSource(state->source, {RunLoop::commonModes});
    } else {
        std::fprintf(stderr, "render: the display gives no event descriptor; polling it %g times a second\n",
                     1 / kPollInterval);
        state->poll = Timer::create(kPollInterval, true, [s] { s->pump(); });
        RunLoop::main().addTimer(state->poll, {RunLoop::commonModes});
    }
    state->lastActivity = seconds();
    state->lookSoon(0);
    return std::unique_ptr<ScreenWindow>(new ScreenWindow(std::move(state)));
}

ScreenWindow::ScreenWindow(std::unique_ptr<State> state) : state_(std::move(state)) {}

ScreenWindow::~ScreenWindow() = default;

void ScreenWindow::State::followWindowSize() {
    Size wanted = screen().bounds().size;
    if (wanted == size) return;
    size = wanted;
    SDL_SetWindowSize(window, static_cast<int>(size.width), static_cast<int>(size.height));
    cairo_surface_destroy(frame);
    frame =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(size.width), static_cast<int>(size.height));
    stale = true;
}

void ScreenWindow::State::pump() {
    SDL_Event event;
    bool any = false;
    while (SDL_PollEvent(&event)) {
        handle(event);
        any = true;
    }
    if (any) {
        lastActivity = seconds();
        lookSoon(0);
    }
}

void ScreenWindow::State::handle(const SDL_Event& e) {
    switch (e.type) {
    case SDL_MOUSEBUTTONDOWN:
        if (e.button.button != SDL_BUTTON_LEFT) break;
        pointer.press({double(e.button.x), double(e.button.y)}, e.button.timestamp / 1000.0);
        if (holdTimer) holdTimer->invalidate();
        holdTimer = RunLoop::main().performAfterDelay(PointerInput::kLongPressSeconds + 0.01,
                                                      [this] {
                                                          pointer.hold(seconds());
                                                          lookSoon(0);
                                                      },
                                                      this, {RunLoop::commonModes});
        break;
    case SDL_MOUSEMOTION:
        if (pointer.isPressed()) pointer.move({double(e.motion.x), double(e.motion.y)}, e.motion.timestamp / 1000.0);
        break;
    case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_RIGHT) pointer.secondaryClick({double(e.button.x), double(e.button.y)});
        if (e.button.button != SDL_BUTTON_LEFT) break;
        if (holdTimer) holdTimer->invalidate();
        pointer.release({double(e.button.x), double(e.button.y)}, e.button.timestamp / 1000.0, e.button.clicks);
        break;
    case SDL_MOUSEWHEEL: {
        int x = 0, y = 0;
        SDL_GetMouseState(&x, &y);
        double flip = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
        pointer.wheel({double(x), double(y)}, flip * e.wheel.x, flip * e.wheel.y);
        break;
    }
    case SDL_TEXTINPUT: pointer.text(e.text.text); break;
    case SDL_KEYDOWN:
        switch (e.key.keysym.sym) {
        case SDLK_BACKSPACE: pointer.key(PointerInput::Key::Backspace); break;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: pointer.key(PointerInput::Key::Return); break;
        case SDLK_TAB:
            pointer.key((e.key.keysym.mod & KMOD_SHIFT) ? PointerInput::Key::BackTab : PointerInput::Key::Tab);
            break;
        default: break;
        }
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
            if (onClose) onClose();
        } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SHOWN ||
                   e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED || e.window.event == SDL_WINDOWEVENT_RESTORED) {
            stale = true;
        }
        break;
    case SDL_QUIT:
        if (onClose) onClose();
        break;
    default: break;
    }
}

void ScreenWindow::State::lookSoon(double delay) {
    Date when = Date::now().addingSeconds(delay);
    if (look && look->isValid() && look->fireDate() <= when) return;
    if (look) look->invalidate();
    look = RunLoop::main().performAfterDelay(delay, [this] { lookAtScreen(); }, this, {RunLoop::commonModes});
}

void ScreenWindow::State::lookAtScreen() {
    look.reset();
    followWindowSize();
    app.layoutIfNeeded();
    ScreenFingerprint screenNow = fingerprintScreen(app);
    double now = seconds();
    if (stale || screenNow.value != shown) {
        double wait = lastFrame + 1 / kMaximumFrameRate - now;
        if (wait > 0) return lookSoon(wait);
        draw(screenNow.value);
        lastActivity = now;
    }
    bool busy = screenNow.animating || now - lastActivity < kBusySeconds;
    lookSoon(busy ? kBusyLookInterval : kIdleLookInterval);
}

void ScreenWindow::State::draw(uint64_t fingerprint) {
    cairo_t* cr = cairo_create(frame);
    {
        CairoGraphicsContext context(cr, size);
        Renderer(context).drawScreen(app);
    }
    cairo_destroy(cr);
    cairo_surface_flush(frame);
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (surface) {
        bool lock = SDL_MUSTLOCK(surface);
        if (lock) SDL_LockSurface(surface);
        SDL_ConvertPixels(std::min(surface->w, cairo_image_surface_get_width(frame)),
                          std::min(surface->h, cairo_image_surface_get_height(frame)), SDL_PIXELFORMAT_ARGB8888,
                          cairo_image_surface_get_data(frame), cairo_image_surface_get_stride(frame),
                          surface->format->format, surface->pixels, surface->pitch);
        if (lock) SDL_UnlockSurface(surface);
        SDL_UpdateWindowSurface(window);
    }
    shown = fingerprint;
    stale = false;
    lastFrame = seconds();
    ++frames;
    // Events the display sent while the frame went out wait in SDL's queue, not on the descriptor.
    pump();
}

void ScreenWindow::setNeedsDisplay() { state_->lookSoon(0); }

void ScreenWindow::displayNow() {
    state_->followWindowSize();
    state_->app.layoutIfNeeded();
    state_->draw(fingerprintScreen(state_->app).value);
}

Bitmap ScreenWindow::screenshot() const {
    SDL_Surface* surface = SDL_GetWindowSurface(state_->window);
    if (!surface) return {};
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_RGB24, surface->w, surface->h);
    cairo_surface_flush(copy);
    bool lock = SDL_MUSTLOCK(surface);
    if (lock) SDL_LockSurface(surface);
    SDL_ConvertPixels(surface->w, surface->h, surface->format->format, surface->pixels, surface->pitch,
                      SDL_PIXELFORMAT_ARGB8888, cairo_image_surface_get_data(copy),
                      cairo_image_surface_get_stride(copy));
    if (lock) SDL_UnlockSurface(surface);
    cairo_surface_mark_dirty(copy);
    Bitmap picture = bitmapFromSurface(copy);
    cairo_surface_destroy(copy);
    return picture;
}

uint64_t ScreenWindow::framesDrawn() const { return state_->frames; }

void ScreenWindow::setCloseHandler(std::function<void()> handler) { state_->onClose = std::move(handler); }

} // namespace tavlo::ui::render
