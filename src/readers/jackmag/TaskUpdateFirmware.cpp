#include "readers/jackmag/TaskUpdateFirmware.h"

#include "readers/jackmag/CommandFrames.h"
#include "readers/jackmag/IdleTimer.h"
#include "readers/jackmag/Notifications.h"
#include "readers/jackmag/ReaderLog.h"

namespace tavlo::jackmag {

namespace {

constexpr size_t kPlainBlockSize = 256;
constexpr size_t kEncryptedBlockSize = 258;
constexpr int kAttemptsPerBlock = 3;

bool isVersionReply(const Bytes& reply) { return reply.size() == 15 && reply[0] == 0x06 && reply[1] == 'V'; }

// The reader's answer in its application mode: 06 02 ... 03 and the LRC.
bool isApplicationReply(const Bytes& reply) {
    return reply.size() > 4 && reply[0] == 0x06 && reply[1] == 0x02 && reply[reply.size() - 2] == 0x03;
}

} // namespace

TaskResult TaskUpdateFirmware::message(int code, const std::string& text, int block) const {
    SystemMessage m{Error(notes::kSystemMessageDomain, code, text), block >= 0 ? std::optional(block) : std::nullopt};
    return {notes::kSystemMessage, m};
}

void TaskUpdateFirmware::postMessage(int code, const std::string& text, int block) {
    TaskResult m = message(code, text, block);
    engine_.postNote(m.name, m.object);
}

TaskResult TaskUpdateFirmware::taskMain() {
    const TaskResult cancelled = message(307, "firmware update canceled");
    if (auto idle = IdleTimer::current()) {
        originalIdleTimerDisabled_ = idle->isIdleTimerDisabled();
        idle->setIdleTimerDisabled(true);
    }
    umToneSaveAndStop();

    Bytes version;
    for (int attempt = 0; attempt < 3 && version.empty(); ++attempt) {
        auto player = playCmd(frames::kGetVersion, kClosingCommand);
        RecordResult reply = recordDecode(5.0);
        if (reply.endsTask()) return cancelled;
        if (isVersionReply(reply.bytes) || isApplicationReply(reply.bytes)) version = reply.bytes;
    }
    if (version.empty()) return {notes::kCommandTimeout, {}};

    if (!isVersionReply(version)) {
        if (ta_.fw_str.empty()) return message(303, "Failed to enter bootloader mode");
        Bytes request = *bytesFromHex(ta_.fw_isEncrypted ? "02537019FF" : "02537009FF");
        request.insert(request.end(), ta_.fw_str.begin(), ta_.fw_str.end());
        request.push_back(0x03);
        request.push_back(lrc(request));
        auto player = playCmdBytes(request, kClosingBootloader);
        RecordResult reply = recordDecode(5.0);
        sleepFor(1.8);
        if (player) player->stop();
        if (reply.endsTask()) return cancelled;
        if (reply.status == RecordResult::TimedOut) return {notes::kCommandTimeout, {}};
        if (reply.bytes != Bytes{0x06} && !isVersionReply(reply.bytes))
            return message(303, "Failed to enter bootloader mode");
        logInfo("FwUpdate: entered bootloader mode");
    }

    // Blocks: 5A 9A, the block number, the block, and for a plain image the block's CRC. The
    // image's CRC takes in each block once, however often the block is sent.
    const Bytes& image = ta_.fw_file;
    size_t blockSize = ta_.fw_isEncrypted ? kEncryptedBlockSize : kPlainBlockSize;
    size_t count = image.size() / blockSize;
    uint16_t imageCrc = 0xFFFF;
    size_t block = 0;
    int attempt = 1;
    Bytes frame;
    while (block < count && attempt <= kAttemptsPerBlock) {
        const uint8_t* data = image.data() + block * blockSize;
        if (attempt == 1) {
            frame = {0x5A, 0x9A, static_cast<uint8_t>(block)};
            frame.insert(frame.end(), data, data + blockSize);
            if (!ta_.fw_isEncrypted) {
                uint16_t blockCrc = crcUpdate(0xFFFF, data, blockSize);
                frame.push_back(static_cast<uint8_t>(blockCrc >> 8));
                frame.push_back(static_cast<uint8_t>(blockCrc & 0xFF));
                imageCrc = crcUpdate(imageCrc, data, blockSize);
            }
        }
        if (isCancelled()) return cancelled;
        int number = static_cast<uint8_t>(block);
        std::string text = attempt == 1 ? format("Sending block 0x%02X data", number)
                                        : format("Resending (%d time) block 0x%02X", attempt - 1, number);
        postMessage(attempt == 1 ? 21 : 40, text, number);
        logInfo("FwUpdate: %@", text);
        auto player = playCmdBytes(frame, kClosingFirmwareBlock);
        RecordResult reply = recordDecode(18.0);
        if (player) player->stop();
        if (reply.endsTask()) return cancelled;
        if (reply.bytes == Bytes{0x06, static_cast<uint8_t>(number)}) {
            ++block;
            attempt = 1;
        } else {
            ++attempt;
        }
    }
    if (block < count)
        return message(305, format("Failed to send block 0x%02X", static_cast<uint8_t>(block)),
                       static_cast<uint8_t>(block));

    std::string verify = "5A9AEE";
    if (!ta_.fw_isEncrypted) verify += format("%04X", imageCrc);
    postMessage(30, "Verifying checksum");
    logInfo("FwUpdate: verifying checksum");
    auto player = playCmd(verify);
    RecordResult reply = recordDecode(3.0);
    if (reply.endsTask()) return cancelled;
    if (reply.status == RecordResult::TimedOut) return {notes::kCommandTimeout, {}};
    if (reply.bytes == Bytes{0x06, 0xEE} || reply.bytes == Bytes{0x06}) {
        logInfo("FwUpdate: finished");
        return {notes::kDidReceiveCmd, reply.bytes};
    }
    return message(306, "Failed to verify checksum");
}

void TaskUpdateFirmware::taskCleanUp() {
    if (auto idle = IdleTimer::current()) idle->setIdleTimerDisabled(originalIdleTimerDisabled_);
    umToneRestore();
}

} // namespace tavlo::jackmag
