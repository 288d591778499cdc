#pragma once

#include "core/order/Order.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tavlo {
class Session;
}

namespace tavlo::test {

// The orders the send tests and the send bench hand over: a dine-in order of soup, nothing of it
// sent yet.
struct SoupOrder {
    int32_t units = 2;
    int32_t price = 1000;       // cents a unit
    std::string userId = "u5";  // the server and who ordered the line
    bool taxed = true;          // under the state tax (8.25 %)
    Session* session = nullptr; // given: the line takes its stock
};

// Units of soup ordered by `userId`, none of them sent.
SelectionPtr soupLine(const std::string& remoteId, int32_t units, int32_t price = 1000,
                      const std::string& userId = "u5");
// "Table <remoteId>" with one line of soup, "<remoteId>-1".
std::unique_ptr<Order> soupOrder(const std::string& remoteId, const SoupOrder& soup = {});

} // namespace tavlo::test
