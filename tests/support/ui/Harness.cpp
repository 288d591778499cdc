#include "support/ui/Harness.h"

#include "platform/foundation/AlertSink.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/ApplicationAlertSink.h"
#include "platform/ui/Interaction.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SplitViewController.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/render/Typesetter.h"

#include <algorithm>

namespace tavlo::ui::test {

namespace {

// Shown views of a tree, depth first; front-most first or in reading (back-to-front) order.
void collect(View& view, bool frontFirst, std::vector<View*>& out) {
    if (view.isHidden() || view.alpha() < 0.01) return;
    out.push_back(&view);
    const auto& subs = view.subviews();
    if (frontFirst)
        for (auto it = subs.rbegin(); it != subs.rend(); ++it) collect(**it, frontFirst, out);
    else
        for (auto& sub : subs) collect(*sub, frontFirst, out);
}

// The trees a person sees: the keyboard's accessory and input views, then the window's subviews
// from the front down to (and with) the first one that covers the whole window; and the
// navigation bar contents of the controllers on screen.
std::vector<View*> shownViews(Application& app, const std::vector<ViewController*>& controllers, bool frontFirst) {
    std::vector<View*> roots;
    if (View* responder = View::currentFirstResponder()) {
        if (auto v = responder->inputAccessoryView()) roots.push_back(v.get());
        if (auto v = responder->inputView()) roots.push_back(v.get());
    }
    for (ViewController* c : controllers) {
        if (!dynamic_cast<NavigationController*>(c->parentViewController())) continue;
        NavigationItem& item = c->navigationItem();
        if (item.titleView()) roots.push_back(item.titleView().get());
        for (auto* bar : {item.leftBarButtonItem().get(), item.rightBarButtonItem().get()})
            if (bar && bar->customView()) roots.push_back(bar->customView().get());
    }
    Window& window = app.keyWindow() ? *app.keyWindow() : app.window();
    const auto& subs = window.subviews();
    for (auto it = subs.rbegin(); it != subs.rend(); ++it) {
        View& v = **it;
        if (v.isHidden()) continue;
        roots.push_back(&v);
        if (v.frame() == window.bounds()) break;
    }
    if (!frontFirst) std::reverse(roots.begin(), roots.end());
    std::vector<View*> out;
    for (View* root : roots) collect(*root, frontFirst, out);
    return out;
}

void expand(ViewController& c, std::vector<ViewController*>& out) {
    if (!c.isOnScreen()) return;
    if (auto* split = dynamic_cast<SplitViewController*>(&c))
        if (split->popover() && split->popover()->isPopoverVisible())
            expand(*split->popover()->contentViewController(), out);
    auto children = c.visibleChildren();
    for (auto it = children.rbegin(); it != children.rend(); ++it) expand(**it, out);
    out.push_back(&c);
}

} // namespace

Harness::Harness(DeviceIdiom idiom)
    : clock_(std::make_shared<FakeClock>()), previousClock_(Clock::currentShared()),
      app_(std::make_shared<Application>(idiom)) {
    // Text is measured as the renderer draws it, so that a screen's snapshot shows its layout.
    render::Typesetter::shared();
    Clock::install(clock_);
    RunLoop::main().reset();
    Application::install(app_);
    AlertSink::install(std::make_shared<ApplicationAlertSink>());
}

Harness::~Harness() {
    AlertSink::install(nullptr);
    RunLoop::main().reset();
    Application::install(nullptr);
    app_.reset();
    Clock::install(previousClock_);
}

void Harness::show(std::shared_ptr<ViewController> root) {
    window().setRootViewController(std::move(root));
    window().makeKeyAndVisible();
    runUntilIdle();
}

ViewController& Harness::visibleController() {
    ViewController* root = window().rootViewController();
    if (!root) throw HarnessError("nothing is shown");
    return *root->visibleViewController();
}

void Harness::runUntilIdle() {
    for (int round = 0; round < 1000; ++round) {
        size_t handled = RunLoop::main().runUntilIdle();
        app_->layoutIfNeeded();
        if (handled == 0) return;
    }
    throw HarnessError("the main loop never went idle");
}

void Harness::advance(double seconds) {
    RunLoop::main().runFor(seconds);
    runUntilIdle();
}

void Harness::rotate(DeviceOrientation orientation) {
    app_->device().setOrientation(orientation);
    runUntilIdle();
}

AlertView& Harness::frontAlert() {
    AlertView* alert = app_->frontAlert();
    if (!alert) throw HarnessError("no alert is shown");
    return *alert;
}

void Harness::clickAlert(int buttonIndex) {
    AlertView& alert = frontAlert();
    if (buttonIndex < 0 || buttonIndex >= alert.numberOfButtons())
        throw HarnessError("the alert has no button " + std::to_string(buttonIndex));
    alert.click(buttonIndex);
    runUntilIdle();
}

void Harness::clickAlert(const std::string& buttonTitle) {
    AlertView& alert = frontAlert();
    int index = alert.buttonIndex(buttonTitle);
    if (index < 0) throw HarnessError("the alert has no button \"" + buttonTitle + "\"");
    clickAlert(index);
}

std::vector<ViewController*> Harness::onScreenControllers() {
    std::vector<ViewController*> chain;
    for (ViewController* c = window().rootViewController(); c; c = c->presentedViewController()) chain.push_back(c);
    std::vector<ViewController*> out;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) expand(**it, out);
    return out;
}

std::vector<View*> Harness::visibleViews() { return shownViews(*app_, onScreenControllers(), true); }

std::vector<std::string> Harness::visibleLabelTexts() {
    std::vector<std::string> texts;
    for (View* v : shownViews(*app_, onScreenControllers(), false))
        if (auto* label = dynamic_cast<Label*>(v); label && label->text() && !label->text()->empty())
            texts.push_back(*label->text());
    return texts;
}

View& Harness::findView(const std::function<bool(View&)>& match, const std::string& what) {
    for (View* v : visibleViews())
        if (match(*v)) return *v;
    throw HarnessError("no " + what + " is shown");
}

std::vector<BarButtonItem*> Harness::visibleBarItems() {
    std::vector<BarButtonItem*> items;
    if (View* responder = View::currentFirstResponder())
        if (auto* bar = dynamic_cast<Toolbar*>(responder->inputAccessoryView().get()))
            for (auto& item : bar->items()) items.push_back(item.get());
    for (ViewController* c : onScreenControllers()) {
        if (auto* nav = dynamic_cast<NavigationController*>(c); nav && !nav->isToolbarHidden())
            for (auto& item : nav->toolbar().items()) items.push_back(item.get());
        if (!dynamic_cast<NavigationController*>(c->parentViewController())) continue;
        for (auto* bar :
             {c->navigationItem().leftBarButtonItem().get(), c->navigationItem().rightBarButtonItem().get()})
            if (bar) items.push_back(bar);
    }
    for (View* v : visibleViews())
        if (auto* bar = dynamic_cast<Toolbar*>(v))
            for (auto& item : bar->items())
                if (std::find(items.begin(), items.end(), item.get()) == items.end()) items.push_back(item.get());
    return items;
}

void Harness::requireNoAlert(const std::string& action) const {
    if (app_->frontAlert()) throw HarnessError("cannot " + action + " while an alert is shown");
}

void Harness::requireShown(View& view, const std::string& what) {
    auto shown = visibleViews();
    if (std::find(shown.begin(), shown.end(), &view) == shown.end()) throw HarnessError(what + " is not shown");
}

void Harness::tap(Button& button) {
    requireNoAlert("tap a button");
    std::string name = "the button \"" + button.currentTitle().value_or("") + "\"";
    requireShown(button, name);
    if (!button.isEnabled() || !button.isUserInteractionEnabled()) throw HarnessError(name + " is disabled");
    interaction::press(button);
    runUntilIdle();
}

void Harness::tap(BarButtonItem& item) {
    requireNoAlert("tap a bar item");
    std::string name = "the bar item \"" + item.displayTitle().value_or("") + "\"";
    auto items = visibleBarItems();
    if (std::find(items.begin(), items.end(), &item) == items.end()) throw HarnessError(name + " is not shown");
    if (!item.isEnabled()) throw HarnessError(name + " is disabled");
    if (auto* button = dynamic_cast<Button*>(item.customView().get())) return tap(*button);
    item.tap();
    runUntilIdle();
}

void Harness::tap(const std::string& title) {
    requireNoAlert("tap \"" + title + "\"");
    for (BarButtonItem* item : visibleBarItems())
        if (!item->isSpace() && item->displayTitle() == title) return tap(*item);
    for (View* v : visibleViews())
        if (auto* button = dynamic_cast<Button*>(v); button && button->currentTitle() == title) return tap(*button);
    for (ViewController* c : onScreenControllers())
        if (auto* nav = dynamic_cast<NavigationController*>(c); nav && nav->backButtonTitle() == title)
            return tapBack();
    throw HarnessError("no button or bar item \"" + title + "\" is shown");
}

void Harness::tap(SystemItem kind) {
    requireNoAlert("tap a bar item");
    for (BarButtonItem* item : visibleBarItems())
        if (item->systemItem() == kind) return tap(*item);
    throw HarnessError("no bar item of system kind " + std::to_string(static_cast<int>(kind)) + " is shown");
}

void Harness::tapBack() {
    requireNoAlert("go back");
    for (ViewController* c : onScreenControllers())
        if (auto* nav = dynamic_cast<NavigationController*>(c); nav && nav->backButtonTitle()) {
            nav->tapBackButton();
            runUntilIdle();
            return;
        }
    throw HarnessError("no back button is shown");
}

void Harness::tapRow(TableView& table, IndexPath path) {
    requireNoAlert("tap a row");
    requireShown(table, "the table");
    if (!table.isValid(path)) throw HarnessError("the table has no such row");
    if (!table.tapRow(path)) throw HarnessError("the row cannot be selected");
    runUntilIdle();
}

void Harness::tapAccessory(TableView& table, IndexPath path) {
    requireNoAlert("tap an accessory");
    requireShown(table, "the table");
    if (!table.tapAccessory(path)) throw HarnessError("the row has no detail button");
    runUntilIdle();
}

std::string Harness::swipeDelete(TableView& table, IndexPath path) {
    requireNoAlert("swipe a row");
    requireShown(table, "the table");
    auto title = table.deleteConfirmationTitle(path);
    if (!title || !table.swipeToDelete(path)) throw HarnessError("the row cannot be deleted");
    runUntilIdle();
    return *title;
}

void Harness::typeInto(View& view, TextInput& input, const std::string& keys) {
    AlertView* alert = app_->frontAlert();
    bool alertField = alert && alert->textField(0) == &view;
    if (!alertField) {
        requireNoAlert("type");
        requireShown(view, "the text input");
    }
    if (!interaction::focus(view)) throw HarnessError("the text input refused editing");
    interaction::type(input, keys);
    runUntilIdle();
}

void Harness::backspaceIn(View& view, TextInput& input, int times) {
    typeInto(view, input, "");
    interaction::backspace(input, times);
    runUntilIdle();
}

void Harness::pick(PickerView& picker, int row, int component) {
    requireNoAlert("turn a picker");
    requireShown(picker, "the picker");
    if (row < 0 || row >= picker.numberOfRows(component)) throw HarnessError("the picker has no such row");
    interaction::pickRow(picker, row, component);
    runUntilIdle();
}

void Harness::pick(PickerView& picker, const std::string& title, int component) {
    for (int row = 0; row < picker.numberOfRows(component); ++row)
        if (picker.titleForRow(row, component) == title) return pick(picker, row, component);
    throw HarnessError("the picker has no row \"" + title + "\"");
}

void Harness::slide(Slider& slider, double value) {
    requireNoAlert("move a slider");
    requireShown(slider, "the slider");
    if (!slider.isEnabled()) throw HarnessError("the slider is disabled");
    interaction::slide(slider, value);
    runUntilIdle();
}

void Harness::pickSegment(SegmentedControl& control, int index) {
    requireNoAlert("pick a segment");
    requireShown(control, "the segmented control");
    if (!control.isEnabled() || !control.isEnabledForSegment(index)) throw HarnessError("the segment is disabled");
    interaction::pickSegment(control, index);
    runUntilIdle();
}

void Harness::pickSegment(SegmentedControl& control, const std::string& title) {
    for (int i = 0; i < control.numberOfSegments(); ++i)
        if (control.titleForSegment(i) == title) return pickSegment(control, i);
    throw HarnessError("no segment \"" + title + "\"");
}

void Harness::gesture(View& view, Point point, int touches, int taps, double seconds, const std::string& what) {
    requireNoAlert(what);
    requireShown(view, "the view");
    if (!interaction::recognize(view, point, touches, taps, seconds))
        throw HarnessError("nothing takes a " + what + " there");
    runUntilIdle();
}

void Harness::tapAt(View& view, Point point, int taps, int touches) { gesture(view, point, touches, taps, 0, "tap"); }

void Harness::longPress(View& view, Point point, double seconds) { gesture(view, point, 1, 1, seconds, "long press"); }

void Harness::drag(View& view, const std::vector<Point>& points) {
    requireNoAlert("drag");
    requireShown(view, "the view");
    interaction::drag(view, points);
    runUntilIdle();
}

} // namespace tavlo::ui::test
