#include "printing/KitchenAnnouncer.h"

#include "core/order/Order.h"
#include "core/ports/PrinterStream.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/net/Sockets.h"
#include "platform/store/ManagedObject.h"
#include "printing/EscPos.h"
#include "printing/KitchenTicketOutput.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <unistd.h>

namespace tavlo {

namespace {

Error ticketError(const std::string& text) { return Utils::getError(text, Utils::kStoreServerErrorDomain, -1); }

struct OrderTypeKeys {
    OrderType type;
    Parameter color;
    Parameter message;
};

constexpr OrderTypeKeys orderTypeKeys[] = {
    {OrderType::PickUp, Parameter::PickUpKitchenColor, Parameter::PickUpKitchenMessage},
    {OrderType::Catering, Parameter::CateringKitchenColor, Parameter::CateringKitchenMessage},
    {OrderType::DriveThru, Parameter::DriveThruKitchenColor, Parameter::DriveThruKitchenMessage},
    {OrderType::DineIn, Parameter::DineInKitchenColor, Parameter::DineInKitchenMessage},
    {OrderType::Delivery, Parameter::DeliveryKitchenColor, Parameter::DeliveryKitchenMessage},
    {OrderType::TakeOut, Parameter::TakeOutKitchenColor, Parameter::TakeOutKitchenMessage},
};

const OrderTypeKeys* keysOf(OrderType type) {
    for (const OrderTypeKeys& keys : orderTypeKeys)
        if (keys.type == type) return &keys;
    return nullptr;
}

// Logs a colour setting the printer cannot take, once per setting and value.
void logBadColor(Parameter color, const std::string& value) {
    const std::string key(Parameters::name(color));
    static std::mutex mutex;
    static std::set<std::string> logged;
    {
        std::lock_guard lock(mutex);
        if (!logged.insert(key + "=" + value).second) return;
    }
    TAVLO_LOG("Kitchen colour %@ is \"%@\", not 0 or 1: printing in the first colour", key, value);
}

std::string connectError(EscPos::ConnectFailure failure, const std::string& name) {
    switch (failure) {
    case EscPos::ConnectFailure::NoAddress:
        return format("%@ (%@)", localized("Printer has not been configured properly, contact support"), name);
    case EscPos::ConnectFailure::Unresolved:
        return localized("Printer cannot be resolved to a valid IP address, verify configuration");
    default: return localized("Unable to connect to printer, verify printer is on");
    }
}

bool isNoPrinter(const std::string& url) {
    std::string lower = toLower(url);
    return lower == "nil" || lower == "null";
}

} // namespace

KitchenAnnouncer::KitchenAnnouncer(Session& session) : session_(session), context_(session.managedObjectContext()) {
    std::optional<std::string> mode = Parameters::text(Parameter::PrinterManagerChangesMode, context_);
    modeChanges_ = modeBold_ = mode && !mode->empty() ? intValue(*mode) : 16;
    newItemsOnly_ = Parameters::flag(Parameter::PrintNewOnly, context_);
    itemsAlphabetized_ = Parameters::flag(Parameter::AnnouncerAlphabetizeItems, context_);
    showRecipeDesc_ = Parameters::flag(Parameter::AnnouncerShowRecipeDescription, context_);
    showComboName_ = Parameters::flag(Parameter::AnnouncerShowComboName, context_);
    colorMainSelection_ = Parameters::flag(Parameter::MainSelectionColor, context_);
    colorSideSelection_ = Parameters::flag(Parameter::SideColor, context_);
    colorPreparation_ = Parameters::flag(Parameter::PreparationColor, context_);
    colorDescription_ = Parameters::flag(Parameter::DescriptionColor, context_);
    colorRecipeDesc_ = Parameters::flag(Parameter::RecipeDescriptionColor, context_);
}

void KitchenAnnouncer::install() {
    Announcer::setMaker([](Session& session) { return std::make_unique<KitchenAnnouncer>(session); });
}

void KitchenAnnouncer::announce(const Order& order, Error* error) {
    std::vector<ManagedObjectPtr> printers =
        DBHelper::getObjects("Printer", "disabled == nil || disabled == NO", PredicateArgument(), "name", context_);
    for (const ManagedObjectPtr& printer : printers) {
        if (!needsAnnouncement(order, *printer)) continue;
        const std::string name = printer->text("name").value_or("");
        const int lead = printer->int32("leadLines"), trail = printer->int32("trailLines");
        Error failure;
        bool reached = false;
        if (printOnKitchenPrinter(order, name, *printer, lead, trail, &reached, &failure)) continue;
        Error local;
        bool taken = printLocally(order, name, *printer, lead, trail, reached, &local);
        if (!taken) TAVLO_LOG("Unable to print the ticket for %@ locally: %@", name, local.localizedDescription());
        std::string notice = localized(taken ? "Unable to connect. Take ticket to printer"
                                             : "Unable to connect. Verify there is paper in printer");
        Error::set(error,
                   ticketError(failure.isSet() ? format("%@ %@ (%@)", notice, name, failure.localizedDescription())
                                               : format("%@ %@", notice, name)));
    }
}

bool KitchenAnnouncer::announce(const Order& order, const std::string& name, const ManagedObject& printer,
                                bool printLocal, int leadLines, int trailLines, Error* error) {
    if (printLocal) return printLocally(order, name, printer, leadLines, trailLines, false, error);
    return printOnKitchenPrinter(order, name, printer, leadLines, trailLines, nullptr, error);
}

bool KitchenAnnouncer::printOnKitchenPrinter(const Order& order, const std::string& name, const ManagedObject& printer,
                                             int leadLines, int trailLines, bool* reached, Error* error) const {
    std::optional<std::string> url = printer.text("url");
    if (url && isNoPrinter(*url)) return true;
    const int timeout = session_.printTimeout();
    EscPos::ConnectFailure failure;
    int sock = EscPos::connect(url, timeout, &failure);
    if (sock < 0) {
        Error::set(error, ticketError(connectError(failure, name)));
        return false;
    }
    EscPosTicketOutput ticket;
    writeTicket(order, name, recipes(printer), false, leadLines, trailLines, ticket);
    // Taken whole only when every byte went out and the printer closed in order after them.
    bool taken = EscPos::send(ticket.commands(), sock) >= 0 && Sockets::finishSending(sock, std::max(timeout, 1));
    ::close(sock);
    if (reached) *reached = !taken;
    if (!taken) {
        Error::set(error, ticketError(localized(
                              "The printer did not take the whole ticket, verify printer is on and has paper")));
        return false;
    }
    return true;
}

bool KitchenAnnouncer::printLocally(const Order& order, const std::string& name, const ManagedObject& printer,
                                    int leadLines, int trailLines, bool mayBeDuplicate, Error* error) const {
    std::shared_ptr<PrinterStream> stream = session_.printerStream();
    if (!stream) {
        Error::set(error, ticketError(localized("This terminal has no receipt printer")));
        return false;
    }
    if (!stream->open(error)) return false;
    StreamTicketOutput ticket(*stream);
    writeTicket(order, name, recipes(printer), true, leadLines, trailLines, ticket, mayBeDuplicate);
    stream->close();
    if (stream->writeFailed()) {
        Error::set(error, ticketError(localized(
                              "The printer did not take the whole ticket, verify printer is on and has paper")));
        return false;
    }
    return true;
}

bool KitchenAnnouncer::printsUnits(const Selection& selection) const {
    if (selection.deleted()) return false;
    if (selection.new_()) return selection.newQuantity() > 0;
    return selection.modified() && !newItemsOnly_;
}

bool KitchenAnnouncer::isChange(const Selection& selection) const {
    return printsUnits(selection) || selection.voidedQuantity() > 0;
}

bool KitchenAnnouncer::needsAnnouncement(const Order& order, const ManagedObject& printer) const {
    const std::vector<std::string> printerRecipes = recipes(printer);
    if (printerRecipes.empty()) return false;
    for (const SelectionPtr& selection : order.getSelections()) {
        if (!isChange(*selection)) continue;
        // A line without a recipe (a combo) is every printer's: its parts carry the recipes.
        const std::optional<std::string>& recipeId = selection->recipeId();
        if (!recipeId || std::find(printerRecipes.begin(), printerRecipes.end(), *recipeId) != printerRecipes.end())
            return true;
    }
    return false;
}

std::vector<std::string> KitchenAnnouncer::recipes(const ManagedObject& printer) {
    std::vector<std::string> ids;
    ids.reserve(100);
    for (const ManagedObjectPtr& recipe : printer.toMany("recipes"))
        if (std::optional<std::string> id = recipe->text("recipeId")) ids.push_back(std::move(*id));
    return ids;
}

char KitchenAnnouncer::kitchenColorCode(const Order& order) const {
    const OrderTypeKeys* keys = keysOf(order.orderType());
    if (!keys) return 0;
    std::optional<std::string> setting = Parameters::text(keys->color, context_);
    if (!setting) return 0;
    if (*setting == "0" || *setting == "1") return (*setting)[0];
    logBadColor(keys->color, *setting);
    return 0;
}

std::optional<std::string> KitchenAnnouncer::kitchenMessage(const Order& order) const {
    const OrderTypeKeys* keys = keysOf(order.orderType());
    return keys ? Parameters::text(keys->message, context_) : std::nullopt;
}

} // namespace tavlo
