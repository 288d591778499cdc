#pragma once

#include "payments/PaymentHandler.h"
#include "platform/store/ManagedObject.h"

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

class Order;
class Payment;

// The base of every card gateway handler: capability defaults, the abstract gateway operations,
// and the terminal's own record of card batches and transactions in the object store (Host,
// Batch, Transaction, TransactionField). A host is one (gateway name, merchant, terminal); its
// batch and transaction numbers run from 1 to a maximum and start again at 1. Since numbers
// repeat, a transaction is always looked up within a batch of its host, and a look-up by number
// alone takes the newest row. Nothing here saves unless it says so.
class PaymentHandlerAdapter : public PaymentHandler {
public:
    // `context` is the store context the records live in; it must outlive the handler.
    PaymentHandlerAdapter(std::string hostName, ObjectContext* context);

    // The gateway name in upper case ("LARCH").
    const std::string& hostName() const { return hostName_; }
    ObjectContext* managedObjectContext() const { return context_; }

    bool canAuthorize() const override { return false; }
    bool canAdjust() const override { return true; }
    bool canRefund() const override { return false; }
    bool canCancel() const override { return true; }
    bool allowManual() const override { return true; }

    // A gateway handler provides these; here they throw InconsistencyError.
    int32_t openBatch(const HostConfig& config, std::optional<Date> openDate, Error* error) override;
    bool closeBatch(const HostConfig& config, const std::vector<std::string>& transactionIds, Error* error) override;
    std::shared_ptr<PaymentTransaction> newTransaction(const HostConfig& config, Error* error) override;
    std::shared_ptr<PaymentTransaction> transaction(const std::optional<std::string>& transactionId,
                                                    const HostConfig& config) override;
    bool sale(PaymentTransaction& transaction, const HostConfig& config, Error* error) override;
    bool authorize(PaymentTransaction& transaction, const HostConfig& config, Error* error) override;
    bool adjust(PaymentTransaction& transaction, const HostConfig& config, Error* error) override;
    bool refund(PaymentTransaction& transaction, const HostConfig& config, Error* error) override;
    bool cancel(PaymentTransaction& transaction, const HostConfig& config, Error* error) override;
    void restoreBatch(std::optional<Date> openDate, ObjectContext& context) override;

    // Requests sent without an answer: the handler asks its gateway about them (of one order when
    // `orderId` is given) and stores what it learns; then every approved charge is put on its
    // stored order (attachCharges), but for the order `orderId`, which the caller holds and
    // completes itself (storedCharges). False with `error` when a request stays unknown. Here:
    // nothing is ever unknown.
    virtual bool checkCharges(const HostConfig& config, const std::optional<std::string>& orderId, Error* error);
    // The order (any order when none is given) has a request whose answer is not known: it must
    // not be charged again until checkCharges learnt what became of it.
    virtual bool hasUnknownCharge(const HostConfig& config, const std::optional<std::string>& orderId);
    // The approved, unvoided sales and returns of the host's open batches that name their order (field
    // CardAttempts::kOrderField) and that no stored payment holds yet: of that order, or of every
    // order.
    std::vector<ManagedObjectPtr> storedCharges(const std::optional<std::string>& orderId = std::nullopt);
    // The gateway's reference of a stored charge.
    static std::optional<std::string> hostReference(const ManagedObjectPtr& charge);
    // The new card payment of `order` a stored charge is.
    static std::shared_ptr<Payment> paymentOf(const ManagedObjectPtr& charge, const Order& order);
    // Every stored charge whose order is stored without it gets it as a card payment, handed over
    // like any changed order (OrderSender); the order `heldOrderId` is left to its holder. False
    // with `error` when an order could not take it.
    bool attachCharges(const std::optional<std::string>& heldOrderId, Error* error);

    // The fields that carry card track data in any form; they are never stored.
    static const std::vector<std::string>& trackDataFields();

    // The open business day's opening date; nil while the store is closed.
    std::optional<Date> startDate();
    // The gateway's settings: every store parameter "HOST_<hostName>_*", by name.
    static HostConfig getHostConfig(std::string_view hostName, ObjectContext& context);

    // The host row of this gateway for the merchant and terminal, inserted when missing.
    ManagedObjectPtr getHost(const std::string& merchant, const std::string& terminal);
    // Records the opening (or settling, when `settledDate` is given) of the batch; a settled batch
    // is never opened again: its number, once the numbers wrapped, gets a new batch.
    ManagedObjectPtr saveBatch(int32_t batchId, const std::string& merchant, const std::string& terminal,
                               std::optional<Date> openDate, std::optional<Date> settledDate);
    void deleteBatch(int32_t batchId, const std::string& merchant, const std::string& terminal);
    bool isBatchOpen(int32_t batchId, const std::string& merchant, const std::string& terminal);
    // No transaction, or only voided ones.
    bool isBatchEmpty(int32_t batchId, const std::string& merchant, const std::string& terminal);
    // The number of the host's latest batch, -1 when there is none.
    int32_t latestBatchId(const std::string& merchant, const std::string& terminal);
    // The newest batch of the host with that number, or null.
    ManagedObjectPtr getBatch(int32_t batchId, const std::string& merchant, const std::string& terminal);

    // The host's next number (1 after `maxId`, and 1 for a new host), stored and saved at once;
    // -1 with the store's error when the save fails.
    int32_t nextBatchId(const std::string& merchant, const std::string& terminal, int32_t maxId, Error* error);
    int32_t nextTransactionId(const std::string& merchant, const std::string& terminal, int32_t maxId, Error* error);

    // The host's newest stored transaction of that number, or null.
    ManagedObjectPtr transactionFromDB(const std::optional<std::string>& transactionId, const std::string& merchant,
                                       const std::string& terminal);
    // The stored transaction of the given batch, or null.
    ManagedObjectPtr transactionInBatch(int32_t transactionId, const ManagedObjectPtr& batch);
    // Fills `transaction` from the host's newest stored transaction whose field `fieldName` holds
    // `hostId` (a gateway reference); false when there is none.
    bool transactionByHostId(PaymentTransaction& transaction, const std::string& hostId, const std::string& fieldName,
                             const std::string& merchant, const std::string& terminal);
    // Stores the transaction into the batch (the same rows when saved again) without its track
    // data, which is also removed from the transaction, and saves the context.
    bool saveTransaction(PaymentTransaction& transaction, int32_t batchId, const std::string& merchant,
                         const std::string& terminal, Error* error);
    // Sets the stored field `name` of a Transaction row, inserting it when missing; `stored` is
    // the row's fields, kept up to date.
    void storeField(const ManagedObjectPtr& row, std::vector<ManagedObjectPtr>& stored, const std::string& name,
                    const std::string& value);
    // The batch's transaction numbers as texts, ascending.
    std::vector<std::string> transactionIds(int32_t batchId, const std::string& merchant, const std::string& terminal,
                                            bool includeVoids);
    // Settling check: every transaction of the batch must be one of the server's references
    // (`tavloIds`) and the other way round. The terminal's extra ones are voided at the gateway
    // (`cancelOrphans`) or marked voided here (`ignoreOrphans`).
    bool handleOrphans(int32_t batchId, const std::vector<std::string>& tavloIds, const std::string& merchant,
                       const std::string& terminal, bool cancelOrphans, bool ignoreOrphans, const HostConfig& config,
                       Error* error);
    // The meaning of a one-character card verification code.
    static std::string cvResponse(char code);

    // The stored transaction a remote terminal command names; null (logged) when a part is missing.
    static ManagedObjectPtr getTransaction(const std::optional<std::string>& transactionId,
                                           const std::optional<std::string>& hostName,
                                           const std::optional<std::string>& merchantId,
                                           const std::optional<std::string>& batchId, ObjectContext& context);

    static Error error(std::string text) { return Error(kErrorDomain, kErrorCode, std::move(text)); }

protected:
    // Numbering and the gateway operations of a handler run under this (re-entrant) lock.
    std::unique_lock<std::recursive_mutex> lock() { return std::unique_lock(mutex_); }

private:
    ManagedObjectPtr findHost(const std::string& merchant, const std::string& terminal);
    int32_t nextId(const char* attribute, const std::string& merchant, const std::string& terminal, int32_t maxId,
                   Error* error);

    std::string hostName_;
    ObjectContext* context_;
    std::recursive_mutex mutex_;
};

} // namespace tavlo
