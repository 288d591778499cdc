#pragma once

#include "core/ports/BusinessDay.h"
#include "core/ports/CardBatch.h"
#include "core/ports/OrderSender.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tavlo::test {

// The order sender of a test: records each hand-over and, unless told to fail, leaves the order
// as a hand-over does (every unit counted as sent, nothing modified, the order written to the
// store it was handed over with).
class FakeOrderSender : public OrderSender {
public:
    struct Order {
        std::optional<std::string> remoteId, userId;
        ObjectContext* context = nullptr;
    };
    struct NoSale {
        std::optional<std::string> rowId, request, userId;
        ObjectContext* context = nullptr;
    };

    bool sendOrder(tavlo::Order& order, const std::optional<std::string>& userId, ObjectContext* context,
                   Error* error) override;
    bool sendNoSale(const std::optional<std::string>& rowId, const std::optional<std::string>& request,
                    const std::optional<std::string>& userId, ObjectContext* context, Error* error) override;

    std::vector<Order> orders;
    std::vector<NoSale> noSales;
    std::optional<Error> failure; // every hand-over fails with it
};

// The business day of a test: answers as scripted and records its calls by name ("openStore",
// "canClose", "closeStore", "pauseHandlers", "resumeHandlers", "getPaymentRefs") in order.
class FakeBusinessDay : public BusinessDay {
public:
    bool openStore(const std::optional<std::string>& userId, Date date, ObjectContext* context, Error* error) override;
    bool canClose(ObjectContext* context, Error* error) override;
    bool closeStore(const std::optional<std::string>& userId, Date date, ObjectContext* context, Error* error) override;
    void pauseHandlers() override;
    void resumeHandlers() override;
    std::optional<std::vector<std::string>> getPaymentRefs(long paymentType, const std::optional<std::string>& storeId,
                                                           const std::optional<std::string>& password,
                                                           const std::optional<std::string>& userId,
                                                           ObjectContext* context, Error* error) override;

    // Each answers false (nil for the references) with its error when set.
    std::optional<Error> openFailure, canCloseFailure, closeFailure, refsFailure;
    std::vector<std::string> paymentRefs;

    std::vector<std::string> calls;
    std::optional<std::string> userId; // of the last open or close
    std::optional<Date> date;          // of the last open or close
    long paymentType = 0;              // of the last reference request
    bool paused = false;

private:
    bool answer(const char* call, const std::optional<Error>& failure, Error* error);
};

// The card batch of a test: the hosts it has a handler for, answers as scripted, records its calls.
class FakeCardBatch : public CardBatch {
public:
    struct Call {
        std::string operation; // "openBatch" or "closeBatch"
        std::string host;
        HostConfig config;
        std::vector<std::string> transactionIds;
    };

    bool hasHandler(const std::string& host) override { return hosts.count(host) > 0; }
    int32_t openBatch(const std::string& host, const HostConfig& config, Date openDate, Error* error) override;
    bool closeBatch(const std::string& host, const HostConfig& config, const std::vector<std::string>& transactionIds,
                    Error* error) override;

    std::set<std::string> hosts;
    std::optional<Error> openFailure, closeFailure;
    std::vector<Call> calls;
};

// Installs the three fakes for the life of the scope.
struct FakePorts {
    FakePorts();
    ~FakePorts();
    FakePorts(const FakePorts&) = delete;
    FakePorts& operator=(const FakePorts&) = delete;

    std::shared_ptr<FakeOrderSender> sender = std::make_shared<FakeOrderSender>();
    std::shared_ptr<FakeBusinessDay> day = std::make_shared<FakeBusinessDay>();
    std::shared_ptr<FakeCardBatch> cards = std::make_shared<FakeCardBatch>();
};

} // namespace tavlo::test
