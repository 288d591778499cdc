#pragma once

#include "platform/store/ObjectContext.h"
#include "sync/handlers/OperationAdapter.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tavlo {

// What the store load asks the store server for.
struct StoreDataRequest {
    std::string url;
    std::string storeId;
    std::string password;
    std::optional<std::string> associationCode;
    int timeout = 30;                       // seconds
    std::optional<std::string> storeUpdate; // last store update stamp ("0" on a full reload)
    std::optional<std::string> menuUpdate;  // last menu update stamp ("0" on a full reload)
    std::optional<std::string> terminalId;  // this device's terminal, when it has one
    bool logXml = false;
};

// The exchange that fetches the store data: the reply's text ("" when none came), with `error`
// set when the exchange failed.
using StoreDataSource = std::function<std::string(const StoreDataRequest& request, Error* error)>;

// The store load: fetches the store's configuration and menus from the store server and copies
// them into the local store in one write transaction, then posts "storeChange". The store handler
// queues an incremental load in each cycle; the set-up screens run a full reload with start() and
// read succeeded() and error() afterwards.
//
// A full reload, or a load for another store than the one stored, cleans the store first. A load
// is all or nothing: the readers change only the operation's context, which holds one write of
// the file from the reply's arrival to its save, flushing rows into it as they are read (so a
// large reply's rows never stand in memory at once), and commits it once.
class OperationSynchStore : public OperationAdapter {
public:
    static constexpr const char* kStoreChangeNotification = "storeChange";

    OperationSynchStore(std::string url, std::string storeId, std::string password, bool fullReload,
                        std::optional<std::string> associationCode, int timeout, bool logXml,
                        std::shared_ptr<ObjectStore> coordinator);

    void main() override;

    // Reads a reply into the context (nothing saved). True when it held at least one element that
    // was read; false, with error() set where there is one to tell, otherwise. The reply is taken
    // over and let go as it is read.
    bool synchStore(const std::string& storeId, std::string data, ObjectContext& context);
    // Deletes the store's configuration, menus and trading-day rows (IPHONE_* parameters stay);
    // not saved.
    static void cleanStore(ObjectContext& context);

    // The exchange that fetches the reply: the store server's request through CommHelper unless
    // another is set (tests, the benchmark).
    void setDataSource(StoreDataSource source) { dataSource_ = std::move(source); }

    bool succeeded() const { return succeeded_; }
    int timeout() const { return timeout_; }

private:
    void progress(const char* text) const;
    // synchStore under the load lock, which the caller holds.
    bool readReply(const std::string& storeId, std::string data, ObjectContext& context);

    bool reload_;
    bool logXml_;
    bool succeeded_ = false;
    int timeout_;
    std::string url_, storeId_, password_;
    std::optional<std::string> associationCode_;
    StoreDataSource dataSource_;
};

} // namespace tavlo
