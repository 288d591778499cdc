#pragma once

#include "printerlib/interfaceFunctions.h"

#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <string>

namespace tavlo {
class FdSource;
}

namespace tavlo::printerlib {

// The transport to a printer on the network: one IPv4 TCP connection. Sends and receives block
// the calling thread (the controller's threads) while they wait for the socket; their time-outs
// are whole seconds of the clock. Connecting and closing may come from any thread.
class NetFunctions : public interfaceFunctions {
public:
    static constexpr long kChunkSize = 1024;
    // User defaults that name the interfaces whose addresses the library reads (Linux has no
    // fixed names), with the names used when they are not set.
    static constexpr const char* kWiFiInterfaceKey = "printerWiFiInterface";
    static constexpr const char* kCellularInterfaceKey = "printerCellularInterface";
    static constexpr const char* kDefaultWiFiInterface = "wlan0";
    static constexpr const char* kDefaultCellularInterface = "wwan0";
    // Codes of a failed connect, as its connect call answers them.
    static constexpr int kConnectFailed = -1;
    static constexpr int kConnectTimedOut = -2;

    NetFunctions() = default;
    ~NetFunctions() override;

    using interfaceFunctions::connect;
    using interfaceFunctions::disconnect;
    using interfaceFunctions::recv;
    using interfaceFunctions::send;

    // The socket's descriptor, -1 when closed.
    int socket() const;
    // No broken-pipe signal, address reuse.
    static void options(int descriptor);
    // Fills an IPv4 socket address from dotted text or a host name (3 tries); false when the
    // text names no address.
    static bool makeAddr(sockaddr_in& address, const std::string& text, uint16_t port);

    // macAddress is not used. Reports willConnect, then didConnect (with notification) or
    // didNotConnectWithError: with kConnectFailed or kConnectTimedOut.
    bool connect(const std::string& macAddress, const std::string& address, uint16_t port, bool notification) override;
    // Sends everything in chunks of at most kChunkSize bytes, each once the socket is writable;
    // answers the bytes sent (fewer after a time-out or a broken connection).
    long send(const uint8_t* bytes, long size) override;
    // Receives until `size` bytes came or `timeout` seconds passed; 0 when the printer closed
    // the connection before anything came, -1 when the connection broke (reported and closed).
    long recv(uint8_t* buffer, long size, float timeout) override;
    // Receives at most retry + 1 times, each as soon as bytes are there.
    long recv(uint8_t* buffer, long size, float timeout, long retry) override;
    bool isConnected() override;
    void disconnect(bool notify) override;

    // Watches the open socket from the main run loop (common modes): a printer that closes the
    // connection is then found without a read, as a broken connection. Nothing when closed.
    void addWorker();
    // Closes the connection as disconnect does, without telling the delegate.
    void removeWorker();
    // Runs the calling thread's run loop until it is stopped.
    static void worker();

    // Dotted IPv4 text of the first non-loopback address of the interface so named; "" without.
    static std::string addressForInterface(const std::string& name);
    static std::string localWiFiAddress();
    static std::string localCellularAddress();
    static std::string wifiInterfaceName();
    // The Wi-Fi interface the settings name, if any.
    static std::optional<std::string> configuredWiFiInterface();
    static std::string cellularInterfaceName();

protected:
    // Writes one chunk to the socket; answers as send(2) does.
    virtual long writeChunk(int descriptor, const uint8_t* bytes, long size);

private:
    enum class Wait { Ready, TimedOut, Failed };
    // Waits for the socket to be readable or writable for at most the whole seconds given.
    Wait waitFor(int descriptor, bool forWriting, float seconds);
    long receive(uint8_t* buffer, long size, float timeout, long retry, bool passes);
    // Closes after a failure and tells the delegate; the code is the failure's error number.
    void broken(int code);

    // The open socket. A send or receive holds its own reference while it works, so a close
    // from another thread shuts the connection down at once but frees the descriptor only
    // after them: its number can never reach a socket opened meanwhile.
    struct Descriptor {
        explicit Descriptor(int number) : fd(number) {}
        ~Descriptor();
        const int fd;
    };
    std::shared_ptr<Descriptor> descriptor() const;

    mutable std::mutex slock_;     // guards socket_
    std::recursive_mutex monitor_; // connecting and closing
    std::shared_ptr<Descriptor> socket_;
    std::shared_ptr<FdSource> worker_; // under slock_
};

} // namespace tavlo::printerlib
