#include "DemoStore.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "xml/XmlStreamWriter.h"

namespace tavlo::storesim {

namespace {

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::filesystem::path DemoStore::fixture() {
    return std::filesystem::path(TAVLO_RESOURCES_DIR) / "demo" / "demo-store.xml";
}

std::string DemoStore::reply(const std::string& device) const {
    std::ifstream in(fixture(), std::ios::binary);
    if (!in) throw std::runtime_error("storesim: cannot read " + fixture().string());
    std::ostringstream content;
    content << in.rdbuf();
    std::string text = content.str();

    std::string more;
    for (const auto& [key, value] : params)
        more += "<param><key>" + XmlStreamWriter::escape(key) + "</key><value>" + XmlStreamWriter::escape(value) +
                "</value></param>";
    replaceAll(text, "<!--more params-->", more);
    replaceAll(text, "$TERMINAL_DEVICE", XmlStreamWriter::escape(device));
    for (const char* printer : {"grill", "bar"}) {
        auto it = printers.find(printer);
        replaceAll(text, "$PRINTER_" + upper(printer), it == printers.end() ? "" : XmlStreamWriter::escape(it->second));
    }
    // The till's receipt printer, a network ESC/POS printer.
    std::string receipt;
    if (auto it = printers.find("receipt"); it != printers.end())
        receipt = "<param><key>TS_PRINTER_TYPE</key><value>escpos</value></param>"
                  "<param><key>TS_PRINTER_CONNECTION_TYPE</key><value>TCP/IP</value></param>"
                  "<param><key>TS_PRINTER_URL</key><value>" +
                  XmlStreamWriter::escape(it->second) + "</value></param>";
    replaceAll(text, "<!--receipt printer-->", receipt);
    return text;
}

} // namespace tavlo::storesim
