#pragma once

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::ui {

class GestureRecognizer;
class GraphicsContext;
class Window;

// How a view follows its superview's size changes.
namespace Autoresizing {
constexpr uint32_t None = 0;
constexpr uint32_t FlexibleLeftMargin = 1 << 0;
constexpr uint32_t FlexibleWidth = 1 << 1;
constexpr uint32_t FlexibleRightMargin = 1 << 2;
constexpr uint32_t FlexibleTopMargin = 1 << 3;
constexpr uint32_t FlexibleHeight = 1 << 4;
constexpr uint32_t FlexibleBottomMargin = 1 << 5;
} // namespace Autoresizing

struct Shadow {
    Size offset;
    double radius = 0;
    double opacity = 0;
    bool operator==(const Shadow&) const = default;
};

// A finger on the screen, in the coordinates of the view it is delivered to.
struct Touch {
    Point location;
    int tapCount = 1;
};

// A rectangle of the screen with state that tests read and act on: geometry, looks, subviews,
// gestures and first-responder status. Views are always held by shared_ptr.
class View : public std::enable_shared_from_this<View> {
public:
    explicit View(Rect frame = {});
    virtual ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // Geometry. The frame is in the superview's coordinates; the bounds origin is the scroll
    // offset; a transform scale (zooming) makes the frame that many times the bounds.
    Rect frame() const { return frame_; }
    void setFrame(const Rect& frame);
    Rect bounds() const { return bounds_; }
    void setBounds(const Rect& bounds);
    Point center() const { return frame_.center(); }
    void setCenter(Point center);
    double transformScale() const { return scale_; }
    void setTransformScale(double scale);

    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }
    double alpha() const { return alpha_; }
    void setAlpha(double alpha) { alpha_ = alpha; }
    const std::optional<Color>& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(std::optional<Color> color);
    uint32_t autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(uint32_t mask) { autoresizingMask_ = mask; }
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius) { cornerRadius_ = radius; }
    bool clipsToBounds() const { return clipsToBounds_; }
    void setClipsToBounds(bool clips) { clipsToBounds_ = clips; }
    const Shadow& shadow() const { return shadow_; }
    void setShadow(const Shadow& shadow) { shadow_ = shadow; }
    bool isUserInteractionEnabled() const { return userInteraction_; }
    void setUserInteractionEnabled(bool enabled) { userInteraction_ = enabled; }

    // The tree.
    View* superview() const { return superview_; }
    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    void addSubview(std::shared_ptr<View> view);
    void insertSubview(std::shared_ptr<View> view, size_t index);
    void removeFromSuperview();
    void bringSubviewToFront(const View& view);
    void sendSubviewToBack(const View& view);
    // This view or the first descendant (depth first) with the tag.
    View* viewWithTag(int tag);
    bool isDescendantOf(const View& ancestor) const;
    Window* window() const;
    // Not hidden nor transparent, nor any ancestor.
    bool isShown() const;

    // Layout: a pass runs layoutSubviews on views marked as needing it.
    void setNeedsLayout() { needsLayout_ = true; }
    bool needsLayout() const { return needsLayout_; }
    void layoutIfNeeded();
    virtual void layoutSubviews() {}
    virtual Size sizeThatFits(Size size) const { return size; }
    void sizeToFit();

    // Drawing is done by whoever renders the tree; headless, display only counts.
    void setNeedsDisplay() { needsDisplay_ = true; }
    bool needsDisplay() const { return needsDisplay_; }
    void displayIfNeeded();
    int displayCount() const { return displayCount_; }
    virtual void draw(GraphicsContext& context, const Rect& dirty);

    // Coordinates. A null view means the root of this view's tree (the window when there is one).
    Point convertPoint(Point point, const View* to) const;
    Point convertPointFrom(Point point, const View* from) const;
    Rect convertRect(const Rect& rect, const View* to) const;
    // The deepest shown, interactive view under a point of this view.
    View* hitTest(Point point);

    void addGestureRecognizer(std::shared_ptr<GestureRecognizer> recognizer);
    void removeGestureRecognizer(const GestureRecognizer& recognizer);
    const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const { return gestures_; }

    virtual void touchesBegan(const std::vector<Touch>& touches);
    virtual void touchesMoved(const std::vector<Touch>& touches);
    virtual void touchesEnded(const std::vector<Touch>& touches);

    // First responder: the one view that takes the keyboard (or its input view).
    virtual bool canBecomeFirstResponder() const { return false; }
    bool becomeFirstResponder();
    bool resignFirstResponder();
    bool isFirstResponder() const;
    static View* currentFirstResponder();
    // Posted when a first responder appears where there was none, and when the last one resigns.
    static constexpr const char* keyboardDidShowNotification = "KeyboardDidShowNotification";
    static constexpr const char* keyboardWillHideNotification = "KeyboardWillHideNotification";
    // Views shown in place of the keyboard and above it while this view is first responder.
    std::shared_ptr<View> inputView() const { return inputView_; }
    void setInputView(std::shared_ptr<View> view) { inputView_ = std::move(view); }
    std::shared_ptr<View> inputAccessoryView() const { return inputAccessoryView_; }
    void setInputAccessoryView(std::shared_ptr<View> view) { inputAccessoryView_ = std::move(view); }

    // The text a person reads on this view (a label's text, a button's title); none by default.
    virtual std::optional<std::string> displayedText() const { return std::nullopt; }

protected:
    virtual void didMoveToSuperview() {}
    // Asked before the change; a refusal keeps the current responder.
    virtual bool shouldBecomeFirstResponder() { return canBecomeFirstResponder(); }
    virtual void didBecomeFirstResponder() {}
    virtual bool shouldResignFirstResponder() { return true; }
    virtual void didResignFirstResponder() {}

private:
    void detach();
    void autoresizeSubviews(Size oldSize);

    Rect frame_;
    Rect bounds_;
    double scale_ = 1;
    int tag_ = 0;
    bool hidden_ = false;
    double alpha_ = 1;
    std::optional<Color> backgroundColor_;
    uint32_t autoresizingMask_ = Autoresizing::None;
    double cornerRadius_ = 0;
    bool clipsToBounds_ = false;
    Shadow shadow_;
    bool userInteraction_ = true;
    bool needsLayout_ = true;
    bool needsDisplay_ = true;
    int displayCount_ = 0;
    View* superview_ = nullptr;
    std::vector<std::shared_ptr<View>> subviews_;
    std::vector<std::shared_ptr<GestureRecognizer>> gestures_;
    std::shared_ptr<View> inputView_;
    std::shared_ptr<View> inputAccessoryView_;
};

} // namespace tavlo::ui
