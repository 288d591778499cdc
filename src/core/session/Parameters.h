#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

class ObjectContext;

// Where a parameter's value is kept: a store row every terminal shares, a row of one terminal, or
// either (this terminal's value when it has one, else the store's).
enum class ParameterScope { Store, Terminal, Either };

// How its text is read: a flag (boolValue: "YES", "true", "1"...), a whole number (intValue), or
// the text as it stands.
enum class ParameterType { Flag, Number, Text };

// Every store and terminal parameter the terminal reads or keeps, by its meaning; the rows of
// ParameterTable.cpp give each its stored name, scope, type, default and a line on what it does.
enum class Parameter {
    Lite,
    StoreId,
    StoreName,
    StoreAddress,
    StoreCity,
    StoreState,
    StoreZip,
    StoreTelephone,
    StoreFax,
    StoreWebSite,
    LastUpdateStore,
    LastUpdateMenu,
    CurrentBatchId,
    LastLogArchive,
    QuickSaleSequence,
    DiscountSequence,
    OrderSequence,
    SelectionSequence,
    PaymentSequence,
    CustomerSequence,
    ActivityLogSequence,
    AttendanceSequence,
    TerminalDevice,
    LogXml,
    MinimumVersion,
    CustomerUrl,
    SynchCustomers,
    SynchOrdersAuto,
    StoreManagerSleepInterval,
    OrderManagerSleepInterval,
    EncryptionKeyLength,
    SocketConnectTimeout,
    SessionTimeout,
    StoreHandlerReadTimeout,
    OrderHandlerReadTimeout,
    SendDateOnOpen,
    SendBackVoids,
    AttendanceUsePrintUrl,
    AllowOrderHandlerRunning,
    QuickSaleRestartId,
    QuickSaleMaxDigits,
    UpdateOrdersOnExit,
    AllowAdmin,
    IgnoreTerminalInfo,
    IgnoreBroadcasts,
    UdpPort,
    UdpLog,
    RestorePaymentBatch,
    PreferredGateway,
    Accessible,
    MsrType,
    LogMsrEvents,
    PrinterUrl,
    PrinterType,
    PrinterConnectionType,
    PrinterDebug,
    PrinterTimeout,
    PrinterSocketConnectTimeout,
    ReceiptCharsPerLine,
    ReceiptTrailingBlankLines,
    PrintClockInReceipt,
    PrintClockOutReceipt,
    PrintClockOutReceiptCopy,
    PrintTipGuide,
    PrintReceiptFooterOnPayment,
    PricedItemsOnly,
    PrintOrderHideTaxRate,
    HideTipLine,
    TipPercentage1,
    TipPercentage2,
    TipPercentage3,
    GiftUrl,
    TipGratuityAfterTax,
    TipGratuityBeforeCompDisc,
    ReportOrdersSection,
    ReportPaymentsSummarySection,
    ReportTaxesSection,
    ReportSalesSection,
    ReportStatsSection,
    ReportDiscountsSection,
    ReportCompSection,
    ReportGroupSalesByAreaSection,
    ReportItemsSoldSection,
    ReportMiscSection,
    PrinterManagerChangesMode,
    PrintNewOnly,
    AnnouncerAlphabetizeItems,
    AnnouncerShowRecipeDescription,
    AnnouncerShowComboName,
    AnnouncerShowComboAbsoluteQuantities,
    KitchenPrinterAnnunciators,
    MainSelectionColor,
    SideColor,
    PreparationColor,
    DescriptionColor,
    RecipeDescriptionColor,
    PickUpKitchenColor,
    PickUpKitchenMessage,
    CateringKitchenColor,
    CateringKitchenMessage,
    DriveThruKitchenColor,
    DriveThruKitchenMessage,
    DineInKitchenColor,
    DineInKitchenMessage,
    DeliveryKitchenColor,
    DeliveryKitchenMessage,
    TakeOutKitchenColor,
    TakeOutKitchenMessage,
    CreditHost,
    CreditDebug,
    CashHandlingMode,
    ModuleCashInOut,
    ModuleGratuity,
    ModuleCustomerAccounts,
    ModuleTableLayout,
    ModuleTimeAttendance,
    LarchAllowManual,
    LarchCaptureUrl,
    LarchDetailsUrl,
    LarchUser,
    LarchPassword,
    LarchTerminal,
    LarchConnectTimeout,
    LarchReadTimeout,
    LarchForceFlag,
    LarchCancelOrphanPayments,
    LarchIgnoreOrphanPayments,
    LarchAutoSettle,
    LarchSettleTransType,
    LarchSettleTzAbbrev,
    LarchSettleTimeZone,
    AvsZipOnlySupport,
    CreditAuthOnlyAmount,
    AllowForceCreditCard,
    PromptPayTerminal,
    AllowCashTip,
    DoNotShowApproval,
    DoNotPrintCashCustomerCopy,
    QuickSaleDoNotPrintCustomerReceipt,
    SuppressReceiptIfCaptured,
    MinimumAmountMerchantCopy,
    SignatureCaptureCredit,
    SignatureCaptureDebit,
    SignatureCaptureGift,
    SignatureCaptureCoupon,
    SignatureCaptureCheck,
    SignatureCaptureBill,
    SignatureCaptureTab,
    SignatureCaptureRoom,
    SignatureCaptureOther,
    SignatureCaptureQuality,
    SignatureCaptureWidth,
    SignatureCaptureHeight,
    EmailCustomerReceipts,
    EmailReceipts,
    EmailFrom,
    DoNotPrintToNetwork,
    CashOutHidePayments,
    PaymentsByCreator,
    NoUserCashOuts,
    AlertLayoutRefreshErrors,
    OpenOrdersCached,
    OpenOrdersGrouped,
    LayoutNoAutoShow,
    CompsDisabled,
    CompComments,
    TempCompComments,
    QuickSaleUseSeats,
    SeatView,
    CourseView,
    CourseMax,
    CoursesUseZero,
    CourseSalesGroups,
    SeatsUseScroller,
    SeatsAdditional,
    SeatsUseZero,
    OrderSeatsSlider,
    ShowSelectionTax,
    TaxOverride,
    GratuityMinSeats,
    Gratuity,
    ForceSetSeats,
    SeatViewSetSeats,
    AllowSeats,
    QuickSaleOrderType,
    QuickSalePromptName,
    PromptOrderType,
    QuickSalePromptOrderType,
    QuickSaleShowTotalButton,
    HidePayUp,
    HidePayExact,
    CancelEmptyOrders,
    PrintOrderCloseReceipt,
    QuickSaleAutoClose,
    OrderAutoClose,
    QuickSaleCashAutoClose,
    OrderCashAutoClose,
    MenuList,
    RowCount,
    MenuScrollPadding,
    MenuXPadding,
    MenuYPadding,
    MenuFontWidth,
    UseShortcuts,
    ItemPromptComments,
    ItemPromptQuantity,
    ItemTaxIncluded,
    PromptSeatSuppress,
    PromptCourseSuppress,
};

struct ParameterInfo {
    Parameter parameter;
    std::string_view name; // as the store server sends it
    ParameterScope scope;
    ParameterType type;
    std::string_view fallback; // the value read when no row holds one ("": none)
    std::string_view meaning;
};

// The one way the terminal reads its configuration: typed reads of the table's parameters in
// their scope, from the caller's context (null reads as unset), and the families of parameters
// whose names are built at run time. The store's rows themselves are DBHelper's.
class Parameters {
public:
    static std::span<const ParameterInfo> all();
    static const ParameterInfo& info(Parameter parameter);
    static std::string_view name(Parameter parameter) { return info(parameter).name; }
    // The parameter stored under `name`; nil for a name the table lacks.
    static std::optional<Parameter> find(std::string_view name);

    // The value in the parameter's scope (a Terminal one: this device's terminal), else its
    // default; nil when neither.
    static std::optional<std::string> text(Parameter parameter, ObjectContext* context);
    static bool flag(Parameter parameter, ObjectContext* context);
    static int32_t number(Parameter parameter, ObjectContext* context);
    // The value of the given terminal's own row (no store value), else the default.
    static std::optional<std::string> terminalText(Parameter parameter, const std::optional<std::string>& terminalId,
                                                   ObjectContext* context);
    static bool terminalFlag(Parameter parameter, const std::optional<std::string>& terminalId, ObjectContext* context);
    // Sets a store parameter, inserting its row when missing (not saved).
    static void save(Parameter parameter, const std::optional<std::string>& value, ObjectContext* context);

    // Families named at run time.
    // A card host's settings: every store parameter "HOST_<host>_*" (the host as given), by full name.
    static std::map<std::string, std::string> hostSettings(std::string_view host, ObjectContext* context);
    // One of those settings; nil when they lack it.
    static std::optional<std::string> hostSetting(const std::map<std::string, std::string>& settings,
                                                  Parameter parameter);
    // The receipt footer: the store parameters "RECEIPT_FOOTER_LINE_*", in order of name.
    static std::vector<std::string> receiptFooter(ObjectContext* context);
    // Store parameters whose names start so are the terminal's own: a store load keeps them.
    static constexpr std::string_view kOwnPrefix = "IPHONE";
};

} // namespace tavlo
