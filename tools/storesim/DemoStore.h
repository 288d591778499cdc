#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tavlo::storesim {

// The demo restaurant: a hand-made store-data reply (resources/demo/demo-store.xml) with what
// changes from run to run filled in.
struct DemoStore {
    // The printers' addresses ("127.0.0.1:PORT") by name: "grill" and "bar" in the kitchen,
    // "receipt" at the till. A printer not named here is left without an address.
    std::map<std::string, std::string> printers;
    // Store parameters (key, value) added to the store's own.
    std::vector<std::pair<std::string, std::string>> params;

    static std::filesystem::path fixture();
    // The reply for the terminal `device` (its "uid"), which becomes the store's till "Till 1".
    // Throws std::runtime_error when the fixture cannot be read.
    std::string reply(const std::string& device) const;

    // What the demo's users sign in with: the manager may do everything, the servers take,
    // send, split and pay orders, the host may only sign in.
    static constexpr int kHostNumber = 1000, kManagerNumber = 1001, kServerNumber = 1002;
};

} // namespace tavlo::storesim
