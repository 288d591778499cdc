#include "screens/entry/options/QuantityCellView.h"

namespace tavlo::screens {

using namespace ui;

std::shared_ptr<Button> QuantityCellView::stepButton(const std::string& title, Point origin, int tag,
                                                     Control::Action action) {
    auto button = Button::make(ButtonType::RoundedRect, Rect(origin.x, origin.y, 48, 40));
    button->setTitle(title);
    button->setTitleColor(Color::black());
    button->titleLabel().setFont(Font::boldSystem(22));
    button->setTag(tag);
    button->addTarget(std::move(action), ControlEvent::TouchUpInside);
    return button;
}

std::shared_ptr<Label> QuantityCellView::countLabel(Rect frame, int tag) {
    auto label = std::make_shared<Label>(frame);
    label->setTag(tag);
    label->setFont(Font::system(18));
    label->setBackgroundColor(Color::clear());
    return label;
}

QuantityCellView::QuantityCellView(TableViewCellStyle style, std::string reuseIdentifier, Rect bounds,
                                   Control::Action plusPressed, Control::Action minusPressed)
    : TableViewCell(style, std::move(reuseIdentifier), bounds) {
    // The buttons stand 2 points below the top of a 44-point row, the count in its middle.
    minus_ = stepButton("-", {10, 2}, minusTag, std::move(minusPressed));
    count_ = countLabel(Rect(60, 10, 180, 25), countTag);
    count_->setTextAlignment(TextAlignment::Center);
    plus_ = stepButton("+", {242, 2}, plusTag, std::move(plusPressed));
    for (const std::shared_ptr<View>& view : {std::shared_ptr<View>(minus_), std::shared_ptr<View>(count_),
                                              std::shared_ptr<View>(plus_)})
        contentView().addSubview(view);
    setSelectionStyle(SelectionStyle::None);
}

void QuantityCellView::setEnabled(bool enabled) {
    plus_->setEnabled(enabled);
    minus_->setEnabled(enabled);
}

} // namespace tavlo::screens
