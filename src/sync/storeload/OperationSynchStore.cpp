#include "sync/storeload/OperationSynchStore.h"

#include "core/ports/LoadProgress.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/util/LogInfoProvider.h"
#include "core/util/TavloLog.h"
#include "platform/audio/AudioServices.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "sync/exchange/CommHelper.h"
#include "sync/storeload/StoreLoadCatalogue.h"
#include "sync/storeload/StoreLoadConfig.h"
#include "sync/storeload/StoreLoadMenus.h"
#include "sync/storeload/StoreLoadReader.h"
#include "xml/XmlChildStream.h"
#include "xml/XmlHelper.h"

#include <cstring>
#include <vector>

namespace tavlo {

namespace {

// Only store loads take it: two loads never read replies into their contexts at once.
std::mutex& loadLock() {
    static std::mutex lock;
    return lock;
}

constexpr const char* kErrorDomain = CommHelper::kStoreServerErrorDomain;

std::string storeServerData(const StoreDataRequest& r, Error* error) {
    return CommHelper::getStoreMenuData(r.storeId, r.password, r.associationCode, r.url, r.timeout, r.storeUpdate,
                                        r.menuUpdate, r.terminalId, TavloLog::infoProvider()->appVersion(), r.logXml,
                                        error);
}

// The elements of a reply that a reader reads as a run, with the progress text of a full reload.
enum class Reader {
    StoreParams,
    AreaShapes,
    AreaLocations,
    Areas,
    Comps,
    Permissions,
    Roles,
    Users,
    CashDrawers,
    Terminals,
    Printers,
    Taxes,
    Preparations,
    PreparationGroups,
    RecipeGroups,
    Rules,
    Recipes,
    RecipePreparationGroups,
    Items,
    SideItems,
    Sections,
    Schedules,
    Attendance,
};

struct RunElement {
    const char* name;
    Reader reader;
    const char* progress;
};

constexpr RunElement kRunElements[] = {
    {"areaShape", Reader::AreaShapes, "Synching Area Shapes"},
    {"areaLocation", Reader::AreaLocations, "Synching Area Locations"},
    {"area", Reader::Areas, "Synching Areas"},
    {"comp", Reader::Comps, "Synching Comps"},
    {"param", Reader::StoreParams, "Synching Store Params"},
    {"permission", Reader::Permissions, "Synching Permissions"},
    {"role", Reader::Roles, "Synching Roles"},
    {"user", Reader::Users, "Synching Users"},
    {"cashDrawer", Reader::CashDrawers, "Synching Cash Drawer"},
    {"terminal", Reader::Terminals, "Synching Terminals"},
    {"printer", Reader::Printers, "Synching Printers"},
    {"tax", Reader::Taxes, "Synching Taxes"},
    {"preparation", Reader::Preparations, "Synching Preparations"},
    {"preparationGroup", Reader::PreparationGroups, "Synching Preparation Groups"},
    {"recipeGroup", Reader::RecipeGroups, "Synching Recipe Groups"},
    {"rule", Reader::Rules, "Synching Rules"},
    {"recipe", Reader::Recipes, "Synching Recipes"},
    {"recipePreparationGroup", Reader::RecipePreparationGroups, "Synching Recipe Preparations"},
    {"item", Reader::Items, "Synching Items"},
    {"sideItem", Reader::SideItems, "Synching Side Items"},
    {"section", Reader::Sections, "Synching Sections"},
    {"schedule", Reader::Schedules, "Synching Schedules"},
    {"attendance", Reader::Attendance, "Synching Attendance"},
};

// Deleted by a clean, in this order. The tax amounts, charges and drawer links hang on rows of the
// list and would otherwise stay behind, unreachable, after every clean. A row's links go before
// the rows they name: a table emptied whole is not read again to unlink its rows from the next.
constexpr const char* kCleanedEntities[] = {
    "Selection",
    "CashInOut",
    "Order",
    "OrderType",
    "PaymentType",
    "TaxSide",
    "Side",
    "TaxMenuPreparation",
    "MenuPreparation",
    "TaxSectionPreparation",
    "SectionPreparation",
    "TaxComboGroupItem",
    "ComboGroupItem",
    "ItemComboGroup",
    "ComboGroup",
    "TaxItemPreparation",
    "ItemPreparation",
    "TaxItem",
    "Item",
    "Section",
    "Schedule",
    "Menu",
    "RecipePreparationGroup",
    "Recipe",
    "PreparationGroupPreparation",
    "PreparationGroup",
    "TaxPreparation",
    "Preparation",
    "Tax",
    "Printer",
    "TerminalParam",
    "TerminalCashDrawer",
    "Terminal",
    "AreaLocation",
    "AreaShape",
    "Area",
    "Attendance",
    "User",
    "Role",
    "Permission",
};

bool named(xmlNodePtr node, const char* name) { return XmlHelper::isElementNamed(node, name); }

} // namespace

OperationSynchStore::OperationSynchStore(std::string url, std::string storeId, std::string password, bool fullReload,
                                         std::optional<std::string> associationCode, int timeout, bool logXml,
                                         std::shared_ptr<ObjectStore> coordinator)
    : OperationAdapter(std::move(coordinator)), reload_(fullReload), logXml_(logXml), timeout_(timeout),
      url_(std::move(url)), storeId_(std::move(storeId)), password_(std::move(password)),
      associationCode_(std::move(associationCode)) {
    if (timeout_ <= 0) {
        TAVLO_LOG("Got timeout of %d, using default of 30", timeout_);
        timeout_ = 30;
    }
}

void OperationSynchStore::progress(const char* text) const {
    if (reload_) LoadProgress::report(localized(text));
}

void OperationSynchStore::main() {
    setError(std::nullopt);
    std::unique_ptr<ObjectContext> context = newContext();
    if (!context) {
        setError(Error(kErrorDomain, -1, "No local store to synch into"));
        return;
    }
    StoreDataRequest request;
    request.url = url_;
    request.storeId = storeId_;
    request.password = password_;
    request.associationCode = associationCode_;
    request.timeout = timeout_;
    request.logXml = logXml_;
    request.terminalId = DBHelper::getTerminalId(IDBroker::deviceIdentifier(), context.get());
    if (reload_) {
        request.storeUpdate.emplace(1, '0');
        request.menuUpdate = request.storeUpdate;
    } else {
        request.storeUpdate = Parameters::text(Parameter::LastUpdateStore, context.get());
        request.menuUpdate = Parameters::text(Parameter::LastUpdateMenu, context.get());
    }

    Error exchangeError;
    std::string reply = dataSource_ ? dataSource_(request, &exchangeError) : storeServerData(request, &exchangeError);
    if (exchangeError.isSet()) {
        setError(exchangeError);
        return;
    }
    if (reply.empty()) {
        setError(Error(kErrorDomain, -1, "No data received to synch store with"));
        return;
    }
    std::lock_guard lock(loadLock());
    Error writeError;
    if (!context->beginWrite(&writeError)) {
        setError(writeError);
        TAVLO_LOG_MAIL("Unable to save store synch: %@", writeError.localizedDescription());
        return;
    }
    if (!readReply(storeId_, std::move(reply), *context)) {
        context->rollback();
        return;
    }

    progress("Saving Store");
    Error saveError;
    if (!context->save(&saveError)) {
        setError(saveError);
        TAVLO_LOG_MAIL("Unable to save store synch: %@", saveError.localizedDescription());
        context->rollback();
        return;
    }
    if (UserDefaults::standardUserDefaults().boolForKey("synch_alert"))
        AudioServices::playAlertSound(AudioServices::kSystemSoundIDVibrate);
    succeeded_ = true;
    NotificationCenter::defaultCenter().post(kStoreChangeNotification);
}

void OperationSynchStore::cleanStore(ObjectContext& context) {
    for (const char* entity : kCleanedEntities) DBHelper::cleanObjects(entity, &context);
    for (const ManagedObjectPtr& param : DBHelper::getObjects("StoreParam", std::nullopt, {}, "name", &context)) {
        std::optional<std::string> name = param->text("name");
        if (!name || !startsWith(*name, Parameters::kOwnPrefix)) context.deleteObject(param);
    }
}

bool OperationSynchStore::synchStore(const std::string& storeId, std::string data, ObjectContext& context) {
    std::lock_guard lock(loadLock());
    return readReply(storeId, std::move(data), context);
}

bool OperationSynchStore::readReply(const std::string& storeId, std::string data, ObjectContext& context) {
    progress("Synching Store");

    // The reply is read once, as a stream, so that its document never stands whole in memory, and
    // let go as it is read. A cut or garbled reply, or one that holds an "error" element, is read
    // into the context all the same and then refused: nothing of it is saved, and the store
    // stays as it was.
    const unsigned long bytes = data.size();
    auto unreadable = [&] {
        TAVLO_LOG_MAIL("Unable to read the store data received (%lu bytes)", bytes);
        setError(Error(kErrorDomain, -1, "Unable to read the store data received"));
        return false;
    };

    std::optional<std::string> storedId = Parameters::text(Parameter::StoreId, &context);
    int32_t menuSequenceBase = 0;
    if (storedId && *storedId == storeId && !reload_) {
        menuSequenceBase = static_cast<int32_t>(context.max("Menu", "sequence").integer());
    } else {
        Parameters::save(Parameter::StoreId, storeId, &context);
        cleanStore(context);
        // The sections and menus that come after the items set each item's section, place and
        // menu, and each side's: held back, every item and side is written once, as it is at the
        // end. Recipes, which the items name, are found again in memory instead of in the file.
        if (context.isWriting())
            for (const char* entity : {"Item", "Side", "Recipe"}) context.holdInserts(entity);
    }

    XmlChildStream reply(std::move(data));
    xmlNodePtr node = reply.next();
    StoreLoadReader reader(reply.doc(), context);
    StoreLoadConfig config(reader);
    StoreLoadCatalogue catalogue(reader);
    StoreLoadMenus menus(reader, catalogue);
    menus.setMenuSequenceBase(menuSequenceBase);
    // Copies of the combo elements read again after the walk (the stream frees each element it
    // passes): every combo item, with its place in its run and its lists to read again, and the
    // combo groups that missed a row.
    struct LaterComboItem {
        xmlNodePtr element;
        int32_t position;
        unsigned lists;
    };
    std::vector<LaterComboItem> laterComboItems;
    std::vector<xmlNodePtr> laterComboGroups;
    xmlNodePtr store = nullptr;
    bool dates = false, elements = false;

    std::optional<std::string> refusal; // the text of the reply's first "error" element, if it has text
    bool errorSeen = false;

    while (node) {
        if (named(node, "success")) {
            node = StoreLoadReader::next(node);
        } else if (named(node, "error")) {
            if (!errorSeen) refusal = XmlHelper::getValue(node, reply.doc());
            errorSeen = true;
            node = StoreLoadReader::next(node);
        } else if (named(node, "menuDateUpdated") || named(node, "storeDateUpdated")) {
            const bool menu = named(node, "menuDateUpdated");
            progress(menu ? "Synching Menu Date Updated" : "Synching Store Date Updated");
            if (std::optional<std::string> stamp = XmlHelper::getValue(node, reply.doc()))
                Parameters::save(menu ? Parameter::LastUpdateMenu : Parameter::LastUpdateStore, stamp, &context);
            dates = true;
            node = StoreLoadReader::next(node);
        } else if (named(node, "store")) {
            store = reply.keep(node);
            node = config.updateStore(node);
            elements = true;
        } else if (named(node, "comboItem")) {
            progress("Synching Combo Items");
            for (int32_t position = 0; named(node, "comboItem"); node = StoreLoadReader::next(node), ++position) {
                const unsigned missed = catalogue.updateComboItem(node, position, StoreLoadCatalogue::ComboPass::First);
                laterComboItems.push_back({reply.keep(node), position, missed});
            }
            elements = true;
        } else if (named(node, "comboGroup")) {
            progress("Synching Combo Groups ");
            for (; named(node, "comboGroup"); node = StoreLoadReader::next(node))
                if (!catalogue.updateComboGroup(node)) laterComboGroups.push_back(reply.keep(node));
            elements = true;
        } else if (named(node, "menu")) {
            progress("Synching Menus");
            node = menus.updateMenus(node);
            elements = true;
        } else {
            const RunElement* run = nullptr;
            for (const RunElement& e : kRunElements)
                if (named(node, e.name)) run = &e;
            if (!run) {
                TAVLO_LOG("Unknown store element %s", reinterpret_cast<const char*>(node->name));
                node = StoreLoadReader::next(node);
                continue;
            }
            progress(run->progress);
            switch (run->reader) {
            case Reader::StoreParams: node = config.updateStoreParams(node); break;
            case Reader::AreaShapes: node = config.updateAreaShapes(node); break;
            case Reader::AreaLocations: node = config.updateAreaLocations(node); break;
            case Reader::Areas: node = config.updateAreas(node); break;
            case Reader::Comps: node = config.updateComps(node); break;
            case Reader::Permissions: node = config.updatePermissions(node); break;
            case Reader::Roles: node = config.updateRoles(node); break;
            case Reader::Users: node = config.updateUsers(node); break;
            case Reader::CashDrawers: node = config.updateCashDrawers(node); break;
            case Reader::Terminals: node = config.updateTerminals(node); break;
            case Reader::Printers: node = config.updatePrinters(node); break;
            case Reader::Taxes: node = config.updateTaxes(node); break;
            case Reader::Rules: node = config.updateRules(node); break;
            case Reader::Attendance: node = config.updateAttendance(node); break;
            case Reader::Preparations: node = catalogue.updatePreparations(node); break;
            case Reader::PreparationGroups: node = catalogue.updatePreparationGroups(node); break;
            case Reader::RecipeGroups: node = catalogue.updateRecipeGroups(node); break;
            case Reader::Recipes: node = catalogue.updateRecipes(node); break;
            case Reader::RecipePreparationGroups: node = catalogue.updateRecipePreparationGroups(node); break;
            case Reader::Items: node = catalogue.updateItems(node); break;
            case Reader::SideItems: node = catalogue.updateSideItems(node); break;
            case Reader::Sections: node = menus.updateSections(node); break;
            case Reader::Schedules: node = menus.updateSchedules(node); break;
            }
            elements = true;
        }
    }

    if (!reply.complete()) return unreadable();
    if (const std::optional<Error>& failure = reader.flushFailure()) {
        TAVLO_LOG_MAIL("Unable to save store synch: %@", failure->localizedDescription());
        setError(*failure);
        return false;
    }
    if (refusal) {
        TAVLO_LOG_MAIL("Unable to synchronize store: %@", *refusal);
        setError(Error(kErrorDomain, -1, *refusal));
        return false;
    }
    if (store) {
        progress("Updating Store Batch");
        config.updateStoreBatch(store);
    }
    // Links to rows that came later in the reply.
    for (const LaterComboItem& later : laterComboItems)
        catalogue.updateComboItem(later.element, later.position, StoreLoadCatalogue::ComboPass::Last, later.lists);
    for (xmlNodePtr element : laterComboGroups) catalogue.updateComboGroup(element);
    progress("Completing Store Synch");
    return dates || elements;
}

} // namespace tavlo
