#pragma once

#include "platform/ui/Button.h"
#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

namespace tavlo::screens {

// A table row with a "-" button at the left, a centred count and a "+" button, at fixed places
// whatever the row's width: the quantity row of the selection editor and the seat count of the
// order details. The buttons send their actions on a touch that ends inside them.
class QuantityCellView : public ui::TableViewCell {
public:
    static constexpr int kCountTag = 1, kPlusTag = 2, kMinusTag = 3;

    QuantityCellView(ui::TableViewCellStyle style, std::string reuseIdentifier, ui::Rect bounds,
                     ui::Control::Action plusPressed, ui::Control::Action minusPressed);

    // Both buttons together.
    void setEnabled(bool enabled);
    ui::Label& countLabel() { return *count_; }
    ui::Button& plusButton() { return *plus_; }
    ui::Button& minusButton() { return *minus_; }

    // A "+" or "-" button of a counting row: black title, 48 x 40 points.
    static std::shared_ptr<ui::Button> stepButton(const std::string& title, ui::Point origin, int tag,
                                                  ui::Control::Action action);
    // The count of a counting row: system font 18 on a clear background.
    static std::shared_ptr<ui::Label> countLabel(ui::Rect frame, int tag);

    // A counting row of a list of things to choose (sides, a combo group's items), `width` x
    // `height` points: "-" at the left with the count beside it, the name in the middle (tags
    // below) and "+" at the right edge.
    static constexpr int kRowCountTag = 1, kRowNameTag = 2;
    static std::shared_ptr<ui::TableViewCell> counterRow(const std::string& identifier, double width, double height,
                                                         ui::Control::Action minusPressed,
                                                         ui::Control::Action plusPressed);
    // Shows a counting row's count; empty below 1.
    static void showRowCount(ui::TableViewCell& cell, int count);
    // The table row that holds a button; null when the button is in none.
    static ui::TableViewCell* rowHolding(ui::Control& button);

private:
    std::shared_ptr<ui::Label> count_;
    std::shared_ptr<ui::Button> plus_, minus_;
};

} // namespace tavlo::screens
