#include "core/session/Rights.h"

#include <iterator>

namespace tavlo {

namespace {

using R = Right;

// In the order of the enumeration (checked below), so a right is its row's index.
constexpr RightInfo kRights[] = {
    {R::StoreLogin, "STORE_LOGIN", "Sign in on a terminal."},
    {R::AllowLoginWithoutClockIn, "ALLOW_LOGIN_WITHOUT_CLOCKIN", "Take orders without being on the clock."},
    {R::LoginInitTableLayout, "LOGIN_INIT_TABLE_LAYOUT", "Start at the table layout after signing in."},
    {R::ForceClockIn, "FORCE_CLOCK_IN", "Clock other employees in and out and edit their attendance."},
    {R::ReportTips, "REPORT_TIPS", "Declare tips when clocking out."},
    {R::NewOrder, "NEW_ORDER", "Start an order."},
    {R::QuickSale, "QUICK_SALE", "Start a quick sale."},
    {R::AllOrders, "ALL_ORDERS", "Open every user's orders."},
    {R::AllAreaOrders, "ALL_AREA_ORDERS", "Open every order of the terminal's area."},
    {R::TransferOrder, "TRANSFER_ORDER", "Hand an order to another server."},
    {R::RenameOrder, "RENAME_ORDER", "Rename an order."},
    {R::CancelOrder, "CANCEL_ORDER", "Cancel an order."},
    {R::CloseOrder, "CLOSE_ORDER", "Close an order."},
    {R::ReOpenOrder, "RE_OPEN_ORDER", "Open a closed order again."},
    {R::PrintOrder, "PRINT_ORDER", "Print an order's receipt."},
    {R::Split, "SPLIT", "Split an order."},
    {R::AddItem, "ADD_ITEM", "Add items to an order."},
    {R::RemoveItem, "REMOVE_ITEM", "Remove items already sent."},
    {R::ModifyItemPrice, "MODIFY_ITEM_PRICE", "Change an item's price."},
    {R::Comments, "COMMENTS", "Add a comment to an item."},
    {R::Complimentary, "COMPLIMENTARY", "Comp items (for comps that need the right)."},
    {R::AddDiscount, "ADD_DISCOUNT", "Discount an order."},
    {R::IncreaseGratuity, "INC_GRATUITY", "Change an order's gratuity."},
    {R::Refund, "REFUND", "Take refunds."},
    {R::Pay, "PAY", "Take payments of every kind."},
    {R::PayCash, "PAY_CASH", "Take cash."},
    {R::PayCredit, "PAY_CREDIT", "Take credit cards."},
    {R::PayDebit, "PAY_DEBIT", "Take debit cards."},
    {R::PayGift, "PAY_GIFT", "Take gift cards."},
    {R::PayCoupon, "PAY_COUPON", "Take coupons."},
    {R::PayCheck, "PAY_CHECK", "Take checks."},
    {R::PayBill, "PAY_BILL", "Take bills."},
    {R::PayExtCredit, "PAY_EXT_CREDIT", "Take credit cards charged elsewhere."},
    {R::PayExtDebit, "PAY_EXT_DEBIT", "Take debit cards charged elsewhere."},
    {R::PayTab, "PAY_TAB", "Open tabs."},
    {R::PayExtGift, "PAY_EXT_GIFT", "Take gift cards charged elsewhere."},
    {R::PayRoom, "PAY_ROOM", "Charge to a room."},
    {R::PayOther, "PAY_OTHER", "Take other payments."},
    {R::PayCreditForce, "PAY_CREDIT_FORCE", "Force a declined card charge."},
    {R::PayCreditManual, "PAY_CREDIT_MANUAL", "Type a card number in."},
    {R::NewPaymentTipAdjust, "NEW_PAYMENT_TIP_ADJUST", "Enter a tip with a new payment."},
    {R::TipAdjust, "TIP_ADJUST", "Adjust the tip of a payment taken."},
    {R::Void, "VOID", "Void payments of every kind."},
    {R::VoidCash, "VOID_CASH", "Void cash payments."},
    {R::VoidCredit, "VOID_CREDIT", "Void credit card payments."},
    {R::VoidDebit, "VOID_DEBIT", "Void debit card payments."},
    {R::VoidGift, "VOID_GIFT", "Void gift card payments."},
    {R::VoidCoupon, "VOID_COUPON", "Void coupons."},
    {R::VoidCheck, "VOID_CHECK", "Void checks."},
    {R::VoidBill, "VOID_BILL", "Void bills."},
    {R::VoidExtCredit, "VOID_EXT_CREDIT", "Void credit cards charged elsewhere."},
    {R::VoidExtDebit, "VOID_EXT_DEBIT", "Void debit cards charged elsewhere."},
    {R::VoidTab, "VOID_TAB", "Void tabs."},
    {R::VoidExtGift, "VOID_EXT_GIFT", "Void gift cards charged elsewhere."},
    {R::VoidRoomCharge, "VOID_ROOM_CHARGE", "Void room charges."},
    {R::VoidOther, "VOID_OTHER", "Void other payments."},
    {R::NoSale, "NO_SALE", "Open a cash drawer without a sale."},
    {R::NoSaleWhenAssigned, "NO_SALE_WHEN_ASSIGNED", "Open without a sale a drawer the user has cashed in."},
    {R::CashInCashDrawer, "CASH_IN_CASH_DRAWER", "Cash a drawer in."},
    {R::CashOutCashDrawer, "CASH_OUT_CASH_DRAWER", "Cash a drawer out."},
    {R::CashOutCashDrawerView, "CASH_OUT_CASH_DRAWER_VIEW", "Print a drawer's report."},
    {R::CashOutUser, "CASH_OUT_USER", "Cash oneself out."},
    {R::CashOutOthers, "CASH_OUT_OTHERS", "Cash other users out."},
    {R::CloseStore, "CLOSE_STORE", "Open and close the store's day."},
    {R::PrintDailyReport, "PRINT_DAILY_REPORT", "Print the day's report."},
    {R::PrintSalesStatusReport, "PRINT_SALES_STATUS_REPORT", "Print the sales status report."},
};

constexpr bool inOrder() {
    for (size_t i = 0; i < std::size(kRights); ++i)
        if (static_cast<size_t>(kRights[i].right) != i) return false;
    return true;
}
static_assert(inOrder(), "the table's rows follow the enumeration");
// A new right goes last in both the enumeration and the table.
static_assert(std::size(kRights) == static_cast<size_t>(R::PrintSalesStatusReport) + 1, "one row per right");

} // namespace

std::span<const RightInfo> Rights::all() { return kRights; }

std::string_view Rights::name(Right right) { return kRights[static_cast<size_t>(right)].name; }

std::optional<Right> Rights::find(std::string_view name) {
    for (const RightInfo& row : kRights)
        if (row.name == name) return row.right;
    return std::nullopt;
}

} // namespace tavlo
