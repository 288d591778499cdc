#include "sync/storeload/StoreLoadConfig.h"

#include "core/records/Attendance.h"
#include "core/session/DBHelper.h"
#include "core/session/LocalStoreModel.h"
#include "core/session/Parameters.h"
#include "core/util/Base64.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Text.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace tavlo {

namespace {

bool isOwnParameter(const std::optional<std::string>& name) {
    return name && startsWith(*name, Parameters::kOwnPrefix);
}

// A whole text as a number, as a number formatter reads it: an optional sign, digits and an
// optional fraction.
std::optional<double> numberFrom(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    size_t digits = 0, point = 0;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') ++digits;
        else if (text[i] == '.' && !point) point = 1;
        else return std::nullopt;
    }
    if (!digits) return std::nullopt;
    return doubleValue(text);
}

} // namespace

xmlNodePtr StoreLoadConfig::updateStoreParams(xmlNodePtr node) {
    ObjectContext& context = r_.context();
    std::vector<std::string> keys;
    for (; StoreLoadReader::isNamed(node, "param"); node = StoreLoadReader::next(node)) {
        XmlFields param(node, r_.doc());
        std::optional<std::string> key = param.text("key");
        if (!key) continue;
        DBHelper::saveStoreParam(*key, param.text("value").value_or(""), &context);
        keys.push_back(*key);
    }
    for (const ManagedObjectPtr& param :
         context.fetch(FetchRequest("StoreParam", Predicate::format(" NOT (name IN %@)", keys), {{"name"}})))
        if (!isOwnParameter(param->text("name"))) context.deleteObject(param);
    return node;
}

xmlNodePtr StoreLoadConfig::updateStore(xmlNodePtr node) {
    ObjectContext& context = r_.context();
    XmlFields xml(node, r_.doc());
    static constexpr std::pair<const char*, Parameter> kStoreValues[] = {
        {"storeName", Parameter::StoreName}, {"address", Parameter::StoreAddress}, {"city", Parameter::StoreCity},
        {"state", Parameter::StoreState},    {"zip", Parameter::StoreZip},         {"tel", Parameter::StoreTelephone},
        {"fax", Parameter::StoreFax},        {"website", Parameter::StoreWebSite},
    };
    for (const auto& [child, param] : kStoreValues)
        if (std::optional<std::string> value = xml.text(child)) Parameters::save(param, value, &context);

    r_.removeObjectsNotReceived(node, "Menu", "menuId");
    int32_t sequence = 0;
    for (const std::string& menuId : xml.runTexts("menuId"))
        if (ManagedObjectPtr menu = r_.index().find("Menu", "menuId", menuId)) menu->setValue("sequence", sequence++);

    for (const char* entity : {"OrderType", "PaymentType"}) {
        DBHelper::cleanObjects(entity, &context);
        const char* child = std::strcmp(entity, "OrderType") == 0 ? "orderType" : "paymentType";
        for (const std::string& text : xml.runTexts(child)) {
            int32_t type = intValue(text);
            if (context.exists(entity, "(type == %@)", type)) continue;
            context.insert(entity)->setValue("type", type);
        }
    }

    static constexpr std::pair<const char*, const char*> kListed[] = {
        {"Tax", "taxId"},   {"Terminal", "terminalId"}, {"Role", "roleId"},
        {"User", "userId"}, {"Printer", "printerId"},   {"Area", "areaId"},
    };
    for (const auto& [entity, idField] : kListed) r_.removeObjectsNotReceived(node, entity, idField);
    return StoreLoadReader::next(node);
}

void StoreLoadConfig::updateStoreBatch(xmlNodePtr store) {
    ObjectContext& context = r_.context();
    XmlFields xml(store, r_.doc());
    std::optional<std::string> batchId = xml.text("batchId");
    if (!batchId) return;
    std::optional<std::string> openedBy = xml.text("openedBy");
    if (!openedBy) {
        if (!Parameters::text(Parameter::CurrentBatchId, &context))
            Parameters::save(Parameter::CurrentBatchId, batchId, &context);
        return;
    }
    std::optional<Date> openedOn = xml.time("openedOn");
    std::optional<std::string> openedFrom = xml.text("openedFrom");
    Date opened = openedOn.value_or(Date(0));
    auto user = [&](const std::optional<std::string>& id) {
        return id ? r_.index().find("User", "userId", *id) : nullptr;
    };
    auto terminal = [&](const std::optional<std::string>& id) {
        return id ? r_.index().find("Terminal", "terminalId", *id) : nullptr;
    };

    ManagedObjectPtr batch = context.fetchFirst("StoreBatch", "(remoteId == %@)", *batchId);
    if (!batch) {
        // The day the server names may be one this terminal opened itself and numbered on its own:
        // find it by its opening second first, then close every other day still open here.
        if (openedOn) {
            Date second = openedOn->wholeSecondsDate();
            batch =
                context.fetchFirst("StoreBatch", "openedOn >= %@ AND openedOn < %@", second, second.addingSeconds(1));
        }
        Date closedOn = opened.addingSeconds(-1);
        for (const ManagedObjectPtr& open :
             context.fetch(FetchRequest("StoreBatch", Predicate::format("closedOn==nil"), {{"openedOn"}}, 999))) {
            if (open == batch) continue;
            open->setValue("closedOn", closedOn);
            TAVLO_LOG("Closing orphan store batch %@ with close date %@", open->text("remoteId"),
                      DateFormatter::format(closedOn, "yyyy-MM-dd HH:mm:ss '+0000'", TimeZone::utc()));
        }
        if (!batch) {
            batch = context.insert("StoreBatch");
            batch->setValue("remoteId", *batchId);
        }
    }
    batch->setToOne("openedBy", user(openedBy));
    batch->setToOne("openedFrom", terminal(openedFrom));
    LocalStoreModel::setDate(*batch, "openedOn", opened);
    if (batch->isNil("synchedOn")) batch->setValue("synchedOn", Date::now());
    if (std::optional<Date> closedOn = xml.time("closedOn")) {
        batch->setToOne("closedBy", user(xml.text("closedBy")));
        batch->setToOne("closedFrom", terminal(xml.text("closedFrom")));
        batch->setValue("closedOn", *closedOn);
    }
}

xmlNodePtr StoreLoadConfig::updateAreaShapes(xmlNodePtr node) {
    for (; StoreLoadReader::isNamed(node, "areaShape"); node = StoreLoadReader::next(node)) {
        ManagedObjectPtr shape = r_.rowFor(node, "AreaShape", "areaShapeId");
        if (!shape) continue;
        XmlFields xml(node, r_.doc());
        shape->setValue("type", xml.attribute("type"));
        for (const char* field : {"x", "y", "width", "height"}) shape->setValue(field, xml.integer(field));
        shape->setValue("strokeColor", xml.integer("rgbStrokeColor"));
        shape->setValue("fillColor", xml.integer("rgbFillColor"));
        shape->setValue("disabled", xml.flag("disabled"));
    }
    return node;
}

StoreLoadConfig::SortFields StoreLoadConfig::sortFields(const std::string& name) {
    std::vector<std::string> words = split(name, " ");
    if (words.size() == 1) {
        if (std::optional<double> n = numberFrom(words[0])) return {std::string(), n};
        return {words[0], std::nullopt};
    }
    if (std::optional<double> n = numberFrom(words[1])) return {words[0], n};
    return {name, std::nullopt};
}

xmlNodePtr StoreLoadConfig::updateAreaLocations(xmlNodePtr node) {
    for (; StoreLoadReader::isNamed(node, "areaLocation"); node = StoreLoadReader::next(node)) {
        ManagedObjectPtr location = r_.rowFor(node, "AreaLocation", "areaLocationId");
        if (!location) continue;
        XmlFields xml(node, r_.doc());
        std::optional<std::string> name = xml.text("areaLocationName");
        location->setValue("name", name);
        location->setValue("shortName", xml.text("shortName"));
        for (const char* field : {"seats", "x", "y"}) location->setValue(field, xml.integer(field));
        location->setValue("disabled", xml.flag("disabled"));
        if (std::optional<std::string> shapeId = xml.attribute("shapeId"))
            if (ManagedObjectPtr shape = r_.index().find("AreaShape", "areaShapeId", *shapeId))
                location->setToOne("areaShape", shape);
        if (name) {
            SortFields sort = sortFields(*name);
            location->setValue("sortType", sort.sortType);
            if (sort.sortNumber) location->setValue("sortNumber", *sort.sortNumber);
        }
    }
    return node;
}

xmlNodePtr StoreLoadConfig::updateAreas(xmlNodePtr node) {
    for (; StoreLoadReader::isNamed(node, "area"); node = StoreLoadReader::next(node)) {
        ManagedObjectPtr area = r_.rowFor(node, "Area", "areaId");
        if (!area) continue;
        XmlFields xml(node, r_.doc());
        area->setValue("name", xml.text("areaName"));
        area->setValue("fillColor", xml.integerIfPresent("rgbFillColor").value_or(-1));
        area->setValue("disabled", xml.flag("disabled"));
        r_.associate(area, "areaLocations", "AreaLocation", "areaLocationId", xml.texts("areaLocationId"), true,
                     [](const std::string& id) {
                         if (id != "-1") TAVLO_LOG_MAIL("Unable to find area location (%@)", id);
                     });
    }
    return node;
}

xmlNodePtr StoreLoadConfig::updateComps(xmlNodePtr node) {
    for (; StoreLoadReader::isNamed(node, "comp"); node = StoreLoadReader::next(node)) {
        ManagedObjectPtr comp = r_.rowFor(node, "Complimentary", "complimentaryId");
        if (!comp) continue;
        XmlFields xml(node, r_.doc());
        comp->setValue("name", xml.text("compName"));
        comp->setValue("percentage", xml.integer("percentage"));
        comp->setValue("permissionNeeded", xml.flag("permissionNeeded"));
        comp->setValue("disabled", xml.flag("disabled"));
    }
    return node;
}

xmlNodePtr StoreLoadConfig::updateCashDrawers(xmlNodePtr node) {
    for (; StoreLoadReader::isNamed(node, "cashDrawer"); node = StoreLoadReader::next(node))
        if (ManagedObjectPtr drawer = r_.rowFor(node, "CashDrawer", "cashDrawerId"))
            drawer->setValue("name", XmlFields(node, r_.doc()).text("cashDrawerName"));
    return node;
}

void StoreLoadConfig::setArea(const ManagedObjectPtr& terminal, const XmlFields& element, std::string_view child,
                              std::string_view relation, const char* missingFormat) {
    std::optional<std::string> areaId = element.text(child);
    if (!areaId) {
        terminal->setToOne(relation, nullptr);
        return;
    }
    if (ManagedObjectPtr area = r_.index().find("Area", "areaId", *areaId)) terminal->setToOne(relation, area);
    else if (*areaId != "-1") TAVLO_LOG_MAIL(missingFormat, *areaId, terminal->text("name"));
}

xmlNodePtr StoreLoadConfig::updateTerminals(xmlNodePtr node) {
    for (; StoreLoadReader::isNamed(node, "terminal"); node = StoreLoadReader::next(node)) {
        ManagedObjectPtr terminal = r_.rowFor(node, "Terminal", "terminalId");
        if (!terminal) continue;
        XmlFields xml(node, r_.doc());
        terminal->setValue("name", xml.text("terminalName"));
        for (const char* field : {"number", "command", "networkName"}) terminal->setValue(field, xml.text(field));
        terminal->setValue("sendLog", xml.flag("log"));
        terminal->setValue("sendAllLogs", xml.flag("allLogs"));
        terminal->setValue("disabled", xml.flag("disabled"));
        setArea(terminal, xml, "areaId", "area", "Unable to find area %@ specified for terminal %@");
        setArea(terminal, xml, "areaDisplayedId", "areaDisplayed",
                "Unable to find area displayed %@ specified for terminal %@");
        if (xmlNodePtr param = xml.child("param").element())
            updateParams(terminal, param, "TerminalParam", "terminal", "terminalParams", true);
        updateTerminalDrawers(terminal, xml);
    }
    return node;
}

void StoreLoadConfig::updateParams(const ManagedObjectPtr& owner, xmlNodePtr first, std::string_view entity,
                                   std::string_view ownerLink, std::string_view ownerParams, bool keepOwn) {
    std::unordered_set<std::string> keys;
    for (xmlNodePtr n = first; StoreLoadReader::isNamed(n, "param"); n = StoreLoadReader::next(n)) {
        XmlFields xml(n, r_.doc());
        std::optional<std::string> key = xml.text("key");
        if (!key) continue;
        ManagedObjectPtr param = r_.index().findOrInsert(entity, {"name", ownerLink}, {*key, owner.get()});
        param->setValue("value", xml.text("value").value_or(""));
        keys.insert(*key);
    }
    std::vector<ManagedObjectPtr> others;
    for (const ManagedObjectPtr& param : owner->toMany(ownerParams)) {
        std::optional<std::string> name = param->text("name");
        if (!(name && keys.count(*name)) && !(keepOwn && isOwnParameter(name))) others.push_back(param);
    }
    std::sort(others.begin(), others.end(),
              [](const auto& a, const auto& b) { return a->text("name") < b->text("name"); });
    for (const ManagedObjectPtr& param : others) {
        if (keepOwn) TAVLO_LOG("Deleting param %@", param->text("name"));
        else TAVLO_LOG("Deleting rule param %@", param->text("name"));
        r_.context().deleteObject(param);
    }
}

void StoreLoadConfig::updateTerminalDrawers(const ManagedObjectPtr& terminal, const XmlFields& element) {
    std::unordered_set<std::string> listed;
    for (xmlNodePtr n : element.run("terminalCashDrawer")) {
        XmlFields xml(n, r_.doc());
        std::optional<std::string> drawerId = xml.text("cashDrawerId");
        if (drawerId) listed.insert(*drawerId);
        ManagedObjectPtr drawer = drawerId ? r_.index().find("CashDrawer", "cashDrawerId", *drawerId) : nullptr;
        if (!drawer) {
            TAVLO_LOG_MAIL("Unable to find cash drawer %@ for terminal", drawerId);
            continue;
        }
        ManagedObjectPtr link =
            r_.index().findOrInsert("TerminalCashDrawer", {"cashDrawer", "terminal"}, {drawer.get(), terminal.get()});
        link->setValue("url", xml.text("url"));
    }
    for (const ManagedObjectPtr& link : terminal->toMany("cashDrawers")) {
        std::optional<std::string> drawerId = link->text("cashDrawer.cashDrawerId");
        if (!drawerId || !listed.count(*drawerId)) r_.context().deleteObject(link);
    }
}

xmlNodePtr StoreLoadConfig::updatePrinters(xmlNodePtr node) {
    for (; StoreLoadReader::isNamed(node, "printer"); node = StoreLoadReader::next(node)) {
        ManagedObjectPtr printer = r_.rowFor(node, "Printer", "printerId");
        if (!printer) continue;
        XmlFields xml(node, r_.doc());
        printer->setValue("name", xml.text("printerName"));
        printer->setValue("type", xml.text("type"));
        printer->setValue("url", xml.text("url"));
        printer->setValue("leadLines", xml.integer("leadingBlankLines"));
        printer->setValue("trailLines", xml.integer("trailingBlankLines"));
        printer->setValue("changesOnly", xml.flag("changesOnly"));
        printer->setValue("handheldAccessible", xml.flag("handheldPrinter"));
        printer->setValue("disabled", xml.flag("disabled"));
        r_.associate(printer, "recipes", "Recipe", "recipeId", xml.texts("recipeId"), false,
                     [](const std::string& id) { TAVLO_LOG("Unable to find recipe %@ for printer", id); });
    }
    return node;
}

xmlNodePtr StoreLoadConfig::updatePermissions(xmlNodePtr node) {
    for (; StoreLoadReader::isNamed(node, "permission"); node = StoreLoadReader::next(node))
        if (ManagedObjectPtr permission = r_.rowFor(node, "Permission", "permissionId"))
            permission->setValue("name", XmlFields(node, r_.doc()).text("permissionName"));
    return node;
}

xmlNodePtr StoreLoadConfig::updateRoles(xmlNodePtr node) {
    for (; StoreLoadReader::isNamed(node, "role"); node = StoreLoadReader::next(node)) {
        ManagedObjectPtr role = r_.rowFor(node, "Role", "roleId");
        if (!role) continue;
        XmlFields xml(node, r_.doc());
        role->setValue("name", xml.text("roleName"));
        role->setValue("jobTitle", xml.flag("jobTitle"));
        r_.associate(role, "permissions", "Permission", "permissionId", xml.texts("permissionId"), false,
                     [](const std::string& id) { TAVLO_LOG_MAIL("Unable to find permission %@ for role", id); });
    }
    return node;
}

xmlNodePtr StoreLoadConfig::updateUsers(xmlNodePtr node) {
    for (; StoreLoadReader::isNamed(node, "user"); node = StoreLoadReader::next(node)) {
        ManagedObjectPtr user = r_.rowFor(node, "User", "userId");
        if (!user) continue;
        XmlFields xml(node, r_.doc());
        std::optional<std::string> first = xml.text("firstName"), last = xml.text("lastName");
        if (first && last) user->setValue("name", *first + " " + *last);
        else user->setValue("name", first ? *first : last ? *last : std::string("_"));
        if (std::optional<std::string> number = xml.text("employeeNumber")) user->setValue("number", number);
        if (std::optional<std::string> email = xml.text("email")) user->setValue("emailAddress", email);
        else TAVLO_LOG_MAIL("Null email address for user");
        if (std::optional<std::string> track = xml.text("trackData")) {
            if (std::optional<std::vector<uint8_t>> bytes = Base64::decode(*track)) {
                auto end = std::find(bytes->begin(), bytes->end(), uint8_t(0));
                user->setValue("trackData", std::string(bytes->begin(), end));
            }
        }
        user->setValue("disabled", xml.flag("disabled"));
        r_.associate(user, "roles", "Role", "roleId", xml.texts("roleId"), false,
                     [](const std::string& id) { TAVLO_LOG_MAIL("Unable to find role %@ for user", id); });
        r_.associate(user, "permissions", "Permission", "permissionId", xml.texts("permissionId"), false,
                     [](const std::string& id) { TAVLO_LOG_MAIL("Unable to find permission %@ for user", id); });
    }
    return node;
}

xmlNodePtr StoreLoadConfig::updateAttendance(xmlNodePtr node) {
    for (; StoreLoadReader::isNamed(node, "attendance"); node = StoreLoadReader::next(node)) {
        Attendance attendance;
        attendance.read(node, r_.doc());
        attendance.write(r_.context());
    }
    return node;
}

xmlNodePtr StoreLoadConfig::updateTaxes(xmlNodePtr node) {
    for (; StoreLoadReader::isNamed(node, "tax"); node = StoreLoadReader::next(node)) {
        ManagedObjectPtr tax = r_.rowFor(node, "Tax", "taxId");
        if (!tax) continue;
        XmlFields xml(node, r_.doc());
        tax->setValue("roundingMethod", xml.attribute("roundingMethod"));
        tax->setValue("name", xml.text("taxName"));
        tax->setValue("percentage", xml.integer("percentage"));
        tax->setValue("beforeLoyalty", xml.flag("beforeLoyalty"));
        tax->setValue("disabled", xml.flag("disabled"));
    }
    return node;
}

xmlNodePtr StoreLoadConfig::updateRules(xmlNodePtr node) {
    for (; StoreLoadReader::isNamed(node, "rule"); node = StoreLoadReader::next(node)) {
        ManagedObjectPtr rule = r_.rowFor(node, "Rule", "ruleId");
        if (!rule) continue;
        XmlFields xml(node, r_.doc());
        rule->setValue("type", xml.attribute("type"));
        rule->setValue("name", xml.text("ruleName"));
        rule->setValue("disabled", xml.flag("disabled"));
        if (xmlNodePtr param = xml.child("param").element())
            updateParams(rule, param, "RuleParam", "rule", "ruleParams", false);
    }
    return node;
}

} // namespace tavlo
