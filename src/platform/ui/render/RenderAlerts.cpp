// Alerts: a modal box over a dimmed screen with the title, the message, the text field of the
// input styles and the buttons.
#include "platform/ui/AlertView.h"
#include "platform/ui/render/Renderer.h"
#include "platform/ui/render/Theme.h"
#include "platform/ui/render/Typesetter.h"

#include <algorithm>

namespace tavlo::ui::render {

namespace {

constexpr double kPadding = 20;
constexpr double kFieldHeight = 40;
constexpr double kButtonHeight = 48;
constexpr double kButtonGap = 10;

// The buttons from the top (or the left): the others in order, the cancel button last when they
// are stacked and first when two stand side by side.
std::vector<int> buttonOrder(const AlertView& alert) {
    std::vector<int> order;
    int cancel = alert.cancelButtonIndex();
    bool sideBySide = alert.numberOfButtons() == 2;
    if (sideBySide && cancel >= 0) order.push_back(cancel);
    for (int i = 0; i < alert.numberOfButtons(); ++i)
        if (i != cancel) order.push_back(i);
    if (!sideBySide && cancel >= 0) order.push_back(cancel);
    return order;
}

} // namespace

void Renderer::drawAlert(AlertView& alert, const Rect& screen) {
    addRegion({-1e6, -1e6, 2e6, 2e6}, {}, "outside the alert", true);
    Typesetter& typesetter = Typesetter::shared();
    double width = std::min(theme::kAlertWidth, screen.width() - 40);
    double inner = width - 2 * kPadding;
    Font titleFont = Font::boldSystem(19), messageFont = Font::system(16), buttonFont = Font::boldSystem(17);
    TextWrap wrap{0, LineBreakMode::WordWrap};
    const auto& title = alert.title();
    const auto& message = alert.message();
    double titleHeight = title ? typesetter.measure(*title, titleFont, inner, wrap).height : 0;
    double messageHeight = message ? typesetter.measure(*message, messageFont, inner, wrap).height : 0;
    TextField* field = alert.textField(0);
    int buttons = alert.numberOfButtons();
    bool sideBySide = buttons == 2;
    double buttonsHeight = buttons == 0 ? 0
                           : sideBySide ? kButtonHeight
                                        : buttons * kButtonHeight + (buttons - 1) * kButtonGap;
    double fixed = 2 * kPadding + (title && message ? 8 : 0) + (field ? 14 + kFieldHeight : 0) + (buttons ? 20 : 0) +
                   buttonsHeight + titleHeight;
    // A message too long for the screen is cut, never the buttons.
    messageHeight = std::min(messageHeight, std::max(0.0, screen.height() - 40 - fixed));
    double height = fixed + messageHeight;
    Rect box{screen.midX() - width / 2, screen.midY() - height / 2, width, height};

    drawSoftShadow(box, 14, {0, 8}, 24, 0.5);
    context_.setFillColor(theme::paper());
    context_.fillRoundedRect(box, 14);
    context_.setStrokeColor(theme::line());
    context_.strokeRoundedRect(box.insetBy(0.5, 0.5), 14);

    double y = box.minY() + kPadding;
    context_.setFillColor(theme::ink());
    if (title) {
        context_.drawText(*title, {box.minX() + kPadding, y, inner, titleHeight}, titleFont, TextAlignment::Center,
                          wrap);
        y += titleHeight + (message ? 8 : 0);
    }
    if (message) {
        context_.drawText(*message, {box.minX() + kPadding, y, inner, messageHeight}, messageFont,
                          TextAlignment::Center, {0, LineBreakMode::TruncateTail});
        y += messageHeight;
    }
    if (field) {
        y += 14;
        drawDetached(*field, {box.minX() + kPadding, y, inner, kFieldHeight});
        y += kFieldHeight;
    }
    if (buttons) y += 20;

    std::vector<int> order = buttonOrder(alert);
    double buttonWidth = sideBySide ? (inner - kButtonGap) / 2 : inner;
    double textHeight = typesetter.measure("Ag", buttonFont).height;
    std::weak_ptr<AlertView> weak = alert.shared_from_this();
    for (size_t slot = 0; slot < order.size(); ++slot) {
        int index = order[slot];
        Rect button =
            sideBySide
                ? Rect{box.minX() + kPadding + slot * (buttonWidth + kButtonGap), y, buttonWidth, kButtonHeight}
                : Rect{box.minX() + kPadding, y + slot * (kButtonHeight + kButtonGap), buttonWidth, kButtonHeight};
        bool cancel = index == alert.cancelButtonIndex() && buttons > 1;
        context_.setFillColor(cancel ? Color::white() : theme::teal());
        context_.fillRoundedRect(button, 8);
        if (cancel) {
            context_.setStrokeColor(theme::fieldBorder());
            context_.strokeRoundedRect(button.insetBy(0.5, 0.5), 8);
        }
        context_.setFillColor(cancel ? theme::ink() : Color::white());
        context_.drawText(alert.buttonTitle(index),
                          {button.minX() + 6, button.midY() - textHeight / 2, button.width() - 12, textHeight},
                          buttonFont, TextAlignment::Center, {1, LineBreakMode::TruncateTail});
        addRegion(
            button,
            [weak, index] {
                if (auto shown = weak.lock()) shown->click(index);
            },
            alert.buttonTitle(index));
    }
}

} // namespace tavlo::ui::render
