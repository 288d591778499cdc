#include "core/session/Session.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "core/order/Order.h"
#include "core/records/StoreRows.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/util/LogInfoProvider.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/Directories.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/store/ObjectContext.h"

namespace tavlo {

namespace {

constexpr const char* kStars = "********************************";

bool sameText(const std::optional<std::string>& a, const std::optional<std::string>& b) { return a && b && *a == *b; }

bool grantsPermission(const ManagedObject& holder, const std::string& permission) {
    for (const auto& p : holder.toMany("permissions")) {
        if (p->text("name") == permission) return true;
    }
    return false;
}

} // namespace

Session::Session(ObjectContext* context) : context_(context) {
    if (!context) TAVLO_LOG("Is null %d", 1);
    else context->setMergePolicy(ObjectContext::MergePolicy::Overwrite);
    lite_ = Parameters::flag(Parameter::Lite, context);
    storeName_ = Parameters::text(Parameter::StoreName, context);
    storeState_ = Parameters::text(Parameter::StoreState, context);
    storeCity_ = Parameters::text(Parameter::StoreCity, context);
    auto& defaults = UserDefaults::standardUserDefaults();
    useAnimation_ = defaults.boolForKey("animation");
    storeId_ = defaults.stringForKey("store_id");
    password_ = defaults.stringForKey("password");
}

ManagedObjectPtr Session::thisTerminal() { return DBHelper::getTerminal(IDBroker::deviceIdentifier(), context_); }

// ---- sign-in ----

bool Session::authenticate(const std::string& userId) {
    auto user = findUser(context_, userId);
    auto terminal = thisTerminal();
    TAVLO_LOG(kStars);
    TAVLO_LOG("*** LOGIN ATTEMPT, id: %@", userId);
    TAVLO_LOG("***");
    bool signedIn = false;
    if (!terminal) {
        logFailedTerminal();
    } else if (!user) {
        TAVLO_LOG("*** Store: %@", storeId_);
        TAVLO_LOG("*** Gateway: %@", TavloLog::infoProvider()->gateway());
        TAVLO_LOG("*** Failed, invalid user");
    } else if (user->boolean("disabled")) {
        TAVLO_LOG_MAIL("Disabled user attempted login (%@)", user->text("name"));
    } else {
        userId_ = user->text("userId");
        userName_ = user->text("name");
        userEmail_ = user->text("emailAddress");
        terminalId_ = terminal->text("terminalId");
        terminalName_ = terminal->text("name");
        terminalNumber_ = terminal->text("number");
        terminalAreaId_ = terminal->text("area.areaId");
        if (userName_) TAVLO_LOG("*** User: %@", userName_);
        if (isGranted(Right::StoreLogin)) {
            dateStarted_ = Date::now();
            TAVLO_LOG("*** Succeeded!!!");
            signedIn = true;
        } else {
            TAVLO_LOG("*** Failed, no access granted!!!");
        }
    }
    TAVLO_LOG(kStars);
    return signedIn;
}

void Session::logFailedTerminal() {
    TAVLO_LOG("*** Store: %@", storeId_);
    TAVLO_LOG("*** Failed/Invalid terminal, available terminals:");
    if (!context_) return;
    auto terminals = context_->fetch(FetchRequest("Terminal", Predicate::format("networkName != nil"), {{"number"}}));
    for (auto it = terminals.rbegin(); it != terminals.rend(); ++it) {
        TAVLO_LOG("***    Terminal: %@", (*it)->text("name"));
        for (const auto& param : (*it)->toMany("terminalParams")) {
            TAVLO_LOG("***      %@ = %@", param->text("name"), param->text("value"));
        }
    }
}

void Session::invalidate() {
    TAVLO_LOG("Invalidating session");
    storeId_.reset();
    storeName_.reset();
    userId_.reset();
    userName_.reset();
    userEmail_.reset();
    terminalId_.reset();
    terminalName_.reset();
    terminalNumber_.reset();
    dateStarted_.reset();
    password_.reset();
    context_ = nullptr;
}

std::string Session::firstName() const {
    if (!userName_) return "?";
    return userName_->substr(0, userName_->find(' '));
}

// ---- rights ----

bool Session::isGranted(const std::string& permission) { return isGranted(permission, userId_); }

bool Session::isGranted(const std::string& permission, const std::optional<std::string>& userId) {
    return isGranted(permission, findUser(context_, userId));
}

bool Session::isGranted(const std::string& permission, const ManagedObjectPtr& user) {
    if (!user) return false;
    auto role = currentRole(user->text("userId"));
    for (const auto& r : user->toMany("roles")) {
        if ((!role || r->text("roleId") == role) && grantsPermission(*r, permission)) return true;
    }
    return grantsPermission(*user, permission);
}

std::optional<std::string> Session::currentRole(const std::optional<std::string>& userId) {
    if (!context_ || !userId) return std::nullopt;
    for (const auto& a :
         context_->fetch("Attendance", "user.userId == %@ && end == nil && endReconciled == nil", userId)) {
        if (auto role = a->toOne("role")) return role->text("roleId");
    }
    return std::nullopt;
}

bool Session::canAccessOrder(const std::optional<std::string>& remoteId) {
    auto order = findRow(context_, "Order", "remoteId", remoteId);
    if (order && sameText(order->text("user.userId"), userId_)) return true;
    return isGranted(Right::AllOrders) || isGranted(Right::AllAreaOrders);
}

bool Session::isClockedIn(const std::optional<std::string>& userId) {
    if (!context_ || !userId) return false;
    return context_->exists("Attendance", "user.userId == %@ && end == nil && endReconciled == nil", userId);
}

std::optional<std::string> Session::userFromNumber(const std::optional<std::string>& number) {
    if (!context_ || !number) return std::nullopt;
    auto user = context_->fetchFirst("User", "number == %@", number);
    return user ? user->text("userId") : std::nullopt;
}

std::optional<std::string> Session::userFromTrackData(const std::optional<std::string>& trackData) {
    if (!context_ || !trackData) return std::nullopt;
    auto user = context_->fetchFirst("User", "trackData == %@", trackData);
    return user ? user->text("userId") : std::nullopt;
}

// ---- configuration ----

bool Session::isUsingGratuity() { return Parameters::flag(Parameter::ModuleGratuity, context_); }

std::vector<OrderType> Session::listedOrderTypes(const std::function<bool(OrderType)>& offered) {
    std::vector<OrderType> types;
    if (!context_) return types;
    for (const auto& row : context_->fetch(FetchRequest("OrderType", std::nullopt, {{"type"}}))) {
        const OrderType type = orderTypeOf(row->int32("type"));
        if (!Order::typeUILabel(type).empty() && offered(type)) types.push_back(type);
    }
    return types;
}

std::vector<OrderType> Session::orderTypes() {
    return listedOrderTypes([this](OrderType type) { return type != OrderType::Refund || isGranted(Right::Refund); });
}

std::vector<OrderType> Session::qsOrderTypes(bool isNew) {
    // Bit (number + 12): pick up, catering, drive through, then beverage cart to take out.
    constexpr uint32_t kQuickSaleTypes = 0xFC7;
    return listedOrderTypes([this, isNew](OrderType type) {
        if (type == OrderType::Refund) return isNew && isGranted(Right::Refund);
        const int32_t number = storedNumber(type);
        return number >= -12 && number <= -1 && ((kQuickSaleTypes >> (number + 12)) & 1u) != 0;
    });
}

std::vector<int32_t> Session::paymentTypes() {
    // Tender codes in the order the pay screens show them; bills (7) are never offered here.
    constexpr std::array<int32_t, 12> kOrder{1, 2, 10, 3, 4, 5, 6, 8, 9, 11, 12, 13};
    constexpr int32_t kGift = 4;
    std::vector<int32_t> types;
    if (!context_) return types;
    for (int32_t code : kOrder) {
        if (code == kGift && lite_) continue;
        if (context_->exists("PaymentType", "type == %d", code)) types.push_back(code);
    }
    return types;
}

std::vector<Rule> Session::rules(const std::optional<std::string>& type) {
    std::vector<Rule> rules;
    if (!context_) return rules;
    std::optional<Predicate> filter;
    if (type) filter = Predicate::format("type == %@", type);
    for (const auto& row : context_->fetch(FetchRequest("Rule", filter, {{"type"}}))) {
        Rule rule;
        rule.read(*row);
        if (!rule.disabled()) rules.push_back(std::move(rule));
    }
    return rules;
}

bool Session::isUpgradeRequired() {
    auto minimum = Parameters::text(Parameter::MinimumVersion, context_);
    return minimum && isVersionBelow(TavloLog::infoProvider()->appVersion(), *minimum);
}

bool Session::isVersionBelow(const std::string& version, const std::string& minimum) {
    auto have = split(version, ".");
    auto need = split(minimum, ".");
    for (size_t i = 0; i < need.size(); ++i) {
        int64_t n = longLongValue(need[i]);
        int64_t h = i < have.size() ? longLongValue(have[i]) : 0;
        if (h != n) return h < n;
    }
    return false;
}

int Session::printTimeout() {
    auto millis = Parameters::text(Parameter::PrinterSocketConnectTimeout, context_);
    if (!millis) return 5;
    return static_cast<int>(std::lround(intValue(*millis) / 1000.0));
}

std::optional<std::string> Session::printerURL() {
    auto terminal = thisTerminal();
    if (!terminal) return std::nullopt;
    return Parameters::terminalText(Parameter::PrinterUrl, terminal->text("terminalId"), context_);
}

std::optional<std::string> Session::terminalDisplayArea() {
    auto terminal = thisTerminal();
    return terminal ? terminal->text("areaDisplayed.areaId") : std::nullopt;
}

// ---- store day ----

bool Session::isStoreOpen() { return context_ && context_->exists("StoreBatch", "closedOn == nil"); }

std::optional<Date> Session::storeOpenDate() {
    auto batch = context_ ? context_->fetchFirst("StoreBatch", "closedOn == nil") : nullptr;
    return batch ? batch->date("openedOn") : std::nullopt;
}

ManagedObjectPtr Session::latestBatch() {
    return context_ ? context_->fetchFirst("StoreBatch", "max(openedOn) == openedOn") : nullptr;
}

std::optional<Date> Session::lastOpenDate() {
    auto batch = latestBatch();
    return batch ? batch->date("openedOn") : std::nullopt;
}

std::optional<Date> Session::storeCloseDate() {
    auto batch = latestBatch();
    return batch ? batch->date("closedOn") : std::nullopt;
}

// ---- cash drawers ----

bool Session::hasCashDrawer() {
    auto terminal = thisTerminal();
    return terminal && !terminal->toMany("cashDrawers").empty();
}

std::vector<std::string> Session::cashDrawerIds() {
    std::vector<ManagedObjectPtr> drawers;
    if (auto terminal = thisTerminal()) {
        for (const auto& entry : terminal->toMany("cashDrawers")) {
            if (auto drawer = entry->toOne("cashDrawer")) drawers.push_back(drawer);
        }
    }
    std::stable_sort(drawers.begin(), drawers.end(),
                     [](const auto& a, const auto& b) { return a->text("name") < b->text("name"); });
    std::vector<std::string> ids;
    for (const auto& drawer : drawers) {
        if (auto id = drawer->text("cashDrawerId")) ids.push_back(*id);
    }
    return ids;
}

std::optional<std::string> Session::cashDrawerId(const std::optional<std::string>& url) {
    if (!context_ || !url || !terminalId_) return std::nullopt;
    auto entry = context_->fetchFirst("TerminalCashDrawer", "url == %@ && terminal.terminalId == %@", url, terminalId_);
    return entry ? entry->text("cashDrawer.cashDrawerId") : std::nullopt;
}

int Session::cashDrawerURL(const std::optional<std::string>& drawerId, const std::optional<std::string>& terminalId,
                           ObjectContext* context) {
    if (!context || !drawerId || !terminalId) return -1;
    auto entry = context->fetchFirst("TerminalCashDrawer", "cashDrawer.cashDrawerId == %@ && terminal.terminalId == %@",
                                     drawerId, terminalId);
    return entry ? intValue(entry->text("url")) : -1;
}

std::optional<std::string> Session::cashDrawerName(const std::optional<std::string>& drawerId, ObjectContext* context) {
    auto drawer = findRow(context, "CashDrawer", "cashDrawerId", drawerId);
    return drawer ? drawer->text("name") : std::nullopt;
}

bool Session::isAnyDrawerCashedIn() { return context_ && context_->exists("CashInOut", "outDate == nil"); }

bool Session::isCashedIn(const std::optional<std::string>& drawerId) {
    return context_ && drawerId &&
           context_->exists("CashInOut", "outDate == nil && cashDrawer.cashDrawerId == %@", drawerId);
}

std::map<std::string, std::string> Session::cashedInDrawers(const std::optional<std::string>& userId) {
    std::map<std::string, std::string> drawers;
    if (!context_ || !userId || !terminalId_) return drawers;
    auto terminal = findRow(*context_, "Terminal", "terminalId", terminalId_);
    if (!terminal) return drawers;
    for (const auto& entry : terminal->toMany("cashDrawers")) {
        auto drawer = entry->toOne("cashDrawer");
        auto id = drawer ? drawer->text("cashDrawerId") : std::nullopt;
        if (id && context_->exists("CashInOut", "inBy.userId == %@ && cashDrawer.cashDrawerId == %@ && outDate == nil",
                                   userId, id)) {
            drawers[*id] = drawer->text("name").value_or("");
        }
    }
    return drawers;
}

// ---- class operations ----

std::map<std::string, std::string> Session::getHostConfig(const std::optional<std::string>& hostName,
                                                          ObjectContext* context) {
    if (!hostName) return {};
    return Parameters::hostSettings(toUpper(*hostName), context);
}

std::vector<ManagedObjectPtr> Session::getOtherTerminals(const std::optional<std::string>& address,
                                                         ObjectContext* context) {
    std::vector<ManagedObjectPtr> others;
    if (!context || !address) return others;
    auto self = Utils::unformatURL(address);
    auto filter = Predicate::format("networkName != nil && (disabled == nil || disabled == NO)");
    for (auto& terminal : context->fetch(FetchRequest("Terminal", filter, {{"number"}}))) {
        if (terminal->text("networkName") != self) others.push_back(std::move(terminal));
    }
    return others;
}

namespace {

std::optional<std::filesystem::space_info> documentsVolume() {
    std::error_code ec;
    auto info = std::filesystem::space(documentsDirectory(), ec);
    if (!ec) return info;
    TAVLO_LOG_MAIL("Error Obtaining System Memory Info: Domain = %@, Code = %@", ec.category().name(), ec.value());
    return std::nullopt;
}

} // namespace

uint64_t Session::diskCapacity() {
    auto info = documentsVolume();
    return info ? info->capacity : 0;
}

uint64_t Session::freeDiskSpace() {
    auto info = documentsVolume();
    return info ? info->available : 0;
}

std::string Session::formatSpace(uint64_t bytes) {
    struct Unit {
        const char* name;
        int shift;
    };
    constexpr std::array<Unit, 6> kUnits{{{"EB", 60}, {"PB", 50}, {"TB", 40}, {"GB", 30}, {"MB", 20}, {"KB", 10}}};
    for (const auto& unit : kUnits) {
        uint64_t divisor = uint64_t{1} << unit.shift;
        if (divisor < bytes)
            return format("%.2f %s", static_cast<double>(bytes) / static_cast<double>(divisor), unit.name);
    }
    return format("%llu Bytes", static_cast<unsigned long long>(bytes));
}

} // namespace tavlo
