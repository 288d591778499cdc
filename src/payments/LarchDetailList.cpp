#include "payments/LarchDetailList.h"

#include "core/session/Parameters.h"
#include "payments/PaymentHandlerAdapter.h"
#include "platform/foundation/Text.h"
#include "xml/XmlEventReader.h"

#include <map>

namespace tavlo {

class LarchDetailList::Reader : public XmlEventReader {
public:
    explicit Reader(LarchDetailList& list) : list_(list) {}

protected:
    void startElement(std::string_view name) override {
        text_.clear();
        if (name == "TrxDetailCard") {
            current_ = std::make_shared<LarchTransaction>();
            list_.transactions_.push_back(current_);
        }
    }
    void endElement(std::string_view name) override {
        if (equalsNoCase(name, "Error")) {
            if (!text_.empty()) list_.addError(text_);
        } else if (name == "TrxDetailCard") {
            current_.reset();
        } else if (current_ && !text_.empty()) {
            current_->setValue(text_, name);
            if (name == "Void_Flag_CH" && text_ == "1") current_->setVoided(Date::now());
        }
        text_.clear();
    }
    void characters(std::string_view text) override { text_.append(text); }

private:
    LarchDetailList& list_;
    std::shared_ptr<LarchTransaction> current_;
    std::string text_;
};

std::optional<LarchDetailList::Zone> LarchDetailList::settleZone(const HostConfig& config, Error* error) {
    std::string name = "CST";
    for (Parameter key : {Parameter::LarchSettleTzAbbrev, Parameter::LarchSettleTimeZone}) {
        std::optional<std::string> value = Parameters::hostSetting(config, key);
        if (value && !trim(*value).empty()) {
            name = trim(*value);
            break;
        }
    }
    for (auto read : {TimeZone::fromAbbreviation, TimeZone::named, TimeZone::fromOffsetText}) {
        if (std::optional<TimeZone> zone = read(name)) return Zone{*zone, name};
    }
    Error::set(error, PaymentHandlerAdapter::error(format("Unknown time zone for the Larch settlement: %@", name)));
    return std::nullopt;
}

void LarchDetailList::addError(const std::string& text) { errors_ += (errors_.empty() ? "" : "; ") + text; }

void LarchDetailList::read(const std::string& document) {
    Reader reader(*this);
    if (!reader.read(document)) addError("The detail list from Larch is not well-formed");
}

} // namespace tavlo
