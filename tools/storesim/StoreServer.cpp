#include "StoreServer.h"
#include "CardCharges.h"
#include "ElementText.h"
#include "OrderMerge.h"

#include <httplib.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Text.h"
#include "xml/XmlHelper.h"
#include "xml/XmlStreamWriter.h"

namespace tavlo::storesim {

namespace {

constexpr const char* kDefaultRefusal = "StoreServerException: The request was refused";
constexpr const char* kDefaultWarning = "The request was taken with a warning";
constexpr const char* kKeyMismatchText = "KeyMismatchException: KeyMismatch, card data was encrypted with an old key";
constexpr const char* kErrorPage =
    "<html><head><title>500 Internal Server Error</title></head><body><h1>Internal Server Error</h1>"
    "<p>The request did not reach success: the server failed while handling it.</p></body></html>";

std::string escape(std::string_view text) { return XmlStreamWriter::escape(text); }

std::string element(const std::string& name, std::string_view text) {
    return "<" + name + ">" + escape(text) + "</" + name + ">";
}

std::string dump(xmlDocPtr doc, xmlNodePtr node) {
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, doc, node, 0, 0);
    std::string text(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                     static_cast<size_t>(xmlBufferLength(buffer)));
    xmlBufferFree(buffer);
    return text;
}

bool hasElementChildren(xmlNodePtr node) {
    for (xmlNodePtr c = node->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) return true;
    return false;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// An order's summary: its element renamed, without the children that hold elements of their own.
std::string summaryOf(const std::string& orderXml) {
    XmlDocPtr orderDoc = XmlHelper::parse(orderXml);
    xmlNodePtr summary = xmlDocGetRootElement(orderDoc.get());
    xmlNodeSetName(summary, reinterpret_cast<const xmlChar*>("orderSummary"));
    for (xmlNodePtr c = summary->children; c;) {
        xmlNodePtr next = c->next;
        if (c->type == XML_ELEMENT_NODE && hasElementChildren(c)) {
            xmlUnlinkNode(c);
            xmlFreeNode(c);
        }
        c = next;
    }
    return dump(orderDoc.get(), summary);
}

// What a record is kept under: its remoteId, else its own id (a cash record has only that).
std::optional<std::string> recordKey(xmlNodePtr record) {
    std::optional<std::string> remoteId = XmlHelper::getAttributeValue(record, "remoteId");
    if (remoteId) return remoteId;
    std::optional<std::string> id = XmlHelper::getAttributeValue(record, "id");
    if (id && !id->empty() && *id != "-1") return id;
    return std::nullopt;
}

// A reply body: the declaration and the `tavloReply` root (with the given attributes) around the
// given children.
std::string reply(const std::string& children, const std::string& attributes = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><tavloReply" + attributes + ">" + children + "</tavloReply>";
}

// The tender an order document's payment `type` names for a payment-reference request's type.
std::optional<std::string> tenderLabel(const std::string& paymentType) {
    if (paymentType == "2") return "credit";
    if (paymentType == "10") return "creditAuthOnly";
    return std::nullopt;
}

std::string withoutBlanks(std::string text) {
    std::erase_if(text, [](unsigned char c) { return std::isspace(c); });
    return text;
}

void removeChildren(xmlNodePtr parent, const char* name) {
    for (xmlNodePtr node : XmlHelper::getChildRun(parent, name)) {
        xmlUnlinkNode(node);
        xmlFreeNode(node);
    }
}

// Sends the status line and headers, then closes the connection instead of the body.
void dropReply(httplib::Response& response) {
    response.status = 200;
    response.set_content_provider(64, "text/xml", [](size_t, size_t, httplib::DataSink&) { return false; });
}

} // namespace

struct StoreServer::Held {
    // A card payment of the open day: its tender label and its reference at the card host.
    struct CardPayment {
        std::string type;
        std::string reference;
    };

    std::map<std::string, std::string> orders; // remoteId -> customerOrder element
    std::map<std::string, long> orderIds;
    long nextOrderId = 1001;
    std::map<std::string, std::map<std::string, std::string>> records; // kind -> remoteId -> element
    std::map<std::string, std::vector<std::string>> reports;
    std::optional<std::vector<std::string>> paymentRefs; // given by the test, in place of the day's
    std::map<std::string, CardPayment> dayCardPayments;  // payment remoteId -> what it holds
    bool dayOpen = true;
    std::map<std::string, long> announced;   // line remoteId -> the units the kitchen has
    std::map<std::string, std::string> cash; // the drawers' cashInOut records by id
    long nextCashId = 1;
    std::vector<std::string> usersNotCashedOut;
    std::vector<ReceivedRequest> requests;
};

StoreServer::StoreServer() : StoreServer(Options()) {}

StoreServer::StoreServer(Options options)
    : options_(std::move(options)), server_(std::make_unique<httplib::Server>()), held_(std::make_unique<Held>()) {
    held_->dayOpen = options_.dayOpen;
    server_->Post(".*",
                  [this](const httplib::Request& request, httplib::Response& response) { handle(request, response); });
}

StoreServer::~StoreServer() { stop(); }

int StoreServer::start(int port) {
    if (port == 0) port_ = server_->bind_to_any_port("127.0.0.1");
    else port_ = server_->bind_to_port("127.0.0.1", port) ? port : -1;
    if (port_ <= 0) throw std::runtime_error("storesim: cannot listen on 127.0.0.1:" + std::to_string(port));
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // A stop before the accept loop runs would go unseen by it.
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return port_;
}

void StoreServer::run(int port) {
    if (!server_->bind_to_port("127.0.0.1", port))
        throw std::runtime_error("storesim: cannot listen on 127.0.0.1:" + std::to_string(port));
    port_ = port;
    server_->listen_after_bind();
}

void StoreServer::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    stopping_.notify_all();
    server_->stop();
    if (thread_.joinable()) thread_.join();
}

std::string StoreServer::url() const { return "http://127.0.0.1:" + std::to_string(port_); }

void StoreServer::setStoreData(std::function<std::string(const StoreDataRequest&)> provider) {
    std::lock_guard lock(mutex_);
    storeData_ = std::move(provider);
}

void StoreServer::setStoreDataFile(const std::filesystem::path& file) {
    setStoreData([file](const StoreDataRequest&) {
        std::ifstream in(file, std::ios::binary);
        if (!in) throw std::runtime_error("storesim: cannot read " + file.string());
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    });
}

void StoreServer::setPublicKey(std::string base64) {
    std::lock_guard lock(mutex_);
    publicKey_ = std::move(base64);
}

void StoreServer::setReport(const std::string& name, std::vector<std::string> lines) {
    std::lock_guard lock(mutex_);
    held_->reports[name] = std::move(lines);
}

void StoreServer::setPaymentRefs(std::vector<std::string> refs) {
    std::lock_guard lock(mutex_);
    held_->paymentRefs = std::move(refs);
}

void StoreServer::setCardGateway(std::string url, std::string user, std::string password) {
    std::lock_guard lock(mutex_);
    cards_ = std::make_unique<CardCharges>(std::move(url), std::move(user), std::move(password));
}

void StoreServer::setCatalogue(StoreCatalogue catalogue) {
    std::lock_guard lock(mutex_);
    catalogue_ = std::move(catalogue);
}

bool StoreServer::dayOpen() const {
    std::lock_guard lock(mutex_);
    return held_->dayOpen;
}

void StoreServer::setUsersNotCashedOut(std::vector<std::string> userIds) {
    std::lock_guard lock(mutex_);
    held_->usersNotCashedOut = std::move(userIds);
}

void StoreServer::setCannedReply(const std::string& kind, std::optional<std::string> body) {
    std::lock_guard lock(mutex_);
    if (body) canned_[kind] = std::move(*body);
    else canned_.erase(kind);
}

void StoreServer::setFault(const std::string& kind, Fault fault, int times, std::optional<std::string> text) {
    std::lock_guard lock(mutex_);
    faults_[kind] = {FaultPlan{fault, std::max(times, 0), std::move(text)}};
}

void StoreServer::thenFault(const std::string& kind, Fault fault, int times, std::optional<std::string> text) {
    std::lock_guard lock(mutex_);
    faults_[kind].push_back(FaultPlan{fault, std::max(times, 0), std::move(text)});
}

void StoreServer::clearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

std::optional<std::string> StoreServer::order(const std::string& remoteId) const {
    std::lock_guard lock(mutex_);
    auto it = held_->orders.find(remoteId);
    if (it == held_->orders.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> StoreServer::orderRemoteIds() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> ids;
    for (const auto& entry : held_->orders) ids.push_back(entry.first);
    return ids;
}

std::vector<std::string> StoreServer::records(const std::string& kind) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    auto it = held_->records.find(kind);
    if (it != held_->records.end())
        for (const auto& entry : it->second) out.push_back(entry.second);
    return out;
}

std::vector<ReceivedRequest> StoreServer::requests() const {
    std::lock_guard lock(mutex_);
    return held_->requests;
}

size_t StoreServer::requestCount(const std::string& kind) const {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count_if(held_->requests.begin(), held_->requests.end(),
                                             [&](const ReceivedRequest& r) { return r.kind == kind; }));
}

StoreServer::FaultPlan StoreServer::takeFault(const std::string& kind) {
    auto it = faults_.find(kind);
    if (it == faults_.end() || it->second.empty()) return {};
    FaultPlan plan = it->second.front();
    if (plan.remaining > 0 && --it->second.front().remaining == 0) {
        it->second.pop_front();
        if (it->second.empty()) faults_.erase(it);
    }
    return plan;
}

std::optional<std::string> StoreServer::envelopeProblem(const httplib::Request& request) const {
    if (request.get_header_value("Content-Type") != "text/xml") return "Content-Type must be text/xml";
    if (!request.has_header("uid") || request.get_header_value("uid").empty()) return "No device identifier (uid)";
    if (request.get_header_value("store") != options_.storeId || request.get_header_value("from") != options_.storeId)
        return "Unknown store";
    if (request.get_header_value("authorization") != options_.password) return "Wrong password";
    return std::nullopt;
}

void StoreServer::hang() {
    std::unique_lock lock(mutex_);
    stopping_.wait_for(lock, std::chrono::duration<double>(options_.hangSeconds), [this] { return stopped_; });
}

void StoreServer::handle(const httplib::Request& request, httplib::Response& response) {
    ReceivedRequest received;
    for (const auto& [name, value] : request.headers) received.headers.emplace(lower(name), value);
    received.body = request.body;

    XmlDocPtr doc = XmlHelper::parse(request.body);
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    xmlNodePtr what = nullptr;
    for (xmlNodePtr c = root ? root->children : nullptr; c && !what; c = c->next)
        if (c->type == XML_ELEMENT_NODE) what = c;
    if (what) received.kind = reinterpret_cast<const char*>(what->name);

    auto finish = [&](int status) {
        received.status = status;
        std::lock_guard lock(mutex_);
        held_->requests.push_back(std::move(received));
    };
    auto answer = [&](int status, const std::string& body, const char* type = "text/xml") {
        response.status = status;
        response.set_content(body, type);
        finish(status);
    };

    if (std::optional<std::string> problem = envelopeProblem(request)) return answer(403, *problem, "text/plain");
    if (!what) return answer(400, "Not a request document", "text/plain");
    const std::string kind = received.kind;

    FaultPlan plan;
    std::optional<std::string> canned;
    {
        std::lock_guard lock(mutex_);
        plan = takeFault(kind);
        if (auto it = canned_.find(kind); it != canned_.end()) canned = it->second;
    }
    switch (plan.fault) {
    case Fault::RefuseConnection: dropReply(response); return finish(0);
    case Fault::Hang:
        hang();
        dropReply(response);
        return finish(0);
    case Fault::ServerErrorPage: return answer(500, kErrorPage, "text/html");
    case Fault::ErrorElement: return answer(200, reply(element("error", plan.text.value_or(kDefaultRefusal))));
    default: break;
    }
    if (plan.fault == Fault::KeyMismatch) {
        std::string key;
        {
            std::lock_guard lock(mutex_);
            key = publicKey_;
        }
        return answer(200, reply(element("error", plan.text.value_or(kKeyMismatchText)) + element("publicKey", key)));
    }
    if (canned) return answer(200, *canned);

    std::string children;
    std::optional<std::string> whole; // a reply of its own, in place of the usual one
    if (kind == "customerOrder") whole = charge(doc.get(), what);
    if (kind == "close" && plan.fault == Fault::None) whole = settle();
    if (whole) return answer(200, *whole);
    std::function<std::string(const StoreDataRequest&)> storeData;
    std::vector<StorePrinters::Job> jobs;
    {
        std::lock_guard lock(mutex_);
        storeData = storeData_;
        children = keep(kind, doc.get(), what, whole, jobs);
    }
    if (kind == "getStoreData" && storeData) {
        StoreDataRequest ask{
            childText(doc.get(), what, "storeDateUpdated"), childText(doc.get(), what, "menuDateUpdated"),
            XmlHelper::getAttributeValue(what, "terminalId"),
            request.has_header("association") ? std::optional<std::string>(request.get_header_value("association"))
                                              : std::nullopt,
            request.get_header_value("uid")};
        whole = storeData(ask);
    }
    if (whole) return answer(200, *whole);

    std::string head = element("success", "OK");
    if (plan.fault == Fault::Warning) head += element("warning", plan.text.value_or(kDefaultWarning));
    for (const StorePrinters::Job& job : jobs)
        if (std::optional<std::string> failure = StorePrinters::print(job)) head += element("warning", *failure);
    if (plan.fault == Fault::KeyMismatchWarning) {
        std::lock_guard lock(mutex_);
        head = element("warning", plan.text.value_or(kKeyMismatchText)) + element("publicKey", publicKey_);
    }
    if (plan.fault == Fault::DropReply) {
        dropReply(response);
        return finish(0);
    }
    // The order list says whether the store's day is open.
    std::string attributes;
    if (kind == "getOrders") attributes = std::string(" isOpen=\"") + (dayOpen() ? "true" : "false") + "\"";
    answer(200, reply(head + children, attributes));
}

std::string StoreServer::keep(const std::string& kind, xmlDocPtr doc, xmlNodePtr what,
                              std::optional<std::string>& whole, std::vector<StorePrinters::Job>& jobs) {
    Held& h = *held_;
    std::string children;
    if (kind == "customerOrder") {
        std::optional<std::string> remoteId = XmlHelper::getAttributeValue(what, "remoteId");
        if (!remoteId || remoteId->empty()) {
            whole = reply(element("error", "Order without a remoteId"));
            return "";
        }
        keepOrder(*remoteId, doc, what, jobs);
        return summaryOf(h.orders[*remoteId]);
    }
    if (kind == "getOrders") {
        bool openOnly = XmlHelper::getAttributeValue(what, "openOnly").value_or("") == "true";
        std::optional<std::string> area = XmlHelper::getNodeValue(doc, what, "areaLocationId");
        for (const auto& [id, orderXml] : h.orders) {
            XmlDocPtr orderDoc = XmlHelper::parse(orderXml);
            xmlNodePtr o = xmlDocGetRootElement(orderDoc.get());
            if (openOnly && childText(orderDoc.get(), o, "closed") == "true") continue;
            if (area && childText(orderDoc.get(), o, "areaLocationId") != *area) continue;
            children += summaryOf(orderXml);
        }
        // A plain request is also the one for whole orders: they follow the summaries.
        if (!openOnly && !area)
            for (const auto& entry : h.orders) children += entry.second;
    } else if (kind == "getOrder") {
        auto it = h.orders.find(childText(doc, what, "remoteId"));
        if (it != h.orders.end()) children = it->second;
    } else if (kind == "getOrderData") {
        for (const auto& entry : h.orders) children += entry.second;
        for (const auto& entry : h.cash) children += entry.second;
    } else if (kind == "cashInCashDrawer") {
        keepCashIn(doc, what, jobs);
    } else if (kind == "cashOutCashDrawer") {
        keepCashOut(doc, what);
    } else if (kind == "getCustomers") {
        for (const auto& entry : h.records["customer"]) children += entry.second;
    } else if (kind == "getStoreData") {
        if (!storeData_) whole = reply(element("error", "No store data is configured"));
    } else if (kind == "getPaymentRefs") {
        if (h.paymentRefs) {
            for (const std::string& ref : *h.paymentRefs) children += element("paymentRef", ref);
        } else if (std::optional<std::string> tender = tenderLabel(childText(doc, what, "paymentType"))) {
            for (const auto& [id, payment] : h.dayCardPayments)
                if (payment.type == *tender) children += element("paymentRef", payment.reference);
        }
    } else if (kind == "print") {
        if (catalogue_)
            if (std::optional<StorePrinters::Job> job = StorePrinters::printRequest(doc, what)) jobs.push_back(*job);
    } else if (kind == "open" || kind == "close") {
        // A day's card payments are those taken since it opened.
        h.dayOpen = kind == "open";
        h.dayCardPayments.clear();
    } else if (kind == "getUsersNotCashedOut") {
        for (const std::string& user : h.usersNotCashedOut) children += element("userId", user);
    } else if (auto report = h.reports.find(kind); report != h.reports.end()) {
        for (const std::string& line : report->second) children += element("line", line);
    } else if (startsWith(kind, "get")) {
        children = element("line", "Store " + options_.storeId) +
                   element("line", "Orders: " + std::to_string(h.orders.size()));
    } else if (std::optional<std::string> key = recordKey(what)) {
        h.records[kind][*key] = dump(doc, what);
    }
    return children;
}

void StoreServer::keepOrder(const std::string& remoteId, xmlDocPtr doc, xmlNodePtr what,
                            std::vector<StorePrinters::Job>& jobs) {
    Held& h = *held_;
    // The kitchen hears of what the terminal sent, before it is merged with what was held.
    if (catalogue_)
        for (StorePrinters::Job& job : StorePrinters(*catalogue_).kitchenTickets(doc, what, h.announced))
            jobs.push_back(std::move(job));
    long& orderId = h.orderIds[remoteId];
    if (orderId == 0) orderId = h.nextOrderId++;
    removeChildren(what, "orderId");
    xmlNodePtr idNode = xmlNewDocNode(doc, nullptr, reinterpret_cast<const xmlChar*>("orderId"),
                                      reinterpret_cast<const xmlChar*>(std::to_string(orderId).c_str()));
    if (what->children) xmlAddPrevSibling(what->children, idNode);
    else xmlAddChild(what, idNode);
    auto held = h.orders.find(remoteId);
    mergeOrder(doc, what, held == h.orders.end() ? std::string() : held->second);
    for (xmlNodePtr payment : XmlHelper::getChildRun(what, "payment")) {
        std::string reference = childText(doc, payment, "refNumber");
        if (reference.empty()) continue;
        std::string type = XmlHelper::getAttributeValue(payment, "type").value_or("");
        h.dayCardPayments[XmlHelper::getAttributeValue(payment, "remoteId").value_or("")] = {type, reference};
    }
    if (catalogue_) catalogue_->addItemExemptions(doc, what);
    h.orders[remoteId] = dump(doc, what);
    if (catalogue_)
        if (std::optional<StorePrinters::Job> receipt = StorePrinters(*catalogue_).receipt(doc, what))
            jobs.push_back(std::move(*receipt));
}

std::optional<std::string> StoreServer::charge(xmlDocPtr doc, xmlNodePtr order) {
    CardCharges* cards = nullptr;
    {
        std::lock_guard lock(mutex_);
        cards = cards_.get();
    }
    if (!cards) return std::nullopt;
    const std::string orderName = childText(doc, order, "orderName");
    for (xmlNodePtr payment : XmlHelper::getChildRun(order, "payment")) {
        if (XmlHelper::getAttributeValue(payment, "action").value_or("") != "add" ||
            XmlHelper::getAttributeValue(payment, "type").value_or("") != "credit" ||
            !childText(doc, payment, "approval").empty())
            continue;
        xmlNodePtr signature = XmlHelper::getFirstChildNode(payment, "signature");
        if (!signature || withoutBlanks(childText(doc, signature, "publicKey")) != CardCharges::publicKey())
            return reply(element("error", kKeyMismatchText) + element("publicKey", CardCharges::publicKey()));
        CardCharges::Outcome outcome = cards->charge(doc, payment, orderName);
        if (!outcome.approved) return reply(element("error", outcome.text));
        // The server keeps what the card host answered, never the card's fields.
        for (const char* sealed : {"signature", "track1", "track2", "track3", "accountNumber", "expDate",
                                   "cardSecurityCode", "approval", "refNumber"})
            removeChildren(payment, sealed);
        xmlNodePtr manual = XmlHelper::getFirstChildNode(payment, "manual");
        for (const auto& [name, value] :
             {std::pair<const char*, std::string>{"approval", outcome.approval}, {"refNumber", outcome.reference}}) {
            xmlNodePtr node = xmlNewDocNode(doc, nullptr, reinterpret_cast<const xmlChar*>(name),
                                            reinterpret_cast<const xmlChar*>(escape(value).c_str()));
            if (manual) xmlAddPrevSibling(manual, node);
            else xmlAddChild(payment, node);
        }
    }
    return std::nullopt;
}

std::optional<std::string> StoreServer::settle() {
    CardCharges* cards = nullptr;
    {
        std::lock_guard lock(mutex_);
        cards = cards_.get();
    }
    if (!cards) return std::nullopt;
    CardCharges::Outcome outcome = cards->settle();
    if (outcome.approved) return std::nullopt;
    return reply(element("error", "Unable to settle the card batch (" + outcome.text + ")"));
}

void StoreServer::keepCashIn(xmlDocPtr doc, xmlNodePtr what, std::vector<StorePrinters::Job>& jobs) {
    Held& h = *held_;
    long cents = 0;
    for (xmlNodePtr count : XmlHelper::getChildRun(what, "cashInBreakDown"))
        cents += childNumber(doc, count, "amount") * childNumber(doc, count, "count");
    const std::string id = "CIO-" + std::to_string(h.nextCashId++);
    const std::string record =
        "<cashInOut id=\"" + id + "\">" + element("cashDrawerId", childText(doc, what, "cashDrawerId")) +
        element("userId", childText(doc, what, "userId")) + element("cashInAmount", std::to_string(cents)) +
        element("cashInDate", XmlHelper::wireDate(Date::now())) +
        element("cashInTerminalId", childText(doc, what, "cashInTerminalId")) + "</cashInOut>";
    h.cash[id] = record;
    if (catalogue_) {
        XmlDocPtr kept = XmlHelper::parse(record);
        if (std::optional<StorePrinters::Job> slip =
                StorePrinters(*catalogue_).cashIn(doc, what, kept.get(), xmlDocGetRootElement(kept.get())))
            jobs.push_back(std::move(*slip));
    }
}

void StoreServer::keepCashOut(xmlDocPtr doc, xmlNodePtr what) {
    Held& h = *held_;
    const std::string drawer = childText(doc, what, "cashDrawerId");
    long cents = 0;
    for (xmlNodePtr count : XmlHelper::getChildRun(what, "cashOutBreakDown"))
        cents += childNumber(doc, count, "amount") * childNumber(doc, count, "count");
    for (auto& [id, record] : h.cash) {
        XmlDocPtr kept = XmlHelper::parse(record);
        xmlNodePtr cash = xmlDocGetRootElement(kept.get());
        if (childText(kept.get(), cash, "cashDrawerId") != drawer || XmlHelper::getFirstChildNode(cash, "cashOutDate"))
            continue;
        record = record.substr(0, record.size() - std::string("</cashInOut>").size()) +
                 element("cashOutAmount", std::to_string(cents)) +
                 element("cashOutDate", XmlHelper::wireDate(Date::now())) +
                 element("cashOutTerminalId", childText(doc, what, "cashOutTerminalId")) +
                 element("cashOutCount", childText(doc, what, "count")) + "</cashInOut>";
    }
}

} // namespace tavlo::storesim
