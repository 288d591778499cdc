#include "CardGateway.h"

#include <httplib.h>

#include "platform/foundation/Clock.h"
#include "xml/XmlStreamWriter.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>
#include <stdexcept>

namespace tavlo::gatewaysim {

namespace {

constexpr const char* kFormType = "application/x-www-form-urlencoded";
constexpr const char* kBrokenPage = "<Response><Result>0</Result><RespMSG>Approved</RespMSG><PNRef>P1</PNRef";
constexpr const char* kErrorPage =
    "<html><head><title>500 Internal Server Error</title></head><body><h1>Internal Server Error</h1></body></html>";

const std::set<std::string, std::less<>> kCardTypes = {"Sale", "Return", "Adjustment", "Void", "CaptureAll"};

std::string escape(std::string_view text) { return XmlStreamWriter::escape(text); }

std::string unescape(std::string text) {
    const std::pair<const char*, const char*> entities[] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities) {
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1))
            text.replace(at, std::string_view(from).size(), to);
    }
    return text;
}

std::string element(std::string_view name, std::string_view text) {
    return "<" + std::string(name) + ">" + escape(text) + "</" + std::string(name) + ">";
}

std::string money(int64_t cents) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%lld.%02lld", cents < 0 ? "-" : "",
                  static_cast<long long>(std::llabs(cents) / 100), static_cast<long long>(std::llabs(cents) % 100));
    return text;
}

// "12.34", "12.3", "12" -> cents; nullopt for anything else.
std::optional<int64_t> cents(const std::string& text) {
    if (text.empty()) return std::nullopt;
    int64_t whole = 0, part = 0;
    size_t i = 0, digits = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits)
        whole = whole * 10 + (text[i] - '0');
    if (digits == 0 || digits > 12) return std::nullopt;
    if (i < text.size()) {
        if (text[i++] != '.') return std::nullopt;
        size_t decimals = 0;
        for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++decimals)
            part = part * 10 + (text[i] - '0');
        if (i != text.size() || decimals > 2) return std::nullopt;
        if (decimals == 1) part *= 10;
    }
    return whole * 100 + part;
}

// The ExtData text "<Name>value</Name>..." into fields; false when it is not that.
bool readExtData(const std::string& text, std::map<std::string, std::string>& fields) {
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] != '<') return false;
        size_t close = text.find('>', at);
        if (close == std::string::npos) return false;
        std::string name = text.substr(at + 1, close - at - 1);
        if (name.empty() || name.find_first_of("</ ") != std::string::npos) return false;
        std::string end = "</" + name + ">";
        size_t endAt = text.find(end, close + 1);
        if (endAt == std::string::npos) return false;
        fields[name] = unescape(text.substr(close + 1, endAt - close - 1));
        at = endAt + end.size();
    }
    return true;
}

// A form body "name=value&..." (values percent-encoded) into fields; nullopt when malformed.
std::optional<std::map<std::string, std::string>> readForm(const std::string& body) {
    std::map<std::string, std::string> fields;
    size_t at = 0;
    while (at <= body.size()) {
        size_t end = body.find('&', at);
        if (end == std::string::npos) end = body.size();
        std::string pair = body.substr(at, end - at);
        size_t equals = pair.find('=');
        if (equals == std::string::npos || equals == 0) return std::nullopt;
        std::string name = pair.substr(0, equals);
        if (fields.contains(name)) return std::nullopt;
        fields[name] = httplib::detail::decode_url(pair.substr(equals + 1), true);
        at = end + 1;
    }
    auto ext = fields.find("ExtData");
    if (ext != fields.end() && !readExtData(ext->second, fields)) return std::nullopt;
    return fields;
}

std::string value(const std::map<std::string, std::string>& fields, const char* name) {
    auto it = fields.find(name);
    return it == fields.end() ? "" : it->second;
}

// "2023-11-14T22:13:00" read as UTC; nullopt when it is not that.
std::optional<int64_t> utcTime(const std::string& text) {
    std::tm parts{};
    char rest = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                    &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &rest) != 6)
        return std::nullopt;
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    return static_cast<int64_t>(timegm(&parts));
}

// The process's clock: a test's fake clock is the gateway's too, as if both clocks agreed.
int64_t nowSeconds() { return static_cast<int64_t>(Date::now().timeIntervalSince1970()); }

// The detail service's answer: the list document, escaped, as the text of a bare `string`.
std::string detailReply(const std::string& list) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><string xmlns=\"urn:larch:details\">" + escape(list) +
           "</string>";
}

std::string reply(const std::string& children) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><Response>" + children + "</Response>";
}

std::string result(int code, std::string_view respMsg, std::optional<std::string_view> message = {}) {
    std::string out = element("Result", std::to_string(code)) + element("RespMSG", respMsg);
    if (message) out += element("Message", *message);
    return out;
}

} // namespace

CardGateway::CardGateway() : CardGateway(Options()) {}

CardGateway::CardGateway(Options options) : options_(std::move(options)), server_(std::make_unique<httplib::Server>()) {
    server_->Post(".*",
                  [this](const httplib::Request& request, httplib::Response& response) { handle(request, response); });
}

CardGateway::~CardGateway() { stop(); }

int CardGateway::start(int port) {
    port_ = port == 0 ? server_->bind_to_any_port("127.0.0.1") : (server_->bind_to_port("127.0.0.1", port) ? port : -1);
    if (port_ <= 0) throw std::runtime_error("gatewaysim: cannot listen on 127.0.0.1:" + std::to_string(port));
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // A stop before the accept loop runs would go unseen by it.
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return port_;
}

void CardGateway::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    stopping_.notify_all();
    server_->stop();
    if (thread_.joinable()) thread_.join();
}

std::string CardGateway::url() const { return "http://127.0.0.1:" + std::to_string(port_); }

void CardGateway::script(const std::string& transType, Answer answer, std::optional<std::string> text) {
    std::lock_guard lock(mutex_);
    script_[transType].push_back({answer, std::move(text)});
}

void CardGateway::addHostTransaction(KeptTransaction transaction) {
    std::lock_guard lock(mutex_);
    if (transaction.time == 0) transaction.time = nowSeconds();
    kept_.push_back(std::move(transaction));
}

void CardGateway::setHostTip(const std::string& reference, int64_t tipCents) {
    std::lock_guard lock(mutex_);
    if (KeptTransaction* kept = find(reference)) {
        kept->amountCents += tipCents - kept->tipCents;
        kept->tipCents = tipCents;
    }
}

void CardGateway::voidOnHost(const std::string& reference) {
    std::lock_guard lock(mutex_);
    if (KeptTransaction* kept = find(reference)) kept->voided = true;
}

void CardGateway::setDetailError(std::optional<std::string> text) {
    std::lock_guard lock(mutex_);
    detailError_ = std::move(text);
}

void CardGateway::onCarriedOut(std::function<void(const GatewayRequest&)> hook) {
    std::lock_guard lock(mutex_);
    carriedOut_ = std::move(hook);
}

std::vector<KeptTransaction> CardGateway::kept() const {
    std::lock_guard lock(mutex_);
    return kept_;
}

std::vector<GatewayRequest> CardGateway::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

size_t CardGateway::requestCount(const std::string& transType) const {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count_if(requests_.begin(), requests_.end(), [&](const GatewayRequest& r) {
        return (r.path == "/details" ? std::string("TrxDetail") : value(r.fields, "TransType")) == transType;
    }));
}

KeptTransaction* CardGateway::find(const std::string& reference) {
    auto it =
        std::find_if(kept_.begin(), kept_.end(), [&](const KeptTransaction& t) { return t.reference == reference; });
    return it == kept_.end() ? nullptr : &*it;
}

void CardGateway::hang() {
    std::unique_lock lock(mutex_);
    stopping_.wait_for(lock, std::chrono::duration<double>(options_.hangSeconds), [this] { return stopped_; });
}

void CardGateway::release() {
    {
        std::lock_guard lock(mutex_);
        ++releases_;
    }
    stopping_.notify_all();
}

size_t CardGateway::heldCount() const {
    std::lock_guard lock(mutex_);
    return held_;
}

void CardGateway::holdUntilReleased() {
    std::unique_lock lock(mutex_);
    const long seen = releases_;
    ++held_;
    stopping_.wait_for(lock, std::chrono::duration<double>(options_.hangSeconds),
                       [this, seen] { return stopped_ || releases_ != seen; });
    --held_;
}

void CardGateway::handle(const httplib::Request& request, httplib::Response& response) {
    GatewayRequest received{request.path, request.body, {}, 0};
    auto answer = [&](int status, const std::string& body, const char* type) {
        response.status = status;
        response.set_content(body, type);
        received.status = status;
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(received));
    };
    auto refuse = [&](const std::string& why) { answer(400, why, "text/plain"); };

    if (request.path != "/capture" && request.path != "/details") return answer(404, "Not found", "text/plain");
    if (request.get_header_value("Content-Type") != kFormType)
        return refuse("Content-Type must be " + std::string(kFormType));
    std::optional<std::map<std::string, std::string>> fields = readForm(request.body);
    if (!fields) return refuse("Malformed request");
    received.fields = *fields;
    const bool detail = request.path == "/details";
    const std::string transType = value(*fields, "TransType");
    if (!detail && !kCardTypes.contains(transType)) return refuse("Unknown TransType");

    Scripted scripted{Answer::Approve, std::nullopt};
    {
        std::lock_guard lock(mutex_);
        auto& queue = script_[detail ? "TrxDetail" : transType];
        if (!queue.empty()) {
            scripted = queue.front();
            queue.pop_front();
        }
    }
    switch (scripted.answer) {
    case Answer::RefuseConnection:
    case Answer::Hang:
        if (scripted.answer == Answer::Hang) hang();
        // The status line and headers go out, then the connection closes instead of the body.
        response.status = 200;
        response.set_content_provider(64, "text/xml", [](size_t, size_t, httplib::DataSink&) { return false; });
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(std::move(received));
        }
        return;
    case Answer::ApproveWhenReleased: holdUntilReleased(); break;
    case Answer::BrokenPage: return answer(200, kBrokenPage, "text/xml");
    case Answer::ErrorPage: return answer(500, kErrorPage, "text/html");
    default: break;
    }

    std::string body;
    std::function<void(const GatewayRequest&)> carriedOut;
    {
        std::lock_guard lock(mutex_);
        const bool known =
            value(*fields, "UserName") == options_.user && value(*fields, "Password") == options_.password;
        if (detail && !known)
            body = detailReply("<RichDBDS>" + element("Error", "User authentication failed") + "</RichDBDS>");
        else if (detail && scripted.answer != Answer::Approve)
            body =
                detailReply("<RichDBDS>" + element("Error", scripted.text.value_or("Query refused")) + "</RichDBDS>");
        else if (detail) body = details(*fields);
        else if (!known) body = reply(result(1, "User authentication failed"));
        else body = card(*fields, scripted);
        carriedOut = carriedOut_;
    }
    if (carriedOut) carriedOut(received);
    answer(200, body, "text/xml");
}

std::string CardGateway::card(const std::map<std::string, std::string>& fields, const Scripted& scripted) {
    switch (scripted.answer) {
    case Answer::DeclineMessage:
        return reply(result(12, "Declined", scripted.text.value_or("Card declined by the issuer")));
    case Answer::DeclineRespMsg: return reply(result(12, scripted.text.value_or("Declined")));
    case Answer::DeclineBare: return reply(element("Result", "12"));
    case Answer::PreviouslyVoided: return reply(result(1, "Declined", "Transaction previously voided"));
    case Answer::PreviouslySettled: return reply(result(1, "Declined", "Transaction previously settled"));
    case Answer::NothingToSettle: return reply(result(1015, "No Records To Settle"));
    default: break;
    }

    const std::string type = value(fields, "TransType");
    const std::string reference = value(fields, "PNRef");
    std::optional<int64_t> tip = fields.contains("TipAmt") ? cents(value(fields, "TipAmt")) : std::optional<int64_t>(0);
    if (type == "Sale" || type == "Return") {
        std::optional<int64_t> amount = cents(value(fields, "Amount"));
        if (!amount || *amount <= 0 || !tip) return reply(result(4, "Invalid Amount"));
        // A partial approval names the amount it approved; the rest of the card is not charged.
        std::string approvedAmount;
        if (scripted.answer == Answer::ApprovePartial && scripted.text) {
            amount = cents(*scripted.text);
            if (!amount) return reply(result(4, "Invalid Amount"));
            approvedAmount = element("Amount", *scripted.text);
        }
        if (value(fields, "CardNum").empty() && value(fields, "MagData").empty())
            return reply(result(23, "Invalid Account Number"));
        std::string newReference = "P" + std::to_string(nextReference_++);
        char code[16];
        std::snprintf(code, sizeof code, "%06ld", nextReference_ % 1000000);
        std::string card = value(fields, "CardNum");
        kept_.push_back({newReference, value(fields, "InvNum"), type, *amount, *tip, false, false, true, nowSeconds(),
                         code, card.size() > 4 ? card.substr(card.size() - 4) : card});
        return reply(result(0, "Approved", "APPROVAL") + element("AuthCode", code) + element("PNRef", newReference) +
                     element("CVResult", "M") + approvedAmount);
    }
    if (type == "CaptureAll") {
        bool open = std::any_of(kept_.begin(), kept_.end(),
                                [](const KeptTransaction& t) { return !t.settled && !t.voided && t.approved; });
        if (!open) return reply(result(1015, "No Records To Settle"));
        for (KeptTransaction& t : kept_) t.settled = true;
        return reply(result(0, "Approved"));
    }
    KeptTransaction* kept = find(reference);
    if (!kept) return reply(result(19, "Original Transaction ID Not Found"));
    if (kept->voided) return reply(result(1, "Declined", "Transaction previously voided"));
    if (kept->settled) return reply(result(1, "Declined", "Transaction previously settled"));
    if (type == "Void") {
        kept->voided = true;
        return reply(result(0, "Approved") + element("PNRef", reference));
    }
    // Adjustment: the tip replaces the previous one inside the amount.
    if (!tip) return reply(result(4, "Invalid Amount"));
    kept->amountCents += *tip - kept->tipCents;
    kept->tipCents = *tip;
    return reply(result(0, "Approved") + element("PNRef", reference));
}

std::string CardGateway::details(const std::map<std::string, std::string>& query) {
    const std::optional<int64_t> begin = utcTime(value(query, "BeginDt")), end = utcTime(value(query, "EndDt"));
    const std::string invoice = value(query, "invoiceId");
    std::string inner = "<RichDBDS>";
    for (const KeptTransaction& t : kept_) {
        if ((begin && t.time < *begin) || (end && t.time > *end) || (!invoice.empty() && t.invoice != invoice))
            continue;
        inner += "<TrxDetailCard>" + element("TRX_HD_Key", t.reference) + element("invoiceId", t.invoice) +
                 element("Trans_Type_ID", t.transType) + element("Auth_Amt_MN", money(t.amountCents)) +
                 element("Tip_Amt_MN", money(t.tipCents)) + element("Void_Flag_CH", t.voided ? "1" : "0") +
                 element("Settle_Flag_CH", t.settled ? "1" : "0") + element("Result", t.approved ? "0" : "12") +
                 element("Approval_Code_CH", t.approvalCode) + element("Acct_Num_CH", t.lastFour) + "</TrxDetailCard>";
    }
    if (detailError_) inner += element("Error", *detailError_);
    inner += "</RichDBDS>";
    return detailReply(inner);
}

} // namespace tavlo::gatewaysim
