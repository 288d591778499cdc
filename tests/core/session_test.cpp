#include "core/session/Session.h"
#include "core/util/LogInfoProvider.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/store/ObjectContext.h"
#include "support/StoreFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tavlo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Order types as the store numbers them.
std::vector<int32_t> numbers(const std::vector<OrderType>& types) {
    std::vector<int32_t> stored;
    for (OrderType type : types) stored.push_back(storedNumber(type));
    return stored;
}
using test::StoreFixture;

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { store_.buildSmallStore(); }

    ObjectContext* context() { return store_.context().get(); }
    // A session signed in as the user (the sign-in must succeed).
    Session signedIn(const std::string& userId) {
        Session session(context());
        EXPECT_TRUE(session.authenticate(userId)) << userId;
        return session;
    }
    std::string logText() {
        std::ifstream in(TavloLog::logFilePath());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    ScopedFakeClock clock_;
    StoreFixture store_;
};

TEST_F(SessionTest, CreationReadsTheStoreAndTheUserDefaultsButSignsNobodyIn) {
    auto& defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(UserDefaults::Value(std::string("S-42")), "store_id");
    defaults.setObject(UserDefaults::Value(std::string("secret")), "password");
    defaults.setBool(true, "animation");
    Session session(context());
    EXPECT_EQ(session.storeName(), "Corner Bistro");
    EXPECT_EQ(session.storeState(), "OR");
    EXPECT_EQ(session.storeCity(), "Salem");
    EXPECT_EQ(session.storeId(), "S-42");
    EXPECT_EQ(session.password(), "secret");
    EXPECT_TRUE(session.useAnimation());
    EXPECT_FALSE(session.isLite());
    EXPECT_FALSE(session.isValid());
    EXPECT_EQ(session.userId(), std::nullopt);
    EXPECT_EQ(session.terminalId(), std::nullopt);
    EXPECT_EQ(context()->mergePolicy(), ObjectContext::MergePolicy::Overwrite);
}

TEST_F(SessionTest, AuthenticateTable) {
    struct Case {
        const char* userId;
        bool signedIn;
        bool fieldsSet; // user and terminal fields filled
    } cases[] = {
        {"U-ANN", true, true},   // STORE_LOGIN through the role on the clock
        {"U-BOB", true, true},   // through any role when not on the clock
        {"U-EVE", true, true},   // through the user's own permission
        {"U-DAN", false, true},  // no STORE_LOGIN: fields stay, not signed in
        {"U-CAT", false, false}, // disabled
        {"U-NOBODY", false, false},
    };
    for (const auto& c : cases) {
        Session session(context());
        EXPECT_EQ(session.authenticate(c.userId), c.signedIn) << c.userId;
        EXPECT_EQ(session.isValid(), c.signedIn) << c.userId;
        EXPECT_EQ(session.userId().has_value(), c.fieldsSet) << c.userId;
        EXPECT_EQ(session.terminalId().has_value(), c.fieldsSet) << c.userId;
    }

    Session ann = signedIn("U-ANN");
    EXPECT_EQ(ann.userName(), "Ann Marie Lee");
    EXPECT_EQ(ann.userEmail(), "ann@example.com");
    EXPECT_EQ(ann.firstName(), "Ann");
    EXPECT_EQ(ann.terminalId(), "T1");
    EXPECT_EQ(ann.terminalName(), "Front");
    EXPECT_EQ(ann.terminalNumber(), "1");
    EXPECT_EQ(ann.terminalAreaId(), "A1");
    EXPECT_EQ(ann.dateStarted(), Date::now());
    EXPECT_EQ(signedIn("U-BOB").firstName(), "Bob");
    EXPECT_EQ(Session(context()).firstName(), "?");
    EXPECT_EQ(Session(context()).managedObjectModel(), nullptr); // the creator's to set
    ann.setManagedObjectModel(&context()->model());

    ann.invalidate();
    EXPECT_FALSE(ann.isValid());
    EXPECT_EQ(ann.userId(), std::nullopt);
    EXPECT_EQ(ann.terminalId(), std::nullopt);
    EXPECT_EQ(ann.storeName(), std::nullopt);
    EXPECT_EQ(ann.storeCity(), "Salem"); // state and city stay
    EXPECT_EQ(ann.managedObjectContext(), nullptr);
    EXPECT_EQ(ann.managedObjectModel(), &context()->model()); // the model stays
    EXPECT_FALSE(ann.isGranted("STORE_LOGIN"));               // no context left: every answer is no
}

TEST_F(SessionTest, ADeviceWithoutATerminalCannotSignInAndTheLogListsTheTerminals) {
    store_.row("TerminalParam", "name", "TS_UID")->setValue("value", "another-device");
    store_.save();
    Session session(context());
    EXPECT_FALSE(session.authenticate("U-ANN"));
    EXPECT_EQ(session.userId(), std::nullopt);

    std::string log = logText();
    auto failed = log.find("*** Failed/Invalid terminal, available terminals:");
    auto garden = log.find("***    Terminal: Garden");
    auto bar = log.find("***    Terminal: Bar");
    auto front = log.find("***    Terminal: Front");
    ASSERT_NE(failed, std::string::npos);
    EXPECT_LT(failed, garden); // from the highest number down
    EXPECT_LT(garden, bar);
    EXPECT_LT(bar, front);
    EXPECT_NE(log.find("***      TS_PRINTER_URL = receipt.local:9100"), std::string::npos);
}

// The log's information as the program gives it: here only the store server's address counts.
class GatewayInfo : public LogInfoProvider {
public:
    std::optional<std::string> gateway() override { return "http://10.1.2.3:4444"; }
};

TEST_F(SessionTest, FailedSignInsSayWhyInTheLog) {
    TavloLog::setInfoProvider(std::make_shared<GatewayInfo>());
    EXPECT_FALSE(Session(context()).authenticate("U-NOBODY"));
    EXPECT_FALSE(Session(context()).authenticate("U-CAT"));
    EXPECT_FALSE(Session(context()).authenticate("U-DAN"));
    TavloLog::setInfoProvider(nullptr);
    std::string log = logText();
    for (const char* line :
         {"*** LOGIN ATTEMPT, id: U-NOBODY", "*** Gateway: http://10.1.2.3:4444", "*** Failed, invalid user",
          "Disabled user attempted login (Cat)", "*** User: Dan", "*** Failed, no access granted!!!"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
}

TEST_F(SessionTest, IsGrantedTable) {
    struct Case {
        const char* userId;
        const char* permission;
        bool granted;
    } cases[] = {
        // Ann is on the clock as server: the manager role does not count.
        {"U-ANN", "STORE_LOGIN", true},
        {"U-ANN", "REFUND", false},
        {"U-ANN", "ALL_ORDERS", false},
        // Bob is not on the clock: every role counts.
        {"U-BOB", "REFUND", true},
        {"U-BOB", "ALL_ORDERS", true},
        {"U-BOB", "NO_SALE", false},
        // Own permissions always count.
        {"U-DAN", "NO_SALE", true},
        {"U-DAN", "STORE_LOGIN", false},
        {"U-EVE", "REFUND", true},
        // Names compare exactly.
        {"U-BOB", "refund", false},
        {"U-NOBODY", "STORE_LOGIN", false},
    };
    Session session(context());
    for (const auto& c : cases) {
        EXPECT_EQ(session.isGranted(c.permission, std::optional<std::string>(c.userId)), c.granted)
            << c.userId << " " << c.permission;
    }
    EXPECT_FALSE(session.isGranted("STORE_LOGIN", ManagedObjectPtr()));
    EXPECT_FALSE(session.isGranted("STORE_LOGIN")); // nobody signed in

    // Own permissions count on the clock too.
    store_.row("User", "userId", "U-ANN")->addTo("permissions", store_.addPermission("NO_SALE"));
    EXPECT_TRUE(session.isGranted("NO_SALE", std::optional<std::string>("U-ANN")));
    // Clocked out, every role counts again.
    store_.row("Attendance", "user.userId", "U-ANN")->setValue("end", Date::now());
    EXPECT_TRUE(session.isGranted("REFUND", std::optional<std::string>("U-ANN")));
}

TEST_F(SessionTest, ClockInQueriesLookAtEveryOpenAttendance) {
    Session session(context());
    EXPECT_TRUE(session.isClockedIn("U-ANN"));
    EXPECT_EQ(session.currentRole("U-ANN"), "R-SERVER");
    EXPECT_FALSE(session.isClockedIn("U-BOB"));
    EXPECT_EQ(session.currentRole("U-BOB"), std::nullopt);

    // Bob's closed shift and a reconciled one come first; his open shift still counts.
    auto bob = store_.row("User", "userId", "U-BOB");
    auto manager = store_.row("Role", "roleId", "R-MANAGER");
    store_.addAttendance(bob, manager, Date::now().addingSeconds(-60));
    store_.addAttendance(bob, manager)->setValue("endReconciled", Date::now());
    EXPECT_FALSE(session.isClockedIn("U-BOB"));
    store_.addAttendance(bob, manager);
    EXPECT_TRUE(session.isClockedIn("U-BOB"));
    EXPECT_EQ(session.currentRole("U-BOB"), "R-MANAGER");

    // On the clock without a role: clocked in, but every role counts.
    auto eve = store_.row("User", "userId", "U-EVE");
    store_.addAttendance(eve, nullptr);
    EXPECT_TRUE(session.isClockedIn("U-EVE"));
    EXPECT_EQ(session.currentRole("U-EVE"), std::nullopt);
    EXPECT_FALSE(session.isClockedIn(std::nullopt));
}

TEST_F(SessionTest, UsersAreFoundByNumberAndCardData) {
    Session session(context());
    EXPECT_EQ(session.userFromNumber("1002"), "U-BOB");
    EXPECT_EQ(session.userFromNumber("9999"), std::nullopt);
    EXPECT_EQ(session.userFromTrackData("ANNCARD"), "U-ANN");
    // Users without a number or card must not answer to nil.
    EXPECT_EQ(session.userFromNumber(std::nullopt), std::nullopt);
    EXPECT_EQ(session.userFromTrackData(std::nullopt), std::nullopt);
}

TEST_F(SessionTest, OrderTypesListLabelledTypesAndRefundOnlyWithTheRight) {
    const std::vector<int32_t> withoutRefund{-12, -11, -10, -7, -6, -5, -4, -3, -2, -1};
    std::vector<int32_t> withRefund{-12, -11, -10, -9, -7, -6, -5, -4, -3, -2, -1};
    EXPECT_EQ(numbers(signedIn("U-ANN").orderTypes()), withoutRefund);
    EXPECT_EQ(numbers(signedIn("U-BOB").orderTypes()), withRefund);

    // Only types with a label are offered.
    context()->insert("OrderType")->setValue("type", 5);
    EXPECT_EQ(numbers(signedIn("U-BOB").orderTypes()), withRefund);
}

TEST_F(SessionTest, QuickSaleOrderTypesFollowTheMask) {
    const std::vector<int32_t> quickSale{-12, -11, -10, -6, -5, -4, -3, -2, -1};
    std::vector<int32_t> withRefund{-12, -11, -10, -9, -6, -5, -4, -3, -2, -1};
    struct Case {
        const char* userId;
        bool isNew;
        std::vector<int32_t> expected;
    } cases[] = {
        {"U-BOB", true, withRefund},
        {"U-BOB", false, quickSale},
        {"U-ANN", true, quickSale}, // no REFUND on the clock as server
        {"U-ANN", false, quickSale},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(numbers(signedIn(c.userId).qsOrderTypes(c.isNew)), c.expected) << c.userId << " " << c.isNew;
    }

    // No refund row, no refund.
    context()->deleteObject(context()->fetchFirst("OrderType", "type == %d", -9));
    EXPECT_EQ(numbers(signedIn("U-BOB").qsOrderTypes(true)), quickSale);
}

TEST_F(SessionTest, PaymentTypesInTheirOrderWithoutGiftInLiteMode) {
    EXPECT_THAT(Session(context()).paymentTypes(), ElementsAre(1, 2, 10, 3, 4, 13));
    store_.addStoreParam("TAVLO_LITE", "YES");
    Session lite(context());
    ASSERT_TRUE(lite.isLite());
    EXPECT_THAT(lite.paymentTypes(), ElementsAre(1, 2, 10, 3, 13));
}

class VersionInfo : public LogInfoProvider {
public:
    explicit VersionInfo(std::string version) : version_(std::move(version)) {}
    std::string appVersion() override { return version_; }

private:
    std::string version_;
};

TEST_F(SessionTest, UpgradeCheck) {
    struct Case {
        const char* version;
        const char* minimum;
        bool required;
    } cases[] = {
        {"2.9.9", "3", true},   {"2.9", "2.10", true},   {"2.10", "2.9", false},  {"2.1.5", "2.1", false},
        {"2.1", "2.1.1", true}, {"2.1", "2.1.0", false}, {"2.1.0", "2.1", false}, {"3.0", "3.0", false},
        {"3b.1", "3.1", false}, {"x", "1", true},        {"10", "9.9.9", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Session::isVersionBelow(c.version, c.minimum), c.required) << c.version << " vs " << c.minimum;
    }

    TavloLog::setInfoProvider(std::make_shared<VersionInfo>("2.4.1"));
    Session session(context());
    EXPECT_FALSE(session.isUpgradeRequired()); // no minimum configured
    auto minimum = store_.addStoreParam("HH_MINIMUM_VERSION", "2.5");
    EXPECT_TRUE(session.isUpgradeRequired());
    minimum->setValue("value", "2.4");
    EXPECT_FALSE(session.isUpgradeRequired());
    // The terminal's own minimum comes first.
    store_.addTerminalParam(store_.row("Terminal", "terminalId", "T1"), "HH_MINIMUM_VERSION", "2.4.2");
    EXPECT_TRUE(session.isUpgradeRequired());
    TavloLog::setInfoProvider(nullptr);
}

TEST_F(SessionTest, PrinterSettingsOfThisTerminal) {
    Session session(context());
    EXPECT_EQ(session.printTimeout(), 5);
    auto timeout = store_.addStoreParam("TS_PRINTER_SOCKET_CONNECT_TIMEOUT", "");
    for (auto [millis, seconds] : {std::pair{"2500", 3}, {"1499", 1}, {"0", 0}, {"500", 1}, {"abc", 0}}) {
        timeout->setValue("value", millis);
        EXPECT_EQ(session.printTimeout(), seconds) << millis;
    }
    EXPECT_EQ(session.printerURL(), "receipt.local:9100");
    EXPECT_EQ(session.terminalDisplayArea(), "A2");
    // The store's printer address is not this terminal's.
    store_.row("TerminalParam", "name", "TS_PRINTER_URL")->setValue("name", "OTHER");
    store_.addStoreParam("TS_PRINTER_URL", "store.local");
    EXPECT_EQ(session.printerURL(), std::nullopt);
}

TEST_F(SessionTest, StoreDayStateFromTheBusinessDays) {
    Session session(context());
    EXPECT_FALSE(session.isStoreOpen());
    EXPECT_EQ(session.storeOpenDate(), std::nullopt);
    EXPECT_EQ(session.lastOpenDate(), std::nullopt);

    store_.addStoreBatch("7", Date(1000), Date(2000));
    store_.addStoreBatch("8", Date(3000), Date(4000));
    store_.save();
    EXPECT_FALSE(session.isStoreOpen());
    EXPECT_EQ(session.lastOpenDate(), Date(3000));
    EXPECT_EQ(session.storeCloseDate(), Date(4000));

    store_.addStoreBatch("9", Date(5000), std::nullopt);
    store_.save();
    EXPECT_TRUE(session.isStoreOpen());
    EXPECT_EQ(session.storeOpenDate(), Date(5000));
    EXPECT_EQ(session.lastOpenDate(), Date(5000));
    EXPECT_EQ(session.storeCloseDate(), std::nullopt);
}

TEST_F(SessionTest, CashDrawersOfThisTerminal) {
    Session ann = signedIn("U-ANN");
    EXPECT_TRUE(ann.hasCashDrawer());
    EXPECT_THAT(ann.cashDrawerIds(), ElementsAre("D2", "D1")); // by name
    EXPECT_EQ(ann.cashDrawerId("2"), "D1");
    EXPECT_EQ(ann.cashDrawerId("3"), std::nullopt);
    EXPECT_EQ(Session::cashDrawerURL("D1", "T1", context()), 2);
    EXPECT_EQ(Session::cashDrawerURL("D3", "T1", context()), -1); // another terminal's drawer
    EXPECT_EQ(Session::cashDrawerURL("D3", "T2", context()), 1);
    EXPECT_EQ(Session::cashDrawerName("D3", context()), "Bar Till");
    EXPECT_EQ(Session::cashDrawerName("D9", context()), std::nullopt);

    EXPECT_TRUE(ann.isAnyDrawerCashedIn());
    EXPECT_TRUE(ann.isCashedIn("D1"));
    EXPECT_FALSE(ann.isCashedIn("D2"));
    // Only this terminal's drawers, and only the user's cash-ins.
    EXPECT_EQ(ann.cashedInDrawers("U-ANN"), (std::map<std::string, std::string>{{"D1", "Till B"}}));
    EXPECT_THAT(ann.cashedInDrawers("U-BOB"), IsEmpty());

    for (const auto& cash : context()->fetchAll("CashInOut")) cash->setValue("outDate", Date::now());
    EXPECT_FALSE(ann.isAnyDrawerCashedIn());
    EXPECT_THAT(ann.cashedInDrawers("U-ANN"), IsEmpty());
}

TEST_F(SessionTest, AnOrderIsOpenToItsServerOrToARightForAllOrders) {
    store_.addOrder("O-ANN", store_.row("User", "userId", "U-ANN"));
    store_.addOrder("O-BOB", store_.row("User", "userId", "U-BOB"));
    store_.addOrder("O-NOBODY", nullptr);
    Session ann = signedIn("U-ANN");
    EXPECT_TRUE(ann.canAccessOrder("O-ANN"));
    EXPECT_FALSE(ann.canAccessOrder("O-BOB"));
    EXPECT_FALSE(ann.canAccessOrder("O-NOBODY"));
    EXPECT_TRUE(signedIn("U-BOB").canAccessOrder("O-NOBODY")); // ALL_ORDERS through the manager role
}

TEST_F(SessionTest, RulesOfATypeLeaveDisabledOnesOut) {
    for (auto [id, type, disabled] : {std::tuple{"R1", "NonCompableRecipeGroups", false},
                                      {"R2", "CustomerOrderDefaultItem", false},
                                      {"R3", "CustomerOrderDefaultItem", true}}) {
        auto rule = context()->insert("Rule");
        rule->setValue("ruleId", id);
        rule->setValue("type", type);
        rule->setValue("disabled", disabled);
    }
    Session session(context());
    auto ids = [](const std::vector<Rule>& rules) {
        std::vector<std::string> out;
        for (const auto& r : rules) out.push_back(r.ruleId().value_or(""));
        return out;
    };
    EXPECT_THAT(ids(session.rules("CustomerOrderDefaultItem")), ElementsAre("R2"));
    EXPECT_THAT(ids(session.rules(std::nullopt)), ElementsAre("R2", "R1")); // by type
    EXPECT_THAT(session.rules("Unknown"), IsEmpty());
}

TEST_F(SessionTest, HostConfigTakesTheHostsParametersOnly) {
    store_.addStoreParam("HOST_LARCH_URL", "https://gateway.example");
    store_.addStoreParam("HOST_LARCH_MERCHANT", "M1");
    store_.addStoreParam("HOST_LARCHWOOD_URL", "other");
    store_.addStoreParam("HOST_OTHER_URL", "other");
    store_.addStoreParam("XHOST_LARCH_URL", "other");
    auto config = Session::getHostConfig("larch", context());
    EXPECT_EQ(config, (std::map<std::string, std::string>{{"HOST_LARCH_MERCHANT", "M1"},
                                                          {"HOST_LARCH_URL", "https://gateway.example"}}));
    EXPECT_THAT(Session::getHostConfig(std::nullopt, context()), IsEmpty());
}

TEST_F(SessionTest, OtherTerminalsAreTheEnabledOnesOnTheNetworkButThisOne) {
    auto names = [](const std::vector<ManagedObjectPtr>& rows) {
        std::vector<std::string> out;
        for (const auto& r : rows) out.push_back(r->text("name").value_or(""));
        return out;
    };
    EXPECT_THAT(names(Session::getOtherTerminals("http://bar.local:4444", context())), ElementsAre("Front"));
    EXPECT_THAT(names(Session::getOtherTerminals("nowhere", context())), ElementsAre("Front", "Bar"));
    EXPECT_THAT(Session::getOtherTerminals(std::nullopt, context()), IsEmpty());
}

TEST(SessionSpace, FormatSpaceInWords) {
    struct Case {
        uint64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 Bytes"},
        {1024, "1024 Bytes"},
        {1025, "1.00 KB"},
        {1536, "1.50 KB"},
        {1048576, "1024.00 KB"},
        {1048577, "1.00 MB"},
        {(uint64_t{3} << 30) + 1, "3.00 GB"},
        {UINT64_MAX, "16.00 EB"},
    };
    for (const auto& c : cases) EXPECT_EQ(Session::formatSpace(c.bytes), c.text) << c.bytes;
}

TEST(SessionSpace, TheDataVolumeHasRoom) {
    test::TempHome home;
    EXPECT_GT(Session::diskCapacity(), 0u);
    EXPECT_GT(Session::freeDiskSpace(), 0u);
    EXPECT_LE(Session::freeDiskSpace(), Session::diskCapacity());
}

} // namespace
} // namespace tavlo
