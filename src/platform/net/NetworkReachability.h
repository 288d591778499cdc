#pragma once

#include <memory>
#include <string>

namespace tavlo {

// A target this machine may or may not be able to reach: a socket address or a host name.
// Asking sends nothing: a datagram socket connected to the target only makes the system choose
// a route, and a target without a route (no interface up towards it) cannot be reached.
class NetworkReachability {
public:
    // A socket address as raw sockaddr bytes (16 bytes IPv4, 28 bytes IPv6); null for anything
    // else.
    static std::unique_ptr<NetworkReachability> withAddress(const std::string& socketAddress);
    // A host name, looked up each time it is asked.
    static std::unique_ptr<NetworkReachability> withName(const std::string& hostName);

    // Whether the system has a route to the target now (to any of a name's addresses). false
    // when the name has no address or no socket can be made.
    bool isReachable() const;

private:
    NetworkReachability(std::string socketAddress, std::string hostName)
        : socketAddress_(std::move(socketAddress)), hostName_(std::move(hostName)) {}

    std::string socketAddress_; // empty for a name
    std::string hostName_;
};

} // namespace tavlo
