#include "platform/ui/render/Renderer.h"

#include "platform/ui/ActivitySpinner.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Slider.h"
#include "platform/ui/SplitViewController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/render/Shapes.h"
#include "platform/ui/render/Theme.h"

#include <algorithm>
#include <cmath>

namespace tavlo::ui::render {

namespace {

// Drawn at all: neither hidden nor (nearly) transparent.
bool isDrawn(const View& view) { return !view.isHidden() && view.alpha() >= 0.01; }

// Covers the window with paint of its own, so that nothing below it shows.
bool coversWindow(const View& view, const Rect& window) {
    const auto& bg = view.backgroundColor();
    return isDrawn(view) && view.alpha() >= 1 && view.frame() == window && bg && bg->a() >= 1 && !bg->patternImage();
}

// The colour the view's background is filled with, if it is filled at all.
std::optional<Color> backgroundFill(View& view) {
    std::optional<Color> color = view.backgroundColor();
    auto* table = dynamic_cast<TableView*>(&view);
    if (table && table->style() == TableViewStyle::Grouped && color == Color::white()) color = theme::groupBackground();
    // The cells of a grouped table sit on the group's own white.
    if (auto* cell = dynamic_cast<TableViewCell*>(&view)) {
        TableView* owner = cell->tableView();
        if (owner && owner->style() == TableViewStyle::Grouped && color == Color::white()) color.reset();
    }
    if (!color || (color->a() <= 0 && !color->patternImage())) return std::nullopt;
    return color;
}

// The view's alpha as drawn (a disabled control shows at half).
double drawnAlpha(View& view) {
    auto* control = dynamic_cast<Control*>(&view);
    return control && !control->isEnabled() ? view.alpha() * 0.5 : view.alpha();
}

// Its background leaves nothing below it showing through its square frame, drawn with `alpha`.
bool fillsItsFrame(View& view, double alpha) {
    if (!isDrawn(view) || alpha * drawnAlpha(view) < 1 || view.cornerRadius() > 0 || view.transformScale() != 1)
        return false;
    std::optional<Color> color = backgroundFill(view);
    return color && color->a() >= 1 && !color->patternImage();
}

// The whole pixels inside a rectangle of the device, and those it touches at all.
Rect pixelsInside(const Rect& r) {
    double x0 = std::ceil(r.minX()), y0 = std::ceil(r.minY()), x1 = std::floor(r.maxX()), y1 = std::floor(r.maxY());
    return x1 > x0 && y1 > y0 ? Rect{x0, y0, x1 - x0, y1 - y0} : Rect{};
}

Rect pixelsTouched(const Rect& r) {
    double x0 = std::floor(r.minX()), y0 = std::floor(r.minY()), x1 = std::ceil(r.maxX()), y1 = std::ceil(r.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect intersect(const Rect& a, const Rect& b) {
    double x0 = std::max(a.minX(), b.minX()), y0 = std::max(a.minY(), b.minY());
    double x1 = std::min(a.maxX(), b.maxX()), y1 = std::min(a.maxY(), b.maxY());
    return x1 > x0 && y1 > y0 ? Rect{x0, y0, x1 - x0, y1 - y0} : Rect{};
}

// What is left of the area after taking away each of the rectangles: pieces that do not overlap.
std::vector<Rect> uncovered(const Rect& area, const std::vector<Rect>& covers) {
    std::vector<Rect> left{area}, next;
    for (const Rect& c : covers) {
        next.clear();
        for (const Rect& r : left) {
            if (c.minX() >= r.maxX() || c.maxX() <= r.minX() || c.minY() >= r.maxY() || c.maxY() <= r.minY()) {
                next.push_back(r);
                continue;
            }
            // The parts of r above, below, left and right of c.
            if (c.minY() > r.minY()) next.push_back({r.minX(), r.minY(), r.width(), c.minY() - r.minY()});
            if (c.maxY() < r.maxY()) next.push_back({r.minX(), c.maxY(), r.width(), r.maxY() - c.maxY()});
            double top = std::max(r.minY(), c.minY()), bottom = std::min(r.maxY(), c.maxY());
            if (c.minX() > r.minX()) next.push_back({r.minX(), top, c.minX() - r.minX(), bottom - top});
            if (c.maxX() < r.maxX()) next.push_back({c.maxX(), top, r.maxX() - c.maxX(), bottom - top});
        }
        left.swap(next);
        if (left.empty()) break;
    }
    return left;
}

} // namespace

Point HitRegion::toView(Point p) const {
    Rect bounds = view ? view->bounds() : Rect{};
    return {(p.x - rect.x()) / scale + bounds.x(), (p.y - rect.y()) / scale + bounds.y()};
}

Renderer::Renderer(GraphicsContext& context) : context_(context) {}

void Renderer::addRegion(const Rect& rect, std::function<void()> action, std::string name, bool barrier) {
    regions_.push_back({toWindow(rect), nullptr, 1, std::move(action), barrier, std::move(name)});
}

void Renderer::addViewRegion(View& view, const Rect& rect) {
    Rect inWindow = toWindow(rect);
    double scale = rect.width() > 0 ? inWindow.width() / rect.width() : 1;
    regions_.push_back({inWindow, &view, scale * view.transformScale(), {}, false, ""});
}

void Renderer::collectControllers(ViewController& controller) {
    if (controller.isViewLoaded()) owners_[controller.view().get()] = &controller;
    for (ViewController* child : controller.visibleChildren()) collectControllers(*child);
    if (auto* split = dynamic_cast<SplitViewController*>(&controller))
        if (split->popover() && split->popover()->isPopoverVisible())
            collectControllers(*split->popover()->contentViewController());
    if (ViewController* presented = controller.presentedViewController()) collectControllers(*presented);
}

void Renderer::drawScreen(Application& app) { drawWindow(app.keyWindow() ? *app.keyWindow() : app.window()); }

void Renderer::drawWindow(Window& window) {
    regions_.clear();
    owners_.clear();
    drawnItems_.clear();
    animating_ = false;
    app_ = Application::current();
    bool onScreen = app_ && (app_->keyWindow() ? app_->keyWindow() : &app_->window()) == &window;
    if (ViewController* root = window.rootViewController()) collectControllers(*root);
    if (onScreen)
        for (PopoverController* popover : app_->popovers())
            if (popover->contentViewController()) collectControllers(*popover->contentViewController());

    Rect screen = window.bounds();
    context_.saveState();
    if (std::optional<std::vector<Rect>> showing = partsShowing(window, screen); !showing || !showing->empty()) {
        context_.setFillColor(window.backgroundColor().value_or(Color::black()));
        context_.fillRect(screen);
    }
    drawRootViews(window);
    if (onScreen) {
        drawInputViews(screen);
        bool dimmed = false;
        for (const auto& alert : app_->alerts()) {
            if (!dimmed) {
                context_.setFillColor(theme::dim());
                context_.fillRect(screen);
                dimmed = true;
            }
            drawAlert(*alert, screen);
        }
    }
    context_.restoreState();
}

void Renderer::drawController(ViewController& controller) {
    regions_.clear();
    owners_.clear();
    drawnItems_.clear();
    animating_ = false;
    app_ = Application::current();
    collectControllers(controller);
    View& view = *controller.view();
    context_.saveState();
    context_.translate(-view.frame().x(), -view.frame().y());
    addViewRegion(view, view.frame());
    drawView(view);
    context_.restoreState();
}

void Renderer::drawRootViews(Window& window) {
    const auto& subviews = window.subviews();
    Rect screen = window.bounds();
    // Nothing under the front-most view that covers the window shows.
    size_t first = 0;
    for (size_t i = subviews.size(); i-- > 0;)
        if (coversWindow(*subviews[i], screen)) {
            first = i;
            break;
        }
    for (size_t i = first; i < subviews.size(); ++i) {
        View& view = *subviews[i];
        if (!isDrawn(view)) continue;
        Role role = Role::Plain;
        if (auto it = owners_.find(&view); it != owners_.end()) {
            ViewController* c = it->second;
            if (c->presentingViewController() && c->modalPresentationStyle() == ModalPresentationStyle::FormSheet &&
                view.frame() != screen)
                role = Role::FormSheet;
        }
        if (app_)
            for (PopoverController* popover : app_->popovers())
                if (popover->contentViewController() && popover->contentViewController()->isViewLoaded() &&
                    popover->contentViewController()->view().get() == &view)
                    role = Role::Popover;
        drawRoot(view, role);
    }
}

void Renderer::drawRoot(View& view, Role role) {
    Rect frame = view.frame();
    if (role == Role::FormSheet) {
        addRegion({-1e6, -1e6, 2e6, 2e6}, {}, "outside the form sheet", true);
        context_.setFillColor(theme::dim());
        context_.fillRect({-1e4, -1e4, 2e4, 2e4});
        drawSoftShadow(frame, 4, {0, 6}, 24, 0.5);
    }
    if (role == Role::Popover) {
        PopoverController* owner = nullptr;
        for (PopoverController* p : app_->popovers())
            if (p->contentViewController()->view().get() == &view) owner = p;
        addRegion(
            {-1e6, -1e6, 2e6, 2e6},
            [owner] {
                if (owner) owner->dismiss(true);
            },
            "outside the popover", true);
        Rect box = frame.insetBy(-6, -6);
        double tipX = frame.x() + 40;
        if (auto it = drawnItems_.find(owner ? owner->anchor() : nullptr); it != drawnItems_.end())
            tipX = std::clamp(it->second.midX(), box.minX() + 20, box.maxX() - 20);
        drawSoftShadow(box, 10, {0, 6}, 20, 0.45);
        context_.setFillColor(theme::bar());
        context_.fillRoundedRect(box, 10);
        context_.fillPath(polygon({{tipX - 12, box.minY() + 1}, {tipX, box.minY() - 12}, {tipX + 12, box.minY() + 1}}));
    }
    addViewRegion(view, frame);
    drawView(view);
    if (role == Role::FormSheet) {
        context_.setStrokeColor(theme::barEdge());
        context_.strokeRect(frame);
    }
}

void Renderer::drawDetached(View& view, const Rect& at) {
    if (view.frame() != at) view.setFrame(at);
    view.layoutIfNeeded();
    addViewRegion(view, at);
    drawView(view);
}

void Renderer::drawInputViews(const Rect& screen) {
    View* responder = View::currentFirstResponder();
    if (!responder || !responder->window()) return;
    double bottom = screen.maxY();
    for (const auto& input : {responder->inputView(), responder->inputAccessoryView()}) {
        if (!input || !isDrawn(*input)) continue;
        double h = input->frame().height();
        Rect at{screen.x(), bottom - h, screen.width(), h};
        if (!input->backgroundColor()) {
            context_.setFillColor(theme::groupBackground());
            context_.fillRect(at);
        }
        drawDetached(*input, at);
        bottom -= h;
    }
}

void Renderer::drawView(View& view) {
    if (!isDrawn(view)) return;
    Rect frame = view.frame();
    Rect bounds{0, 0, view.bounds().width(), view.bounds().height()};
    double alpha = drawnAlpha(view);

    std::optional<Color> outerCellTextColor = cellTextColor_;
    context_.saveState();
    context_.translate(frame.x(), frame.y());
    context_.scale(view.transformScale(), view.transformScale());
    context_.setAlpha(context_.state().alpha * alpha);
    drawShadow(view, bounds);
    drawBackground(view, bounds);
    drawContent(view, bounds);
    view.displayIfNeeded();
    view.draw(context_, bounds);

    bool scrolls = dynamic_cast<ScrollView*>(&view) != nullptr;
    if (view.clipsToBounds() || scrolls) context_.clip(bounds);
    context_.saveState();
    context_.translate(-view.bounds().x(), -view.bounds().y());
    drawContentSpace(view, false);
    Rect visible = view.bounds();
    for (const auto& sub : view.subviews()) {
        // A scroll view's content out of sight is not drawn.
        if (scrolls) {
            Rect f = sub->frame();
            if (f.maxY() < visible.minY() || f.minY() > visible.maxY() || f.maxX() < visible.minX() ||
                f.minX() > visible.maxX())
                continue;
        }
        drawView(*sub);
    }
    drawContentSpace(view, true);
    context_.restoreState();
    drawOverlay(view, bounds);
    context_.restoreState();
    cellTextColor_ = outerCellTextColor;
}

void Renderer::drawSoftShadow(const Rect& rect, double radius, Size offset, double blur, double opacity) {
    Rect base = rect.offsetBy(offset.width, offset.height);
    constexpr int steps = 5;
    blur = std::max(1.0, blur);
    for (int i = steps; i >= 1; --i) {
        double grow = blur * i / steps;
        context_.setFillColor(Color(0, 0, 0, opacity / steps));
        context_.fillRoundedRect(base.insetBy(-grow / 2, -grow / 2), radius + grow / 2);
    }
}

void Renderer::drawShadow(const View& view, const Rect& bounds) {
    const Shadow& shadow = view.shadow();
    if (shadow.opacity > 0) drawSoftShadow(bounds, view.cornerRadius(), shadow.offset, shadow.radius, shadow.opacity);
}

void Renderer::drawBackground(View& view, const Rect& bounds) {
    std::optional<Color> color = backgroundFill(view);
    if (!color) return;
    std::optional<std::vector<Rect>> showing = partsShowing(view, bounds);
    if (showing && showing->empty()) return;
    context_.setFillColor(*color);
    if (view.cornerRadius() > 0) context_.fillRoundedRect(bounds, view.cornerRadius());
    else if (!showing || color->patternImage()) context_.fillRect(bounds);
    else fillShowingParts(*showing, bounds);
}

std::optional<std::vector<Rect>> Renderer::partsShowing(View& view, const Rect& bounds) const {
    const GraphicsState& state = context_.state();
    // A clip across pixels lets part of each edge pixel through, to the fill and to what covers it.
    if (state.clip && pixelsInside(*state.clip) != *state.clip) return std::nullopt;
    const bool clips = view.clipsToBounds() || dynamic_cast<ScrollView*>(&view);
    std::vector<Rect> covers;
    for (const auto& sub : view.subviews()) {
        if (!fillsItsFrame(*sub, state.alpha)) continue;
        Rect frame = sub->frame().offsetBy(-view.bounds().x(), -view.bounds().y());
        if (clips) frame = intersect(frame, bounds);
        if (Rect inside = pixelsInside(state.toDevice(frame)); !inside.isEmpty()) covers.push_back(inside);
    }
    if (covers.empty()) return std::nullopt;
    return uncovered(pixelsTouched(state.toDevice(bounds)), covers);
}

void Renderer::fillShowingParts(const std::vector<Rect>& parts, const Rect& bounds) {
    // Each part is whole pixels but where it meets the edge of the bounds, so every pixel is
    // covered as much as a fill of the whole bounds covers it.
    const GraphicsState& state = context_.state();
    const Rect whole = state.toDevice(bounds);
    Path path;
    for (const Rect& part : parts) {
        Rect r = intersect(part, whole);
        if (r.isEmpty()) continue;
        path.addRect({(r.x() - state.translateX) / state.scaleX, (r.y() - state.translateY) / state.scaleY,
                      r.width() / state.scaleX, r.height() / state.scaleY});
    }
    context_.fillPath(path);
}

void Renderer::drawContent(View& view, const Rect& bounds) {
    if (auto* label = dynamic_cast<Label*>(&view)) return drawLabel(*label, bounds);
    if (auto* button = dynamic_cast<Button*>(&view)) return drawButton(*button, bounds);
    if (auto* field = dynamic_cast<TextField*>(&view)) return drawTextField(*field, bounds);
    if (auto* text = dynamic_cast<TextView*>(&view)) return drawTextView(*text, bounds);
    if (auto* search = dynamic_cast<SearchBar*>(&view)) return drawSearchBar(*search, bounds);
    if (auto* slider = dynamic_cast<Slider*>(&view)) return drawSlider(*slider, bounds);
    if (auto* segments = dynamic_cast<SegmentedControl*>(&view)) return drawSegmentedControl(*segments, bounds);
    if (auto* picker = dynamic_cast<PickerView*>(&view)) return drawPicker(*picker, bounds);
    if (auto* spinner = dynamic_cast<ActivitySpinner*>(&view)) return drawSpinner(*spinner, bounds);
    if (auto* toolbar = dynamic_cast<Toolbar*>(&view)) return drawToolbar(*toolbar, bounds);
    if (auto* cell = dynamic_cast<TableViewCell*>(&view)) return drawCell(*cell, bounds);
    if (auto* image = dynamic_cast<ImageView*>(&view)) {
        if (image->image()) context_.drawImage(*image->image(), bounds);
    }
}

void Renderer::drawContentSpace(View& view, bool aboveSubviews) {
    auto* table = dynamic_cast<TableView*>(&view);
    if (!table) return;
    if (aboveSubviews) drawTableDecorations(*table);
    else drawTableGroups(*table);
}

void Renderer::drawOverlay(View& view, const Rect& bounds) {
    if (auto* table = dynamic_cast<TableView*>(&view)) return drawIndexStrip(*table, bounds);
    if (auto it = owners_.find(&view); it != owners_.end())
        if (auto* nav = dynamic_cast<NavigationController*>(it->second); nav && !nav->isNavigationBarHidden())
            drawNavigationBar(*nav, bounds);
}

} // namespace tavlo::ui::render
