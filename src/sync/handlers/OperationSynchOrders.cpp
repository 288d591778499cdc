#include "sync/handlers/OperationSynchOrders.h"

#include "core/order/Order.h"
#include "core/ports/LoadProgress.h"
#include "core/records/CashInOut.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"
#include "xml/XmlHelper.h"

namespace tavlo {

namespace {

constexpr const char* kErrorDomain = CommHelper::kStoreServerErrorDomain;

bool named(xmlNodePtr node, const char* name) { return XmlHelper::isElementNamed(node, name); }

// The element after a run of elements so named, passing over text and comments between them.
xmlNodePtr afterRun(xmlNodePtr node, const char* name) {
    while (named(node, name)) node = xmlNextElementSibling(node);
    return node;
}

// When the day closes: the later of its last order close and its last cash-out, never before it
// opened. Only the day's own records count: a later close on another day says nothing of this one.
std::optional<Date> closingTime(const ManagedObject& day) {
    std::optional<Date> last = day.date("openedOn");
    auto later = [&last](std::optional<Date> date) {
        if (date && (!last || *date > *last)) last = date;
    };
    for (const ManagedObjectPtr& order : day.toMany("orders")) later(order->date("closed"));
    for (const ManagedObjectPtr& cash : day.toMany("cashInOuts")) later(cash->date("outDate"));
    return last;
}

// Opens the business day a downloaded record names: it follows the latest day, which is closed
// first when still open; the first day of all opens at time 0.
void openDay(const std::string& remoteId, ObjectContext& context) {
    ManagedObjectPtr latest =
        DBHelper::getObject("StoreBatch", {Predicate::format("max(openedOn) == openedOn")}, &context);
    Date openedOn(0);
    if (latest) {
        std::optional<Date> closedOn = latest->date("closedOn");
        if (!closedOn) {
            closedOn = closingTime(*latest);
            if (closedOn) latest->setValue("closedOn", *closedOn);
        }
        if (closedOn) openedOn = closedOn->addingSeconds(1);
    }
    ManagedObjectPtr day = context.insert("StoreBatch");
    day->setValue("remoteId", remoteId);
    day->setValue("openedOn", openedOn);
}

} // namespace

OperationSynchOrders::OperationSynchOrders(std::string url, std::optional<std::string> storeId,
                                           std::optional<std::string> password, bool fullReload,
                                           std::shared_ptr<ObjectStore> coordinator, bool /*logXml*/)
    : OperationAdapter(std::move(coordinator)), url_(std::move(url)), storeId_(std::move(storeId)),
      password_(std::move(password)), reload_(fullReload) {}

void OperationSynchOrders::progress(const std::string& text) const {
    if (reload_) LoadProgress::report(localized(text));
}

void OperationSynchOrders::main() {
    progress("Synching Orders and cash in/outs");
    std::unique_ptr<ObjectContext> context = newContext();
    if (!context) {
        setError(Error(kErrorDomain, -1, "No local store to synch into"));
        return;
    }
    Error readError;
    XmlDocPtr doc = CommHelper::getRecords("getOrderData", url_, storeId_, password_, std::nullopt,
                                           XmlHelper::getXmlRequest("getOrderData", "customerOrder.dtd", std::nullopt),
                                           CommHelper::timeout(Parameter::OrderHandlerReadTimeout, context.get()),
                                           context.get(), &readError);
    if (!doc) {
        if (CommHelper::isRefusal(readError))
            TAVLO_LOG_MAIL("Received error synching orders: %@", readError.localizedDescription());
        // Nothing is written; the next run asks again.
        setError(readError);
        return;
    }
    store(doc.get(), *context);
    if (Parameters::flag(Parameter::LogXml, context.get())) TAVLO_LOG("SynchOrders completed");
}

void OperationSynchOrders::store(xmlDocPtr doc, ObjectContext& context) {
    if (reload_) {
        TAVLO_LOG("Full order reload, removing all orders and cashInOuts");
        DBHelper::cleanObjects("CashInOut", &context);
        DBHelper::cleanObjects("Order", &context);
    }
    // Orders first, so that a day closed for a new one counts the orders just read; cash records
    // next, opening the days they name; then the orders again, to take the day now open.
    std::vector<xmlNodePtr> orderRuns, cashRuns;
    xmlNodePtr node = xmlFirstElementChild(xmlDocGetRootElement(doc));
    while (node) {
        if (named(node, "customerOrder")) {
            orderRuns.push_back(node);
            node = synchOrders(node, doc, nullptr, context);
        } else if (named(node, "cashInOut")) {
            cashRuns.push_back(node);
            node = afterRun(node, "cashInOut");
        } else {
            if (!named(node, "success"))
                TAVLO_LOG("Unknown orders element %s", reinterpret_cast<const char*>(node->name));
            node = xmlNextElementSibling(node);
        }
    }
    for (xmlNodePtr run : cashRuns) synchCashInOut(run, doc, context);
    OrderList orders;
    for (xmlNodePtr run : orderRuns) synchOrders(run, doc, &orders, context);

    Error saveError;
    if (!context.save(&saveError)) {
        if (!error()) setError(saveError);
        TAVLO_LOG_MAIL("Unable to save synch orders: %@", saveError.localizedDescription());
        context.rollback();
        return;
    }
    succeeded_ = true;
    if (!orderRuns.empty()) NotificationCenter::defaultCenter().post(OrderHandler::kOrdersChangeNotification, orders);
}

xmlNodePtr OperationSynchOrders::synchOrders(xmlNodePtr first, xmlDocPtr doc, OrderList* into,
                                             ObjectContext& context) const {
    progress("Synching Orders");
    xmlNodePtr node = first;
    for (; named(node, "customerOrder"); node = xmlNextElementSibling(node)) {
        auto order = std::make_shared<Order>(&context);
        order->read(node, doc, &context);
        if (reload_) LoadProgress::report(order->name().value_or(""));
        order->write(context);
        if (into) into->push_back(std::move(order));
    }
    return node;
}

xmlNodePtr OperationSynchOrders::synchCashInOut(xmlNodePtr first, xmlDocPtr doc, ObjectContext& context) const {
    progress("Synching cash in/out");
    xmlNodePtr node = first;
    for (; named(node, "cashInOut"); node = xmlNextElementSibling(node)) {
        CashInOut record;
        record.read(node, doc);
        // A gateway cash in kept here before the server's record came (id "-1") gives way to it.
        for (const ManagedObjectPtr& kept :
             context.fetch("CashInOut", "cashDrawer.cashDrawerId == %@", record.drawerId()))
            if (kept->text("cashInOutId") == "-1") context.deleteObject(kept);
        // A record that names no day opens none: it would close the current day for nothing.
        if (const std::optional<std::string>& batchId = record.batchId())
            if (!context.exists("StoreBatch", "remoteId == %@", *batchId)) openDay(*batchId, context);
        record.write(context);
    }
    return node;
}

bool OperationSynchOrders::updateOrderSummaries(const std::optional<std::string>& storeId,
                                                const std::optional<std::string>& password,
                                                const std::optional<std::string>& userId, const std::string& url,
                                                bool open, ObjectContext* context, RunExclusion outsideRuns,
                                                Error* error) {
    const bool logXml = Parameters::flag(Parameter::LogXml, context);
    if (logXml) TAVLO_LOG("Getting summaries");
    Error readError;
    XmlDocPtr doc =
        CommHelper::getRecords("getOrders", url, storeId, password, userId, XmlHelper::getXmlOrders(open),
                               CommHelper::timeout(Parameter::SocketConnectTimeout, context), context, &readError);
    if (logXml) TAVLO_LOG("Got summaries");
    if (!doc) {
        // An empty or unreadable reply is no list of orders either: the local ones stay.
        Error::set(error, CommHelper::isRefusal(readError)
                              ? readError
                              : Error(kErrorDomain, CommHelper::NoResponse,
                                      format("%@ %@", localized("Unable to connect"), url)));
        return false;
    }
    if (readError.isSet()) Error::set(error, readError); // a warning
    if (!context) {
        Error::set(error, kErrorDomain, -1, "No local store to keep the orders in");
        return false;
    }
    xmlNodePtr root = xmlDocGetRootElement(doc.get());
    std::optional<std::string> isOpen = XmlHelper::getAttributeValue(root, "isOpen");
    xmlNodePtr first = XmlHelper::getFirstChildNode(root, "orderSummary");

    RunExclusion::Guard noRun = outsideRuns.hold();
    context->setMergePolicy(ObjectContext::MergePolicy::Overwrite);
    DBHelper::cleanObjects("Order", context);
    // Saved apart: a summary must not find the row of the order it replaces.
    Error saveError;
    if (!context->save(&saveError)) {
        TAVLO_LOG_MAIL("Unable to delete old orders: %@", saveError.localizedDescription());
        context->rollback();
        Error::set(error, saveError);
        return false;
    }
    DBHelper::saveOrderSummaries(first, doc.get(), context);
    if (!context->save(&saveError)) {
        TAVLO_LOG_MAIL("Unable to save open orders: %@", saveError.localizedDescription());
        context->rollback();
        Error::set(error, saveError);
        return false;
    }
    if (logXml) TAVLO_LOG("Saved summaries");
    return !isOpen || boolValue(*isOpen);
}

} // namespace tavlo
