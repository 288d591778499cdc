#include "screens/common/OrderTableViewController.h"

#include "core/order/ComboSelection.h"
#include "core/order/Order.h"
#include "core/order/OrderDiscount.h"
#include "core/order/Selection.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "screens/common/ScreenKit.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

namespace {

constexpr double kTopTextY = 5, kMainX = 20, kComboX = 30, kSideIndent = 10;
constexpr double kAmountWidth = 80, kCaptionWidth = 80, kQuantityWidth = 32;

Color amountBlue() { return {0.1, 0.3, 0.8}; }
Color compRed() { return {0.8, 0.1, 0.1}; }
Color unsentYellow() { return {1.0, 0.97, 0.7}; }

std::string money(int64_t cents) { return Utils::formatCurrency(cents); }

Font detailFont() { return Font::boldSystem(12); }

// "name (charge)" when the charge is at least a cent.
std::string withCharge(const std::string& text, int64_t charge) {
    return charge >= 1 ? format("%@ (%@)", text, money(charge)) : text;
}

} // namespace

OrderTableViewController::OrderTableViewController(std::string interfaceName)
    : SignedInController(std::move(interfaceName)) {}

uint32_t OrderTableViewController::supportedInterfaceOrientations() const { return idiomOrientations(); }

std::vector<SelectionPtr> OrderTableViewController::sortedSelections() const {
    if (!order_) return {};
    std::vector<SelectionPtr> selections = order_->activeSelections();
    if (seatView_ || courseView_) {
        const bool seatFirst = seatView_;
        std::stable_sort(selections.begin(), selections.end(),
                         [seatFirst](const SelectionPtr& a, const SelectionPtr& b) {
                             if (seatFirst)
                                 return std::pair(a->seat(), a->course()) < std::pair(b->seat(), b->course());
                             return std::pair(a->course(), a->seat()) < std::pair(b->course(), b->seat());
                         });
    }
    return selections;
}

std::string OrderTableViewController::preparationName(const Preparation& preparation) const {
    ManagedObjectPtr row = DBHelper::getObject("Preparation", "preparationId == %@", preparation.preparationId(),
                                               contextOf(session_.get()));
    return row ? row->text("name").value_or("") : "";
}

void OrderTableViewController::addLines(const Selection& selection, int base, double x,
                                        std::vector<DetailLine>& lines) const {
    const Color grey = Color::lightGray();
    if (const auto& comp = selection.compName())
        lines.push_back(
            {base, format("%@ (%@)", *comp, money(-int64_t(order_->compPerUnit(selection)) * selection.quantity())), x,
             compRed()});
    int exemption = 0;
    for (const std::string& tax : selection.taxExemptions())
        lines.push_back({base + 2 + exemption++, format("%@ (%@)", localized("Tax Exemption"), tax), x, compRed()});
    if (const auto& comment = selection.comment(); comment && !comment->empty())
        lines.push_back({base + 1, *comment, x, grey});
    int preparation = 0;
    for (const Preparation& p : selection.getPreparations())
        lines.push_back({base + 12 + preparation++,
                         withCharge(preparationName(p), selection.getCharge(p.preparationId().value_or(""))), x, grey});
    int sideTag = base + 40;
    for (const SelectionPtr& side : selection.getSides()) {
        const int32_t quantity = selection.getQuantity(*side);
        std::string text = side->name().value_or("");
        if (quantity >= 2) text = format("%ld %@", long(quantity), text);
        lines.push_back({sideTag++, withCharge(text, selection.getSideCharge(*side)), x, grey});
        for (const Preparation& p : side->getPreparations())
            lines.push_back({sideTag++, withCharge(preparationName(p), side->getCharge(p.preparationId().value_or(""))),
                             x + kSideIndent, grey});
    }
}

std::vector<OrderTableViewController::DetailLine> OrderTableViewController::detailLines(
    const Selection& selection) const {
    std::vector<DetailLine> lines;
    addLines(selection, kMainBase, kMainX, lines);
    if (const auto* combo = dynamic_cast<const ComboSelection*>(&selection)) {
        int item = 0;
        for (const SelectionPtr& part : combo->getAllSelections()) {
            std::string text = part->name().value_or("");
            if (part->quantity() >= 2) text = format("%ld %@", long(part->quantity()), text);
            lines.push_back({kComboNameTag + item,
                             withCharge(text, int64_t(part->additionPrice()) + part->getExtraCharges()), kMainX,
                             Color::lightGray()});
            addLines(*part, kComboBase + 100 * item, kComboX, lines);
            ++item;
        }
    }
    return lines;
}

int OrderTableViewController::numberOfRows(TableView&, int) {
    if (!order_) return 0;
    return static_cast<int>(order_->activeSelections().size() + order_->activeDiscounts().size());
}

int OrderTableViewController::lineCount(const DetailLine& line, double rowWidth) {
    return detailFont().lineCount(line.text, rowWidth - line.x - kAmountWidth);
}

double OrderTableViewController::rowWidth(TableView& table) {
    return std::max(0.0, table.bounds().width() - 2 * table.groupInset() - table.indexWidth());
}

double OrderTableViewController::heightForRow(TableView& table, IndexPath path) {
    const std::vector<SelectionPtr> selections = sortedSelections();
    if (path.row >= static_cast<int>(selections.size())) return kDiscountRowHeight;
    // Every line the row draws counts, the combo items' comps and exemptions too, and a long
    // comment as many times as it wraps.
    size_t lines = 0;
    for (const DetailLine& line : detailLines(*selections[path.row]))
        lines += static_cast<size_t>(lineCount(line, rowWidth(table)));
    if (!quickSale_) {
        if (courseView_ && seatView_) lines = std::max<size_t>(lines, 2);
        else if (courseView_ || seatView_) lines = std::max<size_t>(lines, 1);
    }
    return std::max(kMinRowHeight, 30 + kLineHeight * static_cast<double>(lines));
}

std::shared_ptr<TableViewCell> OrderTableViewController::getCellContentView(const std::string& identifier,
                                                                            double width) {
    auto cell =
        std::make_shared<TableViewCell>(TableViewCellStyle::Default, identifier, Rect(0, 0, width, kMinRowHeight));
    View& content = cell->contentView();
    const Font bold = Font::boldSystem(12);
    if (plusAction_) {
        auto plus = Button::make(ButtonType::RoundedRect, Rect(4, 2, kQuantityWidth, 28));
        plus->setTag(kQuantityTag);
        plus->setTitle(std::string("+"));
        plus->setTitleColor(Color::black());
        plus->addTarget([this](Control& sender) { plusAction_(sender); }, ControlEvent::TouchUpInside);
        content.addSubview(plus);
    } else {
        content.addSubview(kit::plainLabel(Rect(4, kTopTextY, kQuantityWidth, 20), {.font = Font::boldSystem(15),
                                                                                    .colour = Color::black(),
                                                                                    .alignment = TextAlignment::Center,
                                                                                    .tag = kQuantityTag}));
    }
    double right = width - kAmountWidth - 8;
    auto amount =
        kit::plainLabel(Rect(right, kTopTextY, kAmountWidth, 20),
                        {.font = bold, .colour = amountBlue(), .alignment = TextAlignment::Right, .tag = kAmountTag});
    amount->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
    content.addSubview(amount);
    if (selectionTaxes_) {
        right -= kCaptionWidth;
        auto tax = kit::plainLabel(
            Rect(right, kTopTextY, kCaptionWidth, 20),
            {.font = bold, .colour = Color::black(), .alignment = TextAlignment::Right, .tag = kTaxTag});
        tax->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
        content.addSubview(tax);
    }
    const bool captions = !quickSale_ && (seatView_ || courseView_);
    if (captions) {
        right -= kCaptionWidth;
        if (seatView_) {
            auto seat = kit::plainLabel(
                Rect(right, kTopTextY, kCaptionWidth, 18),
                {.font = bold, .colour = Color::lightGray(), .alignment = TextAlignment::Right, .tag = kSeatTag});
            seat->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
            content.addSubview(seat);
        }
        if (courseView_) {
            auto course = kit::plainLabel(
                Rect(right, kTopTextY + (seatView_ ? kLineHeight : 0), kCaptionWidth, 18),
                {.font = bold, .colour = Color::lightGray(), .alignment = TextAlignment::Right, .tag = kCourseTag});
            course->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
            content.addSubview(course);
        }
    }
    const double nameX = kQuantityWidth + 10;
    auto name = kit::plainLabel(
        Rect(nameX, kTopTextY, right - nameX - 4, 20),
        {.font = Font::boldSystem(15), .colour = Color::black(), .alignment = TextAlignment::Left, .tag = kNameTag});
    name->setAutoresizingMask(Autoresizing::FlexibleWidth);
    content.addSubview(name);
    return cell;
}

std::shared_ptr<TableViewCell> OrderTableViewController::cellForRow(TableView& table, IndexPath path) {
    const std::vector<SelectionPtr> selections = sortedSelections();
    const bool isSelection = path.row < static_cast<int>(selections.size());
    std::string identifier;
    if (isSelection) {
        identifier = format("sel-%@", selections[path.row]->itemId().value_or(""));
    } else {
        const auto discounts = order_->activeDiscounts();
        identifier = format("dsc-%@", discounts[path.row - selections.size()]->remoteId().value_or(""));
    }
    std::shared_ptr<TableViewCell> cell = table.dequeueReusableCell(identifier);
    if (!cell) cell = getCellContentView(identifier, table.bounds().width());
    if (isSelection) fillSelection(*cell, *selections[path.row], rowWidth(table));
    else fillDiscount(*cell, path.row - static_cast<int>(selections.size()));
    return cell;
}

namespace {

void setText(View& content, int tag, const std::string& text) {
    View* view = content.viewWithTag(tag);
    if (auto* button = dynamic_cast<Button*>(view)) button->setTitle(text);
    else if (auto* label = dynamic_cast<Label*>(view)) label->setText(text);
}

} // namespace

void OrderTableViewController::fillSelection(TableViewCell& cell, const Selection& selection, double rowWidth) {
    View& content = cell.contentView();
    if (View* quantity = content.viewWithTag(kQuantityTag)) quantity->setHidden(false);
    setText(content, kQuantityTag, format("%ld", long(selection.quantity())));
    const std::string name = selection.name().value_or("");
    setText(content, kNameTag,
            selection.multiplier() <= 99 ? format("%@ %@", selection.multiplierLabel(), name) : name);
    setText(content, kAmountTag, money(order_->getSubTotal(selection)));
    if (selectionTaxes_) setText(content, kTaxTag, money(order_->getTaxFor(selection)));
    setText(content, kSeatTag,
            selection.seat() != -1 ? format("%@: %ld", localized("Seat"), long(selection.seat())) : "");
    setText(content, kCourseTag,
            selection.course() != -1 ? format("%@: %ld", localized("Course"), long(selection.course())) : "");
    content.setBackgroundColor(selection.new_() || selection.modified() ? unsentYellow() : Color::white());

    // Lines of an earlier selection shown in this cell are emptied, then this one's are written.
    for (const std::shared_ptr<View>& view : content.subviews())
        if (view->tag() >= kComboNameTag)
            if (auto* label = dynamic_cast<Label*>(view.get())) label->setText(std::nullopt);
    double y = kTopTextY;
    const double width = content.bounds().width();
    for (const DetailLine& line : detailLines(selection)) {
        y += kLineHeight;
        auto* label = dynamic_cast<Label*>(content.viewWithTag(line.tag));
        if (!label) {
            auto made = kit::plainLabel(
                Rect(line.x, y, width - line.x - kAmountWidth, kLineHeight),
                {.font = detailFont(), .colour = line.colour, .alignment = TextAlignment::Left, .tag = line.tag});
            made->setAutoresizingMask(Autoresizing::FlexibleWidth);
            content.addSubview(made);
            label = made.get();
        }
        const int lines = lineCount(line, rowWidth);
        label->setNumberOfLines(lines == 1 ? 1 : 0);
        label->setLineBreakMode(lines == 1 ? LineBreakMode::TruncateTail : LineBreakMode::WordWrap);
        label->setFrame(Rect(line.x, y, width - line.x - kAmountWidth, kLineHeight * lines));
        label->setTextColor(line.colour);
        label->setText(line.text);
        y += kLineHeight * (lines - 1);
    }
}

void OrderTableViewController::fillDiscount(TableViewCell& cell, int index) {
    View& content = cell.contentView();
    const auto discounts = order_->activeDiscounts();
    if (index < 0 || index >= static_cast<int>(discounts.size())) return;
    const auto& discount = discounts[index];
    if (View* quantity = content.viewWithTag(kQuantityTag)) quantity->setHidden(true);
    setText(content, kNameTag, discount->name().value_or(""));
    setText(content, kAmountTag, money(-int64_t(discount->amount())));
    content.setBackgroundColor(Color::white());
}

} // namespace tavlo::screens
