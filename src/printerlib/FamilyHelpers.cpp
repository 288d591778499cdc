#include "printerlib/FamilyHelpers.h"

#include "printerlib/Trace.h"
#include "printerlib/iController.h"

#include <cstring>

namespace tavlo::printerlib {

unsigned long GetModel(std::string_view name) {
    // The reply is a zero-terminated text: past its end every character reads as zero.
    auto at = [&](size_t i) { return i < name.size() ? name[i] : '\0'; };
    if (at(0) != '_') {
        trace(TraceLevel::Error, "[ERROR] model name should start '_'.");
        return 0;
    }
    if (at(1) == 'M' && at(2) == 'P' && at(3) == 'P' && at(5) == 'R') {
        if (at(6) == '2') return 200;
        if (at(6) == '3') return 300;
        return 0;
    }
    if (at(1) == 'E' && at(2) == 'M' && at(4) == '2' && at(5) == '2') return 220;
    return 0;
}

uint16_t Checksum(const uint8_t* bytes, long length) {
    uint32_t sum = 0;
    for (long i = 0; i + 1 < length; i += 2) sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    if (length % 2 != 0) sum += static_cast<uint32_t>(bytes[length - 1] << 8);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    const auto checksum = static_cast<uint16_t>(~sum & 0xFFFF);
    return static_cast<uint16_t>(checksum << 8 | checksum >> 8);
}

long CreateChecksum(std::vector<uint8_t>& packet) {
    const size_t original = packet.size();
    if (packet.size() % 2 != 0) packet.push_back(0);
    packet.insert(packet.end(), {0, 0});
    const uint16_t checksum = Checksum(packet.data(), static_cast<long>(packet.size()));
    std::memcpy(&packet[packet.size() - 2], &checksum, 2); // little endian, as the packets hold it
    if (Checksum(packet.data(), static_cast<long>(packet.size())) != 0) {
        trace(TraceLevel::Error, "[ERROR] checkSum Error.");
        packet.resize(original);
        return -1;
    }
    return static_cast<long>(packet.size());
}

void fillBarcodeTable(iController& model, const std::function<bool(long number)>& supported) {
    struct Entry {
        long number;
        const char* name;
    };
    static const Entry kEntries[] = {
        {101, "UPC-A"},
        {102, "UPC-E"},
        {103, "EAN8"},
        {104, "EAN13"},
        {105, "JAN8"},
        {106, "JAN13"},
        {108, "CodaBar"},
        {109, "Code39"},
        {110, "Code93"},
        {111, "Code128"},
        {200, "PDF417"},
        {202, "QRCode-Model2"},
        {203, "QRCode-Model1"},
        {204, "DATAMATRIX"},
        {205, "MAXICODE-Model2"},
        {206, "MAXICODE-Model3"},
        {207, "MAXICODE-Model4"},
        {208, "GS1Databar-RSS14"},
        {209, "GS1Databar-TRUNCATED"},
        {210, "GS1Databar-Stacked"},
        {211, "GS1Databar-Stacked_Omin"},
        {212, "GS1Databar-Limited"},
        {213, "GS1Databar-Expanded"},
        {208, "GS1Databar-UPCA"},
        {208, "GS1Databar-UPCE"},
        {208, "GS1Databar-EAN13"},
        {208, "GS1Databar-EAN8"},
        {208, "GS1Databar-EAN128_AB"},
        {208, "GS1Databar-EAN128_C"},
    };
    if (model.barcodeSupport() && !model.barcodeSupport()->getSuppotList().empty()) return;
    auto table = std::make_unique<OVBarcodeInfo>();
    for (const Entry& entry : kEntries) table->addObjectWithBarcode(entry.number, entry.name, supported(entry.number));
    model.setBarcodeSupport(std::move(table));
}

} // namespace tavlo::printerlib
