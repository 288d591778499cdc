#pragma once

#include <cstdint>

namespace tavlo {

// What kind of order it is. The numbers are the ones the store's order types, its parameters
// ("QS_ORDER_TYPE"), its rules ("ORDER_TYPE_<n>") and the store server use: a number of no type
// here is kept as it stands.
enum class OrderType : int32_t {
    PickUp = -12,
    Catering = -11,
    DriveThru = -10,
    Refund = -9,
    Tournament = -7,
    BeverageCart = -6,
    RoomService = -5,
    Banquet = -4,
    DineIn = -3,
    Delivery = -2,
    TakeOut = -1,
};

// The stored number of an order type, and the order type of a stored number.
constexpr int32_t storedNumber(OrderType type) { return static_cast<int32_t>(type); }
constexpr OrderType orderTypeOf(int32_t stored) { return static_cast<OrderType>(stored); }

} // namespace tavlo
