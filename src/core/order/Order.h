#pragma once

#include "core/order/ActivityLog.h"
#include "core/order/OrderDiscount.h"
#include "core/order/OrderTax.h"
#include "core/order/OrderType.h"
#include "core/order/Payment.h"
#include "core/order/Selection.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"

#include <libxml/tree.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class ManagedObject;
class ObjectContext;
class Session;

// One guest check: its header, its lines (Selection and ComboSelection), its tenders, its
// order-level discounts, its tax lines and the activity-log entries that wait to be sent, with the
// money arithmetic over them. Two dirty flags decide whether the order must be sent. The order
// keeps the recipes' availability counts in the session's context in step with the units
// ordered; they are saved with the order.
// No locking: used on the caller's thread with the session's context.
class Order {
public:
    using Text = std::optional<std::string>;
    using PaymentPtr = std::shared_ptr<Payment>;
    using DiscountPtr = std::shared_ptr<OrderDiscount>;

    // A new, empty order: `new` set, `modified` clear.
    Order();
    // A new order whose gratuity rules come from the configuration values
    // "TIP_AND_GRATUITY_AFTER_TAX" and "TIP_AND_GRATUITY_BEFORE_COMP_AND_DISC".
    explicit Order(ObjectContext* context);
    // The stored order (OrderPersistence.cpp), with the gratuity rules as above.
    Order(const ManagedObject& stored, ObjectContext* context);
    ~Order();
    Order(const Order&) = delete;
    Order& operator=(const Order&) = delete;

    // ---- Flags
    bool new_() const { return isNew_; }
    // Set, or some line is new or modified, or some payment is new or modified.
    bool modified() const;
    void savedRemotely() { isNew_ = false, modified_ = false; }
    // For the persistence code.
    void setNew(bool v) { isNew_ = v; }
    void setModified(bool v) { modified_ = v; }

    // ---- Local store, server XML and copies (OrderPersistence.cpp)
    // Stores the order with its lines, tenders, discounts and taxes in its row (found by the
    // server's id, else ours, else new); lines and taxes no longer on the order lose their rows.
    // Clears both flags. Not saved.
    std::shared_ptr<ManagedObject> write(ObjectContext& context);
    // Loads the stored order; both flags end clear.
    void read(const ManagedObject& row);
    // Reads at once, by relationship, what read takes from each of many stored orders (lines,
    // their sides and parts, tenders, discounts, taxes and the rows they name), so that reading
    // them one by one afterwards reads nothing more. They stay in the context while held: inside
    // a ReadScope that holds objects.
    static void prefetch(ObjectContext& context, const std::vector<std::shared_ptr<ManagedObject>>& rows);
    // Loads an order (or order summary) element of a server reply; lines, tenders, discounts and
    // taxes are appended. Both flags end clear.
    void read(xmlNodePtr element, xmlDocPtr doc, ObjectContext* context);
    // This order's stored tax line of that name.
    std::shared_ptr<ManagedObject> getOrderTax(const Text& taxName, ObjectContext& context) const;
    // Takes over the other order's header, taxes, active discounts, lines and tenders (shared,
    // not copied); `new`, `modified` and `split` end clear.
    void copy(const Order& other);
    // A new order with this header and copies of the lines, discounts and taxes, for printing and
    // sending; no server id, close time or tenders.
    std::shared_ptr<Order> clone() const;
    // The header (without the remote id) and copies of the taxes only.
    std::shared_ptr<Order> shallowClone() const;
    // Forgets the sent activity log and the removed discounts.
    void clearTempData();
    // Hands a modified order to the order handler (OrderSend.cpp); an unmodified one needs nothing.
    // In lite mode the kitchen tickets of the units just sent are printed from a copy taken
    // before the send; their outcome does not change the answer, but a ticket that did not print
    // leaves its error in `error`.
    bool send(Session& session, Error* error);
    // Told once a send is over, whatever its outcome: null when it succeeded, else its error.
    using SendDone = std::function<void(const Error* error)>;
    // The same send, then `done`; `error` also receives a ticket's error after a send that stood.
    bool send(Session& session, const SendDone& done, Error* error);

    // ---- Lines. A null session changes no availability and logs no user or terminal.
    void addSelection(const SelectionPtr& selection, Session* session);
    // Voids the line (it stays, with a `deleted` date). `forcedBy`: the authorising user.
    void removeSelection(const SelectionPtr& selection, const Text& forcedBy, Session* session);
    // A line moved to another order (a split): voided here, its stock kept, as it is still sold.
    void removeMovedSelection(const SelectionPtr& selection, const Text& forcedBy, Session* session);
    void decrement(const SelectionPtr& selection, const Text& forcedBy, Session* session);
    void increment(const SelectionPtr& selection, Session* session);
    // Gives back the stock that the unsent units of the active lines took.
    void rollbackAvailability(ObjectContext* context);
    std::vector<SelectionPtr> activeSelections() const;
    std::vector<SelectionPtr> deletedSelections() const;
    const std::vector<SelectionPtr>& getSelections() const { return selections_; }
    const std::vector<SelectionPtr>& selections() const { return selections_; }
    bool isEmpty() const;

    // ---- Tenders
    void addPayment(const PaymentPtr& payment);
    void removePayment(const PaymentPtr& payment);
    const std::vector<PaymentPtr>& getPayments() const { return payments_; }
    const std::vector<PaymentPtr>& payments() const { return payments_; }
    bool hasPayments() const { return !payments_.empty(); }
    bool hasNewPayments() const;
    bool hasOpenTab() const;
    // The latest payment; the first of equal times; null without payments.
    PaymentPtr lastPayment() const;

    // ---- Discounts
    void addDiscount(const DiscountPtr& discount);
    void removeDiscount(const DiscountPtr& discount);
    void removeDiscounts();
    std::vector<DiscountPtr> activeDiscounts() const;
    const std::vector<DiscountPtr>& discounts() const { return discounts_; }

    // ---- Taxes
    std::vector<OrderTax> getTaxes() const { return taxes_; }
    const std::vector<OrderTax>& taxes() const { return taxes_; }
    void setTaxes(std::vector<OrderTax> taxes) { taxes_ = std::move(taxes); }
    void addTax(OrderTax tax) { taxes_.push_back(std::move(tax)); }

    // ---- Activity log
    void addLog(const ActivityLog& entry);
    void addLog(const Text& action, const Text& name, const Text& description, const Text& byUser, const Text& forcedBy,
                const Text& onTerminal, const Text& oldValue, const Text& newValue, Session* session);
    const std::vector<ActivityLog>& logs() const { return logs_; }
    // Re-opens a closed order with a log entry; an open order is left alone.
    void reOpen(const Text& forcedBy, Session* session);

    bool isOpen() const { return !closed_.has_value(); }
    bool isQuickSale() const { return !areaLocationId_.has_value(); }

    // ---- Totals, in cents. Recomputed from the lines on every call.
    int32_t getSubTotal(const Selection& selection) const;
    int32_t getSubTotal() const;
    int32_t compPerUnit(const Selection& selection) const;
    int32_t getCompTotal() const;
    int32_t getDiscountTotal() const;
    int32_t getTaxTotal() const { return calculateTax(std::nullopt, nullptr); }
    int32_t getTax(const Text& taxName) const { return calculateTax(taxName, nullptr); }
    int32_t getTaxFor(const Selection& selection) const { return calculateTax(std::nullopt, &selection); }
    int32_t getTotal() const;
    int32_t getGratuity() const;
    int32_t getPaid() const;
    int32_t getGratuityPaid() const;
    int32_t getDue() const { return getTotal() - getPaid(); }
    // The order's tax of one tax (nil: all) over one line (null: all lines).
    int32_t calculateTax(const Text& taxName, const Selection* line) const;
    // The tax of `units` units of a line at `netCharge` each, less `discount` spread from the first
    // unit on. For a tax-included line `netCharge` is the gross price and the result its included tax,
    // scaled to the net the discount leaves.
    int32_t getTax(const Text& taxName, const Selection& selection, int32_t units, int32_t netCharge,
                   int32_t discount) const;
    // The order's tax worked unit by unit.
    int32_t getTax(const Text& taxName, const Selection* line) const;
    // The lines in the order discounts are spread over: those exempt from every tax, then the rest
    // by their lowest applicable rate, then entry order.
    std::vector<SelectionPtr> sortSelectionsByLowestTax() const;

    // ---- Close rules, from the configuration.
    bool needsOrderCloseReceipt(Session& session) const;
    bool needsAutoClose(Session& session) const;
    bool needsCashAutoClose(Session& session) const;

    // ---- Order types
    // Labels of an order type on the wire and in the local store, on screen and in the menu's
    // type picker (localised); empty for a number of no type.
    static std::string typeLabel(OrderType type);
    static std::string typeUILabel(OrderType type);
    static std::string typeAbbreviation(OrderType type);
    // Case-insensitive match of the labels; take out when none matches.
    static OrderType typeFromXMLLabel(const Text& label);
    static OrderType typeFromUILabel(const Text& label);

    // ---- Header. Setters with rules say so.
    const Text& batchId() const { return batchId_; }
    void setBatchId(Text v) { batchId_ = std::move(v); }
    const Text& remoteId() const { return remoteId_; }
    void setRemoteId(Text v) { remoteId_ = std::move(v); }
    const Text& orderId() const { return orderId_; }
    void setOrderId(Text v) { orderId_ = std::move(v); }
    const Text& name() const { return name_; }
    void setName(const Text& v); // marks modified unless new
    int32_t seats() const { return seats_; }
    void setSeats(int32_t v); // marks modified, also on a new order
    OrderType orderType() const { return orderType_; }
    void setOrderType(OrderType v); // marks modified unless new
    const Text& terminalId() const { return terminalId_; }
    void setTerminalId(Text v) { terminalId_ = std::move(v); }
    const Text& serverId() const { return serverId_; }
    void setServerId(const Text& v); // nil keeps the server; marks modified unless new
    const Text& areaId() const { return areaId_; }
    void setAreaId(Text v) { areaId_ = std::move(v); }
    const Text& areaLocationId() const { return areaLocationId_; }
    void setAreaLocationId(Text v) { areaLocationId_ = std::move(v); }
    const std::optional<Date>& created() const { return created_; }
    void setCreated(std::optional<Date> v) { created_ = v; }
    const std::optional<Date>& updated() const { return updated_; }
    void setUpdated(std::optional<Date> v) { updated_ = v; }
    const std::optional<Date>& closed() const { return closed_; }
    void setClosed(std::optional<Date> v) { closed_ = v; }
    bool taxOverride() const { return taxOverride_; }
    void setTaxOverride(bool v) { taxOverride_ = v; }
    bool split() const { return split_; }
    void setSplit(bool v) { split_ = v; }
    bool tipGratuityAfterTax() const { return tipGratuityAfterTax_; }
    void setTipGratuityAfterTax(bool v) { tipGratuityAfterTax_ = v; }
    bool tipGratuityBeforeCompDisc() const { return tipGratuityBeforeCompDisc_; }
    void setTipGratuityBeforeCompDisc(bool v) { tipGratuityBeforeCompDisc_ = v; }
    int32_t summaryDue() const { return summaryDue_; }
    void setSummaryDue(int32_t v) { summaryDue_ = v; }
    int32_t summaryPaid() const { return summaryPaid_; }
    void setSummaryPaid(int32_t v) { summaryPaid_ = v; }
    int32_t summaryTotal() const { return summaryTotal_; }
    void setSummaryTotal(int32_t v) { summaryTotal_ = v; }
    int32_t summaryTax() const { return summaryTax_; }
    void setSummaryTax(int32_t v) { summaryTax_ = v; }
    const Text& customerId() const { return customerId_; }
    void setCustomerId(const Text& v); // marks modified unless new
    const Text& customerRemoteId() const { return customerRemoteId_; }
    void setCustomerRemoteId(const Text& v); // marks modified unless new
    int32_t gratuityMinSeats() const { return gratuityMinSeats_; }
    void setGratuityMinSeats(int32_t v) { gratuityMinSeats_ = v; }
    void setGratuitySeats(int32_t v); // marks modified, also on a new order
    int32_t gratuityPercentage() const { return gratuityPercentage_; }
    void setGratuityPercentage(int32_t v); // marks modified, also on a new order

private:
    friend class StoredOrders; // reads many orders by column
    struct TaxPlan;
    TaxPlan taxPlan() const;
    // The positions of the lines sortSelectionsByLowestTax answers, in its order.
    std::vector<size_t> lowestTaxOrder(const TaxPlan& plan) const;
    bool pays(const Selection& selection, const OrderTax& tax, const TaxPlan& plan) const;
    int32_t unitsTax(const Text& taxName, const Selection& selection, int32_t units, int32_t netCharge,
                     int32_t discount, const TaxPlan& plan) const;
    int32_t includedTax(const Text& taxName, const Selection& selection, const std::vector<const OrderTax*>& paid,
                        int32_t units, int32_t gross, int32_t discount, const TaxPlan& plan) const;
    int32_t netOfIncludedTax(const Selection& selection, int32_t gross, const TaxPlan& plan) const;
    int32_t compPerUnit(const Selection& selection, const TaxPlan& plan) const;
    int32_t lineSubTotal(const Selection& selection, const TaxPlan& plan) const;
    int32_t lineAfterComp(const Selection& selection, const TaxPlan& plan) const;
    int32_t includedCompMarkdown(const Selection& selection) const;
    void changeAvailability(const Selection& selection, int32_t units, Session* session) const;
    bool holds(const SelectionPtr& selection) const;
    void logNotPartOf(const char* verb, const Selection& selection) const;
    void voidSelection(const SelectionPtr& selection, const Text& forcedBy, Session* session, bool giveStockBack);
    void logVoid(const Selection& selection, const std::string& description, const std::string& oldValue,
                 const std::string& newValue, const Text& forcedBy, Session* session);
    // Persistence helpers (OrderPersistence.cpp).
    void observe(const SelectionPtr& selection);
    void writeTaxes(const std::shared_ptr<ManagedObject>& row, ObjectContext& context) const;
    void writeSelections(const std::shared_ptr<ManagedObject>& row, ObjectContext& context) const;

    Text batchId_, remoteId_, orderId_, name_;
    int32_t seats_ = 0;
    OrderType orderType_ = orderTypeOf(0);
    Text terminalId_, serverId_, areaId_, areaLocationId_;
    std::optional<Date> created_, updated_, closed_;
    bool taxOverride_ = false, modified_ = false, isNew_ = true, split_ = false;
    bool tipGratuityAfterTax_ = false, tipGratuityBeforeCompDisc_ = false;
    int32_t summaryDue_ = 0, summaryPaid_ = 0, summaryTotal_ = 0, summaryTax_ = 0;
    Text customerId_, customerRemoteId_;
    int32_t gratuityMinSeats_ = 0, gratuityPercentage_ = 0;
    std::vector<ActivityLog> logs_;
    std::vector<OrderTax> taxes_;
    std::vector<SelectionPtr> selections_;
    std::vector<PaymentPtr> payments_;
    std::vector<DiscountPtr> discounts_;
};

} // namespace tavlo
