#pragma once

#include "core/order/Order.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/common/SlideView.h"
#include "screens/common/prompts/PromptScreens.h"
#include "screens/entry/menu/MenuButtonsViewController.h"
#include "screens/entry/menu/MenuScreens.h"
#include "screens/entry/menu/SlideMenuViewController.h"
#include "screens/entry/options/OptionScreen.h"
#include "support/MenuRows.h"
#include "support/StoreFixture.h"
#include "support/TimeZoneScope.h"
#include "support/ui/Harness.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens::test {

// A terminal at the small store (T1 in the dining room, Ann signed in, on the clock as a server
// that may add items) whose menus are:
// - M1 "Appetizers": section "Hot Starters" with Wings (sold out: 0 left), Nachos (150: one and
//   a half portions) and Soup (1000, shortcut 1), section "Cold Plates and Salads" with Caesar
//   Salad (not counted, shortcut 0);
// - M2 "Steak and Wine": section "Mains" with Steak, which asks for its temperature;
// - M3 "Late Night", offered only from 23:00:00 to 23:59:59 (the fake clock starts at 22:13:20
//   UTC); M4 "Patio Drinks", only in the patio (A2); M5 "Desserts", disabled;
// - M6 "Specials": section "Today" with 13 items, "Special 1" to "Special 13".
// The order is a dine-in order at table L1 unless a test makes it a quick sale.
class MenuTerminal {
public:
    explicit MenuTerminal(ui::DeviceIdiom idiom = ui::DeviceIdiom::Phone) : h(idiom) {
        store.buildSmallStore();
        store.row("Role", "roleId", "R-SERVER")->addTo("permissions", store.addPermission("ADD_ITEM"));
        buildMenus();
        store.save();
        IDBroker::initWithMOC(store.context());
        registerOptionScreens();
        registerPromptScreens();
        registerMenuScreens();
        session.setUserId(std::string("U-ANN"));
        session.setTerminalId(std::string("T1"));
        session.setTerminalAreaId(std::string("A1"));
        order->setOrderType(OrderType::DineIn);
        order->setAreaLocationId(std::string("L1"));
        UserDefaults::standardUserDefaults().setBool(false, "menu_icons");
    }

    // A store value, saved.
    void setParam(const std::string& name, const std::optional<std::string>& value) {
        store.addStoreParam(name, value);
        store.save();
    }
    // A rule of the type with its parameters, saved.
    void addRule(const std::string& type, const std::vector<std::pair<std::string, std::string>>& params) {
        auto rule = store->insert("Rule");
        rule->setValue("ruleId", type + std::to_string(++rules_));
        rule->setValue("type", type);
        rule->setValue("disabled", false);
        for (const auto& [name, value] : params) {
            auto param = store->insert("RuleParam");
            param->setValue("name", name);
            param->setValue("value", value);
            param->setToOne("rule", rule);
        }
        store.save();
    }

    // Shows a menu screen of the kind at the root of a navigation controller, as the order
    // screen pushes it.
    template <typename Screen> Screen& open() {
        auto screen = std::make_shared<Screen>();
        screen->setSession(&session);
        screen->setOrder(order);
        screen->setSelectSeat(selectSeat);
        screen->setSelectCourse(selectCourse);
        screen->setRefreshAction([this] { ++refreshes; });
        menu = screen;
        h.show(std::make_shared<ui::NavigationController>(screen));
        return *screen;
    }

    ui::render::Bitmap picture() { return ui::render::snapshot(h.window(), h.window().bounds().size); }
    // The recipe's count in the session's context.
    std::optional<int32_t> available(const std::string& recipeId) {
        auto recipe = store->fetchFirst("Recipe", "recipeId == %@", recipeId);
        return recipe->isNil("available") ? std::nullopt : std::optional<int32_t>(recipe->int32("available"));
    }
    void setAvailable(const std::string& recipeId, int32_t value) {
        store->fetchFirst("Recipe", "recipeId == %@", recipeId)->setValue("available", value);
    }

    tavlo::test::TimeZoneScope utc{"UTC"};
    tavlo::test::StoreFixture store;
    ui::test::Harness h;
    Session session{store.context().get()};
    std::shared_ptr<Order> order = std::make_shared<Order>(store.context().get());
    std::shared_ptr<MenuViewController> menu;
    bool selectSeat = false, selectCourse = false;
    int refreshes = 0;

private:
    void buildMenus() {
        tavlo::test::MenuRows rows(store.context().get());
        auto addMenu = [&](const std::string& id, const std::string& name, int32_t sequence) {
            auto row = rows.menu(id, name);
            row->setValue("sequence", sequence);
            row->setValue("disabled", false);
            return row;
        };
        auto section = [&](const std::string& id, const std::string& name, const ManagedObjectPtr& owner,
                           int32_t sequence) {
            auto row = rows.section(id, owner);
            row->setValue("name", name);
            row->setValue("sequence", sequence);
            return row;
        };
        int32_t itemSequence = 0;
        auto item = [&](const std::string& id, const std::string& name, const ManagedObjectPtr& in,
                        std::optional<int32_t> available, int32_t shortcut = -1) {
            auto row = rows.item(id, name, 500, rows.recipe("R-" + id, name, available), in->toOne("menu"));
            row->setToOne("section", in);
            row->setValue("sequence", ++itemSequence);
            row->setValue("shortcut", shortcut);
            return row;
        };

        auto appetizers = addMenu("M1", "Appetizers", 1);
        auto hot = section("S1", "Hot Starters", appetizers, 1);
        item("I-WINGS", "Wings", hot, 0);
        item("I-NACHOS", "Nachos", hot, 150);
        item("I-SOUP", "Soup", hot, 1000, 1);
        item("I-CAESAR", "Caesar Salad", section("S2", "Cold Plates and Salads", appetizers, 2), std::nullopt, 0);

        auto mains = section("S3", "Mains", addMenu("M2", "Steak and Wine", 2), 1);
        auto steak = item("I-STEAK", "Steak", mains, std::nullopt);
        auto temperature =
            rows.preparationGroup("G-TEMP", "Temperature", 1, 1,
                                  {rows.preparation("P-RARE", "Rare", 0), rows.preparation("P-WELL", "Well Done", 0)});
        rows.recipePreparationGroup(steak->toOne("recipe"), temperature, 1, true);

        auto lateNight = addMenu("M3", "Late Night", 3);
        auto schedule = store->insert("Schedule");
        schedule->setValue("scheduleId", std::string("SC1"));
        schedule->setValue("daysOfWeek", std::string("1111111"));
        schedule->setValue("startDailyTime", Date(1'700'002'800.0)); // 23:00:00
        schedule->setValue("endDailyTime", Date(1'700'006'399.0));   // 23:59:59
        lateNight->addTo("schedules", schedule);
        item("I-FRIES", "Late Fries", section("S4", "Snacks", lateNight, 1), std::nullopt);

        auto patio = addMenu("M4", "Patio Drinks", 4);
        patio->addTo("areas", store.row("Area", "areaId", "A2"));
        item("I-LEMONADE", "Lemonade", section("S5", "Drinks", patio, 1), std::nullopt);
        auto desserts = addMenu("M5", "Desserts", 5);
        desserts->setValue("disabled", true);
        item("I-CAKE", "Cake", section("S6", "Cakes", desserts, 1), std::nullopt);

        auto today = section("S7", "Today", addMenu("M6", "Specials", 6), 1);
        for (int i = 1; i <= 13; ++i)
            item("I-SP" + std::to_string(i), "Special " + std::to_string(i), today, std::nullopt);
    }

    int rules_ = 0;
};

} // namespace tavlo::screens::test
