#pragma once

#include "platform/ui/TableViewCell.h"
#include "screens/common/BadgeView.h"

#include <memory>
#include <optional>
#include <string>

namespace tavlo::screens {

// A table cell with a small rounded badge at its right edge (the list menu shows the portions of
// a recipe still available in it). The badge is hidden without a text and while the cell is
// being edited; labels that would run under it are narrowed to end 10 points before it.
class BadgedCell : public ui::TableViewCell {
public:
    static constexpr double kBadgeHeight = 18;

    BadgedCell(ui::TableViewCellStyle style, std::string reuseIdentifier, ui::Rect frame = {0, 0, 320, 44});
    ~BadgedCell() override;

    // Nil hides the badge.
    const std::optional<std::string>& badgeString() const { return badgeString_; }
    void setBadgeString(std::optional<std::string> text);
    BadgeView& badge() { return *badge_; }
    // Nil: the badge's defaults.
    const std::optional<ui::Color>& badgeColor() const { return badgeColor_; }
    void setBadgeColor(std::optional<ui::Color> color);
    const std::optional<ui::Color>& badgeColorHighlighted() const { return badgeColorHighlighted_; }
    void setBadgeColorHighlighted(std::optional<ui::Color> color);
    // Also gives the text labels a shadow once the cell is highlighted.
    bool showShadow() const { return showShadow_; }
    void setShadowShown(bool show);

    void setHighlighted(bool highlighted, bool animated) override;
    void setSelected(bool selected, bool animated) override;
    void setEditing(bool editing, bool animated) override;
    void layoutSubviews() override;

private:
    // Keeps a label clear of the badge that starts at `badgeX`.
    static void narrow(ui::Label& label, double badgeX, double textWidth);

    std::shared_ptr<BadgeView> badge_;
    std::optional<std::string> badgeString_;
    std::optional<ui::Color> badgeColor_, badgeColorHighlighted_;
    bool showShadow_ = false;
};

} // namespace tavlo::screens
