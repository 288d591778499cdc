#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavlo::test {

// What came of running a body in a network namespace of its own.
struct NamespaceRun {
    // Empty when the namespace was made and set up; otherwise why not (the test skips).
    std::string unavailable;
    // The child's exit code: 0 when the body ran without a test failure.
    int exitCode = 0;
};

// Runs `body` in a child process inside a new network namespace, which holds nothing but a
// loopback interface that is down. `setUp` runs first in the child and answers "" or why the
// namespace cannot be used. A test failure in the body makes the child exit 1; its messages go
// to the output as usual. Nothing done in the namespace reaches the machine's own network.
NamespaceRun runInNetworkNamespace(const std::function<std::string()>& setUp, const std::function<void()>& body);

// Brings the loopback interface up, with multicast; "" or what failed.
std::string bringLoopbackUp();

// bringLoopbackUp, then routes the multicast range (224.0.0.0/4) over the loopback, so that a
// listener can join a group there; "" or what failed.
std::string bringLoopbackUpForMulticast();

// Makes a tap interface named `name` with the IPv4 address and brings it up, inside the test's
// own namespace (its descriptor stays open for the interface to stay); "" or what failed.
std::string makeTapInterface(const char* name, const char* address);

// An announcement datagram as the store server writes it: the stream header, the type's block,
// then the text records, padded with zero bytes to `padTo`.
std::string announcementDatagram(int32_t type, const std::vector<std::string>& texts = {}, size_t padTo = 11);

} // namespace tavlo::test
