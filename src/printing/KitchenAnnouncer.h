#pragma once

#include "core/order/Selection.h"
#include "core/ports/Announcer.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class KitchenTicketOutput;
class ManagedObject;
class ObjectContext;
class Order;
class Session;

// Kitchen tickets: when an order is sent, every enabled kitchen printer that makes at least one
// of its new or changed lines gets a ticket over a TCP connection of its own, in ESC/POS. A
// printer that cannot be reached, or that does not take the whole ticket, has its ticket
// printed on this terminal's receipt printer with a notice to take it over (and, when the kitchen
// printer was reached and may still print it, a warning that it may be a duplicate), and the error
// names the printer. Settings are the store's (this terminal's first), read when the announcer is made.
// Synchronous, on the caller's thread.
class KitchenAnnouncer : public Announcer {
public:
    explicit KitchenAnnouncer(Session& session);

    // Installs the maker of kitchen announcers (the program does at start-up).
    static void install();

    // Prints every ticket the order needs; `error` holds the last printer's failure, if any.
    void announce(const Order& order, Error* error) override;
    // One ticket on the kitchen printer of the row, or with `printLocal` on this terminal's
    // receipt printer (with the notice to take it to the kitchen printer).
    bool announce(const Order& order, const std::string& name, const ManagedObject& printer, bool printLocal,
                  int leadLines, int trailLines, Error* error);
    // Whether the printer makes one of the order's new or changed top-level lines.
    bool needsAnnouncement(const Order& order, const ManagedObject& printer) const;
    // Whether a line is the printer's: a combo when one of its parts is.
    static bool needsAnounce(const Selection& selection, const std::vector<std::string>& recipes);
    // The recipe ids the printer makes.
    static std::vector<std::string> recipes(const ManagedObject& printer);
    // The colour byte of the order type's line: '1' (0x31) the second colour, '0' the first, 0
    // when the type has no colour setting (or one other than "0" and "1", which is logged).
    char kitchenColorCode(const Order& order) const;
    // The kitchen message of the order's type, nil when none.
    std::optional<std::string> kitchenMessage(const Order& order) const;

    // The whole ticket for one printer, written to `out`. A local copy `mayBeDuplicate` stands
    // for a ticket the kitchen printer took in part and may still print: it says so at its top.
    void writeTicket(const Order& order, const std::string& name, const std::vector<std::string>& recipes,
                     bool printLocal, int leadLines, int trailLines, KitchenTicketOutput& out,
                     bool mayBeDuplicate = false) const;

    bool supportsColors() const { return supportsColors_; }
    void setSupportsColors(bool v) { supportsColors_ = v; }

private:
    // A line whose units print: not voided, and new with units not yet sent, or changed (unless
    // only new lines print).
    bool printsUnits(const Selection& selection) const;
    // A line the ticket lists: its units print, or units already sent were voided since.
    bool isChange(const Selection& selection) const;
    // "VOID 2 Burger": the sent units taken off a line, or off each part of a combo the printer makes.
    void writeVoid(const Selection& selection, const std::vector<std::string>& recipes, KitchenTicketOutput& out) const;
    void write(const Order& order, const std::vector<SelectionPtr>& selections, const Selection* parent,
               const std::vector<std::string>& recipes, KitchenTicketOutput& out) const;
    void writeSelection(const Selection& selection, const std::string& label, bool side, int padding,
                        KitchenTicketOutput& out) const;
    // The font of a selection line; answers the line's width in characters.
    int writeFontProperties(const Selection& selection, KitchenTicketOutput& out) const;
    void color(bool second, KitchenTicketOutput& out) const;
    // The ticket over the kitchen printer's own connection. `reached` tells whether a failed
    // ticket went out to the printer in part (it was connected), so that it may print late.
    bool printOnKitchenPrinter(const Order& order, const std::string& name, const ManagedObject& printer, int leadLines,
                               int trailLines, bool* reached, Error* error) const;
    // The ticket on this terminal's receipt printer.
    bool printLocally(const Order& order, const std::string& name, const ManagedObject& printer, int leadLines,
                      int trailLines, bool mayBeDuplicate, Error* error) const;

    Session& session_;
    ObjectContext* context_;
    bool supportsColors_ = true;
    int modeChanges_ = 16, modeBold_ = 16;
    bool newItemsOnly_ = false, itemsAlphabetized_ = false, showRecipeDesc_ = false, showComboName_ = false;
    bool colorMainSelection_ = false, colorSideSelection_ = false, colorPreparation_ = false, colorDescription_ = false,
         colorRecipeDesc_ = false;
};

} // namespace tavlo
