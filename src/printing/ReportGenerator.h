#pragma once

#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"
#include "printing/ReportValues.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class ManagedObject;
class Order;
class OrderTax;
class Selection;
class Session;

// The store's text reports as lines of a fixed width, for the report viewer and the receipt
// printer: the close report, the sales status, a cash drawer's and a user's cash in/out. In lite
// mode the close, sales status and drawer reports are worked out here from the business day's
// orders in the local store; in gateway mode the store server sends every report as ready lines.
// Every line fits the width it is asked for (42 on the terminal's screens and printers).
class ReportGenerator {
public:
    using Lines = std::vector<std::string>;

    explicit ReportGenerator(std::shared_ptr<Session> session) : session_(std::move(session)) {}

    // The close report; `preview` marks it as taken while the store is still open.
    Lines reportTotalSales(bool preview, int charsPerLine);
    Lines reportSalesStatus(int charsPerLine);
    // The drawer's open cash in/out, else its latest; nil in lite mode when it has none.
    std::optional<Lines> reportCashDrawer(const std::optional<std::string>& cashDrawerId, int charsPerLine,
                                          bool payments = true);
    // The user's latest cash out, from the server; nil in lite mode.
    std::optional<Lines> reportUser(const std::optional<std::string>& userId, int charsPerLine, bool payments);

    // The figures of the business day's orders (sorted by name).
    ReportValues generateValues(const std::optional<std::string>& batchId);
    // The title, an empty line, "FROM: ..." and "TO: ..." in words, an empty line.
    static Lines reportHeader(const std::string& title, std::optional<Date> from, std::optional<Date> to);

    // The close report's sections, each beginning with a rule of "=".
    Lines sectionOrders(const ReportValues& values, int charsPerLine);
    Lines sectionPaymentsSummary(const ReportValues& values, int charsPerLine);
    Lines sectionTaxes(const ReportValues& values, int charsPerLine);
    Lines sectionSales(const ReportValues& values, int charsPerLine);
    Lines sectionStats(const ReportValues& values, int charsPerLine);
    Lines sectionDiscounts(const ReportValues& values, int charsPerLine);
    Lines sectionComps(const ReportValues& values, int charsPerLine);
    Lines sectionGroupSalesByArea(const ReportValues& values, int charsPerLine);
    Lines sectionItemsSold(const ReportValues& values, int charsPerLine);
    Lines sectionMiscellaneous(const ReportValues& values, int charsPerLine);

    // The name of the group of the line's recipe; "Combo" for a combo without one, else
    // "Non grouped".
    std::string recipeGroup(const Selection& selection);

    const std::shared_ptr<Session>& session() const { return session_; }
    void setSession(std::shared_ptr<Session> session) { session_ = std::move(session); }

    static constexpr const char* kEndOfReport = "------ END OF REPORT ------";
    static constexpr const char* kNoReport = "No report available";

private:
    struct Period {
        std::optional<Date> from, to;
        std::optional<std::string> batchId;
    };
    // The open day up to now, or the last day from its opening to its close.
    Period period();
    // The business day's orders, sorted by name, each read from its row.
    void forEachOrder(const std::optional<std::string>& batchId, const std::function<void(const Order&)>& visit);
    void addOrder(const Order& order, ReportValues& values);
    // recipeGroup, asked once per recipe while the figures are summed.
    const std::string& recipeGroupCached(const Selection& selection);
    // The tax's line label ("State (8.25%):"), made once per tax name and rate.
    const std::string& taxKeyCached(const OrderTax& tax);
    // The lines of a server report, or one line saying why there are none.
    static Lines serverLines(const std::optional<Lines>& lines, const Error& error);
    std::shared_ptr<ManagedObject> cashRecord(const std::optional<std::string>& drawerId);
    Lines liteCashDrawer(const std::shared_ptr<ManagedObject>& row, int charsPerLine, bool payments);

    std::shared_ptr<Session> session_;
    // The groups by recipe id, of other lines and of combos.
    std::array<std::map<std::string, std::string, std::less<>>, 2> groupNames_;
    std::map<std::pair<std::string, int32_t>, std::string> taxKeys_;
};

} // namespace tavlo
