// What a kitchen ticket says: its header, then the printer's new and changed lines with their
// combo parts, details and sides.
#include "printing/KitchenAnnouncer.h"

#include "core/order/ComboSelection.h"
#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/util/Utils.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ManagedObject.h"
#include "printing/KitchenTicketOutput.h"

#include <algorithm>

namespace tavlo {

namespace {

// Print modes (ESC !) and the ticket's line widths in characters.
constexpr int kNormal = 0, kDoubleHeight = 16, kDoubleWidth = 32;
constexpr int kLineWidth = 32, kDoubleWidthLineWidth = 16;

std::string indented(std::string_view text, int by) {
    return std::string(static_cast<size_t>(std::max(by, 0)), ' ') + std::string(text);
}

// The name of the row whose `key` is `id`, nil when there is none.
std::optional<std::string> rowText(const char* entity, const char* key, const std::optional<std::string>& id,
                                   const char* attribute, ObjectContext* context) {
    if (!id) return std::nullopt;
    ManagedObjectPtr row = DBHelper::getObject(entity, format("%s == %%@", key), *id, context);
    return row ? row->text(attribute) : std::nullopt;
}

bool contains(const std::vector<std::string>& ids, const std::optional<std::string>& id) {
    return id && std::find(ids.begin(), ids.end(), *id) != ids.end();
}

} // namespace

bool KitchenAnnouncer::needsAnounce(const Selection& selection, const std::vector<std::string>& recipes) {
    if (const auto* combo = dynamic_cast<const ComboSelection*>(&selection)) {
        std::vector<SelectionPtr> parts = combo->getAllSelections();
        return std::any_of(parts.begin(), parts.end(),
                           [&](const SelectionPtr& part) { return contains(recipes, part->recipeId()); });
    }
    return contains(recipes, selection.recipeId());
}

void KitchenAnnouncer::writeTicket(const Order& order, const std::string& name, const std::vector<std::string>& recipes,
                                   bool printLocal, int leadLines, int trailLines, KitchenTicketOutput& out,
                                   bool mayBeDuplicate) const {
    if (leadLines >= 1) out.feed(leadLines);
    out.reset();
    out.printMode(kNormal);
    out.justification(1);
    out.font(0);
    if (printLocal) {
        out.line(format(localized("Unable to print to %@"), name));
        out.line(format(localized("Please take to %@"), name));
        if (mayBeDuplicate) out.line(localized("CHECK KITCHEN - MAY BE DUPLICATE"));
        out.line("");
    }
    out.line(format("TAVLO (%@)", DateFormatter::format(Date::now(), "MMM d, yyyy h:mm a")));
    out.line("");

    out.printMode(kDoubleWidth);
    out.line(name);
    out.printMode(kNormal);
    out.line("");

    out.printMode(kDoubleHeight);
    out.emphasized(true);
    out.line(order.name().value_or(""));
    std::optional<std::string> message = kitchenMessage(order);
    if (message && !message->empty()) out.line(*message);
    out.printMode(kNormal);
    out.emphasized(false);
    out.line("");

    out.justification(0);
    out.font(0);
    out.emphasized(false);
    out.line(
        format(localized("Server: %@"), rowText("User", "userId", order.serverId(), "name", context_).value_or("")));

    out.printMode(kDoubleHeight);
    out.emphasized(true);
    if (supportsColors_) out.color(kitchenColorCode(order));
    out.line(format(localized("Type: %@"), Order::typeUILabel(order.orderType())));
    if (supportsColors_) out.color(0);
    out.printMode(kNormal);
    out.emphasized(false);
    out.line("");

    write(order, order.getSelections(), nullptr, recipes, out);

    out.line("");
    out.feedAndCut(trailLines + 1);
    if (Parameters::text(Parameter::KitchenPrinterAnnunciators, context_)) out.buzzer();
}

void KitchenAnnouncer::write(const Order& order, const std::vector<SelectionPtr>& selections, const Selection* parent,
                             const std::vector<std::string>& recipes, KitchenTicketOutput& out) const {
    std::vector<SelectionPtr> lines = selections;
    if (itemsAlphabetized_)
        std::stable_sort(lines.begin(), lines.end(), [](const SelectionPtr& a, const SelectionPtr& b) {
            return a->name().value_or("") < b->name().value_or("");
        });
    const bool parentPrints = parent && needsAnounce(*parent, recipes) && printsUnits(*parent);
    const bool absolute = parent && Parameters::flag(Parameter::AnnouncerShowComboAbsoluteQuantities, context_);
    for (const SelectionPtr& selection : lines) {
        const bool own = needsAnounce(*selection, recipes);
        if (!parent && own && selection->voidedQuantity() > 0 && !printsUnits(*selection)) {
            writeVoid(*selection, recipes, out);
            continue;
        }
        if (!(own && printsUnits(*selection)) && !parentPrints) continue;
        const int units =
            !parent ? selection->newQuantity() : selection->quantity() * (absolute ? parent->newQuantity() : 1);
        const std::string quantity = format("%d-", units);
        const int width = writeFontProperties(*selection, out);
        const std::string portion = selection->multiplierLabel();
        const std::string label =
            format("%@%@%@%@ ", quantity, portion, portion.empty() ? "" : " ", selection->name().value_or(""));
        if (const auto* combo = dynamic_cast<const ComboSelection*>(selection.get())) {
            const int field = std::max(width - static_cast<int>(quantity.size()), 0);
            if (showComboName_)
                writeSelection(*combo, Utils::center(label, '*', static_cast<unsigned>(field)), false, 0, out);
            write(order, combo->getAllSelections(), combo, recipes, out);
            if (showComboName_) out.line(std::string(static_cast<size_t>(width), '*'));
        } else {
            writeSelection(*selection, label, false, 0, out);
        }
        if (!parent && selection->voidedQuantity() > 0) writeVoid(*selection, recipes, out);
    }
}

void KitchenAnnouncer::writeVoid(const Selection& selection, const std::vector<std::string>& recipes,
                                 KitchenTicketOutput& out) const {
    const auto line = [&](const Selection& voided, int units) {
        writeFontProperties(selection, out);
        color(colorMainSelection_, out);
        out.line(format("%@ %d %@", localized("VOID"), units, voided.name().value_or("")));
    };
    const auto* combo = dynamic_cast<const ComboSelection*>(&selection);
    if (!combo) return line(selection, selection.voidedQuantity());
    for (const SelectionPtr& part : combo->getAllSelections())
        if (contains(recipes, part->recipeId())) line(*part, part->quantity() * selection.voidedQuantity());
}

void KitchenAnnouncer::writeSelection(const Selection& selection, const std::string& label, bool side, int padding,
                                      KitchenTicketOutput& out) const {
    color(side ? colorSideSelection_ : colorMainSelection_, out);
    out.line(indented(label, padding));
    const int detail = padding != 0 ? padding + 2 : (modeChanges_ & kDoubleWidth) ? 3 : 5;
    if (showRecipeDesc_) {
        if (std::optional<std::string> description =
                rowText("Recipe", "recipeId", selection.recipeId(), "descript", context_)) {
            color(colorRecipeDesc_, out);
            out.line(indented(*description, detail));
        }
    }
    if (selection.comment()) {
        color(colorDescription_, out);
        out.line(indented(*selection.comment(), detail));
    }
    for (const Preparation& preparation : selection.getPreparations()) {
        color(colorPreparation_, out);
        out.line(indented(
            rowText("Preparation", "preparationId", preparation.preparationId(), "name", context_).value_or(""),
            detail));
    }
    for (const SelectionPtr& sideLine : selection.getSides()) {
        const int units = sideLine->quantity();
        const std::string sideLabel =
            format("%@%@", units != 1 ? format("%d-", units) : std::string(), sideLine->name().value_or(""));
        writeSelection(*sideLine, sideLabel, true, detail, out);
    }
}

int KitchenAnnouncer::writeFontProperties(const Selection& selection, KitchenTicketOutput& out) const {
    out.justification(0);
    out.font(0);
    if (selection.new_() || selection.modified()) {
        out.printMode(modeBold_);
        out.emphasized(true);
        return (modeBold_ & kDoubleWidth) ? kDoubleWidthLineWidth : kLineWidth;
    }
    out.printMode(kNormal);
    out.emphasized(false);
    return kLineWidth;
}

void KitchenAnnouncer::color(bool second, KitchenTicketOutput& out) const {
    if (supportsColors_) out.color(second ? 1 : 0);
}

} // namespace tavlo
