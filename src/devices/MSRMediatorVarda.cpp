// The vDock accessory reader, read by the card-reader mediator itself.
#include "devices/MSRMediator.h"

#include "core/util/TavloLog.h"
#include "platform/accessory/AccessoryManager.h"
#include "platform/foundation/AlertSink.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"

#include <algorithm>

namespace tavlo {

namespace {

const std::string kVardaProtocol = "com.varda.vdock";
const std::string kTillReaderProtocol = "com.tillware.tillreader";
constexpr size_t kVardaReadCapacity = 1024;

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool isVarda(const Accessory& accessory) {
    const std::string& first = accessory.protocolStrings().front();
    return sameIgnoringCase(accessory.name(), "vdock") || sameIgnoringCase(first, kVardaProtocol) ||
           sameIgnoringCase(first, kTillReaderProtocol);
}

} // namespace

bool MSRMediator::connectVarda() {
    if (vardaSession_) {
        if (logEvents_) TAVLO_LOG("Varda was already connected");
        return false;
    }
    for (const auto& accessory : AccessoryManager::shared().connectedAccessories()) {
        if (accessory->protocolStrings().empty()) {
            if (logEvents_) TAVLO_LOG("No protocols found for %@", accessory->name());
            continue;
        }
        if (!isVarda(*accessory)) continue;
        vardaSession_ = AccessorySession::open(accessory, kVardaProtocol);
        if (!vardaSession_) vardaSession_ = AccessorySession::open(accessory, accessory->protocolStrings().front());
        if (vardaSession_) {
            for (const std::shared_ptr<Stream>& stream :
                 std::vector<std::shared_ptr<Stream>>{vardaSession_->inputStream(), vardaSession_->outputStream()}) {
                stream->setDelegate(this);
                stream->schedule(RunLoop::current(), RunLoop::defaultMode);
                stream->open();
            }
        }
        if (accessory->isConnected() && logEvents_) TAVLO_LOG("Connected to Varda MSR!");
        return true;
    }
    return false;
}

void MSRMediator::disconnectVarda() {
    if (!vardaSession_) return;
    for (const std::shared_ptr<Stream>& stream :
         std::vector<std::shared_ptr<Stream>>{vardaSession_->inputStream(), vardaSession_->outputStream()}) {
        stream->close();
        stream->remove(RunLoop::current(), RunLoop::defaultMode);
        stream->setDelegate(nullptr);
    }
    vardaSession_.reset();
    vardaSwipes_.reset();
}

void MSRMediator::stream(Stream& stream, StreamEvent event) {
    switch (event) {
    case StreamEventHasBytesAvailable: readVardaSwipe(static_cast<InputStream&>(stream)); break;
    case StreamEventErrorOccurred:
        disconnectVarda();
        if (logEvents_) TAVLO_LOG("NSStreamEventErrorOccurred");
        AlertSink::show(localized("Alert"),
                        localized("Unexpected reader error, please disconnect it and connect it back"),
                        localized("Cancel"));
        break;
    case StreamEventOpenCompleted:
        if (logEvents_) TAVLO_LOG("NSStreamEventOpenCompleted");
        break;
    case StreamEventEndEncountered:
        if (logEvents_) TAVLO_LOG("NSStreamEventEndEncountered");
        break;
    case StreamEventNone:
        if (logEvents_) TAVLO_LOG("NSStreamEventNone");
        break;
    case StreamEventHasSpaceAvailable: break;
    }
}

void MSRMediator::readVardaSwipe(InputStream& input) {
    std::string buffer(kVardaReadCapacity, '\0');
    ssize_t count = input.read(reinterpret_cast<uint8_t*>(buffer.data()), buffer.size());
    if (count < 0) {
        if (logEvents_) TAVLO_LOG("Unable to read swipe: %@", input.streamError().localizedDescription());
        return;
    }
    if (count == 0) return;
    buffer.resize(static_cast<size_t>(count));
    // A swipe ends at its packet's end (a plain one at CR or a zero byte), not where a read ends.
    vardaSwipes_.add(buffer);
}

} // namespace tavlo
