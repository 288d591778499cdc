#include "readers/dockmag/DockMag.h"

#include "platform/accessory/AccessoryManager.h"
#include "platform/foundation/ApplicationNotifications.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "readers/dockmag/DockMagLog.h"
#include "readers/dockmag/EventThreadStarter.h"
#include "readers/dockmag/SwipePacket.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

namespace tavlo::dockmag {

namespace {

constexpr char kSTX = 0x02;
constexpr char kETX = 0x03;
constexpr char kACK = 0x06;
constexpr char kNAK = 0x15;
constexpr int kSpaceAttempts = 5;
constexpr size_t kReadCmdCapacity = 300;
constexpr int kReadCmdPasses = 50;
constexpr double kReadCmdPauseSeconds = 0.01;
constexpr size_t kReadCapacity = 1024;
constexpr int kReplyPolls = 50;
constexpr double kReplyPollSeconds = 0.05;
constexpr double kSettleSeconds = 1.0; // before a session is opened

// What every DockMag of the process shares.
struct Shared {
    std::mutex mutex; // guards the flags, the starter and the observers
    std::atomic<bool> connected{false};
    bool resume = false;
    bool setUp = true;
    bool registered = false;
    std::unique_ptr<EventThreadStarter> starter;
    std::vector<ScopedObserver> observers;

    std::mutex replyLock;
    std::vector<std::string> replies;
    std::atomic<bool> awaitingReply{false};

    // Card data is read on the event thread only; a swipe reaches the main thread whole.
    SwipePacketAssembler swipes{[](const std::string& packet) { DockMag::notifyDataReceived(packet); }};
};

Shared& shared() {
    static auto* state = new Shared(); // reader threads may use it while the process exits
    return *state;
}

RunLoop* eventLoop() {
    std::lock_guard lock(shared().mutex);
    return shared().starter ? shared().starter->runloop() : nullptr;
}

// What arrives while a command waits is taken for its reply, but a card swiped meanwhile arrives
// the same way: only a chunk that opens as a reply (ACK, NAK or STX) and holds no track sentinel
// is shown in hex.
bool looksLikeReply(const std::string& chunk) {
    return !chunk.empty() && (chunk[0] == kACK || chunk[0] == kNAK || chunk[0] == kSTX) &&
           chunk.find_first_of("%;") == std::string::npos;
}

// A reply is logged whole when short, else by its first four and last two bytes; card data only
// by its length, since the log leaves the terminal.
void logChunk(const std::string& chunk, bool isReply) {
    if (!isReply || !looksLikeReply(chunk)) {
        logInfo("--- received card data: %d bytes", static_cast<int>(chunk.size()));
    } else if (chunk.size() < 11) {
        logInfo("--- received Data: %d bytes: [%@]", static_cast<int>(chunk.size()), hexEncode(chunk));
    } else {
        logInfo("--- received Data: %d bytes: [%@...%@]", static_cast<int>(chunk.size()), hexEncode(chunk.substr(0, 4)),
                hexEncode(chunk.substr(chunk.size() - 2)));
    }
}

} // namespace

void DockMag::enableLogging(bool enabled) { DockMagLog::setEnabled(enabled); }

DockMag::DockMag() {
    {
        Shared& state = shared();
        std::lock_guard lock(state.mutex);
        if (state.setUp) {
            if (!state.starter) {
                state.starter = std::make_unique<EventThreadStarter>();
                state.starter->start();
                std::lock_guard replies(state.replyLock);
                state.replies.clear();
            }
            if (!state.registered) {
                AccessoryManager::shared().registerForLocalNotifications();
                auto observe = [&](const std::string& name, void (DockMag::*callback)(const Notification&)) {
                    state.observers.emplace_back(
                        name, nullptr, [this, callback](const Notification& note) { (this->*callback)(note); });
                };
                observe(AccessoryManager::didConnectNotification, &DockMag::accessoryConnected);
                observe(AccessoryManager::didDisconnectNotification, &DockMag::accessoryDisconnected);
                observe(kApplicationDidEnterBackgroundNotification, &DockMag::applicationDidEnterBackground);
                observe(kApplicationWillEnterForegroundNotification, &DockMag::applicationWillEnterForeground);
                state.registered = true;
            }
            state.setUp = false;
        }
    }
    attemptConnect();
}

DockMag::~DockMag() { destroy(); }

bool DockMag::dockMagConnected() const { return shared().connected; }

void DockMag::disconnect() {
    if (!shared().connected) return;
    sessionClose();
    NotificationCenter::defaultCenter().post(kDidDisconnectNotification);
}

void DockMag::destroy() {
    disconnect();
    Shared& state = shared();
    std::unique_ptr<EventThreadStarter> starter;
    std::vector<ScopedObserver> observers;
    {
        std::lock_guard lock(state.mutex);
        if (state.registered) {
            observers = std::move(state.observers);
            state.observers.clear();
            AccessoryManager::shared().unregisterForLocalNotifications();
            state.registered = false;
        }
        starter = std::move(state.starter);
        state.setUp = true;
        // A driver made after this one starts as the first did: no reader to take back.
        state.resume = false;
    }
    observers.clear();
    if (starter) {
        starter->stop();
        std::lock_guard replies(state.replyLock);
        state.replies.clear();
    }
}

void DockMag::attemptConnect() {
    if (shared().connected) {
        logInfo("--- Connected already.");
        return;
    }
    for (const auto& accessory : AccessoryManager::shared().connectedAccessories()) {
        const auto& protocols = accessory->protocolStrings();
        if (protocols.empty()) {
            logInfo("Accessory in list with no protocolStrings. Ignoring...");
            continue;
        }
        if (std::find(protocols.begin(), protocols.end(), kReaderProtocol) == protocols.end()) continue;
        sessionOpen(accessory);
        if (shared().connected) {
            NotificationCenter::defaultCenter().post(kDidConnectNotification, accessory);
            return;
        }
        logInfo("open session unsuccessful");
    }
}

void DockMag::sessionOpen(const std::shared_ptr<Accessory>& accessory) {
    // The reader needs a moment after attaching before it answers a session.
    Clock::currentShared()->sleepFor(kSettleSeconds);
    RunLoop* loop = eventLoop();
    std::lock_guard lock(sessionMutex_);
    auto session = loop ? AccessorySession::open(accessory, kReaderProtocol) : nullptr;
    if (!session) {
        logInfo("--- session create fail. again.");
        return;
    }
    session_ = session;
    // Connected before the streams open: bytes the reader sends at once are read, not dropped.
    shared().connected = true;
    for (const std::shared_ptr<Stream>& stream :
         std::vector<std::shared_ptr<Stream>>{session->outputStream(), session->inputStream()}) {
        stream->setDelegate(this);
        stream->schedule(*loop, RunLoop::defaultMode);
        stream->open();
    }
}

void DockMag::sessionClose() {
    shared().connected = false;
    shared().swipes.reset();
    std::lock_guard lock(sessionMutex_);
    if (!session_) return;
    RunLoop* loop = eventLoop();
    for (const std::shared_ptr<Stream>& stream :
         std::vector<std::shared_ptr<Stream>>{session_->inputStream(), session_->outputStream()}) {
        stream->close();
        if (loop) stream->remove(*loop, RunLoop::defaultMode);
        stream->setDelegate(nullptr);
    }
    session_.reset();
}

void DockMag::stream(Stream& stream, StreamEvent event) {
    if (event == StreamEventHasBytesAvailable) {
        bytesAvailable(static_cast<InputStream&>(stream));
    } else if (event == StreamEventErrorOccurred) {
        recoverFromStreamError();
    }
}

void DockMag::bytesAvailable(InputStream& input) {
    if (!shared().connected) return;
    std::string chunk(kReadCapacity, '\0');
    ssize_t count = input.read(reinterpret_cast<uint8_t*>(chunk.data()), chunk.size());
    if (count <= 0) return;
    chunk.resize(static_cast<size_t>(count));
    Shared& state = shared();
    bool isReply = state.awaitingReply;
    logChunk(chunk, isReply);
    if (isReply) {
        std::lock_guard lock(state.replyLock);
        state.replies.push_back(std::move(chunk));
    } else {
        state.swipes.add(chunk);
    }
}

void DockMag::recoverFromStreamError() {
    std::lock_guard lock(sessionMutex_);
    if (!session_) return;
    auto accessory = session_->accessory();
    sessionClose();
    sessionOpen(accessory);
    if (!shared().connected) {
        NotificationCenter::defaultCenter().post(kDidDisconnectNotification);
    } else {
        logInfo("--- stream error recovered");
    }
}

std::optional<std::string> DockMag::SendCMD(const std::string& command) {
    if (!shared().connected) {
        logInfo("not connected. cmd %@ not sent", hexEncode(command));
        return std::nullopt;
    }
    std::string frame = preparePacket(command);
    shared().awaitingReply = true;
    auto reply = transmitPacket_withBackgroundEt(frame);
    shared().awaitingReply = false;
    return reply;
}

std::optional<std::string> DockMag::SendCMD_withCStr(const char* command) {
    return SendCMD(command ? std::string(command) : std::string());
}

std::optional<std::string> DockMag::SendCMDGetVersion() { return SendCMD("R\""); }

std::optional<std::string> DockMag::SendCMDGetSerialNumber() { return SendCMD("RN"); }

std::string DockMag::preparePacket(const std::string& command) {
    std::string frame;
    frame += kSTX;
    frame += command;
    frame += kETX;
    // Always the XOR, one-byte commands included: the reader checks every frame the same way.
    frame += static_cast<char>(computeLRC(frame));
    return frame;
}

uint8_t DockMag::computeLRC(const std::string& bytes) {
    uint8_t lrc = 0;
    for (unsigned char byte : bytes) lrc ^= byte;
    return lrc;
}

std::optional<std::string> DockMag::transmitPacket_withBackgroundEt(const std::string& frame) {
    std::shared_ptr<OutputStream> output;
    {
        std::lock_guard lock(sessionMutex_);
        if (session_) output = session_->outputStream();
    }
    if (!output) {
        logInfo("transmitPacket: no output/input stream");
        return std::nullopt;
    }
    Shared& state = shared();
    {
        std::lock_guard lock(state.replyLock);
        state.replies.clear();
    }
    ssize_t written = output->write(reinterpret_cast<const uint8_t*>(frame.data()), frame.size());
    if (written != static_cast<ssize_t>(frame.size())) {
        logInfo("transmitPacket: write failed. Result: %d", static_cast<int>(written));
        return std::nullopt;
    }
    for (int poll = 0; poll < kReplyPolls; ++poll) {
        {
            std::lock_guard lock(state.replyLock);
            if (!state.replies.empty()) return state.replies.front();
        }
        Clock::currentShared()->sleepFor(kReplyPollSeconds);
    }
    logInfo("transmitPacket: waiting for response timed out");
    return std::nullopt;
}

std::optional<std::string> DockMag::transmitPacket(const std::string& frame) {
    std::shared_ptr<OutputStream> output;
    std::shared_ptr<InputStream> input;
    {
        std::lock_guard lock(sessionMutex_);
        if (session_) {
            output = session_->outputStream();
            input = session_->inputStream();
        }
    }
    if (!output || !input) {
        logInfo("transmitPacket: no output/input stream");
        return std::nullopt;
    }
    // The event thread lets go of the input stream before the frame leaves, so that a reader
    // quick to answer does not have its reply taken for card data.
    input->setDelegate(nullptr);
    ssize_t written = 0;
    for (int attempt = 0; attempt < kSpaceAttempts; ++attempt) {
        if (output->hasSpaceAvailable()) {
            written = output->write(reinterpret_cast<const uint8_t*>(frame.data()), frame.size());
            break;
        }
        Clock::currentShared()->sleepFor(kReplyPollSeconds);
    }
    if (written <= 0) {
        input->setDelegate(this);
        return std::nullopt;
    }
    Clock::currentShared()->sleepFor(kReplyPollSeconds);
    std::optional<std::string> reply = DoReadCmd(*input);
    input->setDelegate(this);
    if (!reply || reply->size() < 5) return reply;
    return reply->substr(2, reply->size() - 4);
}

std::optional<std::string> DockMag::DoReadCmd(InputStream& input) {
    std::string buffer;
    for (int pass = 0; pass <= kReadCmdPasses; ++pass) {
        uint8_t chunk[kReadCmdCapacity];
        while (input.hasBytesAvailable()) {
            ssize_t count = input.read(chunk, sizeof chunk);
            if (count <= 0) break;
            buffer.append(reinterpret_cast<const char*>(chunk), static_cast<size_t>(count));
            Clock::currentShared()->sleepFor(kReadCmdPauseSeconds);
        }
        if (buffer.size() == 1 && (buffer[0] == kNAK || buffer[0] == kACK)) return buffer;
        if (buffer.size() > 4 && buffer.front() == kACK && buffer[buffer.size() - 2] == kETX &&
            computeLRC(buffer.substr(1, buffer.size() - 2)) == static_cast<uint8_t>(buffer.back())) {
            return buffer;
        }
        // A swipe that came in meanwhile is card data, not the reply: it is posted, and the
        // reply is still awaited.
        std::optional<size_t> swipeEnd;
        if (buffer.size() > 4 && buffer.front() == kSTX && buffer.back() == kETX) {
            notifyDataReceived(buffer.substr(1, buffer.size() - 2));
            swipeEnd = buffer.size();
        } else if (buffer.size() > 4 && (buffer.front() == ';' || buffer.front() == '%')) {
            size_t end = buffer.find('\r', 1);
            if (end != std::string::npos) {
                // The swipe's CR ends it; what follows is the reply.
                notifyDataReceived(buffer.substr(0, end));
                swipeEnd = end + 1;
            }
        }
        if (swipeEnd) {
            buffer.erase(0, *swipeEnd);
            pass = -1;
            continue;
        }
        Clock::currentShared()->sleepFor(kReadCmdPauseSeconds);
    }
    logInfo("--- time out");
    if (buffer.empty()) return std::nullopt;
    return buffer;
}

void DockMag::accessoryConnected(const Notification&) { attemptConnect(); }

void DockMag::accessoryDisconnected(const Notification& notification) {
    auto found = notification.userInfo.find(AccessoryManager::accessoryKey);
    if (found == notification.userInfo.end()) return;
    const auto* gone = std::any_cast<std::shared_ptr<Accessory>>(&found->second);
    bool ours = false;
    {
        std::lock_guard lock(sessionMutex_);
        ours = gone && *gone && session_ && session_->accessory()->connectionID() == (*gone)->connectionID();
    }
    if (ours) disconnect();
}

void DockMag::applicationDidEnterBackground(const Notification&) {
    if (shared().connected) {
        std::lock_guard lock(shared().mutex);
        shared().resume = true;
    }
    disconnect();
}

void DockMag::applicationWillEnterForeground(const Notification&) {
    bool resume;
    {
        std::lock_guard lock(shared().mutex);
        resume = shared().resume;
    }
    if (resume) attemptConnect();
}

void DockMag::notifyDataReceived(const std::string& chunk) {
    performOnMainThread([chunk] { notifyDataReceived_posted(chunk); });
}

void DockMag::notifyDataReceived_posted(const std::string& chunk) {
    // Always written: how much card data came, never what.
    std::fprintf(stderr, "-> card len: %d\n", static_cast<int>(chunk.size()));
    NotificationCenter::defaultCenter().post(kDidReceiveDataNotification, chunk);
}

} // namespace tavlo::dockmag
