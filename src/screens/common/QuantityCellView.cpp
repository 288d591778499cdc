#include "screens/common/QuantityCellView.h"

#include "platform/foundation/Text.h"

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

std::shared_ptr<TableViewCell> QuantityCellView::counterRow(const std::string& identifier, double width, double height,
                                                            Control::Action minusPressed, Control::Action plusPressed) {
    auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, identifier, Rect(0, 0, width, height));
    cell->setSelectionStyle(SelectionStyle::None);
    View& content = cell->contentView();
    const double buttonTop = (height - 40) / 2, textTop = (height - 24) / 2; // 2 and 10 in a 44-point row
    content.addSubview(stepButton("-", {10, buttonTop}, 0, std::move(minusPressed)));
    content.addSubview(countLabel(Rect(66, textTop, 30, 25), kRowCountTag));
    auto name = countLabel(Rect((width - 180) / 2, textTop, 180, 25), kRowNameTag);
    name->setTextAlignment(TextAlignment::Center);
    name->setAutoresizingMask(Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleRightMargin);
    content.addSubview(name);
    auto plus = stepButton("+", {width - 58, buttonTop}, 0, std::move(plusPressed));
    plus->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
    content.addSubview(plus);
    return cell;
}

void QuantityCellView::showRowCount(TableViewCell& cell, int count) {
    if (auto* label = dynamic_cast<Label*>(cell.viewWithTag(kRowCountTag)))
        label->setText(count > 0 ? format("%ld", count) : std::string());
}

TableViewCell* QuantityCellView::rowHolding(Control& button) {
    for (View* view = button.superview(); view; view = view->superview())
        if (auto* row = dynamic_cast<TableViewCell*>(view)) return row;
    return nullptr;
}

QuantityCellView::QuantityCellView(TableViewCellStyle style, std::string reuseIdentifier, Rect bounds,
                                   Control::Action plusPressed, Control::Action minusPressed)
    : TableViewCell(style, std::move(reuseIdentifier), bounds) {
    // The buttons stand 2 points below the top of a 44-point row, the count in its middle.
    minus_ = stepButton("-", {10, 2}, kMinusTag, std::move(minusPressed));
    count_ = countLabel(Rect(60, 10, 180, 25), kCountTag);
    count_->setTextAlignment(TextAlignment::Center);
    plus_ = stepButton("+", {242, 2}, kPlusTag, std::move(plusPressed));
    for (const std::shared_ptr<View>& view :
         {std::shared_ptr<View>(minus_), std::shared_ptr<View>(count_), std::shared_ptr<View>(plus_)})
        contentView().addSubview(view);
    setSelectionStyle(SelectionStyle::None);
}

void QuantityCellView::setEnabled(bool enabled) {
    plus_->setEnabled(enabled);
    minus_->setEnabled(enabled);
}

} // namespace tavlo::screens
