#include "screens/payments/PaymentCellView.h"

#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "screens/common/ScreenKit.h"

#include <vector>

namespace tavlo::screens {

using namespace ui;

namespace {

constexpr double kMargin = 10;
constexpr int kCaptionTagOffset = 5;
// The columns share out the width the editing control leaves; the right-hand texts keep to the
// right edge.
constexpr uint32_t kColumn =
    Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleWidth | Autoresizing::FlexibleRightMargin;

} // namespace

namespace {

// Where a row's texts go. A pad's row has the tender, the order and the taker on its first line
// and the card details with the time on its second; a phone's row, too narrow for that, gives
// the taker and the card details a line each.
struct RowGeometry {
    double line1, line2, line3; // tops of the text lines (line3: the phone's details)
    double caption, value;      // tops of the amounts' captions and values
    double titleSize, textSize, smallSize, captionSize, valueSize;
};
constexpr RowGeometry kPadRow{.line1 = 4,
                              .line2 = 26,
                              .line3 = 26,
                              .caption = 46,
                              .value = 60,
                              .titleSize = 17,
                              .textSize = 15,
                              .smallSize = 13,
                              .captionSize = 11,
                              .valueSize = 15};
constexpr RowGeometry kPhoneRow{.line1 = 3,
                                .line2 = 23,
                                .line3 = 38,
                                .caption = 53,
                                .value = 64,
                                .titleSize = 16,
                                .textSize = 13,
                                .smallSize = 11,
                                .captionSize = 10,
                                .valueSize = 14};

} // namespace

PaymentCellView::PaymentCellView(bool gratuity, const std::string& reuseIdentifier, Rect bounds)
    : TableViewCell(TableViewCellStyle::Default, reuseIdentifier, Rect(0, 0, bounds.width(), kRowHeight)),
      gratuity_(gratuity) {
    View& content = contentView();
    const double width = bounds.width();
    const double right = width - kMargin;
    const bool phone = width < 480;
    const RowGeometry& g = phone ? kPhoneRow : kPadRow;

    type_ = kit::addPlainLabel(content, Rect(kMargin, g.line1, 110, 20),
                               {.font = Font::boldSystem(g.titleSize), .colour = Color::black()});
    voided_ = kit::addPlainLabel(content, Rect(phone ? 120 : right - 245, g.line1, 90, 20),
                                 {.font = Font::boldSystem(g.textSize),
                                  .colour = Color::lightGray(),
                                  .alignment = phone ? TextAlignment::Left : TextAlignment::Right});
    voided_->setText(localized("VOIDED"));
    voided_->setHidden(true);
    if (phone) {
        order_ = kit::addPlainLabel(content, Rect(kMargin, g.line2, 0, 0),
                                    {.font = Font::system(g.textSize), .colour = Color::darkGray()});
        order_->setHidden(true);
        user_ = kit::addPlainLabel(content, Rect(kMargin, g.line2, width - 2 * kMargin, 15),
                                   {.font = Font::system(g.textSize), .colour = Color::black()});
        created_ = kit::addPlainLabel(
            content, Rect(right - 130, g.line1 + 3, 130, 16),
            {.font = Font::system(g.smallSize), .colour = Color::gray(), .alignment = TextAlignment::Right});
        detail_ = kit::addPlainLabel(content, Rect(kMargin, g.line3, width - 2 * kMargin, 15),
                                     {.font = Font::system(g.smallSize), .colour = Color::darkGray()});
    } else {
        order_ = kit::addPlainLabel(content, Rect(kMargin + 115, g.line1, right - 245 - kMargin - 120, 20),
                                    {.font = Font::system(g.textSize), .colour = Color::darkGray()});
        user_ = kit::addPlainLabel(
            content, Rect(right - 150, g.line1, 150, 20),
            {.font = Font::system(g.textSize), .colour = Color::black(), .alignment = TextAlignment::Right});
        created_ = kit::addPlainLabel(
            content, Rect(right - 170, g.line2, 170, 18),
            {.font = Font::system(g.smallSize), .colour = Color::gray(), .alignment = TextAlignment::Right});
        detail_ = kit::addPlainLabel(content, Rect(kMargin, g.line2, width - 2 * kMargin - 175, 18),
                                     {.font = Font::system(g.smallSize), .colour = Color::darkGray()});
        voided_->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
        user_->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
    }
    created_->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
    detail_->setAutoresizingMask(Autoresizing::FlexibleWidth);

    // The amounts in equal columns, each with its caption above.
    std::vector<std::pair<const char*, int>> columns{{"Sub-total", kSubTotalTag}, {"Tip", kTipTag}};
    if (gratuity_) columns.emplace_back("Gratuity", kGratuityTag);
    columns.emplace_back("Total", 0);
    const double column = (width - 2 * kMargin) / static_cast<double>(columns.size());
    const double valueHeight = kRowHeight - 2 - g.value;
    for (size_t i = 0; i < columns.size(); ++i) {
        const double x = kMargin + column * static_cast<double>(i);
        auto caption = kit::addPlainLabel(content, Rect(x, g.caption, column - 8, g.value - g.caption),
                                          {.font = Font::system(g.captionSize), .colour = Color::gray()});
        caption->setText(localized(columns[i].first));
        caption->setAutoresizingMask(kColumn);
        const int tag = columns[i].second;
        auto value = kit::addPlainLabel(content, Rect(x, g.value, column - 8, valueHeight),
                                        {.font = Font::boldSystem(g.valueSize), .colour = Color::black()});
        value->setAutoresizingMask(kColumn);
        if (tag == 0) {
            total_ = value;
            continue;
        }
        caption->setTag(tag + kCaptionTagOffset);
        value->setTag(tag);
        auto entry = std::make_shared<TextField>(Rect(x, g.value, column - 8, valueHeight));
        entry->setTag(tag + 1);
        entry->setBorderStyle(BorderStyle::RoundedRect);
        entry->setFont(Font::boldSystem(g.valueSize));
        entry->setHidden(true);
        entry->setAutoresizingMask(kColumn);
        content.addSubview(entry);
    }
}

Label& PaymentCellView::valueLabel(int tag) { return *dynamic_cast<Label*>(viewWithTag(tag)); }

TextField& PaymentCellView::field(int tag) { return *dynamic_cast<TextField*>(viewWithTag(tag + 1)); }

int32_t PaymentCellView::cents(int fieldTag) {
    const int labelTag = fieldTag - 1;
    if (!viewWithTag(labelTag)) return 0;
    TextField& entry = field(labelTag);
    return Utils::parseCurrency(entry.isHidden() ? valueLabel(labelTag).text() : entry.text());
}

void PaymentCellView::willTransitionToState(uint32_t state) {
    TableViewCell::willTransitionToState(state);
    if (!adjustable_) return;
    const bool editing = (state & CellState::ShowingEditControl) != 0;
    if (editing == ((cellState() & CellState::ShowingEditControl) != 0)) return;
    for (int tag : {kSubTotalTag, kTipTag, kGratuityTag}) {
        if (!viewWithTag(tag)) continue;
        Label& value = valueLabel(tag);
        TextField& entry = field(tag);
        if (editing) entry.setText(value.text().value_or(""));
        else value.setText(entry.text());
        value.setHidden(editing);
        entry.setHidden(!editing);
    }
}

} // namespace tavlo::screens
