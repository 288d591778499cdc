// The set-up's steps that read the loaded store: which terminal to relay through when no gateway
// was typed, and when the card host restores the open day's batch.
#include "payments/PaymentHandlerFactory.h"
#include "screens/shell/SettingsViewController.h"
#include "support/FakePaymentHandler.h"
#include "support/StoreFixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens {
namespace {

struct TerminalRow {
    std::string number;
    std::optional<std::string> networkName;
    bool disabled = false;
    std::optional<std::string> accessible; // HH_ACCESSIBLE
};

TerminalRow terminal(std::string number, std::optional<std::string> networkName, bool disabled = false,
                     std::optional<std::string> accessible = std::nullopt) {
    return {std::move(number), std::move(networkName), disabled, std::move(accessible)};
}

struct GatewayCase {
    const char* name;
    std::vector<TerminalRow> terminals;
    std::optional<std::string> preferred; // HH_PREFERRED_GATEWAY
    std::string expected;
};

class DefaultGatewayTest : public ::testing::TestWithParam<GatewayCase> {};

TEST_P(DefaultGatewayTest, PicksTheTerminalToRelayThrough) {
    const GatewayCase& c = GetParam();
    tavlo::test::StoreFixture store;
    for (const TerminalRow& row : c.terminals) {
        ManagedObjectPtr terminal = store.addTerminal("T" + row.number, row.number);
        terminal->setValue("networkName", row.networkName);
        terminal->setValue("disabled", row.disabled);
        if (row.accessible) store.addTerminalParam(terminal, "HH_ACCESSIBLE", row.accessible);
    }
    if (c.preferred) store.addStoreParam("HH_PREFERRED_GATEWAY", c.preferred);
    store.save();

    SettingsViewController settings;
    settings.setContext(store.context());
    EXPECT_EQ(settings.defaultGateway(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Stores, DefaultGatewayTest,
    ::testing::Values(
        GatewayCase{"NoTerminal", {}, std::nullopt, ""},
        GatewayCase{"FirstInNumberOrder", {terminal("2", "bar"), terminal("1", "front")}, std::nullopt, "front"},
        GatewayCase{"NotDisabledNorUnnamed",
                    {terminal("1", "front", true), terminal("2", std::nullopt), terminal("3", "garden")},
                    std::nullopt,
                    "garden"},
        GatewayCase{"OnlyAccessible",
                    {terminal("1", "front", false, "NO"), terminal("2", "bar", false, "YES")},
                    std::nullopt,
                    "bar"},
        GatewayCase{"NoneAccessible", {terminal("1", "front", false, "NO")}, std::nullopt, ""},
        GatewayCase{"ThePreferredOne", {terminal("1", "front"), terminal("2", "bar")}, "bar", "bar"},
        GatewayCase{
            "PreferredButNotAccessible", {terminal("1", "front"), terminal("2", "bar", false, "NO")}, "bar", "front"},
        GatewayCase{"PreferredButDisabled", {terminal("1", "front"), terminal("2", "bar", true)}, "bar", "front"},
        GatewayCase{"PreferredButUnknown", {terminal("1", "front")}, "kitchen", "front"}),
    [](const auto& instance) { return std::string(instance.param.name); });

struct BatchCase {
    const char* name;
    std::optional<std::string> restore; // HH_RESTORE_PAYMENT_BATCH
    bool openDay;
    bool knownHost;
    bool hostSet;
    size_t restores;
};

class RestoreBatchesTest : public ::testing::TestWithParam<BatchCase> {};

TEST_P(RestoreBatchesTest, RestoresTheOpenDaysBatchWhereTheStoreAsks) {
    const BatchCase& c = GetParam();
    tavlo::test::StoreFixture store;
    // The factory keeps a handler once made: a host of its own for each case.
    static int runs = 0;
    const std::string host = "RESTOREHOST" + std::to_string(++runs);
    auto fake = std::make_shared<tavlo::test::FakePaymentHandler>(store.context().get(), host);
    if (c.knownHost)
        PaymentHandlerFactory::initWithMOC(store.context().get()).registerHandler(host, [fake](ObjectContext*) {
            return fake;
        });
    PaymentHandlerFactory::initWithMOC(store.context().get());
    if (c.hostSet) store.addStoreParam("PAYMENT_CREDIT_HOST", host);
    if (c.restore) store.addStoreParam("HH_RESTORE_PAYMENT_BATCH", c.restore);
    store.addStoreBatch("B-1", Date(1'699'000'000), Date(1'699'050'000));
    if (c.openDay) store.addStoreBatch("B-2", Date(1'699'900'000), std::nullopt);
    store.save();

    SettingsViewController settings;
    settings.setContext(store.context());
    settings.restoreBatches();
    EXPECT_EQ(fake->callCount(tavlo::test::FakePaymentHandler::Operation::RestoreBatch), c.restores);
}

INSTANTIATE_TEST_SUITE_P(Stores, RestoreBatchesTest,
                         ::testing::Values(BatchCase{"AskedByDefault", std::nullopt, true, true, true, 1},
                                           BatchCase{"AskedFor", "YES", true, true, true, 1},
                                           BatchCase{"TurnedOff", "NO", true, true, true, 0},
                                           BatchCase{"NoOpenDay", std::nullopt, false, true, true, 0},
                                           BatchCase{"NoCardHost", std::nullopt, true, true, false, 0},
                                           BatchCase{"AHostWithoutHandler", std::nullopt, true, false, true, 0}),
                         [](const auto& instance) { return std::string(instance.param.name); });

} // namespace
} // namespace tavlo::screens
