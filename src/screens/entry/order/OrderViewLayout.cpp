// The interface "OrderView": the lines of the order fill the screen; under them a panel with the
// totals on the left, the due on the right, and a row of buttons: on a quick sale the two cash
// buttons (or, in gateway mode, the due in large type), then Pay and Close. The total button sits
// under the due, shown only when a quick sale asks for it.
#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/render/Theme.h"
#include "screens/common/ScreenKit.h"
#include "screens/entry/order/OrderViewController.h"

namespace tavlo::screens {

using namespace ui;
namespace theme = ui::render::theme;

namespace {

constexpr double kPanelHeight = 132, kRow = 19, kMargin = 8, kButtonHeight = 40;

std::shared_ptr<Label> addLabel(View& parent, Rect frame, const std::string& text, const Font& font,
                                const Color& colour, TextAlignment align) {
    auto label = kit::addPlainLabel(parent, frame, {.font = font, .colour = colour, .alignment = align});
    label->setText(text);
    return label;
}

std::shared_ptr<Button> addButton(View& parent, Rect frame, const std::string& title, const Color& colour,
                                  std::function<void()> action) {
    auto button = Button::make(ButtonType::RoundedRect, frame);
    button->setTitle(title);
    button->setTitleColor(Color::white());
    button->setTitleColor(Color::withWhite(1, 0.6), ControlState::Disabled);
    button->setBackgroundColor(colour);
    button->addTarget([action = std::move(action)](Control&) { action(); }, ControlEvent::TouchUpInside);
    parent.addSubview(button);
    return button;
}

std::shared_ptr<View> build(OrderViewController& owner) {
    const Rect screen = Rect(0, 0, 320, 372);
    const double width = screen.width(), height = screen.height();
    auto root = std::make_shared<View>(screen);
    root->setBackgroundColor(theme::paper());
    root->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);

    auto table = std::make_shared<TableView>(Rect(0, 0, width, height - kPanelHeight));
    table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    table->setBackgroundColor(Color::white());
    root->addSubview(table);

    auto panel = std::make_shared<View>(Rect(0, height - kPanelHeight, width, kPanelHeight));
    panel->setBackgroundColor(theme::headerBand());
    panel->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleTopMargin);
    root->addSubview(panel);

    const double half = (width - 3 * kMargin) / 2;
    const Font caption = Font::system(13), value = Font::boldSystem(13);
    const char* rows[][2] = {
        {"Sub-total", "subTotal"}, {"Discount", "discount"}, {"Tax", "taxLbl"}, {"Total", "total"}};
    double y = 6;
    for (const auto& row : rows) {
        addLabel(*panel, Rect(kMargin, y, 70, kRow), localized(row[0]), caption, theme::mutedInk(),
                 TextAlignment::Left);
        owner.connect(row[1], addLabel(*panel, Rect(kMargin + 70, y, half - 70, kRow), "", value, theme::ink(),
                                       TextAlignment::Right));
        y += kRow;
    }
    const double right = 2 * kMargin + half;
    auto lblDue = addLabel(*panel, Rect(right, 6, half, kRow), localized("Due"), caption, theme::mutedInk(),
                           TextAlignment::Right);
    lblDue->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
    auto due =
        addLabel(*panel, Rect(right, 6 + kRow, half, 28), "", Font::boldSystem(24), theme::ink(), TextAlignment::Right);
    due->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
    auto total = addButton(*panel, Rect(right + half - 90, 6 + kRow + 30, 90, 24), localized("Total"), theme::teal(),
                           [&owner] { owner.totalOrder(); });
    total->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
    total->setHidden(true);

    const double buttonsY = kPanelHeight - kButtonHeight - kMargin;
    const double quarter = (width - 5 * kMargin) / 4;
    auto payExact = addButton(*panel, Rect(kMargin, buttonsY, quarter, kButtonHeight), "", theme::teal(),
                              [&owner] { owner.exactAmount(); });
    auto payUp = addButton(*panel, Rect(2 * kMargin + quarter, buttonsY, quarter, kButtonHeight), "", theme::teal(),
                           [&owner] { owner.upAmount(); });
    payExact->setHidden(true);
    payUp->setHidden(true);
    auto bigDue = addLabel(*panel, Rect(kMargin, buttonsY, 2 * quarter + kMargin, kButtonHeight), "",
                           Font::boldSystem(28), theme::red(), TextAlignment::Left);
    bigDue->setHidden(true);
    auto pay = addButton(*panel, Rect(3 * kMargin + 2 * quarter, buttonsY, quarter, kButtonHeight), localized("Pay"),
                         theme::orange(), [&owner] { owner.pay(); });
    auto close = addButton(*panel, Rect(4 * kMargin + 3 * quarter, buttonsY, quarter, kButtonHeight),
                           localized("Close"), theme::bar(), [&owner] { owner.close(); });
    for (const auto& button : {payExact, payUp, pay, close})
        button->setAutoresizingMask(Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleRightMargin);

    owner.connect("tableView", table);
    owner.connect("tableItems", table);
    owner.connect("lblDue", lblDue);
    owner.connect("due", due);
    owner.connect("lblBigDue", bigDue);
    owner.connect("totalButton", total);
    owner.connect("payExact", payExact);
    owner.connect("payUp", payUp);
    owner.connect("pay", pay);
    owner.connect("close", close);
    return root;
}

} // namespace

void registerOrderView() {
    InterfaceRegistry& registry = InterfaceRegistry::shared();
    registry.add<OrderViewController>(OrderViewController::kInterfaceName,
                                      std::function<std::shared_ptr<View>(OrderViewController&)>(build));
    registry.addController(OrderViewController::kInterfaceName, [] { return std::make_shared<OrderViewController>(); });
}

} // namespace tavlo::screens
