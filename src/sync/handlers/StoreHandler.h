#pragma once

#include "platform/foundation/Operation.h"
#include "sync/handlers/OperationHandler.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tavlo {

// The handler that keeps the store's configuration, its customers, the remote terminal commands
// and the log upload in step with the server. Each run on Wi-Fi queues, in this order: the
// customer download (when enabled), the store load, the terminal commands and the log upload.
// A run that finds its previous set still queued or executing queues nothing new, so a slow
// server cannot make the queue grow.
class StoreHandler : public OperationHandler {
public:
    static constexpr const char* kClassName = "StoreHandler";

    // What the downloads of one run are made with.
    struct SynchArgs {
        std::string url;
        std::optional<std::string> storeId, password;
        int timeout = 0; // seconds; the store load's read time-out
        bool logXml = false;
        std::shared_ptr<ObjectStore> coordinator;
    };
    using SynchMaker = std::function<std::shared_ptr<Operation>(const SynchArgs& args)>;
    using CommandMaker =
        std::function<std::shared_ptr<Operation>(const std::string& url, std::shared_ptr<ObjectStore> coordinator)>;
    using LogsMaker = std::function<std::shared_ptr<Operation>(std::shared_ptr<ObjectStore> coordinator)>;
    // How each operation of a run is made; an empty maker leaves that operation out.
    struct Operations {
        SynchMaker customers;
        SynchMaker store;
        CommandMaker terminalCommand;
        LogsMaker logs;
        // The terminal's own operations.
        static Operations standard();
    };

    // The process's handler: made by the first call, later calls return it and ignore their
    // arguments.
    static std::shared_ptr<StoreHandler> getInstance(std::shared_ptr<ObjectStore> coordinator, const std::string& url,
                                                     const std::optional<std::string>& customerUrl, int interval,
                                                     bool queueing);
    // Throws InconsistencyError before the call above.
    static std::shared_ptr<StoreHandler> getInstance();
    // The handler when it was made, else null.
    static std::shared_ptr<StoreHandler> instance();
    // Forgets the process's handler (tests): it is paused and its timer disarmed.
    static void releaseInstance();

    StoreHandler(std::string url, std::shared_ptr<ObjectStore> coordinator, int interval, bool queueing);

    bool synchCustomers() const { return synchCustomers_.load(); }
    void setSynchCustomers(bool on) { synchCustomers_ = on; }
    std::optional<std::string> customerUrl() const;
    void setCustomerUrl(std::optional<std::string> url);
    void setOperations(Operations operations);

protected:
    void work() override;

private:
    std::atomic<bool> synchCustomers_{false};
    mutable std::mutex mutex_;
    std::optional<std::string> customerUrl_;
    Operations operations_;
};

} // namespace tavlo
