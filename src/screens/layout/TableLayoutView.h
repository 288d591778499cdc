#pragma once

#include "core/records/Area.h"
#include "platform/ui/Font.h"
#include "platform/ui/View.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class Order;
class Session;
} // namespace tavlo

namespace tavlo::screens {

// The floor plan of one area: each table and fixture as a filled rectangle or ellipse at its place.
// Fixtures (no seats) are black with white names. A table is white when nothing is open at it,
// red when the first of its open orders is the user's and yellow when it is another server's; it
// shows its short name with the time since that order was opened (and how many orders there are
// when more than one), the order's server above and its amount below. Without an area it asks the
// user to contact Support.
class TableLayoutView : public ui::View {
public:
    static constexpr const char* kNoAreasText = "No areas defined, contact Support";

    using ui::View::View;

    const std::optional<Area>& area() const { return area_; }
    void setArea(std::optional<Area> area);
    const std::shared_ptr<Session>& session() const { return session_; }
    void setSession(std::shared_ptr<Session> session) { session_ = std::move(session); }

    // Where the location lies on the plan: its place and its shape's size (none without a shape).
    static ui::Rect frameOf(const AreaLocation& location);
    // The local open orders at the table, by name.
    std::vector<std::shared_ptr<Order>> ordersAt(const std::string& areaLocationId) const;

    void draw(ui::GraphicsContext& context, const ui::Rect& dirty) override;

private:
    void drawNoArea(ui::GraphicsContext& context) const;
    void drawLocation(ui::GraphicsContext& context, const AreaLocation& location, const ui::Font& font) const;
    // The server's name above the centre and the order's amount below it.
    void drawOrderLines(ui::GraphicsContext& context, const Order& order, ui::Point centre, const ui::Font& font) const;

    std::optional<Area> area_;
    std::shared_ptr<Session> session_;
};

} // namespace tavlo::screens
