#include "StorePrinters.h"
#include "ElementText.h"

#include "core/order/Order.h"
#include "platform/foundation/Error.h"
#include "printing/EscPosPrinter.h"
#include "xml/XmlHelper.h"

#include <cstdio>
#include <ctime>

namespace tavlo::storesim {

namespace {

constexpr size_t kWidth = 42; // characters on a line of the demo's 80 mm paper
constexpr int kConnectSeconds = 3;

std::string attribute(xmlNodePtr node, const char* name) {
    return XmlHelper::getAttributeValue(node, name).value_or("");
}

// The label on the left, the amount on the right of one line.
std::string columns(const std::string& left, const std::string& right) {
    const size_t room = kWidth > right.size() + 1 ? kWidth - right.size() - 1 : 0;
    std::string label = left.size() > room ? left.substr(0, room) : left;
    return label + std::string(kWidth - label.size() - right.size(), ' ') + right;
}

std::string now() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char out[32];
    std::strftime(out, sizeof out, "%Y-%m-%d %H:%M", &local);
    return out;
}

const std::string kRule(kWidth, '-');

std::vector<xmlNodePtr> children(xmlNodePtr parent, const char* name) {
    std::vector<xmlNodePtr> out;
    for (xmlNodePtr c = parent ? xmlFirstElementChild(parent) : nullptr; c; c = xmlNextElementSibling(c))
        if (XmlHelper::isElementNamed(c, name)) out.push_back(c);
    return out;
}

// The kitchen's lines of an order: its main lines, a combo's parts in its place.
void kitchenLines(xmlNodePtr parent, std::vector<std::pair<xmlNodePtr, std::string>>& out, const std::string& combo) {
    for (xmlNodePtr s : children(parent, "selection")) {
        if (attribute(s, "type") == "ComboSelection")
            kitchenLines(s, out, XmlHelper::getNodeValue(s->doc, s, "selectionName").value_or(""));
        else out.emplace_back(s, combo);
    }
}

} // namespace

std::vector<StorePrinters::Job> StorePrinters::kitchenTickets(xmlDocPtr doc, xmlNodePtr order,
                                                              std::map<std::string, long>& announced) const {
    std::vector<Job> jobs;
    if (childText(doc, order, "doNotAnnounce") == "true") return jobs;
    std::vector<std::pair<xmlNodePtr, std::string>> lines;
    kitchenLines(order, lines, "");
    std::map<const StoreCatalogue::Printer*, std::vector<Line>> tickets;
    for (const auto& [s, combo] : lines) {
        const std::string id = attribute(s, "remoteId");
        const long wanted = attribute(s, "action") == "delete" ? 0 : childNumber(doc, s, "quantity");
        const long had = announced.contains(id) ? announced[id] : 0;
        if (wanted == had) continue;
        const StoreCatalogue::Printer* printer = nullptr;
        for (const StoreCatalogue::Printer& p : catalogue_.printers)
            if (p.recipes.contains(childText(doc, s, "recipeId"))) printer = &p;
        announced[id] = wanted;
        if (!printer || printer->url.empty()) continue;
        std::vector<Line>& ticket = tickets[printer];
        std::string name = childText(doc, s, "selectionName") + (combo.empty() ? "" : " (" + combo + ")");
        if (wanted < had) {
            ticket.push_back({"VOID " + std::to_string(had - wanted) + " x " + name, true});
            continue;
        }
        ticket.push_back({std::to_string(wanted - had) + " x " + name, true});
        for (xmlNodePtr prep : children(s, "preparation")) {
            auto known = catalogue_.preparations.find(childText(doc, prep, "preparationId"));
            ticket.push_back({"    " + (known == catalogue_.preparations.end() ? childText(doc, prep, "preparationId")
                                                                               : known->second)});
        }
        for (xmlNodePtr side : children(s, "side"))
            for (xmlNodePtr sideLine : children(side, "selection"))
                ticket.push_back({"    + " + childText(doc, sideLine, "selectionName")});
        if (std::string comment = childText(doc, s, "comment"); !comment.empty())
            ticket.push_back({"    \"" + comment + "\""});
    }
    auto server = catalogue_.users.find(childText(doc, order, "serverId"));
    const std::string type = Order::typeUILabel(Order::typeFromXMLLabel(attribute(order, "type")));
    for (auto& [printer, ticketLines] : tickets) {
        Job job{printer->name, printer->url, {{printer->name, true}}, std::nullopt};
        job.lines.push_back({childText(doc, order, "orderName"), true});
        job.lines.push_back({columns(type, now())});
        if (server != catalogue_.users.end()) job.lines.push_back({"Server: " + server->second});
        job.lines.push_back({kRule});
        job.lines.insert(job.lines.end(), ticketLines.begin(), ticketLines.end());
        jobs.push_back(std::move(job));
    }
    return jobs;
}

std::optional<StorePrinters::Job> StorePrinters::receipt(xmlDocPtr held, xmlNodePtr heldOrder) const {
    const std::string url = childText(held, heldOrder, "printerUrl");
    if (childText(held, heldOrder, "print") != "true" || url.empty()) return std::nullopt;
    Job job{"receipt printer", url, {{catalogue_.storeName, true}}, std::nullopt};
    if (XmlHelper::getFirstChildNode(heldOrder, "cashDrawerUrl"))
        job.drawer = static_cast<int>(childNumber(held, heldOrder, "cashDrawerUrl"));
    job.lines.push_back({childText(held, heldOrder, "orderName")});
    auto server = catalogue_.users.find(childText(held, heldOrder, "serverId"));
    job.lines.push_back({columns(server == catalogue_.users.end() ? "" : server->second, now())});
    job.lines.push_back({kRule});
    for (xmlNodePtr s : children(heldOrder, "selection")) {
        const long net = childNumber(held, s, "total") - childNumber(held, s, "tax");
        job.lines.push_back(
            {columns(childText(held, s, "quantity") + " " + childText(held, s, "selectionName"), amountText(net))});
        for (xmlNodePtr side : children(s, "side"))
            for (xmlNodePtr sideLine : children(side, "selection"))
                job.lines.push_back({"  + " + childText(held, sideLine, "selectionName")});
        if (xmlNodePtr comp = XmlHelper::getFirstChildNode(s, "comp"))
            job.lines.push_back({"  " + childText(held, comp, "compName")});
    }
    const long total = childNumber(held, heldOrder, "total"), tax = childNumber(held, heldOrder, "tax");
    job.lines.push_back({kRule});
    job.lines.push_back({columns("Subtotal", amountText(total - tax))});
    job.lines.push_back({columns("Tax", amountText(tax))});
    job.lines.push_back({columns("Total", amountText(total)), true});
    long paid = 0;
    for (xmlNodePtr p : children(heldOrder, "payment")) {
        if (!childText(held, p, "voidBy").empty()) continue;
        const long amount =
            childNumber(held, p, "subTotal") + childNumber(held, p, "tip") + childNumber(held, p, "gratuity");
        paid += childNumber(held, p, "subTotal");
        std::string label = attribute(p, "type");
        if (!label.empty()) label[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(label[0])));
        if (std::string digits = childText(held, p, "number"); !digits.empty()) label += " ..." + digits;
        job.lines.push_back({columns(label, amountText(amount))});
        if (long change = childNumber(held, p, "change"); change > 0)
            job.lines.push_back({columns("Change", amountText(change))});
    }
    job.lines.push_back({columns("Due", amountText(total - paid > 0 ? total - paid : 0)), true});
    job.lines.push_back({""});
    job.lines.push_back({"Thank you!"});
    return job;
}

std::optional<StorePrinters::Job> StorePrinters::cashIn(xmlDocPtr request, xmlNodePtr cashIn, xmlDocPtr record,
                                                        xmlNodePtr cashInOut) const {
    const std::string url = childText(request, cashIn, "printerUrl");
    if (url.empty()) return std::nullopt;
    const std::string drawer = childText(record, cashInOut, "cashDrawerId");
    Job job{"receipt printer", url, {{catalogue_.storeName, true}, {"Cash In", true}}, std::nullopt};
    auto name = catalogue_.drawers.find(drawer);
    job.lines.push_back({name == catalogue_.drawers.end() ? drawer : name->second});
    auto user = catalogue_.users.find(childText(record, cashInOut, "userId"));
    job.lines.push_back({columns(user == catalogue_.users.end() ? "" : user->second, now())});
    job.lines.push_back({kRule});
    job.lines.push_back({columns("Float", amountText(childNumber(record, cashInOut, "cashInAmount"))), true});
    if (auto pin = catalogue_.drawerPins.find(drawer); pin != catalogue_.drawerPins.end()) job.drawer = pin->second;
    return job;
}

std::optional<StorePrinters::Job> StorePrinters::printRequest(xmlDocPtr doc, xmlNodePtr request) {
    const std::string url = childText(doc, request, "printerUrl");
    if (url.empty()) return std::nullopt;
    Job job{"printer", url, {}, std::nullopt};
    for (xmlNodePtr line : children(request, "line"))
        job.lines.push_back({XmlHelper::getValue(line, doc).value_or("")});
    return job;
}

std::optional<std::string> StorePrinters::print(const Job& job) {
    EscPosPrinter printer(job.url, kConnectSeconds);
    Error error;
    if (!printer.open(&error)) return "Unable to print to " + job.printer + " (" + error.localizedDescription() + ")";
    printer.reset();
    for (const Line& line : job.lines) {
        printer.setEmphasized(line.bold);
        printer.writeLine(line.text);
    }
    printer.feed(3, true);
    if (job.drawer) printer.openDrawer(*job.drawer);
    const bool failed = printer.writeFailed();
    printer.close();
    if (failed) return "Unable to print to " + job.printer + " (the printer stopped taking the job)";
    return std::nullopt;
}

} // namespace tavlo::storesim
