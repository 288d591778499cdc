#include "support/LocalStoreScope.h"

#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "platform/foundation/UserDefaults.h"

#include <stdexcept>

namespace tavlo::test {

LocalStoreScope::LocalStoreScope() {
    IDBroker::releaseInstance();
    DBHelper::closeSharedStore();
    UserDefaults::standardUserDefaults().setObject(UserDefaults::Value(std::string(kDeviceId)), IDBroker::kDeviceIdKey);
    reopen();
}

LocalStoreScope::~LocalStoreScope() {
    IDBroker::releaseInstance();
    context_.reset();
    DBHelper::closeSharedStore();
}

void LocalStoreScope::reopen() {
    context_.reset();
    DBHelper::closeSharedStore();
    Error error;
    context_ = DBHelper::mainContext(&error);
    if (!context_) throw std::runtime_error("cannot open the store: " + error.localizedDescription());
}

ManagedObjectPtr LocalStoreScope::addStoreParam(const std::string& name, const std::optional<std::string>& value) {
    ManagedObjectPtr row = context_->insert("StoreParam");
    row->setValue("name", name);
    row->setValue("value", value);
    return row;
}

ManagedObjectPtr LocalStoreScope::addTerminal(const std::string& terminalId, const std::optional<std::string>& number) {
    ManagedObjectPtr row = context_->insert("Terminal");
    row->setValue("terminalId", terminalId);
    row->setValue("number", number);
    return row;
}

ManagedObjectPtr LocalStoreScope::addTerminalParam(const ManagedObjectPtr& terminal, const std::string& name,
                                                   const std::optional<std::string>& value) {
    ManagedObjectPtr row = context_->insert("TerminalParam");
    row->setValue("name", name);
    row->setValue("value", value);
    row->setToOne("terminal", terminal);
    return row;
}

ManagedObjectPtr LocalStoreScope::addThisTerminal(const std::string& terminalId,
                                                  const std::optional<std::string>& number) {
    ManagedObjectPtr terminal = addTerminal(terminalId, number);
    addTerminalParam(terminal, "TS_UID", std::string(kDeviceId));
    return terminal;
}

void LocalStoreScope::save() {
    Error error;
    if (!context_->save(&error)) throw std::runtime_error("save failed: " + error.localizedDescription());
}

} // namespace tavlo::test
