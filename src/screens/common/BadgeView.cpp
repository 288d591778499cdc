#include "screens/common/BadgeView.h"

#include "platform/ui/Application.h"
#include "platform/ui/GraphicsContext.h"
#include "screens/common/BadgedCell.h"

namespace tavlo::screens {

using namespace ui;

namespace {

double screenScale() {
    Application* app = Application::current();
    return app && app->device().screenScale() >= 2 ? 2 : 1;
}

const Shadow kLitShadow{{0, 1}, 1, 0.8};

} // namespace

BadgeView::BadgeView(Rect frame) : View(frame) { setBackgroundColor(Color::clear()); }

void BadgeView::setBadgeString(std::optional<std::string> text) {
    badgeString_ = std::move(text);
    setNeedsDisplay();
}

void BadgeView::setBadgeColor(std::optional<Color> color) {
    badgeColor_ = std::move(color);
    setNeedsDisplay();
}

void BadgeView::setBadgeColorHighlighted(std::optional<Color> color) {
    badgeColorHighlighted_ = std::move(color);
    setNeedsDisplay();
}

void BadgeView::setShadowShown(bool show) {
    showShadow_ = show;
    refreshLook();
}

void BadgeView::setRadius(double radius) {
    radius_ = radius;
    refreshLook();
}

bool BadgeView::cellIsLit() const {
    return parent_ && parent_->selectionStyle() != SelectionStyle::None &&
           (parent_->isHighlighted() || parent_->isSelected());
}

Color BadgeView::currentColor() const {
    if (cellIsLit()) return badgeColorHighlighted_.value_or(defaultHighlightedColor());
    return badgeColor_.value_or(defaultColor());
}

void BadgeView::refreshLook() {
    setCornerRadius(cornerRadius());
    setShadow(cellIsLit() && showShadow_ ? kLitShadow : Shadow{});
    setNeedsDisplay();
}

void BadgeView::draw(GraphicsContext& context, const Rect& dirty) {
    const std::string text = badgeString_.value_or("");
    const double width = text.empty() ? 12 : context.measureText(text, font()).width + 12;
    const double scale = screenScale();
    const Size size(dirty.width() * scale, dirty.height() * scale);
    if (size.width <= 0 || size.height <= 0) return;

    // The badge is filled offscreen, then its text is drawn in the clear blend mode: the letters
    // are cut out of the colour rather than painted on it.
    std::unique_ptr<GraphicsContext> badge = context.makeOffscreen(size);
    badge->setFillColor(currentColor());
    badge->fillRoundedRect(Rect(0, 0, size.width, size.height), cornerRadius() * scale);
    badge->saveState();
    const Rect box(6.5 * scale, 2 * scale, width * scale, 18 * scale);
    badge->clip(box);
    badge->setBlendMode(BlendMode::Clear);
    badge->setFillColor(Color::black());
    badge->drawText(text, box, font(scale), TextAlignment::Left, TextWrap{1, LineBreakMode::Clip});
    badge->restoreState();
    context.drawImage(badge->snapshot(), dirty);
}

} // namespace tavlo::screens
