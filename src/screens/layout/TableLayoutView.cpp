#include "screens/layout/TableLayoutView.h"

#include "core/order/Order.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/GraphicsContext.h"

#include <algorithm>
#include <cmath>

namespace tavlo::screens {

using namespace ui;

namespace {

// How long ago the order was opened, "(hh:mm)" after the table's short name, with the count of
// open orders between them when there are several.
std::string tableTitle(const std::string& shortName, const Order& first, size_t count) {
    // An order stamped ahead of this terminal's clock has been open no time yet.
    long seconds = first.created() ? std::max(0L, static_cast<long>(Date::now().secondsSince(*first.created()))) : 0;
    int hours = static_cast<int>(seconds / 3600);
    int minutes = static_cast<int>((seconds / 60) % 60);
    if (count == 1) return format("%@ (%02d:%02d)", shortName, hours, minutes);
    return format("%@ (%lu) (%02d:%02d)", shortName, count, hours, minutes);
}

// A line of text centred horizontally on x with its top at y.
void drawCentred(GraphicsContext& context, const std::string& text, double x, double top, const Font& font) {
    context.drawText(text, Point{x - context.measureText(text, font).width / 2, top}, font);
}

} // namespace

void TableLayoutView::setArea(std::optional<Area> area) {
    area_ = std::move(area);
    setNeedsDisplay();
}

Rect TableLayoutView::frameOf(const AreaLocation& location) {
    const std::optional<AreaShape>& shape = location.shape();
    return Rect(location.x(), location.y(), shape ? shape->width() : 0, shape ? shape->height() : 0);
}

std::vector<std::shared_ptr<Order>> TableLayoutView::ordersAt(const std::string& areaLocationId) const {
    std::vector<std::shared_ptr<Order>> orders;
    ObjectContext* context = contextOf(session_.get());
    if (!context) return orders;
    FetchRequest request("Order", Predicate::format("closed==nil && areaLocation.areaLocationId== %@", areaLocationId),
                         {{"name"}});
    for (const ManagedObjectPtr& row : context->fetch(request))
        orders.push_back(std::make_shared<Order>(*row, context));
    return orders;
}

void TableLayoutView::draw(GraphicsContext& context, const Rect&) {
    if (!area_) return drawNoArea(context);
    context.saveState();
    context.setFillColor(Color::lightGray());
    context.fillRect(bounds());
    const Font font = Font::named("Arial", 16);
    for (const AreaLocation& location : area_->locations()) drawLocation(context, location, font);
    context.restoreState();
}

void TableLayoutView::drawNoArea(GraphicsContext& context) const {
    context.saveState();
    Path outline;
    outline.moveTo({10, 30}).lineTo({310, 30}).lineTo({310, 90}).lineTo({10, 90});
    context.setStrokeColor(Color::black());
    context.strokePath(outline);
    context.setFillColor(Color::black());
    context.drawText(localized(kNoAreasText), Point{100, 100}, Font::named("Arial", 24));
    context.restoreState();
}

void TableLayoutView::drawLocation(GraphicsContext& context, const AreaLocation& location, const Font& font) const {
    const bool fixture = location.seats() < 1;
    std::vector<std::shared_ptr<Order>> orders;
    if (!fixture) orders = ordersAt(location.areaLocationId().value_or(""));
    Color fill = Color::white();
    if (fixture) fill = Color::black();
    else if (!orders.empty())
        fill = session_ && orders.front()->serverId() == session_->userId() ? Color::red() : Color::yellow();
    const Rect shape = frameOf(location);
    context.setFillColor(fill);
    if (location.shape() && location.shape()->type() == "ellipse") context.fillEllipse(shape);
    else context.fillRect(shape);

    if (!location.shortName()) return;
    context.setFillColor(fixture ? Color::white() : Color::black());
    const int width = static_cast<int>(shape.width()), height = static_cast<int>(shape.height());
    const Point centre{static_cast<double>(location.x() + width / 2), static_cast<double>(location.y() + height / 2)};
    const std::string title =
        orders.empty() ? *location.shortName() : tableTitle(*location.shortName(), *orders.front(), orders.size());
    const Size size = context.measureText(title, font);
    context.drawText(title, Point{std::trunc(centre.x - size.width / 2), std::trunc(centre.y - size.height / 2)}, font);
    if (!orders.empty()) drawOrderLines(context, *orders.front(), centre, font);
}

void TableLayoutView::drawOrderLines(GraphicsContext& context, const Order& order, Point centre,
                                     const Font& font) const {
    const double points = font.pointSize();
    const bool lite = session_ && session_->isLite();
    const std::string amount = Utils::formatCurrency(lite ? order.getTotal() : order.summaryTotal());
    drawCentred(context, amount, centre.x, centre.y - context.measureText(amount, font).height / 2 + points + 2, font);
    ObjectContext* store = contextOf(session_.get());
    ManagedObjectPtr server =
        store && order.serverId() ? store->fetchFirst("User", "userId == %@", *order.serverId()) : nullptr;
    if (std::optional<std::string> name = server ? server->text("name") : std::nullopt)
        drawCentred(context, *name, centre.x, centre.y - context.measureText(*name, font).height / 2 - points - 2,
                    font);
}

} // namespace tavlo::screens
