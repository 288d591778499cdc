#include "payments/LarchTransaction.h"

#include "core/session/Parameters.h"
#include "core/util/Utils.h"
#include "platform/foundation/Text.h"
#include "xml/XmlEventReader.h"

#include <algorithm>

namespace tavlo {

namespace {

using FieldList = std::vector<std::string>;

// Web services (the fields they take, in wire order), transaction types (the fields that may
// carry a value for them) and ExtData (the fields carried inside ExtData).
const std::map<std::string, FieldList, std::less<>>& fieldTable() {
    static const std::map<std::string, FieldList, std::less<>> table = {
        {"ProcessCreditCard",
         {"UserName", "Password", "TransType", "CardNum", "ExpDate", "MagData", "NameOnCard", "Amount", "InvNum",
          "PNRef", "Zip", "Street", "CVNum"}},
        {"TrxDetail",
         {"UserName",
          "Password",
          "RPNum",
          "PNRef",
          "BeginDt",
          "EndDt",
          "PaymentType",
          "ExcludePaymentType",
          "TransType",
          "ExcludeTransType",
          "ApprovalCode",
          "Result",
          "ExcludeResult",
          "NameOnCard",
          "CardNum",
          "CardType",
          "ExcludeCardType",
          "ExcludeVoid",
          "User",
          "invoiceId",
          "SettleFlag",
          "SettleMsg",
          "SettleDt",
          "TransformType",
          "Xsl",
          "ColDelim",
          "RowDelim",
          "IncludeHeader"}},
        {"Sale",
         {"UserName", "Password", "TransType", "CardNum", "ExpDate", "MagData", "NameOnCard", "Amount", "InvNum", "Zip",
          "Street", "CVNum"}},
        {"Adjustment", {"UserName", "Password", "TransType", "PNRef", "TipAmt"}},
        {"CaptureAll", {"UserName", "Password", "TransType"}},
        {"ExtData", {"AuthCode", "TipAmt", "TaxAmt", "TimeOut", "Force", "CVPresence"}},
    };
    return table;
}

const std::map<std::string, std::string, std::less<>>& synonyms() {
    static const std::map<std::string, std::string, std::less<>> table = {
        {"REF_NUMBER", "InvNum"},   {"TAVLO_NAME", "NameOnCard"}, {"NUMBER", "CardNum"},  {"EXP_DATE", "ExpDate"},
        {"TAVLO_STREET", "Street"}, {"TAVLO_ZIP", "Zip"},         {"TRACK_2", "MagData"}, {"TIP", "TipAmt"},
        {"TAX", "TaxAmt"},          {"APPROVAL", "AuthCode"},     {"CARD_CONF", "CVNum"}, {"SUB_TOTAL", "Amount"},
    };
    return table;
}

bool isWebService(std::string_view name) { return name == "ProcessCreditCard" || name == "TrxDetail"; }

std::string xmlEscape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else out += c;
    }
    return out;
}

std::string money(int64_t cents) { return Utils::formatAmount(cents, 2); }

// Collects the reply's element texts: an element's text becomes the field of its name.
class ReplyReader : public XmlEventReader {
public:
    explicit ReplyReader(std::map<std::string, std::string, std::less<>>& fields) : fields_(fields) {}

protected:
    void startElement(std::string_view name) override {
        if (name != "Response" && !collecting_) {
            collecting_ = true;
            text_.clear();
        }
    }
    void endElement(std::string_view name) override {
        if (!text_.empty()) fields_[std::string(name)] = text_;
        collecting_ = false;
        text_.clear();
    }
    void characters(std::string_view text) override {
        if (collecting_) text_.append(text);
    }

private:
    std::map<std::string, std::string, std::less<>>& fields_;
    std::string text_;
    bool collecting_ = false;
};

} // namespace

LarchTransaction::LarchTransaction(const HostConfig* config) {
    Date now = Date::now();
    setCreated(now);
    setUpdated(now);
    if (!config) return;
    auto copy = [&](Parameter key, const char* field) {
        if (std::optional<std::string> value = Parameters::hostSetting(*config, key)) fields_[field] = *value;
    };
    copy(Parameter::LarchUser, "UserName");
    copy(Parameter::LarchPassword, "Password");
    copy(Parameter::LarchTerminal, "RPNum");
}

std::string LarchTransaction::synonym(std::string_view name) {
    auto it = synonyms().find(name);
    return it != synonyms().end() ? it->second : std::string(name);
}

std::optional<std::string> LarchTransaction::held(std::string_view gatewayName) const {
    auto it = fields_.find(gatewayName);
    if (it == fields_.end()) return std::nullopt;
    return it->second;
}

int64_t LarchTransaction::heldCents(std::string_view gatewayName) const {
    return Utils::parseCurrency(held(gatewayName));
}

bool LarchTransaction::wasApproved() const {
    // Only a Result that reads as the number 0 approves; an odd text is no approval.
    std::optional<std::string> result = held("Result");
    if (!result) return false;
    std::string text = trim(*result);
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.erase(0, 1);
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c == '0'; });
}

int32_t LarchTransaction::approvedAmount() const { return Utils::parseCurrency(held("Amount")); }
std::optional<std::string> LarchTransaction::approvalCode() const { return valueForField("APPROVAL"); }
std::optional<std::string> LarchTransaction::responseMessage() const { return held("RespMSG"); }
std::optional<std::string> LarchTransaction::responseCardVerification() const { return held("CVResult"); }
std::optional<std::string> LarchTransaction::hostData() const { return held("PNRef"); }
void LarchTransaction::setHostData(std::optional<std::string> data) { setValue(std::move(data), "PNRef"); }

std::vector<std::string> LarchTransaction::getFields() const {
    std::vector<std::string> names;
    for (const auto& [name, value] : fields_) names.push_back(name);
    return names;
}

bool LarchTransaction::contains(std::string_view field) const {
    return fields_.contains(synonym(field)) || fields_.contains(field);
}

void LarchTransaction::removeField(std::string_view field) {
    if (auto it = fields_.find(field); it != fields_.end()) fields_.erase(it);
    if (auto it = fields_.find(synonym(field)); it != fields_.end()) fields_.erase(it);
}

std::optional<std::string> LarchTransaction::valueForField(std::string_view field) const {
    if (field != "SUB_TOTAL") return held(synonym(field));
    if (!fields_.contains("Amount")) return "0";
    int64_t cents = heldCents("Amount");
    if (cents >= 1) {
        if (fields_.contains("TipAmt")) {
            cents -= heldCents("TipAmt");
            if (cents < 1) return format("%lld", static_cast<long long>(cents));
        }
        if (fields_.contains("TaxAmt")) cents -= heldCents("TaxAmt");
    }
    return format("%lld", static_cast<long long>(cents));
}

void LarchTransaction::setAmountPart(std::string_view part, const std::optional<std::string>& value) {
    int64_t rest = fields_.contains("Amount") ? heldCents("Amount") - heldCents(part) : 0;
    int64_t cents = Utils::parseCurrency(value.value_or("0"));
    fields_["Amount"] = money(rest + cents);
    fields_[std::string(part)] = money(cents);
}

void LarchTransaction::setValue(std::optional<std::string> value, std::string_view field) {
    if (field == "SUB_TOTAL") {
        int64_t cents = Utils::parseCurrency(value.value_or("0"));
        if (fields_.contains("TipAmt")) cents += heldCents("TipAmt");
        if (fields_.contains("TaxAmt")) cents += heldCents("TaxAmt");
        fields_["Amount"] = money(cents);
    } else if (field == "TIP" || field == "TAX") {
        setAmountPart(synonym(field), value);
    } else if (field == "CARD_CONF_PRESENCE") {
        if (!value) {
            removeField("CARD_CONF_PRESENCE");
            removeField("CVPresence");
            return;
        }
        int code = intValue(*value);
        fields_["CARD_CONF_PRESENCE"] = *value;
        fields_["CVPresence"] = code == 1   ? "NotPresent"
                                : code == 9 ? "None"
                                : code == 2 ? "Submitted Illegible"
                                            : "NotSubmitted";
    } else if (value) {
        fields_[synonym(field)] = std::move(*value);
    } else {
        removeField(synonym(field));
    }
}

std::string LarchTransaction::extData() const {
    std::string text;
    for (const std::string& name : fieldTable().at("ExtData")) {
        if (std::optional<std::string> value = held(name))
            text += "<" + name + ">" + xmlEscape(*value) + "</" + name + ">";
    }
    return text;
}

std::optional<std::string> LarchTransaction::toFieldValue(std::string_view type) const {
    std::optional<std::string> service = held("WebService");
    if (!service || !isWebService(*service)) return std::nullopt;
    const FieldList& fieldList = fieldTable().at(*service);
    auto allowedEntry = fieldTable().find(type);
    const FieldList* allowed = allowedEntry != fieldTable().end() ? &allowedEntry->second : nullptr;

    std::string body;
    for (const std::string& name : fieldList) {
        if (!body.empty()) body += '&';
        body += name + "=";
        std::optional<std::string> value = held(name);
        if (value && (!allowed || std::find(allowed->begin(), allowed->end(), name) != allowed->end()))
            body += percentEncode(*value);
    }
    body += "&ExtData=" + percentEncode(extData());
    return body;
}

bool LarchTransaction::fromXml(const std::optional<std::string>& reply) {
    if (!reply) return true;
    // Only this reply's own Result may approve: a Result left from an earlier exchange (a stored
    // sale being voided or adjusted) must not turn a reply without one into an approval.
    fields_.erase("Result");
    ReplyReader reader(fields_);
    return reader.read(*reply);
}

} // namespace tavlo
