#include "payments/LarchDetailList.h"

#include "payments/PaymentHandlerAdapter.h"
#include "platform/foundation/Text.h"

#include <libxml/parser.h>

#include <climits>
#include <cstring>
#include <map>

namespace tavlo {

namespace {

// Hours from GMT of the zone abbreviations a store may configure.
const std::map<std::string, int, std::less<>>& abbreviations() {
    static const std::map<std::string, int, std::less<>> table = {
        {"UTC", 0},   {"GMT", 0},   {"EST", -5},  {"EDT", -4},  {"CST", -6},  {"CDT", -5},  {"MST", -7},
        {"MDT", -6},  {"PST", -8},  {"PDT", -7},  {"AKST", -9}, {"AKDT", -8}, {"HST", -10},
    };
    return table;
}

const char* text(const xmlChar* name) { return reinterpret_cast<const char*>(name); }

} // namespace

struct LarchDetailList::Reader {
    LarchDetailList* list;
    std::shared_ptr<LarchTransaction> current;
    std::string text;

    static Reader& of(void* context) { return *static_cast<Reader*>(context); }
    static void start(void* context, const xmlChar* localName, const xmlChar*, const xmlChar*, int, const xmlChar**,
                      int, int, const xmlChar**) {
        Reader& r = of(context);
        r.text.clear();
        if (std::strcmp(tavlo::text(localName), "TrxDetailCard") == 0) {
            r.current = std::make_shared<LarchTransaction>();
            r.list->transactions_.push_back(r.current);
        }
    }
    static void end(void* context, const xmlChar* localName, const xmlChar*, const xmlChar*) {
        Reader& r = of(context);
        std::string name = tavlo::text(localName);
        if (equalsNoCase(name, "Error")) {
            if (!r.text.empty()) r.list->addError(r.text);
        } else if (name == "TrxDetailCard") {
            r.current.reset();
        } else if (r.current && !r.text.empty()) {
            r.current->setValue(r.text, name);
            if (name == "Void_Flag_CH" && r.text == "1") r.current->setVoided(Date::now());
        }
        r.text.clear();
    }
    static void characters(void* context, const xmlChar* chars, int length) {
        of(context).text.append(reinterpret_cast<const char*>(chars), static_cast<size_t>(length));
    }
};

std::optional<LarchDetailList::Zone> LarchDetailList::settleZone(const HostConfig& config, Error* error) {
    std::string name = "CST";
    for (const char* key : {"HOST_LARCH_SETTLE_TZ_ABBREV", "HOST_LARCH_SETTLE_TIME_ZONE"}) {
        auto it = config.find(key);
        if (it != config.end() && !trim(it->second).empty()) {
            name = trim(it->second);
            break;
        }
    }
    if (auto it = abbreviations().find(toUpper(name)); it != abbreviations().end())
        return Zone{TimeZone::fixed(it->second * 3600), name};
    if (std::optional<TimeZone> zone = TimeZone::fromOffsetText(name)) return Zone{*zone, name};
    Error::set(error, PaymentHandlerAdapter::error(format("Unknown time zone for the Larch settlement: %@", name)));
    return std::nullopt;
}

void LarchDetailList::addError(const std::string& text) { errors_ += (errors_.empty() ? "" : "; ") + text; }

void LarchDetailList::read(const std::string& document) {
    if (document.size() > static_cast<size_t>(INT_MAX)) {
        addError("The detail list from Larch is too large");
        return;
    }
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = &Reader::start;
    sax.endElementNs = &Reader::end;
    sax.characters = &Reader::characters;
    sax.cdataBlock = &Reader::characters;
    sax.serror = [](void*, auto*) {};
    Reader reader{this, nullptr, {}};
    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&sax, &reader, nullptr, 0, nullptr);
    if (!context) {
        addError("The detail list from Larch could not be read");
        return;
    }
    // Entities are never fetched or expanded: the list is data.
    xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    xmlParseChunk(context, document.data(), static_cast<int>(document.size()), 1);
    bool wellFormed = context->wellFormed != 0;
    if (context->myDoc) xmlFreeDoc(context->myDoc);
    xmlFreeParserCtxt(context);
    if (!wellFormed) addError("The detail list from Larch is not well-formed");
}

} // namespace tavlo
