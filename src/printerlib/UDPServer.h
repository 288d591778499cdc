#pragma once

#include "printerlib/UDPPacket.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavlo::printerlib {

// Hears the datagrams of the discovery sockets, on each socket's own thread.
class UDPServerDelegate {
public:
    virtual ~UDPServerDelegate() = default;
    virtual void didUDPReceive(const UDPPacket& packet) = 0;
    // On the socket's thread as it begins and as it ends.
    virtual void didUDPServiceStart() {}
    virtual void didUDPServiceStop() {}
};

// The discovery sockets: one datagram socket for the Wi-Fi replies and one for the Ethernet
// replies, each with a receiving thread, and the lookup broadcast. stop() wakes and joins the
// threads before it closes the sockets, so no delegate call comes after it returns.
class UDPServer {
public:
    enum Socket : unsigned { WiFiSocket = 0x1, EthernetSocket = 0x2 };
    static constexpr uint16_t kDefaultWlanPort = 9000;
    static constexpr uint16_t kDefaultEthernetPort = 48780;
    static constexpr const char* kDefaultBroadcastAddress = "255.255.255.255";
    static constexpr size_t kMaxDatagram = 65536;

    UDPServer();
    ~UDPServer();
    UDPServer(const UDPServer&) = delete;
    UDPServer& operator=(const UDPServer&) = delete;

    void start() { start(WiFiSocket | EthernetSocket); }
    // Opens the sockets the mask asks for; nothing when one is open already.
    void start(unsigned mask);
    void stop();
    // Sends the bytes from srcPort to dstPort: from the named Wi-Fi interface's address (the
    // setting NetFunctions::kWiFiInterfaceKey) to the broadcast address, or, when no interface is
    // named, from every interface that is up and can broadcast, to its network's broadcast
    // address (or to the broadcast address, when one other than the default was set). The
    // interface range is not used. False when nothing went out.
    bool broadcast(uint16_t dstPort, uint16_t srcPort, const uint8_t* bytes, long size, int interfaceRange);

    int sockWifi() const { return sockWifi_; }
    int sockEthernet() const { return sockEthernet_; }
    uint16_t portWlan() const { return portWlan_; }
    // Only while closed.
    void setPortWlan(uint16_t port);
    uint16_t portEthernet() const { return portEthernet_; }
    void setPortEthernet(uint16_t port);
    // Where broadcasts go; tests point it at their own network.
    std::string broadcastAddress() const;
    void setBroadcastAddress(std::string address);
    UDPServerDelegate* delegate() const { return delegate_; }
    void setDelegate(UDPServerDelegate* delegate) { delegate_ = delegate; }
    bool allowLog() const { return allowLog_; }
    void setAllowLog(bool allow) { allowLog_ = allow; }
    int levelLog() const { return levelLog_; }
    void setLevelLog(int level) { levelLog_ = level; }

private:
    // Where one broadcast goes: from an interface's address to a destination (network order).
    struct BroadcastRoute {
        uint32_t from;
        uint32_t to;
    };
    std::vector<BroadcastRoute> broadcastRoutes() const;
    bool broadcastOn(const BroadcastRoute& route, uint16_t dstPort, uint16_t srcPort, const uint8_t* bytes, long size);
    bool open(std::atomic<int>& socket, uint16_t port, std::thread& thread);
    void service(int socket);

    std::mutex mutex_; // start and stop
    std::atomic<int> sockWifi_{-1};
    std::atomic<int> sockEthernet_{-1};
    std::thread threadWifi_;
    std::thread threadEthernet_;
    int wakeFd_ = -1;
    uint16_t portWlan_ = kDefaultWlanPort;
    uint16_t portEthernet_ = kDefaultEthernetPort;
    mutable std::mutex addressMutex_;
    std::string broadcastAddress_ = kDefaultBroadcastAddress;
    std::atomic<UDPServerDelegate*> delegate_{nullptr};
    std::atomic<bool> allowLog_{false};
    std::atomic<int> levelLog_{0};
};

} // namespace tavlo::printerlib
