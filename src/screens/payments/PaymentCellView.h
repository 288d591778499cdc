#pragma once

#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"

#include <cstdint>
#include <string>

namespace tavlo::screens {

// One payment of a payment list: its tender, order, taker, time and card details over a row of
// amounts (sub-total, tip, gratuity when shown, total). While the table edits, an adjustable row
// swaps its value labels for text fields holding the same texts, and back when editing ends.
class PaymentCellView : public ui::TableViewCell {
public:
    static constexpr const char* kReuseIdentifier = "Cell";
    static constexpr double kRowHeight = 86;
    // The amounts: each value label's tag, its field's is one more.
    static constexpr int kSubTotalTag = 11, kTipTag = 21, kGratuityTag = 31;
    static constexpr int kSubTotalField = kSubTotalTag + 1, kTipField = kTipTag + 1, kGratuityField = kGratuityTag + 1;

    PaymentCellView(bool gratuity, const std::string& reuseIdentifier, ui::Rect bounds);

    bool adjustable() const { return adjustable_; }
    void setAdjustable(bool adjustable) { adjustable_ = adjustable; }
    bool gratuity() const { return gratuity_; }

    ui::Label& typeLabel() { return *type_; }
    ui::Label& orderLabel() { return *order_; }
    ui::Label& userLabel() { return *user_; }
    ui::Label& createdLabel() { return *created_; }
    ui::Label& detailLabel() { return *detail_; }
    ui::Label& voidedLabel() { return *voided_; }
    ui::Label& totalLabel() { return *total_; }
    // The value label and the field of an amount, by the value label's tag.
    ui::Label& valueLabel(int tag);
    ui::TextField& field(int tag);
    // The amount of the field with this tag (its value label's while the field is hidden).
    int32_t cents(int fieldTag);

    void willTransitionToState(uint32_t state) override;

private:
    bool adjustable_ = false;
    bool gratuity_;
    std::shared_ptr<ui::Label> type_, order_, user_, created_, detail_, voided_, total_;
};

} // namespace tavlo::screens
