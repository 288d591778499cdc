#include "screens/common/BadgedCell.h"

#include <cmath>

namespace tavlo::screens {

using namespace ui;

BadgedCell::BadgedCell(TableViewCellStyle style, std::string reuseIdentifier, Rect frame)
    : TableViewCell(style, std::move(reuseIdentifier), frame), badge_(std::make_shared<BadgeView>()) {
    badge_->setParent(this);
    contentView().addSubview(badge_);
    badge_->setHidden(true);
    badge_->setNeedsDisplay();
}

BadgedCell::~BadgedCell() { badge_->setParent(nullptr); }

void BadgedCell::setBadgeString(std::optional<std::string> text) {
    badgeString_ = std::move(text);
    setNeedsLayout();
}

void BadgedCell::setBadgeColor(std::optional<Color> color) {
    badgeColor_ = std::move(color);
    setNeedsLayout();
}

void BadgedCell::setBadgeColorHighlighted(std::optional<Color> color) {
    badgeColorHighlighted_ = std::move(color);
    setNeedsLayout();
}

void BadgedCell::setShadowShown(bool show) {
    showShadow_ = show;
    setNeedsLayout();
}

void BadgedCell::setHighlighted(bool highlighted, bool animated) {
    TableViewCell::setHighlighted(highlighted, animated);
    badge_->refreshLook();
    // The labels keep their shadow once the highlight is over.
    if (showShadow_) {
        const Shadow shadow{{0, 1}, 1, 0.8};
        textLabel().setShadow(shadow);
        if (Label* detail = detailTextLabel()) detail->setShadow(shadow);
    }
}

void BadgedCell::setSelected(bool selected, bool animated) {
    TableViewCell::setSelected(selected, animated);
    badge_->refreshLook();
}

void BadgedCell::setEditing(bool editing, bool animated) {
    TableViewCell::setEditing(editing, animated);
    badge_->setHidden(editing || !badgeString_);
    badge_->refreshLook();
    setNeedsLayout();
}

void BadgedCell::narrow(Label& label, double badgeX, double textWidth) {
    Rect f = label.frame();
    if (f.maxX() >= badgeX) label.setFrame(Rect(f.x(), f.y(), f.width() - (textWidth + 13) - 10, f.height()));
}

void BadgedCell::layoutSubviews() {
    TableViewCell::layoutSubviews();
    if (!badgeString_) {
        badge_->setHidden(true);
        return;
    }
    badge_->setHidden(isEditing());
    const double w = BadgeView::font().measure(*badgeString_).width;
    const Rect content = contentView().bounds();
    const Rect frame(content.width() - (w + 25), std::round((content.height() - kBadgeHeight) / 2), w + 13,
                     kBadgeHeight);
    badge_->setFrame(frame);
    badge_->setShadowShown(showShadow_);
    badge_->setBadgeString(badgeString_);
    narrow(textLabel(), frame.x(), w);
    if (Label* detail = detailTextLabel()) narrow(*detail, frame.x(), w);
    badge_->setBadgeColorHighlighted(badgeColorHighlighted_.value_or(BadgeView::defaultHighlightedColor()));
    badge_->setBadgeColor(badgeColor_.value_or(BadgeView::defaultColor()));
}

} // namespace tavlo::screens
