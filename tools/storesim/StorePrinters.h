#pragma once

#include "StoreCatalogue.h"

#include <libxml/tree.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::storesim {

// What a store server prints for its terminals in gateway mode, as ESC/POS over TCP: the kitchen
// tickets of the lines it is sent (each line once, on the kitchen printer of its recipe, and a
// void ticket when an announced line is voided), the receipt of an order sent with a print
// request (and the drawer it names kicked), and the lines of a print request.
class StorePrinters {
public:
    struct Line {
        std::string text;
        bool bold = false;
    };
    struct Job {
        std::string printer; // its name, for a failure's message
        std::string url;
        std::vector<Line> lines;
        std::optional<int> drawer; // the drawer pin to kick after the text
    };

    // The printers of the catalogue, which must outlive this object.
    explicit StorePrinters(const StoreCatalogue& catalogue) : catalogue_(catalogue) {}

    // The kitchen tickets of what changed in an order's lines since `announced` (each line's
    // remoteId and the quantity the kitchen has, updated): new lines and added units, and void
    // tickets for voided lines and units. Nothing for a split order (`doNotAnnounce`): its lines
    // are in the kitchen already.
    std::vector<Job> kitchenTickets(xmlDocPtr doc, xmlNodePtr order, std::map<std::string, long>& announced) const;
    // The receipt of the order as the server holds it, when the document it was last sent asks
    // for one (`print` with a `printerUrl`); the drawer of `cashDrawerUrl` is kicked with it.
    std::optional<Job> receipt(xmlDocPtr doc, xmlNodePtr order) const;
    // The slip of a cash drawer's cash in (its `cashInOut` record as the server keeps it), on the
    // request's `printerUrl`, with the drawer kicked for the float.
    std::optional<Job> cashIn(xmlDocPtr request, xmlNodePtr cashIn, xmlDocPtr record, xmlNodePtr cashInOut) const;
    // The `line`s of a print request, on its `printerUrl`.
    static std::optional<Job> printRequest(xmlDocPtr doc, xmlNodePtr request);

    // Prints the job; the reason when it could not.
    static std::optional<std::string> print(const Job& job);

private:
    const StoreCatalogue& catalogue_;
};

} // namespace tavlo::storesim
