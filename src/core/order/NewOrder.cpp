#include "core/order/NewOrder.h"

#include "core/order/Order.h"
#include "core/order/OrderTax.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"

namespace tavlo {

namespace {

// The store's taxes, each a line of the order.
void addStoreTaxes(Order& order, ObjectContext* moc) {
    for (const ManagedObjectPtr& tax : moc->fetch(FetchRequest("Tax", std::nullopt, {{"name"}}))) {
        OrderTax line;
        line.setTaxId(tax->text("taxId"));
        line.setName(tax->text("name"));
        line.setPercentage(tax->int32("percentage"));
        line.setRounding(tax->text("roundingMethod"));
        order.addTax(std::move(line));
    }
}

void seatAtTable(Order& order, const std::string& areaLocationId, ObjectContext* moc) {
    if (ManagedObjectPtr table = moc->fetchFirst("AreaLocation", "(areaLocationId == %@)", areaLocationId)) {
        order.setName(table->text("name"));
        order.setAreaId(table->text("area.areaId"));
        order.setAreaLocationId(areaLocationId);
        order.setSeats(Parameters::flag(Parameter::ForceSetSeats, moc) ? 0 : table->int32("seats"));
    } else {
        order.setAreaLocationId(areaLocationId);
    }
    order.setOrderType(OrderType::DineIn);
}

void makeQuickSale(Order& order, Session& session, ObjectContext* moc) {
    order.setName(IDBroker::getInstance().generateQSNum());
    const auto type = Parameters::text(Parameter::QuickSaleOrderType, moc);
    order.setOrderType(type ? orderTypeOf(intValue(*type)) : OrderType::TakeOut);
    order.setSeats(order.orderType() == OrderType::DineIn ? 1 : 0);
    if (ManagedObjectPtr terminal = moc->fetchFirst("Terminal", "terminalId==%@", session.terminalId().value_or("")))
        order.setAreaId(terminal->text("area.areaId"));
}

} // namespace

std::shared_ptr<Order> makeNewOrder(Session& session, const std::optional<std::string>& areaLocationId) {
    ObjectContext* moc = session.managedObjectContext();
    auto order = std::make_shared<Order>(moc);
    order->setTaxOverride(Parameters::flag(Parameter::TaxOverride, moc));
    addStoreTaxes(*order, moc);
    order->setTipGratuityAfterTax(Parameters::flag(Parameter::TipGratuityAfterTax, moc));
    order->setTipGratuityBeforeCompDisc(Parameters::flag(Parameter::TipGratuityBeforeCompDisc, moc));
    IDBroker& ids = IDBroker::getInstance();
    order->setRemoteId(ids.generateRemoteIdOrder());
    order->setCreated(Date::now());
    order->setUpdated(order->created());
    order->setServerId(session.userId());
    order->setBatchId(ids.currentBatchId());
    order->setTerminalId(session.terminalId());
    if (session.isUsingGratuity()) {
        if (auto seats = Parameters::text(Parameter::GratuityMinSeats, moc))
            order->setGratuityMinSeats(intValue(*seats));
        if (auto percentage = Parameters::text(Parameter::Gratuity, moc))
            order->setGratuityPercentage(intValue(*percentage));
    }
    if (areaLocationId) seatAtTable(*order, *areaLocationId, moc);
    else makeQuickSale(*order, session, moc);
    // Nothing of it has reached the store or the server yet, even when no table gave it seats.
    order->setModified(true);
    return order;
}

} // namespace tavlo
