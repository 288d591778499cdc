#pragma once

#include "platform/ui/Font.h"
#include "platform/ui/View.h"

#include <optional>
#include <string>

namespace tavlo::screens {

class BadgedCell;

// The rounded badge of a BadgedCell: a filled rounded rectangle with its text cut out of it, so
// that what lies behind the badge shows through the letters. Drawn at the screen's scale.
class BadgeView : public ui::View {
public:
    // The colour when none is set, and the highlighted one.
    static ui::Color defaultColor() { return ui::Color(0.53, 0.6, 0.738, 1); }
    static ui::Color defaultHighlightedColor() { return ui::Color::white(); }
    // The badge's text is measured and drawn in this font (at the screen's scale).
    static ui::Font font(double scale = 1) { return ui::Font::boldSystem(11 * scale); }
    static constexpr double kDefaultRadius = 4;

    explicit BadgeView(ui::Rect frame = {});

    const std::optional<std::string>& badgeString() const { return badgeString_; }
    void setBadgeString(std::optional<std::string> text);
    // The owning cell, not owned; the cell clears it when it goes.
    BadgedCell* parent() const { return parent_; }
    void setParent(BadgedCell* cell) { parent_ = cell; }
    // Nil: the defaults above.
    const std::optional<ui::Color>& badgeColor() const { return badgeColor_; }
    void setBadgeColor(std::optional<ui::Color> color);
    const std::optional<ui::Color>& badgeColorHighlighted() const { return badgeColorHighlighted_; }
    void setBadgeColorHighlighted(std::optional<ui::Color> color);
    bool showShadow() const { return showShadow_; }
    void setShadowShown(bool show);
    // Points; 0 means 4.
    double radius() const { return radius_; }
    void setRadius(double radius);

    // The colour the badge is filled with now: the highlighted one while its cell (with a
    // selection style) is highlighted or selected.
    ui::Color currentColor() const;
    // Takes the corner radius and, while its cell (with a selection style) is highlighted or
    // selected and the shadow is asked for, a shadow.
    void refreshLook();

    void draw(ui::GraphicsContext& context, const ui::Rect& dirty) override;

private:
    bool cellIsLit() const;
    double cornerRadius() const { return radius_ > 0 ? radius_ : kDefaultRadius; }

    std::optional<std::string> badgeString_;
    BadgedCell* parent_ = nullptr;
    std::optional<ui::Color> badgeColor_, badgeColorHighlighted_;
    bool showShadow_ = false;
    double radius_ = 0;
};

} // namespace tavlo::screens
