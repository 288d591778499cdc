// The interface of the pay screen: the total due across the top; tendered with the quick-cash keys
// under it; the amount paying, the gratuity and the tip with its percent keys; the card fields
// with Manual (to key a card by hand); Process (and Force, for a forced card sale) at the bottom.
// The tenders are a segmented control in the navigation bar.
#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/render/Theme.h"
#include "screens/common/ScreenKit.h"
#include "screens/pay/PayViewController.h"

namespace tavlo::screens {

using namespace ui;
using namespace kit;
namespace theme = ui::render::theme;

namespace {

struct Grid {
    double m, width, rowHeight, gap, captionWidth, fieldX;
    double y;
    Font captionFont, fieldFont, keyFont;
};

std::shared_ptr<View> build(PayViewController& owner) {
    const bool pad = onPad();
    Grid g{.m = promptMargin(),
           .width = promptSize().width - 2 * promptMargin(),
           .rowHeight = pad ? 38.0 : 27.0,
           .gap = pad ? 8.0 : 4.0,
           .captionWidth = pad ? 130.0 : 92.0,
           .fieldX = 0,
           .y = pad ? 14.0 : 6.0,
           .captionFont = Font::boldSystem(pad ? 17 : 13),
           .fieldFont = Font::system(pad ? 19 : 15),
           .keyFont = Font::boldSystem(pad ? 16 : 13)};
    g.fieldX = g.m + g.captionWidth + (pad ? 8 : 4);
    auto root = promptRoot();

    auto caption = [&](const std::string& outletName, const std::string& text, double x, double width) {
        auto label = addCaption(*root, {x, g.y, width, g.rowHeight}, localized(text), g.captionFont, theme::ink(),
                                kStretchesAcross);
        owner.connect(outletName, label);
        return label;
    };
    auto field = [&](const std::string& outletName, double x, double width, bool money) {
        auto made = add<TextField>(*root, Rect(x, g.y, width, g.rowHeight));
        made->setBorderStyle(BorderStyle::RoundedRect);
        made->setFont(g.fieldFont);
        made->setTextColor(theme::ink());
        made->setTextAlignment(money ? TextAlignment::Right : TextAlignment::Left);
        made->setKeyboardType(KeyboardType::NumberPad);
        made->setDelegate(&owner);
        owner.connect(outletName, made);
        return made;
    };
    auto moneyRow = [&](const std::string& captionOutlet, const std::string& text, const std::string& fieldOutlet) {
        caption(captionOutlet, text, g.m, g.captionWidth);
        field(fieldOutlet, g.fieldX, g.m + g.width - g.fieldX, true);
        g.y += g.rowHeight + g.gap;
    };
    // A row of keys under a field, from the field's left edge to the right margin.
    auto keys = [&](const std::vector<std::pair<std::string, std::string>>& titled,
                    const std::function<void(size_t)>& pressed) {
        // A phone's keys take the whole width: under the field they would be too narrow.
        const double left = pad ? g.fieldX : g.m, span = g.m + g.width - left, keyGap = pad ? 6 : 3;
        const double keyWidth = (span - keyGap * (titled.size() - 1)) / titled.size();
        for (size_t i = 0; i < titled.size(); ++i) {
            auto key = addSecondaryButton(*root, {left + i * (keyWidth + keyGap), g.y, keyWidth, g.rowHeight - 4},
                                          titled[i].second, [pressed, i] { pressed(i); });
            key->titleLabel().setFont(g.keyFont);
            owner.connect(titled[i].first, key);
        }
        g.y += g.rowHeight - 4 + g.gap;
    };

    g.y = pad ? 16 : 8;
    caption("lblDueCaption", "Due", g.m, g.captionWidth);
    auto due = addCaption(*root, {g.fieldX, g.y, g.m + g.width - g.fieldX, g.rowHeight}, "",
                          Font::boldSystem(pad ? 26 : 20), theme::teal(), kStretchesAcross);
    due->setTextAlignment(TextAlignment::Right);
    owner.connect("lblDue", due);
    g.y += g.rowHeight + g.gap;

    moneyRow("lblTendered", "Tendered:", "tendered");
    keys({{"amount1", "$1"},
          {"amount5", "$5"},
          {"amount10", "$10"},
          {"amount20", "$20"},
          {"amount100", "$100"},
          {"next", localized("Next")}},
         [&owner](size_t i) {
             static constexpr int32_t kCents[] = {100, 500, 1000, 2000, 10000};
             if (i < 5) owner.incrementTendered(kCents[i]);
             else owner.nextUp();
         });
    moneyRow("lblAmount", "Amount:", "amount");
    moneyRow("lblGratuity", "Gratuity:", "gratuity");
    moneyRow("lblTip", "Tip:", "tip");
    keys({{"percent1", ""}, {"percent2", ""}, {"percent3", ""}, {"percentCustom", localized("Other")}},
         [&owner](size_t i) {
             if (i < 3) owner.percent(static_cast<int>(i));
             else owner.percentCustom();
         });
    for (const char* hidden : {"percent1", "percent2", "percent3"}) owner.outlet(hidden)->setHidden(true);

    // Manual: the card is keyed by hand, whatever was swiped before.
    const double manualWidth = pad ? 110 : 76, manualGap = pad ? 8 : 4;
    caption("lblNumber", "Number:", g.m, g.captionWidth);
    field("number", g.fieldX, g.m + g.width - g.fieldX - manualWidth - manualGap, false);
    auto manual = addSecondaryButton(*root, {g.m + g.width - manualWidth, g.y + 2, manualWidth, g.rowHeight - 4},
                                     localized("Manual"), [&owner] { owner.manual(); });
    manual->titleLabel().setFont(g.keyFont);
    owner.connect("manual", manual);
    g.y += g.rowHeight + g.gap;

    // Expiry and security code share a row.
    const double half = (g.m + g.width - g.fieldX - (pad ? 8 : 4)) / 2;
    caption("lblExpDate", "Expiry:", g.m, g.captionWidth);
    field("expDate", g.fieldX, half * 0.8, false);
    const double secX = g.fieldX + half * 0.8 + (pad ? 8 : 4);
    caption("lblSecCode", "CVV:", secX, half * 0.5);
    field("secCode", secX + half * 0.5, g.m + g.width - secX - half * 0.5, false);
    g.y += g.rowHeight + g.gap;

    caption("lblZip", "Zip:", g.m, g.captionWidth);
    field("zip", g.fieldX, half, false);
    g.y += g.rowHeight + g.gap;

    const double buttonHeight = pad ? 44 : 34, buttonWidth = pad ? 160 : 120;
    auto processButton =
        addPrimaryButton(*root, {g.m + g.width - buttonWidth, g.y + (pad ? 6 : 2), buttonWidth, buttonHeight},
                         localized("Process"), [&owner] { owner.process(); });
    owner.connect("process", processButton);
    auto force = addSecondaryButton(*root, {g.m, g.y + (pad ? 6 : 2), buttonWidth, buttonHeight}, localized("Force"),
                                    [&owner] { owner.force(); });
    force->setHidden(true);
    owner.connect("forceButton", force);

    auto types = std::make_shared<SegmentedControl>(std::vector<std::string>{}, Rect(0, 0, pad ? 440 : 220, 30));
    owner.connect("payTypes", types);
    return root;
}

} // namespace

void registerPayScreens() {
    InterfaceRegistry& registry = InterfaceRegistry::shared();
    registry.add<PayViewController>(PayViewController::kInterfaceName,
                                    std::function<std::shared_ptr<View>(PayViewController&)>(build));
    // The order screen opens the pay screen by its name alone and then hands it the session,
    // the order and what to do when paid.
    registry.addController(PayViewController::kInterfaceName, [] { return std::make_shared<PayViewController>(); });
}

} // namespace tavlo::screens
