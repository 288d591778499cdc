#include "DetailsTerminal.h"

#include "core/session/DBHelper.h"
#include "platform/ui/NavigationController.h"
#include "screens/customers/CustomerScreens.h"
#include "support/ui/Golden.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/handlers/OrderQueue.h"

#include <gtest/gtest.h>

namespace tavlo::screens::test {
namespace {

using ui::IndexPath;

// A lite terminal with three customers (one disabled) and the order handler, queueing; the
// customer list opened by itself as a picker whose answers are kept.
class CustomerTerminal {
public:
    CustomerTerminal() {
        OrderHandler::getInstance(DBHelper::sharedStore(), "http://127.0.0.1:9/xml", 60, true);
        addCustomer("C1", "José", "Álvarez", "Café Uno", "503-555-1234", std::nullopt, false);
        addCustomer("C2", "Ann", "Baker", std::nullopt, std::nullopt, "503-555-9876", false);
        addCustomer("C3", "Zed", "Old", "Gone Inc", "503-555-0000", std::nullopt, true);
        t.store.save();
        t.session->setStoreCity(std::string("Salem"));
        t.session->setStoreState(std::string("OR"));
    }
    ~CustomerTerminal() { OrderHandler::releaseInstance(); }

    void addCustomer(const std::string& id, const std::string& first, const std::string& last,
                     const std::optional<std::string>& company, const std::optional<std::string>& phone,
                     const std::optional<std::string>& mobile, bool disabled) {
        auto row = t.store->insert("Customer");
        row->setValue("customerId", id);
        row->setValue("remoteId", "R-" + id);
        row->setValue("firstName", first);
        row->setValue("lastName", last);
        if (company) row->setValue("company", *company);
        if (phone) row->setValue("phone", *phone);
        if (mobile) row->setValue("mobile", *mobile);
        if (disabled) row->setValue("disabled", Date(1'600'000'000.0));
        if (id == "C1") {
            row->setValue("street", "12 Main St");
            row->setValue("city", "Salem");
            row->setValue("state", "OR");
        }
    }

    CustomersViewController& openList(bool allowRemove) {
        list = std::make_shared<CustomersViewController>();
        list->setSession(t.session.get());
        list->setAllowRemove(allowRemove);
        list->setObserver([this](const std::optional<Customer>& customer) { answers.push_back(customer); });
        t.h.show(std::make_shared<ui::NavigationController>(list));
        return *list;
    }

    std::vector<std::string> rowNames() {
        std::vector<std::string> names;
        ui::TableView& table = list->tableView();
        for (int row = 0; row < table.numberOfRows(0); ++row) {
            ui::TableViewCell* cell = table.cellForRow({0, row});
            names.push_back(
                cell ? cell->contentView().viewWithTag(CustomersViewController::kNameTag)->displayedText().value_or("")
                     : "<not shown>");
        }
        return names;
    }

    DetailsTerminal t;
    std::shared_ptr<CustomersViewController> list;
    std::vector<std::optional<Customer>> answers;
};

TEST(Customers, TheListShowsTheCustomersNotDisabledByCompanyThenName) {
    CustomerTerminal c;
    c.openList(false);
    EXPECT_EQ(c.rowNames(), (std::vector<std::string>{"Ann Baker", "José Álvarez"})) << "no company sorts first";
    ui::TableViewCell* jose = c.list->tableView().cellForRow({0, 1});
    auto text = [&](int tag) { return jose->contentView().viewWithTag(tag)->displayedText().value_or(""); };
    EXPECT_EQ(text(CustomersViewController::kCompanyTag), "Café Uno");
    EXPECT_EQ(text(CustomersViewController::kPhoneTag), "phone: 503-555-1234");
    EXPECT_EQ(text(CustomersViewController::kMobileTag), "");
    EXPECT_EQ(c.list->tableView().tableHeaderView(), nullptr) << "nothing to remove";
    EXPECT_TRUE(ui::test::matchesGolden(c.t.picture(), "customers_list_phone"));
}

TEST(Customers, SearchLooksInNamesCompanyAndPhonesIgnoringCaseAndAccents) {
    struct Case {
        std::string typed;
        std::vector<std::string> found;
    };
    const std::vector<Case> cases = {
        {"jose", {"José Álvarez"}},
        {"ALVA", {"José Álvarez"}},
        {"cafe", {"José Álvarez"}},
        {"1234", {"José Álvarez"}},
        {"9876", {"Ann Baker"}},
        {"gone", {"Zed Old"}},
        {"503", {"Ann Baker", "José Álvarez", "Zed Old"}},
        {"nobody", {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed);
        CustomerTerminal c;
        CustomersViewController& list = c.openList(false);
        c.t.h.type(*list.searchBar(), k.typed);
        EXPECT_EQ(c.rowNames(), k.found);
        c.t.h.backspace(*list.searchBar(), static_cast<int>(k.typed.size()));
        EXPECT_EQ(c.rowNames(), (std::vector<std::string>{"Ann Baker", "José Álvarez"})) << "cleared: the list again";
    }
}

TEST(Customers, APickerAnswersTheRowTappedAndNilForRemove) {
    CustomerTerminal c;
    CustomersViewController& list = c.openList(true);
    c.t.h.tapRow(list.tableView(), {0, 1});
    ASSERT_EQ(c.answers.size(), 1u);
    ASSERT_TRUE(c.answers[0].has_value());
    EXPECT_EQ(c.answers[0]->customerId(), "C1");
    c.t.h.tap("Remove Customer");
    ASSERT_EQ(c.answers.size(), 2u);
    EXPECT_FALSE(c.answers[1].has_value());
}

TEST(Customers, TheAccessoryShowsTheCustomerWithItsMapOutsideEditing) {
    CustomerTerminal c;
    CustomersViewController& list = c.openList(false);
    c.t.h.tapAccessory(list.tableView(), {0, 1});
    c.t.h.runUntilIdle();
    auto& form = c.t.h.visible<CustomerViewController>();
    EXPECT_EQ(form.title(), "Customer");
    EXPECT_EQ(form.customer().customerId(), "C1");
    EXPECT_FALSE(form.customer().new_());
    auto* mobile = dynamic_cast<LabelValueCellView*>(form.tableView().cellForRow({0, 1}));
    ASSERT_NE(mobile, nullptr);
    EXPECT_EQ(mobile->valueText(), "503-555-1234");
    EXPECT_FALSE(mobile->field()->isEnabled()) << "values change only while editing";
    EXPECT_TRUE(ui::test::matchesGolden(c.t.picture(), "customer_form_phone"));
    c.t.h.tap("Map");
    ASSERT_FALSE(c.t.h.app().openedURLs().empty());
    EXPECT_EQ(c.t.h.app().openedURLs().back(), "https://maps.example/search?q=12%20Main%20St%2CSalem%2COR");
    c.t.h.tap("Edit");
    EXPECT_TRUE(mobile->field()->isEnabled());
    EXPECT_EQ(form.title(), "Edit Customer");
    c.t.h.type(*mobile->field(), "9"); // 12 characters already: refused
    EXPECT_EQ(mobile->valueText(), "503-555-1234");
    c.t.h.type(c.t.h.viewWithTag<ui::TextField>(CustomerViewController::kCompanyTag), "s");
    c.t.h.tap("Done");
    c.t.h.runUntilIdle();
    EXPECT_FALSE(c.t.h.hasAlert());
    EXPECT_FALSE(form.isEditing());
    EXPECT_EQ(form.customer().companyField(), "Café Unos");
    EXPECT_EQ(c.t.store->fetch(OrderQueue::kEntityName, "type == %@", std::string(OrderQueue::kCustomer)).size(), 1u);
    EXPECT_TRUE(c.answers.empty()) << "a stored customer saved is no answer";
}

TEST(Customers, LengthLimitsRefuseInsertionsPastTheMaximumButTakeReplacements) {
    struct Case {
        std::string text;
        int max;
        ui::TextRange range;
        bool taken;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"OR", 2, {2, 0}, false, "OR"},
        {"O", 2, {1, 0}, true, "O"},
        {"Oregon", 2, {6, 0}, false, "Or"},
        {"OR", 2, {0, 2}, true, "OR"},
        {"anything", 0, {8, 0}, true, "anything"},
        {"anything", -1, {8, 0}, true, "anything"},
        // Characters are counted, not bytes: one accented letter leaves room for another.
        {"\u00d6", 2, {2, 0}, true, "\u00d6"},
        {"\u00d6\u00c4", 2, {4, 0}, false, "\u00d6\u00c4"},
        {"\u00d6\u00c4\u00dc", 2, {6, 0}, false, "\u00d6\u00c4"},
    };
    for (const Case& k : cases) {
        std::string text = k.text;
        EXPECT_EQ(LabelValueCellView::acceptsChange(text, k.max, k.range, "x"), k.taken) << k.text << " " << k.max;
        EXPECT_EQ(text, k.after);
    }
}

// A new customer from the order details' customer row: the list's +, the form, its checks.
class NewCustomer {
public:
    NewCustomer() {
        c.t.setParam("MODULE_CUSTOMER_ACCOUNTS", "YES");
        order = c.t.order({c.t.line("Burger", 900)});
        c.t.details(order);
        c.t.h.tapAccessory(c.t.table(), {2, 0});
        c.t.h.runUntilIdle();
        c.t.h.tap(ui::SystemItem::Add);
        c.t.h.runUntilIdle();
    }
    CustomerViewController& form() { return c.t.h.visible<CustomerViewController>(); }
    ui::TextField& header(int tag) { return c.t.h.viewWithTag<ui::TextField>(tag); }
    LabelValueCellView& row(IndexPath path) {
        form().tableView().scrollToRow(path);
        c.t.h.runUntilIdle();
        return dynamic_cast<LabelValueCellView&>(*form().tableView().cellForRow(path));
    }
    std::string alertAfterDone() {
        c.t.h.tap("Done");
        c.t.h.runUntilIdle();
        if (!c.t.h.hasAlert()) return "";
        std::string message = c.t.h.frontAlert().message().value_or("");
        c.t.h.clickAlert("Ok");
        return message;
    }
    size_t queuedCustomers() {
        return c.t.store->fetch(OrderQueue::kEntityName, "type == %@", std::string(OrderQueue::kCustomer)).size();
    }

    CustomerTerminal c;
    std::shared_ptr<Order> order;
};

TEST(Customers, ANewCustomerNeedsANameOrCompanyAndAPhoneAndIsCapitalisedQueuedAndNamesTheOrder) {
    NewCustomer n;
    EXPECT_EQ(n.form().title(), "New Customer");
    EXPECT_TRUE(n.form().isEditing());
    EXPECT_EQ(n.row({2, 1}).valueText(), "Salem") << "the store's city";
    EXPECT_EQ(n.alertAfterDone(), "You must specify first name, last name, or company");
    n.c.t.h.type(n.header(CustomerViewController::kFirstNameTag), "mary jane");
    n.c.t.h.type(n.header(CustomerViewController::kLastNameTag), "o'NEIL");
    EXPECT_EQ(n.alertAfterDone(), "You must specify at least 1 phone number");
    EXPECT_EQ(n.queuedCustomers(), 0u);
    n.c.t.h.type(*n.row({0, 0}).field(), "503-555-7777");
    n.c.t.h.type(*n.row({2, 2}).field(), "x"); // the state holds two letters already
    EXPECT_EQ(n.row({2, 2}).valueText(), "OR");
    EXPECT_TRUE(ui::test::matchesGolden(n.c.t.picture(), "customer_form_new_phone"));
    EXPECT_EQ(n.alertAfterDone(), "");

    EXPECT_EQ(n.queuedCustomers(), 1u) << "a lite terminal queues the customer";
    EXPECT_EQ(n.order->name(), "Mary Jane O'neil") << "the picker names the order";
    EXPECT_TRUE(n.order->customerRemoteId().has_value());
    EXPECT_EQ(n.c.t.navigation->topViewController(), n.c.t.detailsScreen.get()) << "the sheet is gone";
    ASSERT_TRUE(n.c.t.detailsScreen->customer().has_value());
    EXPECT_EQ(n.c.t.detailsScreen->customer()->mobile(), "503-555-7777");
    EXPECT_EQ(n.c.t.detailsScreen->customer()->city(), "Salem");
}

TEST(Customers, CapitalisingMakesEachWordStartUpperCase) {
    for (const auto& [typed, made] : {std::pair{"mary jane", "Mary Jane"}, std::pair{"ACME  corp", "Acme  Corp"},
                                      std::pair{"o'neil", "O'neil"}, std::pair{"", ""}})
        EXPECT_EQ(CustomerViewController::capitalized(typed), made);
}

} // namespace
} // namespace tavlo::screens::test
