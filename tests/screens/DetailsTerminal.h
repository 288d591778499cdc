#pragma once

#include "OrderScreenTerminal.h"

#include "platform/ui/InterfaceRegistry.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/customers/CustomerScreens.h"
#include "screens/details/DetailsScreens.h"
#include "screens/details/OrderDetailsViewController.h"
#include "screens/details/SplitViewController.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens::test {

// Stands for the comp list under its interface name: records what the order details hand it, and
// answers when the test says so.
class FakeCompList : public ui::ViewController, public CompListScreen {
public:
    void setSession(Session* session) override { session_ = session; }
    void setCurrentComp(std::optional<std::string> compName) override { currentComp = std::move(compName); }
    void setAnswer(Answer answer) override { answer_ = std::move(answer); }
    void answer(const std::optional<std::string>& compId, const std::optional<std::string>& by) { answer_(compId, by); }

    std::optional<std::string> currentComp;

private:
    Session* session_ = nullptr;
    Answer answer_;
};

// The order screen's terminal with the rights the details' tools need (Ann, Bob: split, comps,
// discounts, renames; the manager role also voids, which Ann, on the clock as a server, may not), Gus (number 1005) a server without the right
// to void, the details, split and customer screens, and the comp list's stand-in.
class DetailsTerminal : public OrderScreenTerminal {
public:
    explicit DetailsTerminal(bool lite = true, ui::DeviceIdiom idiom = ui::DeviceIdiom::Phone)
        : OrderScreenTerminal(lite, idiom) {
        for (const char* right : {"SPLIT", "COMPLIMENTARY", "ADD_DISCOUNT", "RENAME_ORDER", "INC_GRATUITY"})
            store.row("Role", "roleId", "R-SERVER")->addTo("permissions", store.addPermission(right));
        store.row("Role", "roleId", "R-MANAGER")->addTo("permissions", store.addPermission("REMOVE_ITEM"));
        store.addUser("U-GUS", "Gus", {store.row("Role", "roleId", "R-SERVER")})->setValue("number", "1005");
        store.save();
        registerDetailsScreens();
        registerCustomerScreens();
        ui::InterfaceRegistry::shared().addController(CompListScreen::kInterfaceName,
                                                      [] { return std::make_shared<FakeCompList>(); });
        signIn("U-ANN");
    }
    ~DetailsTerminal() { ui::InterfaceRegistry::shared().remove(CompListScreen::kInterfaceName); }

    // A line not sent yet: all its units are new (a line of line() counts as sent).
    SelectionPtr newLine(const std::string& name, int32_t price) {
        SelectionPtr made = line(name, price);
        made->setNewQuantity(made->quantity());
        return made;
    }

    // A table order named "12" with the lines (each with an id, "S-" and its name), made now,
    // never sent.
    std::shared_ptr<Order> order(const std::vector<SelectionPtr>& lines) {
        auto made = std::make_shared<Order>(store.context().get());
        made->setRemoteId(std::string("O-12"));
        made->setName(std::string("12"));
        made->setServerId(session->userId());
        made->setTerminalId(std::string("T1"));
        made->setAreaLocationId(std::string("L1"));
        made->setOrderType(OrderType::DineIn);
        made->setSeats(2);
        made->setCreated(Date::now());
        for (const auto& line : lines) {
            if (!line->remoteId()) line->setRemoteId("S-" + line->name().value_or(""));
            made->addSelection(line, session.get());
        }
        return made;
    }

    // The details of the order, pushed over a plain screen as the order screen pushes them; the
    // replace action's answers are kept in `replaced`.
    OrderDetailsViewController& details(std::shared_ptr<Order> shown) {
        auto made = ui::InterfaceRegistry::shared().instantiate(OrderDetailsViewController::kInterfaceName);
        detailsScreen = std::dynamic_pointer_cast<OrderDetailsViewController>(made);
        detailsScreen->setSession(session.get());
        detailsScreen->setOrder(std::move(shown));
        detailsScreen->setReplaceAction([this](std::shared_ptr<Order> order) { replaced.push_back(order); });
        host = std::make_shared<ui::ViewController>();
        host->setTitle(std::string("Order"));
        navigation = std::make_shared<ui::NavigationController>(host);
        h.show(navigation);
        navigation->push(detailsScreen, false);
        h.runUntilIdle();
        return *detailsScreen;
    }

    ui::TableView& table() { return detailsScreen->tableView(); }
    // The text of a part (by tag) of a shown row.
    std::string rowText(ui::IndexPath path, int tag) {
        ui::TableViewCell* cell = table().cellForRow(path);
        if (!cell) return "<no row>";
        ui::View* part = cell->contentView().viewWithTag(tag);
        return part ? part->displayedText().value_or("") : "<no part>";
    }

    std::shared_ptr<OrderDetailsViewController> detailsScreen;
    std::vector<std::shared_ptr<Order>> replaced;
};

} // namespace tavlo::screens::test
