#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/net/UdpSocket.h"
#include "sync/handlers/HandlerWaker.h"

namespace tavlo {

// Listens to the store server's change announcements on a multicast group: a store, menu or
// order change wakes the handler that loads it; a text message for the staff is posted as
// "broadcastMessage", whose object is a Notification named "Message from: <source>" carrying
// the message text as its object and "source" and "message" in its user info. Never sends.
// Lives on the run loop of the thread that calls monitor (the main thread).
class UDPDelegate : public UdpSocketDelegate {
public:
    static constexpr int kDefaultPort = 4408;
    static constexpr const char* kGroup = "230.0.0.1";
    static constexpr const char* kBroadcastMessageNotification = "broadcastMessage";

    explicit UDPDelegate(std::shared_ptr<HandlerWaker> waker);
    ~UDPDelegate() override;
    UDPDelegate(const UDPDelegate&) = delete;
    UDPDelegate& operator=(const UDPDelegate&) = delete;

    // The sign-in screen's start of the listener from the configuration values
    // HH_IGNORE_BROADCASTS, HH_UDP_PORT and HH_UDP_LOG: none when broadcasts are ignored.
    static std::unique_ptr<UDPDelegate> startListening(const std::optional<std::string>& ignoreBroadcasts,
                                                       const std::optional<std::string>& udpPort,
                                                       const std::optional<std::string>& udpLog,
                                                       std::shared_ptr<HandlerWaker> waker);

    const std::shared_ptr<UdpSocket>& udpSocket() const { return udpSocket_; }
    bool announceBroadcasts() const { return announceBroadcasts_; }
    void setAnnounceBroadcasts(bool announce) { announceBroadcasts_ = announce; }
    bool logging() const { return logging_; }
    void setLogging(bool logging) { logging_ = logging; }

    // Binds the port (its low 16 bits) on every local address, joins the group on the default
    // interface and waits for datagrams. A failure is logged and left so: no retry.
    void monitor(int port);
    void monitor() { monitor(kDefaultPort); }

    bool onUdpSocketDidReceiveData(UdpSocket& socket, const std::string& data, long tag, const std::string& host,
                                   uint16_t port) override;
    void onUdpSocketDidNotReceiveData(UdpSocket& socket, long tag, const Error& error) override;
    void onUdpSocketDidClose(UdpSocket& socket) override;

private:
    void handle(const std::string& datagram, bool truncated);
    void postMessage(const std::string& source, const std::optional<std::string>& message);

    std::shared_ptr<HandlerWaker> waker_;
    std::shared_ptr<UdpSocket> udpSocket_;
    bool announceBroadcasts_ = false;
    bool logging_ = false;
};

} // namespace tavlo
