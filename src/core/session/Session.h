#pragma once

#include "core/order/OrderType.h"
#include "core/records/Rule.h"
#include "core/session/Rights.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class ManagedObject;
class Model;
class ObjectContext;
class PrinterStream;
using ManagedObjectPtr = std::shared_ptr<ManagedObject>;

// The signed-in user on this terminal: who the user and the terminal are, what the user may do,
// the store's day state, this terminal's cash drawers, the order and payment types on offer, the
// store's rules. Every answer is a fresh read of the local store in the session's context; the
// session keeps no copy of store data. Used on the main thread with the main context.
class Session {
public:
    // Reads the lite flag, the store's name, state and city, and the user defaults "animation",
    // "store_id" and "password". Signs nobody in. The context's merge policy becomes overwrite.
    explicit Session(ObjectContext* context);

    // Signs the user in on the terminal bound to this device: YES when the user exists, is not
    // disabled and has "STORE_LOGIN". Every attempt is written to the log.
    bool authenticate(const std::string& userId);
    void invalidate();
    bool isValid() const { return dateStarted_.has_value(); }
    // The user's name up to its first blank; "?" without one.
    std::string firstName() const;
    bool isLite() const { return lite_; }

    // Rights. A user on the clock under a role has that role's permissions and the user's own;
    // otherwise every role of the user counts. Names compare exactly.
    bool isGranted(Right right) { return isGranted(Rights::text(right)); }
    bool isGranted(Right right, const std::optional<std::string>& userId) {
        return isGranted(Rights::text(right), userId);
    }
    bool isGranted(Right right, const ManagedObjectPtr& user) { return isGranted(Rights::text(right), user); }
    // By name, for rights named at run time (a tender's, a manager's authorisation).
    bool isGranted(const std::string& permission);
    bool isGranted(const std::string& permission, const std::optional<std::string>& userId);
    bool isGranted(const std::string& permission, const ManagedObjectPtr& user);
    // The role of the user's open attendance, nil when none or when it has no role.
    std::optional<std::string> currentRole(const std::optional<std::string>& userId);
    bool canAccessOrder(const std::optional<std::string>& remoteId);
    // YES when the user has an open attendance (neither ended nor reconciled).
    bool isClockedIn(const std::optional<std::string>& userId);

    // The userId of the user with that sign-in number / employee card data.
    std::optional<std::string> userFromNumber(const std::optional<std::string>& number);
    std::optional<std::string> userFromTrackData(const std::optional<std::string>& trackData);

    // Configuration answers.
    bool isUsingGratuity();
    // The stored order types that have a screen label, in order of type; refund only for a user
    // with "REFUND".
    std::vector<OrderType> orderTypes();
    // The quick-sale order types; refund only for a new order and a user with "REFUND".
    std::vector<OrderType> qsOrderTypes(bool isNew);
    std::vector<int32_t> paymentTypes();
    // Enabled rules of the type (all types for nil), in order of type.
    std::vector<Rule> rules(const std::optional<std::string>& type);
    // YES when "HH_MINIMUM_VERSION" names a newer dotted version than this program's.
    bool isUpgradeRequired();
    // YES when `version` is older than `minimum`, compared number by number over the minimum's
    // components (missing components of the version count as 0).
    static bool isVersionBelow(const std::string& version, const std::string& minimum);
    // Seconds, rounded; 5 when not configured.
    int printTimeout();
    std::optional<std::string> printerURL();
    std::optional<std::string> terminalDisplayArea();

    // Store day.
    bool isStoreOpen();
    std::optional<Date> storeOpenDate();
    std::optional<Date> lastOpenDate();
    std::optional<Date> storeCloseDate();
    // Opens the business day through the order handler and, in lite mode, the card batch of the
    // store's card host. YES once the day is open, even when the batch failed (then `error` says
    // "Unable to open batch (...)"). SessionStoreDay.cpp.
    bool openStore(Error* error);
    // A terminal that signs in while the day is open (a new or replaced till) takes part in it:
    // in lite mode its card batch is opened for the day's opening date unless it has one open
    // already. NO with "Unable to open batch (...)" when that failed; YES when the day is closed.
    bool joinOpenDay(Error* error);
    // Closes the business day with both handlers paused meanwhile (and resumed in every case);
    // in lite mode after the close checks and the card batch's settlement.
    bool closeStore(Error* error);
    // Opens the drawer without a sale: queues the no-sale and kicks the drawer on the receipt
    // printer. NO without a printer or when it does not open.
    bool noSale(const std::optional<std::string>& drawerId, const std::optional<std::string>& authorizedBy,
                Error* error);

    // Cash drawers.
    bool hasCashDrawer();
    std::vector<std::string> cashDrawerIds();
    std::optional<std::string> cashDrawerId(const std::optional<std::string>& url);
    // The drawer's number on the terminal's receipt printer; -1 when the terminal has no entry.
    static int cashDrawerURL(const std::optional<std::string>& drawerId, const std::optional<std::string>& terminalId,
                             ObjectContext* context);
    static std::optional<std::string> cashDrawerName(const std::optional<std::string>& drawerId,
                                                     ObjectContext* context);
    bool isAnyDrawerCashedIn();
    bool isCashedIn(const std::optional<std::string>& drawerId);
    // Drawer id to name: the drawers of this terminal the user has cashed in and not out.
    std::map<std::string, std::string> cashedInDrawers(const std::optional<std::string>& userId);

    // Settings of a card host: every store parameter "HOST_<HOST>_*" (the name in upper case), by full name.
    static std::map<std::string, std::string> getHostConfig(const std::optional<std::string>& hostName,
                                                            ObjectContext* context);
    // The enabled terminals on the network other than the one at `address` (compared in its
    // short form), in order of number.
    static std::vector<ManagedObjectPtr> getOtherTerminals(const std::optional<std::string>& address,
                                                           ObjectContext* context);
    // Of the volume that holds the data directory; 0 when it cannot be read.
    static uint64_t diskCapacity();
    static uint64_t freeDiskSpace();
    // "1.50 MB" and the like; "%u Bytes" up to 1024.
    static std::string formatSpace(uint64_t bytes);

    // Properties.
    bool useAnimation() const { return useAnimation_; }
    void setUseAnimation(bool v) { useAnimation_ = v; }
    const std::optional<std::string>& storeId() const { return storeId_; }
    void setStoreId(std::optional<std::string> v) { storeId_ = std::move(v); }
    const std::optional<std::string>& storeName() const { return storeName_; }
    void setStoreName(std::optional<std::string> v) { storeName_ = std::move(v); }
    const std::optional<std::string>& storeState() const { return storeState_; }
    void setStoreState(std::optional<std::string> v) { storeState_ = std::move(v); }
    const std::optional<std::string>& storeCity() const { return storeCity_; }
    void setStoreCity(std::optional<std::string> v) { storeCity_ = std::move(v); }
    const std::optional<std::string>& password() const { return password_; }
    void setPassword(std::optional<std::string> v) { password_ = std::move(v); }
    const std::optional<std::string>& userId() const { return userId_; }
    void setUserId(std::optional<std::string> v) { userId_ = std::move(v); }
    const std::optional<std::string>& userName() const { return userName_; }
    void setUserName(std::optional<std::string> v) { userName_ = std::move(v); }
    const std::optional<std::string>& userEmail() const { return userEmail_; }
    void setUserEmail(std::optional<std::string> v) { userEmail_ = std::move(v); }
    const std::optional<std::string>& terminalId() const { return terminalId_; }
    void setTerminalId(std::optional<std::string> v) { terminalId_ = std::move(v); }
    const std::optional<std::string>& terminalName() const { return terminalName_; }
    void setTerminalName(std::optional<std::string> v) { terminalName_ = std::move(v); }
    const std::optional<std::string>& terminalNumber() const { return terminalNumber_; }
    void setTerminalNumber(std::optional<std::string> v) { terminalNumber_ = std::move(v); }
    const std::optional<std::string>& terminalAreaId() const { return terminalAreaId_; }
    void setTerminalAreaId(std::optional<std::string> v) { terminalAreaId_ = std::move(v); }
    const std::optional<Date>& dateStarted() const { return dateStarted_; }
    void setDateStarted(std::optional<Date> v) { dateStarted_ = v; }
    // The object model, held for the creator; signing out keeps it.
    const Model* managedObjectModel() const { return model_; }
    void setManagedObjectModel(const Model* v) { model_ = v; }
    ObjectContext* managedObjectContext() const { return context_; }
    void setManagedObjectContext(ObjectContext* v) { context_ = v; }
    // The receipt printer; set by the sign-in screen.
    const std::shared_ptr<PrinterStream>& printerStream() const { return printerStream_; }
    void setPrinterStream(std::shared_ptr<PrinterStream> v) { printerStream_ = std::move(v); }

private:
    ManagedObjectPtr thisTerminal();
    ManagedObjectPtr latestBatch();
    std::vector<OrderType> listedOrderTypes(const std::function<bool(OrderType)>& offered);
    void logFailedTerminal();
    // In lite mode, the card host's batch opened for the day that opened at `openDate`.
    bool openCardBatch(Date openDate, Error* error);

    const Model* model_ = nullptr;
    ObjectContext* context_ = nullptr;
    bool lite_ = false;
    bool useAnimation_ = false;
    std::optional<std::string> storeId_, storeName_, storeState_, storeCity_, password_;
    std::optional<std::string> userId_, userName_, userEmail_;
    std::optional<std::string> terminalId_, terminalName_, terminalNumber_, terminalAreaId_;
    std::optional<Date> dateStarted_;
    std::shared_ptr<PrinterStream> printerStream_;
};

// What a session that may be missing answers: nil without one.
inline ObjectContext* contextOf(const Session* session) { return session ? session->managedObjectContext() : nullptr; }
inline std::optional<std::string> userOf(const Session* session) { return session ? session->userId() : std::nullopt; }
inline std::optional<std::string> terminalOf(const Session* session) {
    return session ? session->terminalId() : std::nullopt;
}

} // namespace tavlo
