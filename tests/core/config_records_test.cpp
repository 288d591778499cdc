#include "core/records/Area.h"
#include "core/records/Menu.h"
#include "core/records/Printer.h"
#include "core/records/Rule.h"
#include "core/records/Terminal.h"
#include "platform/foundation/Calendar.h"
#include "platform/store/ObjectContext.h"
#include "support/LocalStoreScope.h"
#include "support/TimeZoneScope.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tavlo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Wall-clock times in the device's zone, as the store load keeps them.
Date local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    DateComponents c;
    c.year = y;
    c.month = mo;
    c.day = d;
    c.hour = h;
    c.minute = mi;
    c.second = s;
    return Calendar().dateFromComponents(c);
}
Date timeOfDay(int h, int mi, int s) { return local(2000, 1, 1, h, mi, s); }

struct Schedule {
    const char* days = "1111111";
    std::optional<Date> startDate = local(2024, 3, 1);
    std::optional<Date> endDate = local(2024, 3, 31);
    std::optional<Date> from = timeOfDay(11, 0, 0);
    std::optional<Date> to = timeOfDay(14, 30, 0);
};

class MenuTest : public ::testing::Test {
protected:
    ManagedObjectPtr menuWith(const std::vector<Schedule>& schedules) {
        auto menu = store_->insert("Menu");
        menu->setValue("menuId", "M1");
        menu->setValue("disabled", false);
        for (const auto& s : schedules) {
            auto row = store_->insert("Schedule");
            row->setValue("daysOfWeek", s.days);
            row->setValue("startDate", s.startDate);
            row->setValue("endDate", s.endDate);
            row->setValue("startDailyTime", s.from);
            row->setValue("endDailyTime", s.to);
            menu->addTo("schedules", row);
        }
        return menu;
    }
    bool activeAt(const std::vector<Schedule>& schedules, Date now) {
        clock_->set(now);
        return Menu::isActive(*menuWith(schedules));
    }

    // Not UTC, so that a day's start in the device's zone is not the day's start in UTC.
    test::TimeZoneScope zone_{"America/New_York"};
    ScopedFakeClock clock_;
    test::LocalStoreScope store_;
};

TEST_F(MenuTest, SchedulesTable) {
    // 2024-03-10 is a Sunday, the 11th a Monday.
    Schedule weekdays{.days = "0111110"};
    Schedule lunch;
    Schedule endsToday{.endDate = local(2024, 3, 11)};
    Schedule startsToday{.startDate = local(2024, 3, 11)};
    Schedule endedYesterday{.endDate = local(2024, 3, 10)};
    Schedule startsTomorrow{.startDate = local(2024, 3, 12)};
    Schedule overnight{.from = timeOfDay(22, 0, 0), .to = timeOfDay(2, 0, 0)};
    Schedule shortDays{.days = "01"}; // Sunday off, Monday on, the rest unsaid
    Schedule unbounded{.startDate = std::nullopt, .endDate = std::nullopt, .from = std::nullopt, .to = std::nullopt};
    struct Case {
        const char* what;
        Schedule schedule;
        Date now;
        bool active;
    } cases[] = {
        {"weekdays on Sunday", weekdays, local(2024, 3, 10, 12), false},
        {"weekdays on Monday", weekdays, local(2024, 3, 11, 12), true},
        {"at the end second", lunch, local(2024, 3, 11, 14, 30, 0), true},
        {"a second after the end", lunch, local(2024, 3, 11, 14, 30, 1), false},
        {"at the start", lunch, local(2024, 3, 11, 11, 0, 0), true},
        {"a second before the start", lunch, local(2024, 3, 11, 10, 59, 59), false},
        {"late in the end second", lunch, local(2024, 3, 11, 14, 30, 0).addingSeconds(0.9), true},
        {"ends today", endsToday, local(2024, 3, 11, 14), true},
        {"starts today", startsToday, local(2024, 3, 11, 11), true},
        {"ended yesterday", endedYesterday, local(2024, 3, 11, 12), false},
        {"ended yesterday, just after midnight", endedYesterday, local(2024, 3, 11, 0, 0, 1), false},
        {"starts tomorrow", startsTomorrow, local(2024, 3, 11, 12), false},
        {"overnight before midnight", overnight, local(2024, 3, 11, 23), false},
        {"overnight after midnight", overnight, local(2024, 3, 12, 1), false},
        {"short days, Monday", shortDays, local(2024, 3, 11, 12), true},
        {"short days, Tuesday", shortDays, local(2024, 3, 12, 12), false},
        {"no bounds", unbounded, local(2030, 1, 1, 3), true},
    };
    for (const auto& c : cases) EXPECT_EQ(activeAt({c.schedule}, c.now), c.active) << c.what;
}

TEST_F(MenuTest, AnyMatchingScheduleMakesTheMenuActiveUnlessItIsDisabled) {
    Date monday = local(2024, 3, 11, 18);
    Schedule lunch;
    Schedule dinner{.from = timeOfDay(17, 0, 0), .to = timeOfDay(22, 0, 0)};
    EXPECT_FALSE(activeAt({lunch}, monday));
    EXPECT_TRUE(activeAt({lunch, dinner}, monday));
    EXPECT_TRUE(activeAt({}, monday)); // no schedules: always offered

    auto menu = menuWith({dinner});
    menu->setValue("disabled", true);
    EXPECT_FALSE(Menu::isActive(*menu));
    auto bare = menuWith({});
    bare->setValue("disabled", true);
    EXPECT_FALSE(Menu::isActive(*bare));
}

TEST(ConfigRecords, AreaWithItsTablesAndShapes) {
    test::LocalStoreScope store;
    auto area = store->insert("Area");
    area->setValue("areaId", "A1");
    area->setValue("name", "Dining");
    area->setValue("fillColor", -1);
    area->setValue("disabled", true);
    auto shape = store->insert("AreaShape");
    for (auto [key, value] : {std::pair{"x", 1},
                              {"y", 2},
                              {"width", 30},
                              {"height", 40},
                              {"strokeColor", 0xff0000},
                              {"fillColor", 0x00ff00}})
        shape->setValue(key, value);
    shape->setValue("areaShapeId", "S1");
    shape->setValue("type", "round");
    auto round = store->insert("AreaLocation");
    round->setValue("areaLocationId", "L1");
    round->setValue("name", "Table 1");
    round->setValue("shortName", "1");
    round->setValue("seats", 4);
    round->setValue("x", 10);
    round->setValue("y", 20);
    round->setToOne("areaShape", shape);
    auto bare = store->insert("AreaLocation");
    bare->setValue("areaLocationId", "L2");
    area->addTo("areaLocations", round);
    area->addTo("areaLocations", bare);
    store.save();

    Area read;
    read.read(*store->fetchFirst("Area", "areaId == %@", "A1"));
    EXPECT_EQ(read.areaId(), "A1");
    EXPECT_EQ(read.name(), "Dining");
    EXPECT_EQ(read.fillColor(), -1);
    EXPECT_TRUE(read.disabled());
    ASSERT_EQ(read.locations().size(), 2u);
    const AreaLocation& table =
        read.locations()[0].areaLocationId() == "L1" ? read.locations()[0] : read.locations()[1];
    const AreaLocation& other = &table == &read.locations()[0] ? read.locations()[1] : read.locations()[0];
    EXPECT_EQ(table.name(), "Table 1");
    EXPECT_EQ(table.shortName(), "1");
    EXPECT_EQ(table.seats(), 4);
    EXPECT_EQ(table.x(), 10);
    EXPECT_EQ(table.y(), 20);
    EXPECT_FALSE(table.disabled());
    ASSERT_TRUE(table.shape().has_value());
    EXPECT_EQ(table.shape()->areaShapeId(), "S1");
    EXPECT_EQ(table.shape()->type(), "round");
    EXPECT_EQ(table.shape()->width(), 30);
    EXPECT_EQ(table.shape()->height(), 40);
    EXPECT_EQ(table.shape()->strokeColor(), 0xff0000);
    EXPECT_EQ(table.shape()->fillColor(), 0x00ff00);
    EXPECT_EQ(other.areaLocationId(), "L2");
    EXPECT_EQ(other.shape(), std::nullopt);
    EXPECT_EQ(other.seats(), 0); // absent values read as 0 / NO
    EXPECT_FALSE(other.disabled());

    // Reading again replaces what was read before.
    auto empty = store->insert("Area");
    read.read(*empty);
    EXPECT_EQ(read.areaId(), std::nullopt);
    EXPECT_THAT(read.locations(), IsEmpty());
}

TEST(ConfigRecords, TerminalAndPrinter) {
    test::LocalStoreScope store;
    auto terminalRow = store.addTerminal("T1");
    terminalRow->setValue("name", "Front");
    terminalRow->setValue("networkName", "front");
    terminalRow->setValue("disabled", true);
    Terminal terminal;
    terminal.read(*terminalRow);
    EXPECT_EQ(terminal.terminalId(), "T1");
    EXPECT_EQ(terminal.name(), "Front");
    EXPECT_EQ(terminal.networkName(), "front");
    EXPECT_TRUE(terminal.disabled());

    auto printerRow = store->insert("Printer");
    printerRow->setValue("printerId", "P1");
    printerRow->setValue("name", "Kitchen");
    printerRow->setValue("url", "kitchen.local:9100");
    Printer printer;
    printer.read(*printerRow);
    EXPECT_EQ(printer.printerId(), "P1");
    EXPECT_EQ(printer.name(), "Kitchen");
    EXPECT_EQ(printer.url(), "kitchen.local:9100");
    EXPECT_FALSE(printer.disabled());
}

TEST(ConfigRecords, RuleParametersAndValuesWithAPrefix) {
    test::LocalStoreScope store;
    auto ruleRow = store->insert("Rule");
    ruleRow->setValue("ruleId", "R1");
    ruleRow->setValue("name", "Defaults");
    ruleRow->setValue("type", "CustomerOrderDefaultItem");
    for (auto [name, value] : {std::pair<const char*, const char*>{"item1", "I-1"},
                               {"item2", "I-2"},
                               {"item4", "I-4"},
                               {"group2", "G-2"},
                               {"note", nullptr}}) {
        auto param = store->insert("RuleParam");
        param->setValue("name", name);
        param->setValue("value", value);
        ruleRow->addTo("ruleParams", param);
    }
    Rule rule;
    EXPECT_THAT(rule.params(), IsEmpty());
    rule.read(*ruleRow);
    EXPECT_EQ(rule.ruleId(), "R1");
    EXPECT_EQ(rule.name(), "Defaults");
    EXPECT_EQ(rule.type(), "CustomerOrderDefaultItem");
    EXPECT_FALSE(rule.disabled());
    EXPECT_EQ(rule.params().size(), 4u); // the parameter without a value is left out
    EXPECT_THAT(rule.valuesWithPrefix("item"), ElementsAre("I-1", "I-2"));
    EXPECT_THAT(rule.valuesWithPrefix("group"), IsEmpty());
    EXPECT_THAT(rule.valuesWithPrefix("missing"), IsEmpty());
}

} // namespace
} // namespace tavlo
