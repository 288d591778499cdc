#pragma once

#include "payments/CardAttempts.h"
#include "payments/LarchTransaction.h"
#include "payments/PaymentHandlerAdapter.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

// The Larch card gateway: sales, returns, tip adjustments and voids by form-encoded HTTP POST to
// the gateway's web service, recorded in the terminal's card batch; and the batch's close, which
// reconciles the terminal's records with the server's payment references and with the gateway's
// detail list before asking the gateway to capture all. Its settings are the store parameters
// HOST_LARCH_*; the user and RP values are also the stored host's merchant and terminal.
// Card data never reaches the log, and after an approval only the card number's last four
// digits are kept.
class LarchHandler : public PaymentHandlerAdapter {
public:
    static constexpr const char* kName = "LARCH";
    // Batch and transaction numbers run from 1 to this.
    static constexpr int32_t kMaxId = 9999;

    // Reads HOST_LARCH_ALLOW_MANUAL from the store once.
    explicit LarchHandler(ObjectContext* context);

    bool allowManual() const override { return allowManual_; }

    // The five required settings (the two addresses, user, password, RP) are present.
    static bool isValid(const HostConfig& config, Error* error);

    int32_t openBatch(const HostConfig& config, std::optional<Date> openDate, Error* error) override;
    bool closeBatch(const HostConfig& config, const std::vector<std::string>& transactionIds, Error* error) override;
    std::shared_ptr<PaymentTransaction> newTransaction(const HostConfig& config, Error* error) override;
    std::shared_ptr<PaymentTransaction> transaction(const std::optional<std::string>& transactionId,
                                                    const HostConfig& config) override;
    bool sale(PaymentTransaction& transaction, const HostConfig& config, Error* error) override;
    // Refused: the gateway is used for sales only.
    bool authorize(PaymentTransaction& transaction, const HostConfig& config, Error* error) override;
    // Sends the tip the caller set (TIP) as an adjustment and stores it.
    bool adjust(PaymentTransaction& transaction, const HostConfig& config, Error* error) override;
    bool refund(PaymentTransaction& transaction, const HostConfig& config, Error* error) override;
    bool cancel(PaymentTransaction& transaction, const HostConfig& config, Error* error) override;
    // Opens the day's batch and records in it every stored credit payment.
    void restoreBatch(std::optional<Date> openDate, ObjectContext& context) override;

    // Posts a request body; the reply's body, or nullopt with `error` when no reply came or the
    // gateway answered with an error status. A time-out of -1 (or below 1) means the default.
    std::optional<std::string> sendHTTP(const std::optional<std::string>& body, const std::string& url,
                                        int connectTimeout, int readTimeout, Error* error);
    // Sends the transaction under its own TransType and reads the reply into it; on approval the
    // card number is cut to its last four digits and expiry, track and security code dropped.
    bool capture(PaymentTransaction& transaction, const HostConfig& config, Error* error);
    // Voids at the gateway; a reference the gateway already voided counts as voided.
    bool sendCancel(PaymentTransaction& transaction, const HostConfig& config, Error* error);
    // The gateway's detail list of the transactions from `fromDate` to now; an Error element of
    // the list fills `error` (the list read so far is still answered).
    std::vector<std::shared_ptr<LarchTransaction>> hostDetails(int32_t batchId, Date fromDate, const HostConfig& config,
                                                               Error* error);
    // The detail query itself: the gateway's transactions from `fromDate` to `toDate`, of one
    // invoice when `invoice` is given; `query` carries the credentials.
    std::vector<std::shared_ptr<LarchTransaction>> queryDetails(LarchTransaction& query, Date fromDate, Date toDate,
                                                                const std::optional<std::string>& invoice,
                                                                const HostConfig& config, Error* error);
    // Asks the gateway about every request without an answer (of one order when `orderId` is
    // given): an approved sale or return it holds is stored as this terminal's and put on its
    // order as a payment, a void it holds marks ours voided, and the rest are dropped. Then every
    // approved charge of the open batches that its order lacks is put on it. False with `error`
    // when the gateway could not be asked: those requests stay unknown.
    bool checkCharges(const HostConfig& config, const std::optional<std::string>& orderId, Error* error) override;
    bool hasUnknownCharge(const HostConfig& config, const std::optional<std::string>& orderId) override;
    // Settles differences between the detail list and the stored transactions: tips the host has
    // otherwise are sent again, host-only payments are voided or refused.
    bool synchronizeTransactions(const std::vector<std::shared_ptr<LarchTransaction>>& details, int32_t batchId,
                                 const HostConfig& config, Error* error);
    using PaymentHandlerAdapter::handleOrphans;
    // The orphan check with the switches HOST_LARCH_CANCEL_ORPHAN_PAYMENTS and _IGNORE_.
    bool handleOrphans(int32_t batchId, const std::vector<std::string>& tavloIds, const HostConfig& config,
                       Error* error);

    // A request body or reply as the debug log may show it: card and credential values blanked.
    static std::string redacted(std::string_view text);

private:
    bool send(PaymentTransaction& transaction, const HostConfig& config, const char* transType, Error* error);
    bool settle(int32_t batchId, const std::string& merchant, const std::string& terminal, Error* error);
    // The batch that holds the stored transaction, else the latest: a void or adjustment of an
    // earlier batch's payment must not put a second copy of it into today's.
    int32_t storedBatchId(const PaymentTransaction& transaction, const std::string& merchant,
                          const std::string& terminal);
    bool debugging();
    // A detail entry the gateway has captured (settled) already.
    static bool settledOnHost(const PaymentTransaction& detail);
    // Every open transaction of the batch is in the detail list and settled there: the gateway
    // captured the batch.
    bool capturedOnHost(const std::vector<std::shared_ptr<LarchTransaction>>& details, int32_t batchId,
                        const std::string& merchant, const std::string& terminal);

    CardAttempts attemptsOf(const HostConfig& config);
    // The answer the gateway's detail entry gives to the unknown request `attempt` (none: the
    // gateway does not have it), stored; false with `error` when it cannot be.
    bool storeAnswer(const ManagedObjectPtr& attempt, const LarchTransaction* detail, const HostConfig& config,
                     Error* error);

    bool allowManual_;
};

} // namespace tavlo
