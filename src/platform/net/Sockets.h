#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// One IPv4 address of a network interface, as the system lists them.
struct InterfaceAddress {
    std::string name;    // "eth0", "wlan0", "lo", ...
    std::string address; // dotted IPv4 text
    bool up = false;
    bool loopback = false;
};

// Plain BSD-socket services: TCP connect with a bounded wait, name lookup, interface addresses.
// Stateless; every call may come from any thread.
class Sockets {
public:
    // Four decimal octets 0-255 joined by dots (leading zeros are decimal, never octal);
    // the address in network byte order, or nothing when the text is not one.
    static std::optional<uint32_t> parseIPv4(std::string_view text);

    // Connects a non-blocking IPv4 stream socket to address:port and waits at most
    // timeoutSeconds for it. Answers the connected descriptor (still non-blocking; the caller
    // closes it) or -1 with no descriptor left open. On -1, *errorNumber (when given) holds the
    // reason: the socket's own error (ECONNREFUSED, ...), ETIMEDOUT, or EINVAL for a bad address.
    // Writing to a peer that has gone fails with EPIPE and raises no signal.
    static int openTcp(const std::string& dottedAddress, int port, int timeoutSeconds, int* errorNumber = nullptr);

    // Writes every byte on a connected stream socket (blocking or not), waiting at most
    // timeoutSeconds each time the socket has no room. False, with *errorNumber (when given)
    // saying why, when the peer has gone, the wait ran out (ETIMEDOUT) or the descriptor is -1
    // (EBADF); some bytes may then have been sent.
    static bool sendAll(int fd, const void* data, size_t length, int timeoutSeconds, int* errorNumber = nullptr);
    // Ends what this side sends (the peer reads the end of the stream) and waits at most
    // timeoutSeconds for the peer to close in turn, reading and dropping what it sends meanwhile.
    // True when the peer closed in order, or when it keeps the connection but has acknowledged
    // every byte; false when it reset the connection (it closed without reading all that was
    // sent) or when bytes are still unacknowledged at the end of the wait. Does not close fd.
    static bool finishSending(int fd, int timeoutSeconds, int* errorNumber = nullptr);

    // The first IPv4 address the resolver gives for a host name, as dotted text.
    static std::optional<std::string> lookupIPv4(const std::string& hostName);

    // Every IPv4 interface address, in the system's order.
    static std::vector<InterfaceAddress> interfaceAddresses();

    // The MTU of the interface that holds a local address (raw sockaddr bytes, IPv4 or IPv6);
    // 0 when no interface holds it (as for the any-address) or the system does not say.
    static int interfaceMtu(const std::string& socketAddress);

    // Dotted text of an IPv4 address in network byte order.
    static std::string dottedText(uint32_t networkOrderAddress);
};

} // namespace tavlo
