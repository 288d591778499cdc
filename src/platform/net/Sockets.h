#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// One IPv4 address of a network interface, as the system lists them.
struct InterfaceAddress {
    std::string name;     // "eth0", "wlan0", "lo", ...
    std::string address;  // dotted IPv4 text
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
