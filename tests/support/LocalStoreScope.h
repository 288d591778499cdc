#pragma once

#include "platform/store/ObjectContext.h"
#include "support/TempHome.h"

#include <memory>
#include <optional>
#include <string>

namespace tavlo::test {

// A fresh data directory holding the terminal's shared store, with the device identifier set,
// for tests of code that reads the local store. Closes the store and forgets the IDBroker when it
// goes away.
class LocalStoreScope {
public:
    static constexpr const char* kDeviceId = "test-device";

    LocalStoreScope();
    ~LocalStoreScope();
    LocalStoreScope(const LocalStoreScope&) = delete;
    LocalStoreScope& operator=(const LocalStoreScope&) = delete;

    // The shared store's main context.
    const std::shared_ptr<ObjectContext>& context() const { return context_; }
    ObjectContext* operator->() const { return context_.get(); }
    // Closes the store and opens it again from its file (unsaved changes are lost).
    void reopen();
    const TempHome& home() const { return home_; }

    // Rows, not saved.
    ManagedObjectPtr addStoreParam(const std::string& name, const std::optional<std::string>& value);
    ManagedObjectPtr addTerminal(const std::string& terminalId, const std::optional<std::string>& number = {});
    ManagedObjectPtr addTerminalParam(const ManagedObjectPtr& terminal, const std::string& name,
                                      const std::optional<std::string>& value);
    // A terminal bound to this device by its TS_UID row.
    ManagedObjectPtr addThisTerminal(const std::string& terminalId, const std::optional<std::string>& number = {});
    void save();

private:
    TempHome home_;
    std::shared_ptr<ObjectContext> context_;
};

} // namespace tavlo::test
