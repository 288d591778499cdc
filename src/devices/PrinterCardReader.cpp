#include "devices/PrinterCardReader.h"

#include <mutex>

namespace tavlo {

namespace {
std::mutex g_makerMutex;
PrinterCardReader::Maker g_maker;
} // namespace

std::shared_ptr<PrinterCardReader> PrinterCardReader::make() {
    PrinterCardReader::Maker maker;
    {
        std::lock_guard lock(g_makerMutex);
        maker = g_maker;
    }
    return maker ? maker() : nullptr;
}

void PrinterCardReader::setMaker(Maker maker) {
    std::lock_guard lock(g_makerMutex);
    g_maker = std::move(maker);
}

} // namespace tavlo
