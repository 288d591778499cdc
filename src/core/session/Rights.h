#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tavlo {

// Every right (permission) the terminal checks through the session, by its meaning; the rows of
// Rights.cpp give each its name as the store's roles and users hold it.
enum class Right {
    StoreLogin,
    AllowLoginWithoutClockIn,
    LoginInitTableLayout,
    ForceClockIn,
    ReportTips,
    NewOrder,
    QuickSale,
    AllOrders,
    AllAreaOrders,
    TransferOrder,
    RenameOrder,
    CancelOrder,
    CloseOrder,
    ReOpenOrder,
    PrintOrder,
    Split,
    AddItem,
    RemoveItem,
    ModifyItemPrice,
    Comments,
    Complimentary,
    AddDiscount,
    IncreaseGratuity,
    Refund,
    Pay,
    PayCash,
    PayCredit,
    PayDebit,
    PayGift,
    PayCoupon,
    PayCheck,
    PayBill,
    PayExtCredit,
    PayExtDebit,
    PayTab,
    PayExtGift,
    PayRoom,
    PayOther,
    PayCreditForce,
    PayCreditManual,
    NewPaymentTipAdjust,
    TipAdjust,
    Void,
    VoidCash,
    VoidCredit,
    VoidDebit,
    VoidGift,
    VoidCoupon,
    VoidCheck,
    VoidBill,
    VoidExtCredit,
    VoidExtDebit,
    VoidTab,
    VoidExtGift,
    VoidRoomCharge,
    VoidOther,
    NoSale,
    NoSaleWhenAssigned,
    CashInCashDrawer,
    CashOutCashDrawer,
    CashOutCashDrawerView,
    CashOutUser,
    CashOutOthers,
    CloseStore,
    PrintDailyReport,
    PrintSalesStatusReport,
};

struct RightInfo {
    Right right;
    std::string_view name;
    std::string_view meaning;
};

// The rights' table, beside the parameters' (Parameters.h).
class Rights {
public:
    static std::span<const RightInfo> all();
    static std::string_view name(Right right);
    // For interfaces that pass rights by name (a manager's authorisation).
    static std::string text(Right right) { return std::string(name(right)); }
    // The right held under `name`; nil for a name the table lacks.
    static std::optional<Right> find(std::string_view name);
};

} // namespace tavlo
