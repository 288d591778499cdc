#include "platform/ui/render/PointerInput.h"

#include "platform/ui/Button.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Interaction.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Slider.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/render/Theme.h"

#include <algorithm>
#include <cmath>

namespace tavlo::ui::render {

namespace {

template <typename T> T* nearest(View* view) {
    for (View* v = view; v; v = v->superview())
        if (auto* found = dynamic_cast<T*>(v)) return found;
    return nullptr;
}

double distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

// The slider's value under a point of it.
double sliderValue(const Slider& slider, Point local) {
    double thumb = std::min(28.0, slider.bounds().height());
    double span = slider.bounds().width() - thumb;
    double fraction = span > 0 ? std::clamp((local.x - thumb / 2) / span, 0.0, 1.0) : 0;
    return slider.minimumValue() + fraction * (slider.maximumValue() - slider.minimumValue());
}

TextInput* firstResponderInput() { return dynamic_cast<TextInput*>(View::currentFirstResponder()); }

} // namespace

PointerInput::PointerInput(Regions regions) : regions_(std::move(regions)) {}

PointerInput::Target PointerInput::targetAt(Point at) const {
    std::vector<HitRegion> regions = regions_();
    for (auto it = regions.rbegin(); it != regions.rend(); ++it) {
        const HitRegion& region = *it;
        if (!region.rect.contains(at)) continue;
        if (region.view) {
            Point local = region.toView(at);
            View* hit = region.view->hitTest(local);
            if (!hit) continue;
            Target target;
            target.view = hit->weak_from_this().lock();
            if (!target.view) continue;
            target.local = hit->convertPointFrom(local, region.view);
            target.found = true;
            return target;
        }
        if (region.action || region.barrier) {
            Target target;
            target.action = region.action;
            target.found = true;
            return target;
        }
    }
    return {};
}

void PointerInput::press(Point at, double time) {
    pressed_ = true;
    dragging_ = false;
    consumed_ = false;
    start_ = last_ = at;
    startTime_ = time;
    target_ = targetAt(at);
    View* view = target_.view.get();
    if (!view) return;
    if (auto* button = nearest<Button>(view); button && button->isEnabled()) button->setHighlighted(true);
    if (auto* slider = nearest<Slider>(view); slider && slider->isEnabled())
        interaction::slide(*slider, sliderValue(*slider, slider->convertPointFrom(target_.local, view)));
    view->touchesBegan({{target_.local, 1}});
}

void PointerInput::move(Point to, double) {
    if (!pressed_) return;
    Point previous = last_;
    last_ = to;
    View* view = target_.view.get();
    if (!dragging_ && distance(to, start_) > kSlop) {
        dragging_ = true;
        if (auto* button = nearest<Button>(view)) button->setHighlighted(false);
    }
    if (!view) return;
    Point local{target_.local.x + to.x - start_.x, target_.local.y + to.y - start_.y};
    if (auto* slider = nearest<Slider>(view); slider && slider->isEnabled()) {
        interaction::slide(*slider, sliderValue(*slider, slider->convertPointFrom(local, view)));
    } else if (dragging_) {
        scroll(*view, previous.x - to.x, previous.y - to.y);
    }
    view->touchesMoved({{local, 1}});
}

void PointerInput::release(Point at, double time, int clicks) {
    if (!pressed_) return;
    if (at != last_) move(at, time);
    pressed_ = false;
    Target target = std::move(target_);
    target_ = {};
    View* view = target.view.get();
    if (view) {
        if (auto* button = nearest<Button>(view)) button->setHighlighted(false);
        view->touchesEnded({{{target.local.x + at.x - start_.x, target.local.y + at.y - start_.y}, 1}});
    }
    if (consumed_) return;
    if (!dragging_) {
        double held = time - startTime_;
        target_ = target; // longPress reads it
        bool taken = held >= kLongPressSeconds && longPress(held);
        target_ = {};
        if (!taken) tap(target, std::max(1, clicks));
        return;
    }
    if (view) settle(*view);
    double dx = at.x - start_.x, dy = at.y - start_.y;
    if (dx < -kSwipeDistance && std::abs(dx) > 2 * std::abs(dy) && time - startTime_ < kSwipeSeconds)
        if (auto* cell = nearest<TableViewCell>(view))
            if (TableView* table = cell->tableView(); table && !table->isEditing())
                if (auto path = table->indexPathForCell(*cell)) table->showDeleteConfirmation(*path);
}

void PointerInput::hold(double time) {
    if (!pressed_ || dragging_ || consumed_ || time - startTime_ < kLongPressSeconds) return;
    if (!longPress(time - startTime_)) return;
    consumed_ = true;
    if (auto* button = nearest<Button>(target_.view.get())) button->setHighlighted(false);
}

bool PointerInput::longPress(double seconds) {
    return target_.view && interaction::recognize(*target_.view, target_.local, 1, 1, seconds);
}

void PointerInput::secondaryClick(Point at) {
    if (pressed_) return;
    Target target = targetAt(at);
    if (target.view) interaction::recognize(*target.view, target.local, 2, 1, 0);
}

void PointerInput::tap(const Target& target, int clicks) {
    if (target.action) return target.action();
    View* hit = target.view.get();
    if (!hit) return;
    // A row showing its delete button lets it go with a tap anywhere else in the table.
    if (auto* table = nearest<TableView>(hit); table && table->deleteConfirmationRow()) {
        table->hideDeleteConfirmation();
        return;
    }
    for (View* v = hit; v; v = v->superview()) {
        Point local = v->convertPointFrom(target.local, hit);
        if (auto* field = dynamic_cast<TextField*>(v)) {
            if (field->isEnabled()) interaction::focus(*field);
            return;
        }
        if (auto* segments = dynamic_cast<SegmentedControl*>(v)) {
            int count = segments->numberOfSegments();
            if (!segments->isEnabled() || count == 0) return;
            // As the renderer lays them out: inside a one-point edge.
            int index = segments->segmentAt(local.x - 1, segments->bounds().width() - 2, theme::kSegmentPadding);
            if (segments->isEnabledForSegment(index)) interaction::pickSegment(*segments, index);
            return;
        }
        if (dynamic_cast<Slider*>(v)) return; // moved on press
        if (auto* control = dynamic_cast<Control*>(v)) {
            if (control->isEnabled()) interaction::press(*control);
            return;
        }
        if (dynamic_cast<TextView*>(v) || dynamic_cast<SearchBar*>(v)) {
            interaction::focus(*v);
            return;
        }
        if (auto* picker = dynamic_cast<PickerView*>(v)) {
            int components = picker->numberOfComponents();
            if (components == 0) return;
            int component =
                std::clamp(static_cast<int>(local.x / (picker->bounds().width() / components)), 0, components - 1);
            int offset =
                static_cast<int>(std::lround((local.y - picker->bounds().height() / 2) / theme::kPickerRowHeight));
            int row = std::clamp(picker->selectedRow(component) + offset, 0,
                                 std::max(0, picker->numberOfRows(component) - 1));
            if (offset != 0) interaction::pickRow(*picker, row, component);
            return;
        }
        auto recognizers = v->gestureRecognizers();
        for (auto& r : recognizers)
            if (r->recognize(local, 1, clicks, 0)) return;
        if (auto* cell = dynamic_cast<TableViewCell*>(v)) {
            TableView* table = cell->tableView();
            if (auto path = table ? table->indexPathForCell(*cell) : std::nullopt) table->tapRow(*path);
            return;
        }
    }
}

void PointerInput::scroll(View& from, double dx, double dy, bool byPage) {
    for (View* v = &from; v; v = v->superview()) {
        auto* scrollView = dynamic_cast<ScrollView*>(v);
        if (!scrollView || !scrollView->isScrollEnabled()) continue;
        Point offset = scrollView->contentOffset();
        Size content = scrollView->contentSize();
        Rect bounds = scrollView->bounds();
        Point next{std::clamp(offset.x + dx, 0.0, std::max(0.0, content.width - bounds.width())),
                   std::clamp(offset.y + dy, 0.0, std::max(0.0, content.height - bounds.height()))};
        if (const double page = scrollView->pageWidth(); byPage && page > 0 && dx != 0) {
            const double pages = std::max(1.0, std::round(std::abs(dx) / page));
            next = scrollView->settledOffset({offset.x + std::copysign(pages * page, dx), next.y});
        }
        if (next == offset) continue; // at its end: an outer one may scroll
        scrollView->setContentOffset(next);
        scrollView->setNeedsLayout();
        return;
    }
}

void PointerInput::wheel(Point at, double dx, double dy) {
    Target target = targetAt(at);
    if (!target.view) return;
    if (auto* picker = nearest<PickerView>(target.view.get())) {
        Point local = picker->convertPointFrom(target.local, target.view.get());
        int components = picker->numberOfComponents();
        if (components == 0 || dy == 0) return;
        int component =
            std::clamp(static_cast<int>(local.x / (picker->bounds().width() / components)), 0, components - 1);
        int row = picker->selectedRow(component) + (dy > 0 ? -1 : 1);
        if (row >= 0 && row < picker->numberOfRows(component)) interaction::pickRow(*picker, row, component);
        return;
    }
    scroll(*target.view, -dx * kWheelStep, -dy * kWheelStep, true);
}

void PointerInput::settle(View& from) {
    for (View* v = &from; v; v = v->superview()) {
        auto* scrollView = dynamic_cast<ScrollView*>(v);
        if (!scrollView || scrollView->pageWidth() <= 0) continue;
        Point settled = scrollView->settledOffset(scrollView->contentOffset());
        if (settled != scrollView->contentOffset()) {
            scrollView->setContentOffset(settled);
            scrollView->setNeedsLayout();
        }
        return;
    }
}

void PointerInput::text(std::string_view typed) {
    if (TextInput* input = firstResponderInput()) interaction::type(*input, typed);
}

std::vector<View*> PointerInput::focusableViews() const {
    std::vector<HitRegion> regions = regions_();
    // Only the front layer: what lies under an alert, a sheet or a popover cannot be reached.
    size_t first = 0;
    for (size_t i = 0; i < regions.size(); ++i)
        if (regions[i].barrier) first = i;
    struct Placed {
        View* view;
        Point at;
    };
    std::vector<Placed> found;
    std::function<void(View&, const HitRegion&)> walk = [&](View& v, const HitRegion& region) {
        if (v.isHidden() || v.alpha() < 0.01 || !v.isUserInteractionEnabled()) return;
        auto* control = dynamic_cast<Control*>(&v);
        if (v.canBecomeFirstResponder() && dynamic_cast<TextInput*>(&v) && (!control || control->isEnabled())) {
            Point p = v.convertPoint({0, 0}, nullptr);
            if (!region.view->superview()) p = {p.x + region.rect.x(), p.y + region.rect.y()};
            found.push_back({&v, p});
        }
        for (auto& sub : v.subviews()) walk(*sub, region);
    };
    for (size_t i = first; i < regions.size(); ++i)
        if (regions[i].view) walk(*regions[i].view, regions[i]);
    std::stable_sort(found.begin(), found.end(), [](const Placed& a, const Placed& b) {
        return std::abs(a.at.y - b.at.y) > 4 ? a.at.y < b.at.y : a.at.x < b.at.x;
    });
    std::vector<View*> views;
    for (auto& p : found)
        if (std::find(views.begin(), views.end(), p.view) == views.end()) views.push_back(p.view);
    return views;
}

void PointerInput::key(Key key) {
    View* responder = View::currentFirstResponder();
    TextInput* input = firstResponderInput();
    switch (key) {
    case Key::Backspace:
        if (input) interaction::backspace(*input);
        return;
    case Key::Return:
        if (auto* field = dynamic_cast<TextField*>(responder)) field->pressReturn();
        else if (auto* search = dynamic_cast<SearchBar*>(responder)) search->clickSearchButton();
        else if (input) interaction::type(*input, "\n");
        return;
    case Key::Tab:
    case Key::BackTab: {
        std::vector<View*> views = focusableViews();
        if (views.empty()) return;
        auto it = std::find(views.begin(), views.end(), responder);
        size_t index;
        if (it == views.end()) index = key == Key::Tab ? 0 : views.size() - 1;
        else {
            size_t at = static_cast<size_t>(it - views.begin());
            index = key == Key::Tab ? (at + 1) % views.size() : (at + views.size() - 1) % views.size();
        }
        interaction::focus(*views[index]);
        return;
    }
    }
}

} // namespace tavlo::ui::render
