#pragma once

#include "payments/PaymentHandlerAdapter.h"

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::test {

// A gateway transaction that keeps every field under the name it is given (generic names as the
// pay screen sets them). SUB_TOTAL is whole cents, TIP and TAX money text.
class FakePaymentTransaction : public PaymentTransaction {
public:
    bool wasApproved() const override { return approved_; }
    void setApproved(bool approved) { approved_ = approved; }
    // SUB_TOTAL + TIP + TAX
    int32_t approvedAmount() const override;
    std::optional<std::string> approvalCode() const override { return valueForField("APPROVAL"); }
    std::optional<std::string> responseMessage() const override { return valueForField("RESPONSE"); }
    std::optional<std::string> responseCardVerification() const override { return valueForField("CARD_CONF_RESULT"); }
    std::optional<std::string> hostData() const override { return valueForField("HOST_DATA"); }
    void setHostData(std::optional<std::string> data) override { setValue(std::move(data), "HOST_DATA"); }

    std::vector<std::string> getFields() const override;
    bool contains(std::string_view field) const override { return fields_.contains(field); }
    std::optional<std::string> valueForField(std::string_view field) const override;
    void setValue(std::optional<std::string> value, std::string_view field) override;
    void removeField(std::string_view field) override;
    const std::map<std::string, std::string, std::less<>>& fields() const { return fields_; }

private:
    std::map<std::string, std::string, std::less<>> fields_;
    bool approved_ = false;
};

// A card gateway handler for tests: batches and transactions are numbered and stored for real
// (through PaymentHandlerAdapter), and each gateway exchange answers as the test scripted it.
// Its host is ("FAKE" or the given name, HOST_<NAME>_MERCHANT, HOST_<NAME>_TERMINAL), numbers
// run to 9999.
class FakePaymentHandler : public PaymentHandlerAdapter {
public:
    enum class Operation { OpenBatch, CloseBatch, Sale, Authorize, Adjust, Refund, Cancel, RestoreBatch };
    enum class Outcome { Approve, Decline, Unreachable };

    struct Reply {
        Outcome outcome = Outcome::Approve;
        std::optional<std::string> approval = "A00001"; // set on approved sales, refunds and authorisations
        std::optional<std::string> hostData;            // the gateway's reference; "R<number>" when nil
        std::string message = "Transaction declined";   // the error text of a decline

        static Reply approve(std::optional<std::string> approval, std::optional<std::string> hostData) {
            return {Outcome::Approve, std::move(approval), std::move(hostData), {}};
        }
        static Reply decline(std::string message) { return {Outcome::Decline, std::nullopt, std::nullopt, message}; }
        static Reply unreachable() { return {Outcome::Unreachable, std::nullopt, std::nullopt, {}}; }
    };
    // What an exchange carried: the transaction's number and fields as they went out.
    struct Call {
        Operation operation;
        std::optional<std::string> transactionId;
        std::map<std::string, std::string, std::less<>> fields;
        std::vector<std::string> transactionIds; // closeBatch: the server's references
    };

    static constexpr int32_t kMaxId = 9999;
    static constexpr const char* kUnreachable = "Unable to communicate with the card gateway";
    static constexpr const char* kBatchClosed = "Batch is closed, please open store";

    explicit FakePaymentHandler(ObjectContext* context, std::string hostName = "FAKE");

    // The next exchange of that operation answers `reply`; unscripted ones approve.
    void script(Operation operation, Reply reply) { scripts_[operation].push_back(std::move(reply)); }
    const std::vector<Call>& calls() const { return calls_; }
    size_t callCount(Operation operation) const;

    void setAllowManual(bool allow) { allowManual_ = allow; }
    void setCanAdjust(bool can) { canAdjust_ = can; }
    void setCanRefund(bool can) { canRefund_ = can; }
    void setCanAuthorize(bool can) { canAuthorize_ = can; }
    void setCanCancel(bool can) { canCancel_ = can; }

    std::string merchant(const HostConfig& config) const;
    std::string terminal(const HostConfig& config) const;
    // A configuration naming this handler's merchant and terminal.
    HostConfig config(const std::string& merchant = "merchant1", const std::string& terminal = "T1") const;

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

    bool canAuthorize() const override { return canAuthorize_; }
    bool canAdjust() const override { return canAdjust_; }
    bool canRefund() const override { return canRefund_; }
    bool canCancel() const override { return canCancel_; }
    bool allowManual() const override { return allowManual_; }

private:
    Reply take(Operation operation);
    void record(Operation operation, const PaymentTransaction* transaction, std::vector<std::string> ids = {});
    // One gateway exchange of a transaction: answered as scripted, then stored in the latest batch.
    bool exchange(Operation operation, PaymentTransaction& transaction, const HostConfig& config, Error* error);
    std::string setting(const HostConfig& config, const char* key, const char* fallback) const;

    std::map<Operation, std::deque<Reply>> scripts_;
    std::vector<Call> calls_;
    bool allowManual_ = true, canAdjust_ = true, canRefund_ = true, canAuthorize_ = false, canCancel_ = true;
};

} // namespace tavlo::test
