#include "core/session/Parameters.h"

#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/util/Utils.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"

namespace tavlo {

namespace {

std::optional<std::string> orDefault(std::optional<std::string> value, const ParameterInfo& info) {
    if (!value && !info.fallback.empty()) return std::string(info.fallback);
    return value;
}

} // namespace

std::optional<std::string> Parameters::text(Parameter parameter, ObjectContext* context) {
    const ParameterInfo& row = info(parameter);
    switch (row.scope) {
    case ParameterScope::Store: return orDefault(DBHelper::getStoreValue(row.name, context), row);
    case ParameterScope::Either: return orDefault(DBHelper::getValue(row.name, context), row);
    case ParameterScope::Terminal:
        return terminalText(parameter, DBHelper::getTerminalId(IDBroker::deviceIdentifier(), context), context);
    }
    return std::nullopt;
}

bool Parameters::flag(Parameter parameter, ObjectContext* context) { return boolValue(text(parameter, context)); }

int32_t Parameters::number(Parameter parameter, ObjectContext* context) { return intValue(text(parameter, context)); }

std::optional<std::string> Parameters::terminalText(Parameter parameter, const std::optional<std::string>& terminalId,
                                                    ObjectContext* context) {
    const ParameterInfo& row = info(parameter);
    return orDefault(DBHelper::getTerminalValue(row.name, terminalId, context), row);
}

bool Parameters::terminalFlag(Parameter parameter, const std::optional<std::string>& terminalId,
                              ObjectContext* context) {
    return boolValue(terminalText(parameter, terminalId, context));
}

void Parameters::save(Parameter parameter, const std::optional<std::string>& value, ObjectContext* context) {
    DBHelper::saveStoreParam(name(parameter), value, context);
}

std::map<std::string, std::string> Parameters::hostSettings(std::string_view host, ObjectContext* context) {
    std::map<std::string, std::string> settings;
    if (!context) return settings;
    FetchRequest request("StoreParam", Predicate::format("name LIKE %@", format("HOST_%@_*", std::string(host))),
                         {{"name", true}});
    for (const ManagedObjectPtr& row : context->fetch(request)) {
        std::optional<std::string> name = row->text("name");
        std::optional<std::string> value = row->text("value");
        if (name && value) settings[*name] = *value;
    }
    return settings;
}

std::optional<std::string> Parameters::hostSetting(const std::map<std::string, std::string>& settings,
                                                   Parameter parameter) {
    auto found = settings.find(std::string(name(parameter)));
    if (found == settings.end()) return std::nullopt;
    return found->second;
}

std::vector<std::string> Parameters::receiptFooter(ObjectContext* context) {
    std::vector<std::string> lines;
    for (const ManagedObjectPtr& row :
         DBHelper::getObjects("StoreParam", "name LIKE %@", std::string("RECEIPT_FOOTER_LINE_*"), "name", context))
        lines.push_back(row->text("value").value_or(""));
    return lines;
}

} // namespace tavlo
