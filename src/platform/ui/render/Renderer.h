#pragma once

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/IndexPath.h"
#include "platform/ui/View.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::ui {
class ActivitySpinner;
class AlertView;
class Application;
class BarButtonItem;
class Button;
class Label;
class NavigationController;
class PickerView;
class PopoverController;
class SearchBar;
class SegmentedControl;
class Slider;
class TableView;
class TableViewCell;
class TextField;
class TextView;
class Toolbar;
class ViewController;
} // namespace tavlo::ui

namespace tavlo::ui::render {

// A place a tap can reach on a drawn screen, in window coordinates. Regions are listed back to
// front; the front-most one under a finger takes it:
// - a view tree drawn there (`view`): the tap goes to what the tree's hit test finds;
// - something drawn without a view of its own (a bar item, the back button, an alert's button, a
//   table's delete button): its `action`;
// - a barrier (an alert, a form sheet, a popover) keeps taps from what lies below; its action,
//   if any, runs for a tap that reaches it.
struct HitRegion {
    Rect rect;
    View* view = nullptr;
    double scale = 1; // window points per point of the view
    std::function<void()> action;
    bool barrier = false;
    std::string name; // what it is, for people reading a failure ("Back", "alert button 1")

    // A point of the window in the coordinates of `view`.
    Point toView(Point windowPoint) const;
};

// Draws a screen on any graphics context: the views of a window, back to front, each kind as the
// house draws it, with the bars, sheets, popovers, input views and alerts over them. While
// drawing it notes the hit regions, so that a pointer reaches exactly what it sees.
class Renderer {
public:
    explicit Renderer(GraphicsContext& context);

    // The application's key window (else its main window) and everything shown over it.
    void drawScreen(Application& app);
    // One window; the application's alerts too when it is the one on screen.
    void drawWindow(Window& window);
    // A controller's view at the context's origin, with the bars of the containers in it.
    void drawController(ViewController& controller);

    const std::vector<HitRegion>& hitRegions() const { return regions_; }
    // Something drawn moves by itself (a turning spinner): draw again soon.
    bool isAnimating() const { return animating_; }

private:
    enum class Role { Plain, FormSheet, Popover };

    // --- the walk (Renderer.cpp)
    void collectControllers(ViewController& controller);
    void drawRootViews(Window& window);
    void drawRoot(View& view, Role role);
    void drawDetached(View& view, const Rect& at);
    void drawInputViews(const Rect& screen);
    void drawView(View& view);
    void drawBackground(View& view, const Rect& bounds);
    // The parts of the view's background its opaque subviews leave showing, in whole device pixels
    // (none when they paint over all of it); nullopt when it is filled whole.
    std::optional<std::vector<Rect>> partsShowing(View& view, const Rect& bounds) const;
    void fillShowingParts(const std::vector<Rect>& parts, const Rect& bounds);
    void drawShadow(const View& view, const Rect& bounds);
    // A soft shadow under a rounded rectangle: a few widening, fading copies of its outline.
    void drawSoftShadow(const Rect& rect, double radius, Size offset, double blur, double opacity);
    void drawContent(View& view, const Rect& bounds);
    void drawContentSpace(View& view, bool aboveSubviews);
    void drawOverlay(View& view, const Rect& bounds);
    void addRegion(const Rect& rect, std::function<void()> action, std::string name, bool barrier = false);
    void addViewRegion(View& view, const Rect& rect);
    Rect toWindow(const Rect& rect) const { return context_.state().toDevice(rect); }

    // --- text (RenderText.cpp)
    void drawLabel(Label& label, const Rect& bounds);
    void drawTextField(TextField& field, const Rect& bounds);
    void drawTextView(TextView& view, const Rect& bounds);
    void drawSearchBar(SearchBar& bar, const Rect& bounds);
    // One line of editable text in a box: the text or its placeholder, the selection and the caret.
    void drawEditableLine(View& owner, const std::string& shown, size_t caretIndex, size_t selectionLength,
                          const std::optional<std::string>& placeholder, const Font& font, const Color& color,
                          TextAlignment alignment, const Rect& box);
    void drawCaret(const Rect& rect);

    // --- controls (RenderControls.cpp)
    void drawButton(Button& button, const Rect& bounds);
    void drawSlider(Slider& slider, const Rect& bounds);
    void drawSegmentedControl(SegmentedControl& control, const Rect& bounds);
    void drawPicker(PickerView& picker, const Rect& bounds);
    void drawSpinner(ActivitySpinner& spinner, const Rect& bounds);
    // An image at its natural size in the middle of a box, shrunk to fit.
    void drawImageCentred(const Image& image, const Rect& box);

    // --- tables (RenderTable.cpp)
    void drawTableGroups(TableView& table);
    void drawTableDecorations(TableView& table);
    void drawIndexStrip(TableView& table, const Rect& bounds);
    void drawCell(TableViewCell& cell, const Rect& bounds);
    void drawAccessory(TableViewCell& cell, const Rect& bounds);
    void drawSelectionControl(TableViewCell& cell, TableView& table, IndexPath row, const Rect& bounds);

    // --- bars (RenderBars.cpp)
    void drawNavigationBar(NavigationController& nav, const Rect& bounds);
    void drawToolbar(Toolbar& toolbar, const Rect& bounds);
    // A titled or stock item in its rectangle of a bar.
    void drawBarItem(BarButtonItem& item, const Rect& rect, bool bordered);
    void drawBackButton(NavigationController& nav, const std::string& title, const Rect& rect);
    double barItemWidth(const BarButtonItem& item) const;

    // --- alerts (RenderAlerts.cpp)
    void drawAlert(AlertView& alert, const Rect& screen);

    GraphicsContext& context_;
    std::vector<HitRegion> regions_;
    std::map<const View*, ViewController*> owners_;   // the views of the controllers on screen
    std::map<const BarButtonItem*, Rect> drawnItems_; // where bar items went (popover arrows)
    Application* app_ = nullptr;
    std::optional<Color> cellTextColor_; // labels of a selected cell are drawn in it
    bool animating_ = false;
};

} // namespace tavlo::ui::render
