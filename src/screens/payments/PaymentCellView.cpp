#include "screens/payments/PaymentCellView.h"

#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"

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

std::shared_ptr<Label> addLabel(View& content, Rect frame, const Font& font, const Color& color,
                                TextAlignment alignment = TextAlignment::Left) {
    auto label = std::make_shared<Label>(frame);
    label->setFont(font);
    label->setTextColor(color);
    label->setTextAlignment(alignment);
    label->setBackgroundColor(Color::clear());
    content.addSubview(label);
    return label;
}

} // namespace

PaymentCellView::PaymentCellView(bool gratuity, const std::string& reuseIdentifier, Rect bounds)
    : TableViewCell(TableViewCellStyle::Default, reuseIdentifier, Rect(0, 0, bounds.width(), kRowHeight)),
      gratuity_(gratuity) {
    View& content = contentView();
    const double width = bounds.width();
    const double right = width - kMargin;
    type_ = addLabel(content, Rect(kMargin, 4, 110, 22), Font::boldSystem(17), Color::black());
    order_ = addLabel(content, Rect(kMargin + 115, 4, width - 400, 22), Font::system(15), Color::darkGray());
    voided_ = addLabel(content, Rect(right - 250, 4, 90, 22), Font::boldSystem(15), Color::lightGray(),
                       TextAlignment::Right);
    voided_->setText(localized("VOIDED"));
    voided_->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
    voided_->setHidden(true);
    user_ = addLabel(content, Rect(right - 150, 4, 150, 22), Font::system(15), Color::black(), TextAlignment::Right);
    user_->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
    detail_ = addLabel(content, Rect(kMargin, 26, width - 190, 18), Font::system(13), Color::darkGray());
    detail_->setAutoresizingMask(Autoresizing::FlexibleWidth);
    created_ = addLabel(content, Rect(right - 170, 26, 170, 18), Font::system(13), Color::gray(), TextAlignment::Right);
    created_->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);

    // The amounts in equal columns, each with its caption above.
    std::vector<std::pair<const char*, int>> columns{{"Sub-total", kSubTotalTag}, {"Tip", kTipTag}};
    if (gratuity_) columns.emplace_back("Gratuity", kGratuityTag);
    columns.emplace_back("Total", 0);
    const double column = (width - 2 * kMargin) / static_cast<double>(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) {
        const double x = kMargin + column * static_cast<double>(i);
        auto caption = addLabel(content, Rect(x, 46, column - 8, 14), Font::system(11), Color::gray());
        caption->setText(localized(columns[i].first));
        caption->setAutoresizingMask(kColumn);
        const int tag = columns[i].second;
        auto value = addLabel(content, Rect(x, 60, column - 8, 22), Font::boldSystem(15), Color::black());
        value->setAutoresizingMask(kColumn);
        if (tag == 0) {
            total_ = value;
            continue;
        }
        caption->setTag(tag + kCaptionTagOffset);
        value->setTag(tag);
        auto entry = std::make_shared<TextField>(Rect(x, 60, column - 8, 24));
        entry->setTag(tag + 1);
        entry->setBorderStyle(BorderStyle::RoundedRect);
        entry->setFont(Font::boldSystem(15));
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
