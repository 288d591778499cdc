#include "sync/announce/UDPDelegate.h"

#include "core/util/TavloLog.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "sync/announce/StoreNotification.h"

namespace tavlo {

namespace {

// An error as the log shows it.
std::string describe(const Error& error) {
    return format("Error Domain=%@ Code=%d \"%@\"", error.domain(), error.code(), error.localizedDescription());
}

} // namespace

UDPDelegate::UDPDelegate(std::shared_ptr<HandlerWaker> waker) : waker_(std::move(waker)) {}

UDPDelegate::~UDPDelegate() {
    if (udpSocket_) udpSocket_->setDelegate(nullptr);
}

std::unique_ptr<UDPDelegate> UDPDelegate::startListening(const std::optional<std::string>& ignoreBroadcasts,
                                                         const std::optional<std::string>& udpPort,
                                                         const std::optional<std::string>& udpLog,
                                                         std::shared_ptr<HandlerWaker> waker) {
    if (boolValue(ignoreBroadcasts)) return nullptr;
    auto listener = std::make_unique<UDPDelegate>(std::move(waker));
    listener->setLogging(boolValue(udpLog));
    listener->setAnnounceBroadcasts(true);
    listener->monitor(udpPort ? intValue(*udpPort) : kDefaultPort);
    return listener;
}

void UDPDelegate::monitor(int port) {
    if (udpSocket_) udpSocket_->setDelegate(nullptr);
    udpSocket_ = UdpSocket::initIPv4();
    udpSocket_->setDelegate(this);
    Error error;
    if (!udpSocket_->bindToPort(static_cast<uint16_t>(port), &error) ||
        !udpSocket_->joinMulticastGroup(kGroup, &error)) {
        TAVLO_LOG("Unexpected error from UDP monitor (port: %d): %@", port, describe(error));
        return;
    }
    udpSocket_->receiveWithTimeout(-1.0, 0);
}

bool UDPDelegate::onUdpSocketDidReceiveData(UdpSocket& socket, const std::string& data, long, const std::string&,
                                            uint16_t) {
    handle(data, socket.lastDatagramTruncated());
    socket.receiveWithTimeout(-1.0, 0);
    return true;
}

void UDPDelegate::handle(const std::string& datagram, bool truncated) {
    using Kind = StoreNotification::Kind;
    StoreNotification n = StoreNotification::parse(datagram, truncated);
    switch (n.kind) {
    case Kind::TooShort: TAVLO_LOG("UDP datagram dropped: %lu bytes is too short", datagram.size()); break;
    case Kind::Oversized:
        TAVLO_LOG("UDP datagram dropped: cut to the %lu bytes of the receive buffer", datagram.size());
        break;
    case Kind::Heartbeat:
        if (logging_) TAVLO_LOG("UDP heartbeat");
        break;
    case Kind::StoreChange:
    case Kind::MenuChange:
        if (logging_) TAVLO_LOG(n.kind == Kind::StoreChange ? "UDP store change" : "UDP menu change");
        if (waker_) waker_->wakeStore();
        break;
    case Kind::OrderChange:
        if (logging_) TAVLO_LOG("UDP order change");
        if (waker_) waker_->wakeOrders();
        break;
    case Kind::ShortTextMessage: break;
    case Kind::TextMessage:
        if (!announceBroadcasts_) break;
        TAVLO_LOG("UDP broadcast message");
        if (n.source) postMessage(*n.source, n.message);
        break;
    case Kind::Truncated:
        if (!announceBroadcasts_) break;
        TAVLO_LOG("UDP broadcast message");
        TAVLO_LOG("UDP broadcast message dropped: a record runs past the end of its %lu bytes", datagram.size());
        break;
    case Kind::Unknown:
        if (logging_) TAVLO_LOG("UDP unrecognized %d", n.type);
        break;
    }
}

void UDPDelegate::postMessage(const std::string& source, const std::optional<std::string>& message) {
    Notification inner;
    inner.name = format("Message from: %@", source);
    inner.userInfo["source"] = source;
    if (message) {
        inner.object = *message;
        inner.userInfo["message"] = *message;
    }
    inner.sender = this;
    NotificationCenter::defaultCenter().post(kBroadcastMessageNotification, std::any(inner), {}, this);
}

void UDPDelegate::onUdpSocketDidNotReceiveData(UdpSocket& socket, long tag, const Error& error) {
    if (logging_) TAVLO_LOG("No data received for %d: %@", tag, describe(error));
    socket.receiveWithTimeout(-1.0, 0);
}

void UDPDelegate::onUdpSocketDidClose(UdpSocket&) {
    if (logging_) TAVLO_LOG("UDP Socket close!!!!");
}

} // namespace tavlo
