// iController: text with its settings header, simple printer commands and memory switches.
#include "printerlib/iController.h"

#include "platform/foundation/Clock.h"
#include "printerlib/CommandBytes.h"
#include "printerlib/Trace.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tavlo::printerlib {

namespace {

// A box larger than this is refused rather than built in memory.
constexpr long kMaxBoxBytes = 1 << 20;
constexpr long kMaxDirectIOReply = 64L << 20;
constexpr size_t kMSWSize = 8;
constexpr uint8_t kMSWReplyStart = 0x37;
constexpr double kMSWSettle = 0.5;

void append(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

bool validAlignment(long alignment) { return alignment >= 0 && alignment <= 2; }

// Code table 0 (PC437) line characters.
constexpr uint8_t kTopLeft = 0xDA, kTopRight = 0xBF, kBottomLeft = 0xC0, kBottomRight = 0xD9;
constexpr uint8_t kHorizontal = 0xC4, kVertical = 0xB3;

} // namespace

Bytes iController::makeAlignment() const { return alignmentCommand(alignment_); }

Bytes iController::makeAttribute() const {
    return attributeCommands(attribute_, characterSet_, internationalCharacterSet_);
}

Bytes iController::makeSize() const { return {0x1D, 0x21, static_cast<uint8_t>(textSize_ & 0xFF)}; }

Bytes iController::alignmentCommand(long alignment) {
    if (!validAlignment(alignment)) return {};
    return {0x1B, 0x61, static_cast<uint8_t>(alignment)};
}

Bytes iController::attributeCommands(long attribute, uint8_t characterSet, uint8_t internationalCharacterSet) {
    uint8_t style = static_cast<uint8_t>((attribute & 0x01) | ((attribute << 2) & 0x08) | ((attribute << 5) & 0x80));
    return {0x1B, 0x21, style,        0x1D, 0x42, static_cast<uint8_t>((attribute & 0x08) ? 1 : 0),
            0x1B, 0x74, characterSet, 0x1B, 0x52, internationalCharacterSet};
}

Bytes iController::textHeader() const {
    Bytes header = makeAlignment();
    append(header, makeAttribute());
    header.insert(header.end(), 8, 0x00);
    append(header, makeSize());
    return header;
}

long iController::printText(const std::string& text) {
    if (textSize_ < -1) {
        trace(TraceLevel::Error, "[ERROR] printText, Invalid text size - OVL_BAD_ARGMENT");
        return OVL_BAD_ARGMENT;
    }
    if (!validAlignment(alignment_)) {
        trace(TraceLevel::Error, "[ERROR] printText, Invalid parameter - OVL_BAD_ARGMENT");
        return OVL_BAD_ARGMENT;
    }
    if (text.empty()) return OVL_SUCCESS;
    Bytes block = textHeader();
    std::string encoded;
    if (textEncoding_ == StringEncodingPrinterCodePage) {
        // The code page that holds the text follows the header's code table and overrides it.
        CodePageText inPage = encodeForCodePages(text, codePages());
        if (inPage.replaced > 0)
            trace(TraceLevel::Detail, "[DETAIL] printText, %zu characters no code page holds.", inPage.replaced);
        append(block, {0x1B, 0x74, inPage.table});
        encoded = std::move(inPage.bytes);
    } else if (auto converted = encodeText(text, textEncoding_)) {
        encoded = std::move(*converted);
    } else {
        // Text the encoding cannot write is not printed, and the caller hears of it.
        trace(TraceLevel::Error, "[ERROR] printText, text not in the encoding %lu - OVL_BAD_ARGMENT",
              textEncoding_.load());
        return OVL_BAD_ARGMENT;
    }
    block.insert(block.end(), encoded.begin(), encoded.end());
    return withConnection([&] { return send(block) == SOCKET_ERROR ? OVL_WRITE_ERROR : OVL_SUCCESS; });
}

long iController::lineFeed(long lines) {
    if (coverOpened_) {
        trace(TraceLevel::Error, "[ERROR] corver is opened.");
        return OVL_NOT_OPENED;
    }
    if (lines > 100) return OVL_BAD_ARGMENT;
    return withConnection([&] {
        const uint8_t feed = 0x0A;
        for (long i = 0; i < lines; ++i)
            if (send(&feed, 1) == SOCKET_ERROR) return static_cast<long>(OVL_WRITE_ERROR);
        return static_cast<long>(OVL_SUCCESS);
    });
}

long iController::openDrawer() {
    Bytes pulse{0x1B, 0x70, static_cast<uint8_t>(drawerPin_ & 0xFF), 0x64, 0x90, 0x00};
    return withConnection([&] { return sendCommand(pulse); });
}

long iController::initializePrinter() {
    alignment_ = 0;
    attribute_ = 0;
    textSize_ = 0;
    textPosition_ = 2;
    return withConnection([&] {
        long result = sendCommand({0x1B, 0x40});
        if (result != OVL_SUCCESS) trace(TraceLevel::Error, "[ERROR] cmd send Fail.");
        return result;
    });
}

long iController::setPageArea(long startingX, long startingY, long width, long height) {
    Bytes command{0x1B, 0x4C, 0x1B, 0x57};
    for (long value : {startingX, startingY, width, height}) appendLittleEndian16(command, value);
    return withConnection([&] { return sendCommand(command, false); });
}

long iController::setLeftPosition(long position) {
    Bytes command{0x1B, 0x24};
    appendLittleEndian16(command, position);
    return withConnection([&] { return sendCommand(command, false); });
}

long iController::setVerticalPosition(long position) {
    Bytes command{0x1D, 0x24};
    appendLittleEndian16(command, position);
    return withConnection([&] { return sendCommand(command, false); });
}

long iController::printDataInPageMode() {
    return withConnection([&] { return sendCommand({0x0C, 0x0C}, false); });
}

Bytes iController::drawBox(long width, long height) const {
    // The narrowest box (2) is its two edges with nothing between them.
    const size_t inside = static_cast<size_t>(std::max(width - 3, 0L));
    Bytes lines;
    lines.reserve(static_cast<size_t>(height) * (inside + 4));
    for (long row = 0; row < height; ++row) {
        bool top = row == 0, bottom = row == height - 1;
        lines.push_back(top ? kTopLeft : bottom ? kBottomLeft : kVertical);
        lines.insert(lines.end(), inside, (top || bottom) ? kHorizontal : 0x20);
        lines.push_back(top ? kTopRight : bottom ? kBottomRight : kVertical);
        lines.push_back(0x0D);
        lines.push_back(0x0A);
    }
    return lines;
}

long iController::printBox(long width, long height) {
    if (width < 2 || height < 2) return OVL_BAD_ARGMENT;
    if (width >= kMaxBoxBytes || height >= kMaxBoxBytes || height * (width + 1) > kMaxBoxBytes) return OVL_MEMORY_ERROR;
    if (!validAlignment(alignment_)) return OVL_BAD_ARGMENT;
    // The box is drawn in plain characters of code table 0 at normal size, whatever the text
    // settings are; they are left as they were.
    Bytes block = makeAlignment();
    append(block, attributeCommands(0, 0, internationalCharacterSet_));
    block.insert(block.end(), 8, 0x00);
    append(block, {0x1D, 0x21, 0x00});
    append(block, {0x1B, 0x33, 0x00, 0x00});
    append(block, drawBox(width, height));
    return withConnection([&] { return send(block) == SOCKET_ERROR ? OVL_WRITE_ERROR : OVL_SUCCESS; });
}

long iController::setLabelMode(bool on) {
    return withConnection([&] { return sendCommand({0x08, 0x4C, static_cast<uint8_t>(on ? 0x4C : 0x52)}, false); });
}

long iController::directIO(const Bytes& request, long requiredSize, Bytes* response) {
    if (state_ != OVL_STS_NORMAL) {
        trace(TraceLevel::Error, "[ERROR] state is not OVL_STS_NORMAL[%d]. current state is %ld.", 0, state_.load());
        return OVL_STS_ERROR;
    }
    if (request.empty()) {
        trace(TraceLevel::Error, "[ERROR] request[%08x] is nil or request size is zero.", 0);
        return OVL_BAD_ARGMENT;
    }
    return withConnection([&]() -> long {
        if (send(request) <= 0) {
            trace(TraceLevel::Error, "[ERROR] can not send direct IO data to printer.");
            return OVL_WRITE_ERROR;
        }
        if (requiredSize <= 0) return OVL_SUCCESS;
        Bytes reply;
        try {
            // No printer answers more than this; a larger size is a caller's mistake, refused
            // before it can exhaust memory.
            if (requiredSize > kMaxDirectIOReply) throw std::bad_alloc();
            reply.resize(static_cast<size_t>(requiredSize));
        } catch (const std::exception&) {
            trace(TraceLevel::Error, "[ERROR] can not allocate the response buffer[SIZE:%ld]", requiredSize);
            return OVL_MEMORY_ERROR;
        }
        long got = recv(reply.data(), requiredSize, kDefaultReceiveTimeout);
        if (got != requiredSize || !response) {
            trace(TraceLevel::Error,
                  "[ERROR] received response size is not match with requiredSize[%ld] or response is nil.",
                  requiredSize);
            return OVL_STS_ERROR;
        }
        *response = std::move(reply);
        return OVL_SUCCESS;
    });
}

long iController::readMSWReply(uint8_t* reply, long size) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        Clock::currentShared()->sleepFor(kMSWSettle);
        wait(RecvQueue::kStepSeconds);
        long got = recvValue(reply, size, kMSWReplyStart);
        // The start byte, the switch's number, its 8 settings and the closing zero.
        if (got >= static_cast<long>(kMSWSize) + 2) return got;
    }
    return 0;
}

long iController::loadMSW(long number, uint8_t* resultDataBuffer, long dataBufferSize) {
    if (!resultDataBuffer || dataBufferSize < static_cast<long>(kMSWSize)) {
        trace(TraceLevel::Error, "[ERROR] buffer size is too smaller.");
        return OVL_BUFFER_ERROR;
    }
    std::memset(resultDataBuffer, 0, static_cast<size_t>(dataBufferSize));
    return withConnection([&]() -> long {
        if (sendCommand({0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, static_cast<uint8_t>(number), 0x00}) != OVL_SUCCESS) {
            trace(TraceLevel::Error, "[ERROR] can not send command for MSW[%ld].", number);
            return OVL_WRITE_ERROR;
        }
        uint8_t reply[64];
        long got = readMSWReply(reply, sizeof reply);
        if (got == 0) {
            trace(TraceLevel::Error, "[ERROR] can not read the MSW_%ld.", number);
            return OVL_READ_ERROR;
        }
        trace(TraceLevel::Detail, "[SUCCESS] MSW_%ld(%ld bytes). [%s]", number, got,
              reinterpret_cast<const char*>(reply));
        std::memcpy(resultDataBuffer, reply + 2, kMSWSize);
        didLoadStatusMSW_ = true;
        return OVL_SUCCESS;
    });
}

long iController::saveMSW(long number, const uint8_t* mswDataBuffer, long dataBufferSize) {
    if (!mswDataBuffer || dataBufferSize < static_cast<long>(kMSWSize)) {
        trace(TraceLevel::Error, "[ERROR] buffer size is too smaller.");
        return OVL_BUFFER_ERROR;
    }
    Bytes command{0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03, static_cast<uint8_t>(number), 0, 0, 0, 0, 0, 0, 0, 0, 0x00};
    std::memcpy(command.data() + 7, mswDataBuffer, kMSWSize);
    return withConnection([&] {
        long result = sendCommand(command);
        if (result != OVL_SUCCESS) trace(TraceLevel::Error, "[ERROR]  can not send command for set MSW[%ld].", number);
        return result;
    });
}

} // namespace tavlo::printerlib
