// Kitchen tickets from a small order, byte for byte, on loopback kitchen printers: which printers
// get one, which lines they list and how, the settings that change them, and what happens when
// a kitchen printer cannot be reached or drops the ticket.
#include "printing/KitchenAnnouncer.h"

#include "EscPosBytes.h"
#include "core/order/ComboSelection.h"
#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/store/ObjectContext.h"
#include "printing/EscPosPrinter.h"
#include "support/FakePorts.h"
#include "support/LoopbackListener.h"
#include "support/LoopbackPrinter.h"
#include "support/StoreFixture.h"
#include "support/TimeZoneScope.h"

#include <gtest/gtest.h>

namespace tavlo {
namespace {

using test::bytes;
using test::hex;
using test::LoopbackPrinter;

const std::string ESC = "\x1B";

std::string esc(char n, int a) { return ESC + n + static_cast<char>(a); }

// The header of every ticket, as far as the order type's line (the fixture's order "Table 12",
// dine in, served by Ann Marie Lee, at the fake clock's time in UTC).
std::string header(const std::string& printer, int colourByte = 0, const std::string& message = "",
                   bool local = false) {
    std::string h = ESC + "@" + esc('!', 0) + esc('a', 1) + esc('M', 0);
    if (local) h += "Unable to print to " + printer + "\nPlease take to " + printer + "\n\n";
    h += "TAVLO (Nov 14, 2023 10:13 PM)\n\n";
    h += esc('!', 32) + printer + "\n" + esc('!', 0) + "\n";
    h += esc('!', 16) + esc('E', 1) + "Table 12\n" + (message.empty() ? "" : message + "\n") + esc('!', 0) +
         esc('E', 0) + "\n";
    h += esc('a', 0) + esc('M', 0) + esc('E', 0) + "Server: Ann Marie Lee\n";
    h += esc('!', 16) + esc('E', 1) + esc('r', colourByte) + "Type: Dine In\n" + esc('r', 0) + esc('!', 0) +
         esc('E', 0) + "\n";
    return h;
}

// The end of every ticket: a blank line, the feed and the cut.
std::string trailer(int trailLines) { return "\n" + esc('d', trailLines + 1) + bytes({0x1D, 0x56, 0x42, 0, 0x0A}); }

// The font of a new or changed line in print mode `mode`.
std::string boldLine(int mode = 16) { return esc('a', 0) + esc('M', 0) + esc('!', mode) + esc('E', 1); }

class KitchenAnnouncerTest : public ::testing::Test {
protected:
    void SetUp() override {
        store.buildSmallStore();
        addRecipe("r-burger", "Brioche bun");
        for (const char* id : {"r-fries", "r-soda", "r-salad", "r-steak"}) addRecipe(id, "");
        addPreparation("p-rare", "Rare");
        addPreparation("p-nosalt", "No salt");
        store.save();
    }

    ObjectContext* context() { return store.context().get(); }
    void setValue(const char* name, std::optional<std::string> value) {
        DBHelper::saveStoreParam(name, value, context());
        store.save();
    }
    void addRecipe(const std::string& id, const std::string& description) {
        ManagedObjectPtr recipe = context()->insert("Recipe");
        recipe->setValue("recipeId", id);
        if (!description.empty()) recipe->setValue("descript", description);
    }
    void addPreparation(const std::string& id, const std::string& name) {
        ManagedObjectPtr preparation = context()->insert("Preparation");
        preparation->setValue("preparationId", id);
        preparation->setValue("name", name);
    }
    ManagedObjectPtr addPrinter(const std::string& name, std::optional<std::string> url,
                                const std::vector<std::string>& recipes, int lead = 0, int trail = 0,
                                bool disabled = false) {
        ManagedObjectPtr printer = context()->insert("Printer");
        printer->setValue("printerId", "PR-" + name);
        printer->setValue("name", name);
        printer->setValue("url", url);
        printer->setValue("leadLines", lead);
        printer->setValue("trailLines", trail);
        printer->setValue("disabled", disabled);
        for (const std::string& id : recipes) printer->addTo("recipes", store.row("Recipe", "recipeId", id));
        store.save();
        return printer;
    }

    static SelectionPtr line(const std::string& name, const std::string& recipeId, int newUnits) {
        auto selection = std::make_shared<Selection>();
        selection->setName(name);
        selection->setRecipeId(recipeId);
        selection->setQuantity(std::max(newUnits, 1));
        selection->setNewQuantity(newUnits);
        return selection;
    }
    static SelectionPtr sent(SelectionPtr selection, bool modified) {
        selection->setNew(false);
        selection->setModified(modified);
        return selection;
    }
    // "Table 12", dine in, server Ann: 2 new burgers with a comment, a preparation and two sides
    // (2 fries, 1 salad), 1 new soda, a steak sent before and changed since, a soup sent before
    // and unchanged.
    std::unique_ptr<Order> order() {
        auto o = std::make_unique<Order>();
        o->setName("Table 12");
        o->setOrderType(OrderType::DineIn);
        o->setServerId("U-ANN");
        SelectionPtr burger = line("Burger", "r-burger", 2);
        burger->setComment("no onions");
        burger->addPreparation(Preparation("p-rare"));
        burger->addSide(line("Fries", "r-fries", 0));
        burger->addSide(line("Fries", "r-fries", 0));
        burger->addSide(line("Salad", "r-salad", 0));
        o->addSelection(burger, nullptr);
        o->addSelection(line("Soda", "r-soda", 1), nullptr);
        o->addSelection(sent(line("Steak", "r-steak", 0), true), nullptr);
        o->addSelection(sent(line("Soup", "r-steak", 0), false), nullptr);
        return o;
    }
    // A new combo "Meal" of `units` with a burger of 3 and a soda.
    static SelectionPtr meal(int units) {
        auto combo = std::make_shared<ComboSelection>();
        combo->setName("Meal");
        combo->setNewQuantity(units);
        SelectionPtr burger = line("Burger", "r-burger", 0);
        burger->setQuantity(3);
        combo->addSelection(burger);
        combo->addSelection(line("Soda", "r-soda", 0));
        return combo;
    }

    std::string burgerLines(int mode = 16, int detail = 5) {
        std::string pad(static_cast<size_t>(detail), ' ');
        std::string sidePad(static_cast<size_t>(detail), ' ');
        return boldLine(mode) + esc('r', 0) + "2-Burger \n" + esc('r', 0) + pad + "no onions\n" + esc('r', 0) + pad +
               "Rare\n" + esc('r', 0) + sidePad + "2-Fries\n" + esc('r', 0) + sidePad + "Salad\n";
    }

    test::TimeZoneScope utc{"UTC"};
    ScopedFakeClock clock; // Nov 14, 2023 10:13 PM UTC
    test::StoreFixture store;
    Session session{context()};
};

TEST_F(KitchenAnnouncerTest, EachPrinterInNameOrderGetsItsNewAndChangedLines) {
    LoopbackPrinter grill, bar, salads;
    addPrinter("Grill", grill.url(), {"r-burger", "r-steak", "r-fries"}, 1, 2);
    addPrinter("Bar", bar.url(), {"r-soda"});
    addPrinter("Salads", salads.url(), {"r-salad"}); // only a side of it: no ticket
    addPrinter("Old grill", grill.url(), {"r-burger"}, 0, 0, true);
    KitchenAnnouncer announcer(session);
    Error error;
    announcer.announce(*order(), &error);
    EXPECT_FALSE(error.isSet()) << error.localizedDescription();

    std::string grillTicket =
        esc('d', 1) + header("Grill") + burgerLines() + boldLine() + esc('r', 0) + "0-Steak \n" + trailer(2);
    EXPECT_EQ(hex(grill.jobs(1).at(0)), hex(grillTicket));
    EXPECT_EQ(hex(bar.jobs(1).at(0)), hex(header("Bar") + boldLine() + esc('r', 0) + "1-Soda \n" + trailer(0)));
    EXPECT_EQ(grill.jobs().size(), 1u); // the disabled printer got nothing
    EXPECT_TRUE(salads.jobs().empty());
}

TEST_F(KitchenAnnouncerTest, OnlyNewLinesWhenSoSetAndNothingWithoutChanges) {
    LoopbackPrinter grill;
    addPrinter("Grill", grill.url(), {"r-burger", "r-steak"});
    setValue("PRINT_NEW_ONLY", "YES");
    KitchenAnnouncer(session).announce(*order(), nullptr);
    EXPECT_EQ(hex(grill.jobs(1).at(0)), hex(header("Grill") + burgerLines() + trailer(0)));

    // An order whose lines were all sent (or sent and changed, with only new ones printing)
    // prints nothing and leaves the error alone.
    auto nothing = std::make_unique<Order>();
    nothing->addSelection(sent(line("Steak", "r-steak", 0), true), nullptr);
    nothing->addSelection(sent(line("Soup", "r-steak", 0), false), nullptr);
    Error error("Earlier", 7, "an earlier error");
    KitchenAnnouncer(session).announce(*nothing, &error);
    EXPECT_EQ(error.localizedDescription(), "an earlier error");
    EXPECT_EQ(grill.jobs().size(), 1u);
}

TEST_F(KitchenAnnouncerTest, ChangesModeSetsThePrintModeTheWidthAndTheIndentation) {
    struct Case {
        std::optional<std::string> mode;
        int printMode;
        int detail;
        int rule;
    };
    const Case cases[] = {{std::nullopt, 16, 5, 32}, {std::string("48"), 48, 3, 16}, {std::string("0"), 0, 5, 32}};
    for (const Case& c : cases) {
        LoopbackPrinter grill;
        ManagedObjectPtr printer = addPrinter("Grill", grill.url(), {"r-burger"});
        setValue("PRINTER_MANAGER_CHANGES_MODE", c.mode);
        setValue("ANNOUNCER_SHOW_COMBO_NAME", "YES");
        auto o = order();
        o->addSelection(meal(1), nullptr);
        KitchenAnnouncer(session).announce(*o, nullptr);
        // The combo's line is its label centred in asterisks in the width less its quantity's.
        const std::string comboLabel = c.rule == 32 ? std::string(11, '*') + "1-Meal " + std::string(12, '*')
                                                    : std::string(3, '*') + "1-Meal " + std::string(4, '*');
        std::string expected = header("Grill") + burgerLines(c.printMode, c.detail) + boldLine(c.printMode) +
                               esc('r', 0) + comboLabel + "\n" + boldLine(c.printMode) + esc('r', 0) + "3-Burger \n" +
                               boldLine(c.printMode) + esc('r', 0) + "1-Soda \n" +
                               std::string(static_cast<size_t>(c.rule), '*') + "\n" + trailer(0);
        EXPECT_EQ(hex(grill.jobs(1).at(0)), hex(expected)) << c.mode.value_or("absent");
        context()->deleteObject(printer);
        store.save();
    }
}

TEST_F(KitchenAnnouncerTest, ComboPartsWithoutTheComboNameAndWithAbsoluteQuantities) {
    LoopbackPrinter bar;
    addPrinter("Bar", bar.url(), {"r-soda"});
    setValue("ANNOUNCER_SHOW_COMBO_ABSOLUTE_QUANTITIES", "YES");
    auto o = std::make_unique<Order>();
    o->setName("Table 12");
    o->setOrderType(OrderType::DineIn);
    o->setServerId("U-ANN");
    o->addSelection(meal(2), nullptr);
    KitchenAnnouncer(session).announce(*o, nullptr);
    // The combo's own line is left out; its parts print, all of them, at 2 x their quantity.
    std::string expected = header("Bar") + boldLine() + boldLine() + esc('r', 0) + "6-Burger \n" + boldLine() +
                           esc('r', 0) + "2-Soda \n" + trailer(0);
    EXPECT_EQ(hex(bar.jobs(1).at(0)), hex(expected));
}

TEST_F(KitchenAnnouncerTest, ColoursMessagesDescriptionsAndTheBuzzer) {
    LoopbackPrinter bar;
    addPrinter("Bar", bar.url(), {"r-burger"});
    setValue("DINE_IN_KITCHEN_COLOR", "1");
    setValue("DINE_IN_KITCHEN_MSG", "Seat guests first");
    setValue("MAIN_SEL_COLOR", "YES");
    setValue("PREP_COLOR", "YES");
    setValue("ANNOUNCER_SHOW_RECIPE_DESCRIPTION", "YES");
    setValue("KITCHEN_PRINTER_ANNUNCIATORS", "NO"); // any value sounds the buzzer
    KitchenAnnouncer(session).announce(*order(), nullptr);
    std::string expected = header("Bar", '1', "Seat guests first") + boldLine() + esc('r', 1) + "2-Burger \n" +
                           esc('r', 0) + "     Brioche bun\n" + esc('r', 0) + "     no onions\n" + esc('r', 1) +
                           "     Rare\n" + esc('r', 0) + "     2-Fries\n" + esc('r', 0) + "     Salad\n" + trailer(0) +
                           bytes({0x1B, 0x70, 0x30, 0xFF, 0xFF});
    EXPECT_EQ(hex(bar.jobs(1).at(0)), hex(expected));
}

TEST_F(KitchenAnnouncerTest, VoidsAndReductionsOfSentLinesReachThePrintersThatMadeThem) {
    LoopbackPrinter grill, bar;
    addPrinter("Grill", grill.url(), {"r-burger", "r-steak"});
    addPrinter("Bar", bar.url(), {"r-soda"});
    IDBroker::initWithMOC(store.context()); // the voids are logged
    // Sent before: 3 burgers, 2 sodas and a meal of 2 (3 burgers and a soda each).
    Order sentOrder;
    sentOrder.setName("Table 12");
    sentOrder.setOrderType(OrderType::DineIn);
    sentOrder.setServerId("U-ANN");
    SelectionPtr burgers = sent(line("Burger", "r-burger", 0), false);
    burgers->setQuantity(3);
    SelectionPtr sodas = sent(line("Soda", "r-soda", 0), false);
    sodas->setQuantity(2);
    SelectionPtr meals = meal(0);
    meals->setQuantity(2);
    sent(meals, false);
    SelectionPtr steak = line("Steak", "r-steak", 2); // new, voided before it was sent
    for (const SelectionPtr& s : {burgers, sodas, meals, steak}) sentOrder.addSelection(s, nullptr);
    sentOrder.decrement(burgers, std::nullopt, &session);
    sentOrder.removeSelection(sodas, std::nullopt, &session);
    sentOrder.removeSelection(meals, std::nullopt, &session);
    sentOrder.removeSelection(steak, std::nullopt, &session);

    // The tickets print from a copy of the order whose lines are all new, as a send makes them.
    Error error;
    KitchenAnnouncer(session).announce(*sentOrder.clone(), &error);
    EXPECT_FALSE(error.isSet()) << error.localizedDescription();
    EXPECT_EQ(hex(grill.jobs(1).at(0)), hex(header("Grill") + boldLine() + esc('r', 0) + "VOID 1 Burger\n" +
                                            boldLine() + esc('r', 0) + "VOID 6 Burger\n" + trailer(0)));
    EXPECT_EQ(hex(bar.jobs(1).at(0)), hex(header("Bar") + boldLine() + esc('r', 0) + "VOID 2 Soda\n" + boldLine() +
                                          esc('r', 0) + "VOID 2 Soda\n" + trailer(0)));

    // Storing the order (as its send does) leaves nothing more to tell the kitchen.
    for (const SelectionPtr& s : sentOrder.getSelections()) s->write(*context());
    EXPECT_EQ(burgers->voidedQuantity(), 0);
    KitchenAnnouncer(session).announce(*sentOrder.clone(), nullptr);
    EXPECT_EQ(grill.jobs().size(), 1u);
    EXPECT_EQ(bar.jobs().size(), 1u);
}

TEST_F(KitchenAnnouncerTest, AColourSettingOtherThanZeroOrOneIsTheFirstColour) {
    KitchenAnnouncer announcer(session);
    Order dineIn;
    dineIn.setOrderType(OrderType::DineIn);
    struct Case {
        std::optional<std::string> setting;
        char code;
    };
    const Case cases[] = {{std::nullopt, 0},       {std::string("1"), '1'}, {std::string("0"), '0'},
                          {std::string("red"), 0}, {std::string("12"), 0},  {std::string(""), 0}};
    for (const Case& c : cases) {
        setValue("DINE_IN_KITCHEN_COLOR", c.setting);
        EXPECT_EQ(announcer.kitchenColorCode(dineIn), c.code) << c.setting.value_or("absent");
    }
    Order roomService;
    roomService.setOrderType(OrderType::RoomService);
    EXPECT_EQ(announcer.kitchenColorCode(roomService), 0);
    EXPECT_EQ(announcer.kitchenMessage(roomService), std::nullopt);
}

TEST_F(KitchenAnnouncerTest, AnUnreachablePrinterIsPrintedLocallyWithTheNotice) {
    LoopbackPrinter receipt;
    session.setPrinterStream(std::make_shared<EscPosPrinter>(receipt.url(), 2));
    LoopbackPrinter dropping(10); // takes the connection, reads a little and closes
    addPrinter("Bar", dropping.url(), {"r-soda"});
    addPrinter("Grill", "127.0.0.1:" + std::to_string(test::LoopbackListener::closedPort()), {"r-burger"}, 0, 1);
    Error error;
    KitchenAnnouncer(session).announce(*order(), &error);

    // Both tickets end on the receipt printer, each with its notice; the error names the last.
    std::vector<std::string> local = receipt.jobs(2);
    ASSERT_EQ(local.size(), 2u);
    // Bar took part of its ticket before dropping it, so it may print it yet.
    EXPECT_NE(local[0].find("Unable to print to Bar\nPlease take to Bar\nCHECK KITCHEN - MAY BE DUPLICATE\n\n"),
              std::string::npos)
        << hex(local[0]);
    EXPECT_NE(local[0].find("1-Soda \n"), std::string::npos) << hex(local[0]);
    // The same ticket through the receipt printer's operations: settings it already has are not
    // sent again, and the feed ends with its full cut.
    const std::string grill =
        ESC + "@" + esc('!', 0) + esc('!', 0) + esc('a', 1) + esc('M', 0) +
        "Unable to print to Grill\nPlease take to Grill\n\nTAVLO (Nov 14, 2023 10:13 PM)\n\n" + esc('!', 32) +
        "Grill\n" + esc('!', 0) + "\n" + esc('!', 16) + esc('E', 1) + "Table 12\n" + esc('!', 0) + esc('E', 0) + "\n" +
        esc('a', 0) + esc('E', 0) + "Server: Ann Marie Lee\n" + esc('!', 16) + esc('E', 1) + esc('r', 0) +
        "Type: Dine In\n" + esc('r', 0) + esc('!', 0) + esc('E', 0) + "\n" + esc('!', 16) + esc('E', 1) + esc('r', 0) +
        "2-Burger \n" + esc('r', 0) + "     no onions\n" + esc('r', 0) + "     Rare\n" + esc('r', 0) +
        "     2-Fries\n" + esc('r', 0) + "     Salad\n" + "\n" + esc('d', 2) + bytes({0x1D, 0x56, 0, 0x0A});
    EXPECT_EQ(hex(local[1]), hex(grill));
    EXPECT_EQ(error.localizedDescription(),
              "Unable to connect. Take ticket to printer Grill (Unable to connect to printer, verify printer is on)");
    EXPECT_EQ(dropping.jobs(1).at(0).size(), 10u);
}

TEST_F(KitchenAnnouncerTest, APrinterThatDropsTheTicketIsAFailureOfItsOwn) {
    LoopbackPrinter receipt;
    session.setPrinterStream(std::make_shared<EscPosPrinter>(receipt.url(), 2));
    LoopbackPrinter dropping(10);
    addPrinter("Bar", dropping.url(), {"r-soda"});
    Error error;
    KitchenAnnouncer(session).announce(*order(), &error);
    EXPECT_EQ(error.localizedDescription(),
              "Unable to connect. Take ticket to printer Bar (The printer did not take the "
              "whole ticket, verify printer is on and has paper)");
    // Part of it reached the printer, which may print it yet.
    EXPECT_NE(receipt.jobs(1).at(0).find("Please take to Bar\nCHECK KITCHEN - MAY BE DUPLICATE\n\n"),
              std::string::npos);
}

TEST_F(KitchenAnnouncerTest, APrinterThatStallsAndPrintsLateLeavesALocalCopyMarkedAsAPossibleDuplicate) {
    LoopbackPrinter receipt, stalling;
    session.setPrinterStream(std::make_shared<EscPosPrinter>(receipt.url(), 2));
    setValue("TS_PRINTER_SOCKET_CONNECT_TIMEOUT", "1000");
    stalling.stall();
    addPrinter("Grill", stalling.url(), {"r-burger"});
    auto o = order();
    o->getSelections().front()->setComment(std::string(8000, 'x')); // more than the stalled window takes
    Error error;
    KitchenAnnouncer(session).announce(*o, &error);
    EXPECT_NE(error.localizedDescription().find("Take ticket to printer Grill"), std::string::npos)
        << error.localizedDescription();
    EXPECT_NE(receipt.jobs(1).at(0).find("Please take to Grill\nCHECK KITCHEN - MAY BE DUPLICATE\n"),
              std::string::npos);
    stalling.release(); // the late ticket: the kitchen has both, the local one says so
    EXPECT_EQ(stalling.jobs(1).size(), 1u);
}

TEST_F(KitchenAnnouncerTest, WithoutALocalPrinterTheErrorSaysTheTicketIsLost) {
    addPrinter("Grill", "127.0.0.1:" + std::to_string(test::LoopbackListener::closedPort()), {"r-burger"});
    Error error;
    KitchenAnnouncer(session).announce(*order(), &error);
    EXPECT_EQ(error.localizedDescription(), "Unable to connect. Verify there is paper in printer Grill (Unable to "
                                            "connect to printer, verify printer is on)");
    EXPECT_EQ(error.code(), -1);
}

TEST_F(KitchenAnnouncerTest, PrinterAddresses) {
    KitchenAnnouncer announcer(session);
    struct Case {
        std::optional<std::string> url;
        bool printed;
        const char* message;
    };
    const Case cases[] = {
        {std::nullopt, false, "Printer has not been configured properly, contact support (Grill)"},
        {std::string(), false, "Printer has not been configured properly, contact support (Grill)"},
        {std::string("NULL"), true, ""},
        {std::string("nil"), true, ""},
        {std::string("no-such-printer.invalid:9100"), false,
         "Printer cannot be resolved to a valid IP address, verify configuration"},
    };
    auto o = order();
    for (const Case& c : cases) {
        ManagedObjectPtr printer = addPrinter("Grill", c.url, {"r-burger"});
        Error error;
        EXPECT_EQ(announcer.announce(*o, "Grill", *printer, false, 0, 0, &error), c.printed) << c.message;
        EXPECT_EQ(error.localizedDescription(), c.message);
        context()->deleteObject(printer);
    }
}

TEST_F(KitchenAnnouncerTest, SendingAnOrderInLiteModePrintsAndLeavesTheTicketErrorForTheScreen) {
    test::FakePorts ports;
    DBHelper::saveStoreParam("TAVLO_LITE", std::string("YES"), context());
    store.save();
    KitchenAnnouncer::install();
    LoopbackPrinter grill;
    addPrinter("Grill", grill.url(), {"r-burger"});
    addPrinter("Hot line", "127.0.0.1:" + std::to_string(test::LoopbackListener::closedPort()), {"r-burger"});
    Session lite(context());
    lite.setUserId("U-ANN");
    Error error;
    EXPECT_TRUE(order()->send(lite, &error));
    EXPECT_NE(grill.jobs(1).at(0).find("2-Burger \n"), std::string::npos);
    EXPECT_EQ(error.localizedDescription(), "Unable to connect. Verify there is paper in printer Hot line (Unable to "
                                            "connect to printer, verify printer is on)");
    Announcer::setMaker(nullptr);
}

} // namespace
} // namespace tavlo
