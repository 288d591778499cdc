// The store server of the demo restaurant in gateway mode: what it prints for its terminals (the
// kitchen tickets, each line once on the printer of its recipe and voids as void tickets; the
// receipt an order is sent with) on loopback printers, read back as a person reads the paper; and
// the orders it answers, which carry what it knows of its items.
#include "DemoStore.h"
#include "EscPosDecoder.h"
#include "StoreServerFixture.h"
#include "TicketText.h"
#include "core/order/ComboSelection.h"
#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "support/LoopbackListener.h"
#include "support/LoopbackPrinter.h"
#include "sync/exchange/CommHelper.h"
#include "sync/exchange/OrderDocument.h"
#include "sync/storeload/OperationSynchStore.h"
#include "xml/XmlHelper.h"

#include <gtest/gtest.h>

#include <regex>

namespace tavlo {
namespace {

class DemoServerTest : public test::StoreServerFixture {
protected:
    void SetUp() override {
        StoreServerFixture::SetUp();
        IDBroker::initWithMOC(store.context());
        storesim::DemoStore demo;
        demo.printers = {{"grill", grill.url()}, {"bar", bar.url()}};
        server->setCatalogue(storesim::StoreCatalogue::fromStoreData(demo.reply("device-1")));
        table.setRemoteId(std::string("ORD-1"));
        table.setOrderType(OrderType::DineIn);
        table.setName(std::string("Table 3"));
        table.setServerId(std::string("U-SERVER"));
        table.addTax(OrderTax(std::string("Sales Tax"), 825, std::string("round")));
    }

    static SelectionPtr line(const char* id, const char* name, const char* recipe, int32_t price, int32_t units = 1) {
        auto s = std::make_shared<Selection>();
        s->setRemoteId(std::string(id));
        s->setName(std::string(name));
        s->setRecipeId(std::string(recipe));
        s->setPrice(price);
        s->setQuantity(units);
        return s;
    }
    // Sends the table as the order screen does; the server's warning, if any.
    std::string send(bool receiptAt = false) { return send(table, receiptAt); }
    std::string send(Order& order, bool receiptAt = false) {
        OrderDocument document(order);
        Error error;
        const std::optional<std::string> printer = receiptAt ? std::optional<std::string>(receipt.url()) : std::nullopt;
        EXPECT_TRUE(CommHelper::sendOrder(document, server->url(), "U-SERVER", receiptAt, printer, std::nullopt, false,
                                          context(), false, &error));
        return error.isSet() ? error.localizedDescription() : "";
    }
    // A printer's jobs as paper, from the first not read yet; waits for `count` of them.
    static std::vector<std::string> paper(test::LoopbackPrinter& printer, size_t count) {
        std::vector<std::string> out;
        for (const std::string& job : printer.jobs(count)) {
            printersim::TicketText text;
            std::string why;
            EXPECT_TRUE(printersim::decodeEscPos(job, text, &why)) << why;
            out.push_back(text.text());
        }
        return out;
    }

    test::LoopbackPrinter grill, bar, receipt;
    Order table;
};

TEST_F(DemoServerTest, TheKitchenGetsEachLineOnceOnItsPrinterAndHearsOfVoids) {
    SelectionPtr steak = line("L1", "Ribeye steak", "RC-RIBEYE", 3200);
    steak->addPreparation(Preparation(std::string("PR-MRARE")));
    steak->addSide(line("L1-S", "Fries", "RC-FRIES", 400));
    SelectionPtr beer = line("L2", "Draught lager", "RC-LAGER", 700, 2);
    table.addSelection(steak, nullptr);
    table.addSelection(beer, nullptr);
    EXPECT_EQ(send(), "");
    std::vector<std::string> grillJobs = paper(grill, 1), barJobs = paper(bar, 1);
    ASSERT_EQ(grillJobs.size(), 1u);
    const std::string& ticket = grillJobs[0];
    EXPECT_EQ(ticket.substr(0, ticket.find("Dine In")), "Grill\nTable 3\n") << ticket;
    EXPECT_NE(ticket.find("Server: Jo Park\n"), std::string::npos) << ticket;
    EXPECT_NE(ticket.find("1 x Ribeye steak\n    Medium rare\n    + Fries\n"), std::string::npos) << ticket;
    EXPECT_EQ(ticket.find("lager"), std::string::npos);
    ASSERT_EQ(barJobs.size(), 1u);
    EXPECT_NE(barJobs[0].find("2 x Draught lager\n"), std::string::npos) << barJobs[0];

    // Sent again with a lager voided and nothing new for the grill: only the bar hears of it.
    table.decrement(beer, std::nullopt, nullptr);
    EXPECT_EQ(send(), "");
    barJobs = paper(bar, 2);
    ASSERT_EQ(barJobs.size(), 2u);
    EXPECT_NE(barJobs[1].find("VOID 1 x Draught lager\n"), std::string::npos) << barJobs[1];
    EXPECT_EQ(grill.jobs().size(), 1u);
}

TEST_F(DemoServerTest, AnOrderSentWithAPrintRequestIsPrintedAsAReceipt) {
    table.addSelection(line("L1", "Harbour burger", "RC-BURGER", 1600), nullptr);
    EXPECT_EQ(send(true), "");
    std::vector<std::string> receipts = paper(receipt, 1);
    ASSERT_EQ(receipts.size(), 1u);
    const std::string& text = receipts[0];
    EXPECT_EQ(text.substr(0, text.find('\n')), "Harbour Street Kitchen");
    EXPECT_NE(text.find("1 Harbour burger"), std::string::npos) << text;
    EXPECT_NE(text.find("Total"), std::string::npos) << text;
    EXPECT_NE(text.find("17.32\n"), std::string::npos) << text; // 16.00 and 8.25 % tax
}

TEST_F(DemoServerTest, APrinterThatCannotBeReachedIsTheSendsWarning) {
    storesim::DemoStore demo;
    demo.printers = {{"grill", "127.0.0.1:" + std::to_string(test::LoopbackListener::closedPort())}};
    server->setCatalogue(storesim::StoreCatalogue::fromStoreData(demo.reply("device-1")));
    table.addSelection(line("L1", "Soup of the day", "RC-SOUP", 650), nullptr);
    const std::string warning = send();
    EXPECT_EQ(warning.rfind("Unable to print to Grill (", 0), 0u) << warning;
    EXPECT_TRUE(server->order("ORD-1")); // kept all the same
}

// A terminal that does not send its lines' item exemptions: the server adds them, so that the order
// read back costs what it cost when it was sent.
TEST_F(DemoServerTest, AnOrderReadBackKeepsItsItemsTaxExemptions) {
    struct WithoutItemExemptions : OrderDocument {
        using OrderDocument::OrderDocument;
        std::optional<std::string> document(const std::optional<std::string>& storeId,
                                            const std::optional<std::string>& terminalId, bool printReceipt,
                                            const std::optional<std::string>& printURL,
                                            const std::optional<std::string>& drawerURL, bool allPayments,
                                            bool sendBackVoids, ObjectContext* context) override {
            std::optional<std::string> text = OrderDocument::document(storeId, terminalId, printReceipt, printURL,
                                                                      drawerURL, allPayments, sendBackVoids, context);
            if (text)
                *text = std::regex_replace(*text, std::regex("<defaultExemptionTax>[^<]*</defaultExemptionTax>"), "");
            return text;
        }
    };
    table.addTax(OrderTax(std::string("Liquor Tax"), 1000, std::string("round")));
    SelectionPtr burger = line("L1", "Harbour burger", "RC-BURGER", 1600);
    burger->setMenuId(std::string("M-LUNCH"));
    burger->addDefaultTaxExemption("Liquor Tax");
    SelectionPtr lager = line("L2", "Draught lager", "RC-LAGER", 700);
    lager->setMenuId(std::string("M-DRINKS"));
    table.addSelection(burger, nullptr);
    table.addSelection(lager, nullptr);
    const int32_t total = table.getTotal();
    EXPECT_EQ(total, 1600 + 132 + 700 + 58 + 70);
    WithoutItemExemptions document(table);
    std::optional<std::string> sent =
        document.document("1", "T1", false, std::nullopt, std::nullopt, true, false, context());
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->find("defaultExemptionTax"), std::string::npos);
    Error sendError;
    EXPECT_TRUE(CommHelper::sendOrder(document, server->url(), "U-SERVER", false, std::nullopt, std::nullopt, false,
                                      context(), false, &sendError))
        << sendError.localizedDescription();

    std::vector<std::shared_ptr<Order>> back;
    Error error;
    ASSERT_TRUE(CommHelper::getOrder("ORD-1", server->url(), "U-SERVER", CommHelper::loadOrders(back, context()),
                                     context(), &error));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0]->getSelections()[0]->defaultTaxExemptions(), std::vector<std::string>{"Liquor Tax"});
    EXPECT_TRUE(back[0]->getSelections()[1]->defaultTaxExemptions().empty());
    EXPECT_EQ(back[0]->getTotal(), total);
}

// Orders built from the demo store's menu rows as the menu screens build them, for what they cost
// on the order screen and once sent and read back.
class DemoMenuTest : public DemoServerTest {
protected:
    void SetUp() override {
        DemoServerTest::SetUp();
        OperationSynchStore load(server->url(), "1", "secret", true, std::nullopt, 20, false, DBHelper::sharedStore());
        const std::string storeData = storesim::DemoStore().reply(test::LocalStoreScope::kDeviceId);
        load.setDataSource([&](const StoreDataRequest&, Error*) { return storeData; });
        load.start();
        ASSERT_TRUE(load.succeeded());
        menu = std::make_unique<ObjectContext>(DBHelper::sharedStore());
    }

    ManagedObjectPtr row(const char* entity, const char* predicate, const char* id) const {
        ManagedObjectPtr found = menu->fetchFirst(entity, predicate, std::string(id));
        EXPECT_TRUE(found) << entity << " " << id;
        return found;
    }
    // A new table order with the store's taxes, as the order screen makes it.
    std::unique_ptr<Order> newOrder(const char* remoteId, const char* name) const {
        auto order = std::make_unique<Order>();
        order->setRemoteId(std::string(remoteId));
        order->setOrderType(OrderType::DineIn);
        order->setName(std::string(name));
        order->setServerId(std::string(kServer));
        for (const ManagedObjectPtr& tax : menu->fetch(FetchRequest("Tax", std::nullopt, {{"name"}})))
            order->addTax(OrderTax(tax->text("name"), tax->int32("percentage"), tax->text("roundingMethod")));
        return order;
    }
    SelectionPtr item(const char* itemId) const {
        return Selection::newFrom(row("Item", "itemId == %@", itemId), std::string(kServer), menu.get());
    }
    // The line cooked as `preparationId` says, with the side `sideId` picked on the sides screen.
    void dress(Selection& line, const char* preparationId, const char* sideId) const {
        line.addPreparation(Preparation::initFromDB(*row("Preparation", "preparationId == %@", preparationId)),
                            menu.get());
        SelectionPtr side = Selection::initFromSide(std::string(sideId), menu.get());
        side->setOrderedBy(std::string(kServer));
        side->setRemoteId(IDBroker::getInstance().generateRemoteIdSelection());
        line.addSide(side);
    }
    // The item `itemId` picked in the combo's group `groupId`.
    static void pick(ComboSelection& combo, const ManagedObjectPtr& groupItem, const char* groupId) {
        SelectionPtr part =
            combo.addSelection(ComboSelection::groupComponentFrom(*groupItem, std::string(kServer)), groupId);
        part->setRemoteId(IDBroker::getInstance().generateRemoteIdSelection());
    }
    void pick(ComboSelection& combo, const char* itemId, const char* groupId) const {
        pick(combo, row("ComboGroupItem", "item.itemId == %@", itemId), groupId);
    }

    // Sends the order and reads it back from the server: it costs what it cost before, tax by
    // tax and line by line.
    void expectSameReadBack(Order& order) {
        EXPECT_EQ(send(order), "");
        std::vector<std::shared_ptr<Order>> back;
        Error error;
        ASSERT_TRUE(CommHelper::getOrder(*order.remoteId(), server->url(), kServer,
                                         CommHelper::loadOrders(back, context()), context(), &error));
        ASSERT_EQ(back.size(), 1u);
        const Order& readBack = *back[0];
        EXPECT_EQ(readBack.getSubTotal(), order.getSubTotal());
        for (const char* tax : {"Sales Tax", "Liquor Tax"})
            EXPECT_EQ(readBack.getTax(std::string(tax)), order.getTax(std::string(tax))) << tax;
        EXPECT_EQ(readBack.getTotal(), order.getTotal());
        const std::vector<SelectionPtr> lines = readBack.getSelections(), sent = order.getSelections();
        ASSERT_EQ(lines.size(), sent.size());
        for (size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(readBack.getTaxFor(*lines[i]), order.getTaxFor(*sent[i])) << lines[i]->name().value_or("");
    }

    static constexpr const char* kServer = "U-SERVER";
    std::unique_ptr<ObjectContext> menu;
};

// Table 1 at lunch: a burger (medium, with fries) and the burger lunch deal (its burger rare with
// a side salad at the side's up-charge, and a cola). Nothing in it pays the liquor tax.
TEST_F(DemoMenuTest, ALunchOrderCostsTheSameReadBackAsOnTheOrderScreen) {
    std::unique_ptr<Order> lunch = newOrder("ORD-LUNCH", "Table 1");
    SelectionPtr burger = item("I-L-BURGER");
    ASSERT_TRUE(burger);
    dress(*burger, "PR-MEDIUM", "SD-L-FRIES");
    lunch->addSelection(burger, nullptr);
    SelectionPtr deal = item("CI-LUNCH");
    auto* combo = dynamic_cast<ComboSelection*>(deal.get());
    ASSERT_TRUE(combo);
    ASSERT_EQ(combo->getSelections().size(), 1u);
    dress(*combo->getSelections()[0], "PR-RARE", "SD-L-GREENS");
    pick(*combo, "I-COLA", "CG-SOFT");
    lunch->addSelection(deal, nullptr);

    // 15.95 and 17.95 with the salad's 0.50; 8.25 % sales tax on each line.
    EXPECT_EQ(lunch->getSubTotal(), 3440);
    EXPECT_EQ(lunch->getTax(std::string("Liquor Tax")), 0);
    EXPECT_EQ(lunch->getTaxTotal(), 132 + 152);
    expectSameReadBack(*lunch);
}

// A steak night, whose glass of wine makes the combo pay the liquor tax: on its price, not on the
// vegetables' up-charge of the sirloin inside it, which is food before sending as after.
TEST_F(DemoMenuTest, AComboThatPaysTheLiquorTaxCostsTheSameReadBack) {
    std::unique_ptr<Order> dinner = newOrder("ORD-DINNER", "Table 2");
    SelectionPtr night = item("CI-STEAK");
    auto* combo = dynamic_cast<ComboSelection*>(night.get());
    ASSERT_TRUE(combo);
    ASSERT_EQ(combo->getSelections().size(), 1u);
    dress(*combo->getSelections()[0], "PR-MRARE", "SD-D-VEG");
    pick(*combo, "I-RED", "CG-WINE");
    pick(*combo, "I-D-CAKE", "CG-DESSERT");
    dinner->addSelection(night, nullptr);

    EXPECT_EQ(dinner->getSubTotal(), 3900 + 100);
    EXPECT_EQ(dinner->getTax(std::string("Sales Tax")), 330);
    EXPECT_EQ(dinner->getTax(std::string("Liquor Tax")), 390);
    expectSameReadBack(*dinner);
}

// A drawer cashed in at the server: the float's slip prints and the drawer opens; the order data
// holds the drawer's record, closed by its cash out.
TEST_F(DemoServerTest, ACashInPrintsItsSlipKicksTheDrawerAndIsInTheOrderData) {
    Error error;
    ASSERT_TRUE(CommHelper::send(
        server->url(), std::string("U-MANAGER"),
        XmlHelper::getXmlCashInCD("U-MANAGER", "T1", {{"1", "10000"}}, "D-1", std::nullopt, receipt.url()), context(),
        false, &error))
        << error.localizedDescription();
    const std::vector<std::string> slips = paper(receipt, 1);
    ASSERT_EQ(slips.size(), 1u);
    EXPECT_NE(slips[0].find("Cash In\nFront drawer\nSam Rivera"), std::string::npos) << slips[0];
    EXPECT_NE(slips[0].find("100.00\n"), std::string::npos) << slips[0];
    EXPECT_NE(slips[0].find("[drawer 1 opened]"), std::string::npos) << slips[0];
    ASSERT_EQ(server->requestCount("cashInCashDrawer"), 1u);

    ASSERT_TRUE(CommHelper::send(server->url(), std::string("U-MANAGER"),
                                 XmlHelper::getXmlCashOutCD("U-MANAGER", "T1", {{"1", 9500}}, 1, "D-1", std::nullopt,
                                                            std::nullopt, receipt.url()),
                                 context(), false, &error));
    XmlDocPtr data = CommHelper::getRecords(
        "getOrderData", server->url(), std::string("1"), std::string("secret"), std::nullopt,
        XmlHelper::getXmlRequest("getOrderData", "customerOrder.dtd", std::nullopt), 5, context(), &error);
    ASSERT_TRUE(data) << error.localizedDescription();
    xmlNodePtr cash = XmlHelper::getFirstChildNode(xmlDocGetRootElement(data.get()), "cashInOut");
    ASSERT_TRUE(cash);
    EXPECT_EQ(XmlHelper::getNodeValue(data.get(), cash, "cashInAmount"), "10000");
    EXPECT_EQ(XmlHelper::getNodeValue(data.get(), cash, "cashOutAmount"), "9500");
}

} // namespace
} // namespace tavlo
