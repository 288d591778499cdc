// Navigation bars and toolbars with their titles, title views and items; the stock items' symbols.
#include "platform/ui/NavigationController.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/render/Renderer.h"
#include "platform/ui/render/Shapes.h"
#include "platform/ui/render/Theme.h"
#include "platform/ui/render/Typesetter.h"

#include <algorithm>
#include <cmath>

namespace tavlo::ui::render {

namespace {

constexpr double kItemPadding = 12;
constexpr double kItemGap = 6;
constexpr double kBarMargin = 8;

// A stock item's symbol in a 22-point square around a centre, in the stroke colour.
void drawSymbol(GraphicsContext& g, SystemItem kind, Point centre) {
    double x = centre.x - 11, y = centre.y - 11;
    auto p = [&](double px, double py) { return Point{x + px, y + py}; };
    g.setLineWidth(2);
    g.setLineCap(LineCap::Round);
    g.setFillColor(g.state().strokeColor);
    switch (kind) {
    case SystemItem::Add:
        g.strokePath(line(p(11, 3), p(11, 19)));
        g.strokePath(line(p(3, 11), p(19, 11)));
        break;
    case SystemItem::Compose:
        g.strokePath(polygon({p(12, 4), p(3, 4), p(3, 19), p(18, 19), p(18, 10)}, false));
        g.strokePath(line(p(9, 13), p(19, 3)));
        break;
    case SystemItem::Reply:
        g.strokePath(polygon({p(19, 18), p(19, 12), p(4, 12)}, false));
        g.strokePath(polygon({p(9, 7), p(4, 12), p(9, 17)}, false));
        break;
    case SystemItem::Action:
        g.strokePath(polygon({p(7, 9), p(4, 9), p(4, 20), p(18, 20), p(18, 9), p(15, 9)}, false));
        g.strokePath(line(p(11, 14), p(11, 2)));
        g.strokePath(polygon({p(7, 6), p(11, 2), p(15, 6)}, false));
        break;
    case SystemItem::Organize:
        g.strokePath(polygon({p(2, 5), p(8, 5), p(10, 8), p(20, 8), p(20, 19), p(2, 19)}));
        break;
    case SystemItem::Bookmarks:
        g.strokeRect({x + 3, y + 3, 8, 16});
        g.strokeRect({x + 11, y + 3, 8, 16});
        break;
    case SystemItem::Search:
        g.strokeEllipse({x + 3, y + 3, 12, 12});
        g.strokePath(line(p(14, 14), p(19, 19)));
        break;
    case SystemItem::Refresh:
        g.strokePath(arc(p(11, 11), 7.5, -M_PI / 3, 1.6 * M_PI));
        g.strokePath(polygon({p(13, 2), p(15.5, 5), p(12, 7.5)}, false));
        break;
    case SystemItem::Stop:
        g.strokePath(line(p(4, 4), p(18, 18)));
        g.strokePath(line(p(18, 4), p(4, 18)));
        break;
    case SystemItem::Camera:
        g.strokeRoundedRect({x + 2, y + 6, 18, 13}, 2);
        g.strokeEllipse({x + 7, y + 8.5, 8, 8});
        g.strokeRect({x + 7, y + 3, 8, 3});
        break;
    case SystemItem::Trash:
        g.strokePath(line(p(3, 6), p(19, 6)));
        g.strokeRect({x + 8, y + 2.5, 6, 3.5});
        g.strokePath(polygon({p(5, 6), p(6.5, 20), p(15.5, 20), p(17, 6)}, false));
        g.strokePath(line(p(9, 10), p(9, 17)));
        g.strokePath(line(p(13, 10), p(13, 17)));
        break;
    case SystemItem::Play: g.fillPath(polygon({p(6, 3), p(19, 11), p(6, 19)})); break;
    case SystemItem::Pause:
        g.fillRect({x + 5, y + 4, 4, 14});
        g.fillRect({x + 13, y + 4, 4, 14});
        break;
    case SystemItem::Rewind:
        g.fillPath(polygon({p(11, 4), p(2, 11), p(11, 18)}));
        g.fillPath(polygon({p(20, 4), p(11, 11), p(20, 18)}));
        break;
    case SystemItem::FastForward:
        g.fillPath(polygon({p(2, 4), p(11, 11), p(2, 18)}));
        g.fillPath(polygon({p(11, 4), p(20, 11), p(11, 18)}));
        break;
    default: break; // words and spaces have no symbol
    }
    g.setLineCap(LineCap::Butt);
    g.setLineWidth(1);
}

} // namespace

double Renderer::barItemWidth(const BarButtonItem& item) const {
    if (item.customView()) return item.customView()->frame().width();
    if (item.systemItem() == SystemItem::FixedSpace) return item.width();
    if (item.isSpace()) return 0;
    if (auto title = item.displayTitle())
        return std::max(44.0, Typesetter::shared().measure(*title, theme::barItemFont()).width + 2 * kItemPadding);
    return 44;
}

void Renderer::drawBarItem(BarButtonItem& item, const Rect& rect, bool bordered) {
    drawnItems_[&item] = toWindow(rect);
    if (auto& view = item.customView()) {
        Size size = view->frame().size;
        drawDetached(*view, {rect.midX() - size.width / 2, rect.midY() - size.height / 2, size.width, size.height});
        return;
    }
    if (item.isSpace()) return;
    std::optional<std::string> title = item.displayTitle();
    context_.saveState();
    if (!item.isEnabled()) context_.setAlpha(context_.state().alpha * 0.4);
    Rect chip{rect.minX(), rect.midY() - theme::kBarButtonHeight / 2, rect.width(), theme::kBarButtonHeight};
    bool done = item.style() == BarButtonStyle::Done;
    if (done || item.style() == BarButtonStyle::Bordered || (bordered && title)) {
        context_.setFillColor(done ? theme::orange() : theme::barItem());
        context_.fillRoundedRect(chip, 6);
        context_.setStrokeColor(theme::barEdge());
        context_.strokeRoundedRect(chip.insetBy(0.5, 0.5), 6);
    }
    if (title) {
        Font font = theme::barItemFont();
        double h = Typesetter::shared().measure(*title, font).height;
        context_.setFillColor(Color::white());
        context_.drawText(*title, {chip.minX() + 4, chip.midY() - h / 2, chip.width() - 8, h}, font,
                          TextAlignment::Center, {1, LineBreakMode::TruncateTail});
    } else if (item.systemItem()) {
        context_.setStrokeColor(Color::white());
        drawSymbol(context_, *item.systemItem(), chip.center());
    }
    context_.restoreState();
    BarButtonItem* target = &item;
    std::string name =
        title.value_or("stock item " + std::to_string(static_cast<int>(item.systemItem().value_or(SystemItem::Done))));
    addRegion(
        rect, [target] { target->tap(); }, name);
}

void Renderer::drawBackButton(NavigationController& nav, const std::string& title, const Rect& rect) {
    Rect chip{rect.minX() + 8, rect.midY() - theme::kBarButtonHeight / 2, rect.width() - 8, theme::kBarButtonHeight};
    context_.setFillColor(theme::barItem());
    context_.fillRoundedRect(chip, 6);
    context_.fillPath(
        polygon({{rect.minX(), chip.midY()}, {chip.minX() + 3, chip.minY()}, {chip.minX() + 3, chip.maxY()}}));
    Font font = theme::barItemFont();
    double h = Typesetter::shared().measure(title, font).height;
    context_.setFillColor(Color::white());
    context_.drawText(title, {chip.minX() + 2, chip.midY() - h / 2, chip.width() - 8, h}, font, TextAlignment::Center,
                      {1, LineBreakMode::TruncateTail});
    NavigationController* target = &nav;
    addRegion(
        rect, [target] { target->tapBackButton(); }, title);
}

void Renderer::drawNavigationBar(NavigationController& nav, const Rect& bounds) {
    Rect bar{bounds.minX(), bounds.minY(), bounds.width(), NavigationController::kNavigationBarHeight};
    context_.setFillColor(theme::bar());
    context_.fillRect(bar);
    context_.setFillColor(theme::barEdge());
    context_.fillRect({bar.minX(), bar.maxY() - 1, bar.width(), 1});
    ViewController* top = nav.topViewController();
    if (!top) return;
    NavigationItem& item = top->navigationItem();
    Font itemFont = theme::barItemFont();
    double left = bar.minX() + kBarMargin, right = bar.maxX() - kBarMargin;
    if (auto& leftItem = item.leftBarButtonItem()) {
        double w = barItemWidth(*leftItem);
        drawBarItem(*leftItem, {left, bar.minY(), w, bar.height() - 1}, true);
        left += w + kItemGap;
    } else if (auto back = nav.backButtonTitle()) {
        double w =
            std::min(bar.width() / 3, Typesetter::shared().measure(*back, itemFont).width + 2 * kItemPadding + 8);
        drawBackButton(nav, *back, {left, bar.minY(), w, bar.height() - 1});
        left += w + kItemGap;
    }
    if (auto& rightItem = item.rightBarButtonItem()) {
        double w = barItemWidth(*rightItem);
        drawBarItem(*rightItem, {right - w, bar.minY(), w, bar.height() - 1}, true);
        right -= w + kItemGap;
    }
    double room = std::max(0.0, right - left);
    if (auto& titleView = item.titleView()) {
        Size size = titleView->frame().size;
        double w = std::min(size.width, room), h = std::min(size.height, bar.height());
        double x = std::clamp(bar.midX() - w / 2, left, std::max(left, right - w));
        drawDetached(*titleView, {x, bar.midY() - h / 2, w, h});
    } else if (auto title = item.title(); title && !title->empty()) {
        Typesetter& typesetter = Typesetter::shared();
        Font font = theme::barTitleFont();
        Size text = typesetter.measure(*title, font);
        // A title wider than the room left shrinks (to 12 points at least), then takes two lines.
        TextWrap wrap{1, LineBreakMode::TruncateTail};
        if (text.width + 2 > room) {
            font = font.withSize(std::max(12.0, std::floor(font.pointSize() * room / (text.width + 2) * 2) / 2));
            text = typesetter.measure(*title, font);
            if (text.width + 2 > room) {
                wrap = {2, LineBreakMode::TruncateTail};
                text = typesetter.measure(*title, font, room, wrap);
            }
        }
        double w = std::min(text.width + 2, room);
        // In the middle of the bar when the items leave room, else in the middle of what they leave.
        double x = std::clamp(bar.midX() - w / 2, left, std::max(left, right - w));
        context_.setFillColor(Color::white());
        context_.drawText(*title, {x, bar.midY() - text.height / 2, w, text.height}, font, TextAlignment::Center, wrap);
    }
}

void Renderer::drawToolbar(Toolbar& toolbar, const Rect& bounds) {
    if (!toolbar.backgroundColor()) {
        context_.setFillColor(toolbar.barStyle() == BarStyle::Black ? theme::rgb(0x14, 0x1A, 0x1F) : theme::bar());
        context_.fillRect(bounds);
        context_.setFillColor(theme::barEdge());
        context_.fillRect({bounds.minX(), bounds.minY(), bounds.width(), 1});
    }
    std::vector<Rect> frames = toolbar.itemFrames();
    const auto& items = toolbar.items();
    for (size_t i = 0; i < items.size() && i < frames.size(); ++i) {
        BarButtonItem& item = *items[i];
        if (item.customView()) {
            drawnItems_[&item] = toWindow(item.customView()->frame()); // drawn as a subview
            continue;
        }
        drawBarItem(item, frames[i], false);
    }
}

} // namespace tavlo::ui::render
