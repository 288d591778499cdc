#include "platform/ui/Button.h"

namespace tavlo::ui {

namespace {

// The value set for exactly this state.
template <typename T> std::optional<T> exact(const std::map<uint32_t, T>& values, uint32_t state) {
    auto it = values.find(state);
    return it == values.end() ? std::nullopt : std::optional<T>(it->second);
}

// The value for this state, else for one of its bits (disabled first), else the normal state's.
template <typename T> std::optional<T> lookup(const std::map<uint32_t, T>& values, uint32_t state) {
    if (auto v = exact(values, state)) return v;
    for (uint32_t bit : {ControlState::Disabled, ControlState::Selected, ControlState::Highlighted})
        if (state & bit)
            if (auto v = exact(values, bit)) return v;
    return exact(values, ControlState::Normal);
}

} // namespace

std::shared_ptr<Button> Button::make(ButtonType type, Rect frame) { return std::make_shared<Button>(type, frame); }

Button::Button(ButtonType type, Rect frame) : Control(frame), type_(type), titleLabel_(std::make_shared<Label>()) {
    titleLabel_->setTextAlignment(TextAlignment::Center);
    titleLabel_->setFont(Font::boldSystem(15));
    titleColors_[ControlState::Normal] = type == ButtonType::Custom ? Color::white() : Color(0.22, 0.33, 0.53);
    if (type == ButtonType::RoundedRect) {
        setBackgroundColor(Color::white());
        setCornerRadius(8);
    }
    addSubview(titleLabel_);
    refreshTitle();
}

void Button::setTitle(std::optional<std::string> title, uint32_t state) {
    if (title) titles_[state] = std::move(*title);
    else titles_.erase(state);
    refreshTitle();
}

std::optional<std::string> Button::title(uint32_t state) const { return exact(titles_, state); }

std::optional<std::string> Button::currentTitle() const { return lookup(titles_, state()); }

void Button::setTitleColor(const Color& color, uint32_t state) {
    titleColors_[state] = color;
    refreshTitle();
}

std::optional<Color> Button::titleColor(uint32_t state) const { return exact(titleColors_, state); }

Color Button::currentTitleColor() const { return lookup(titleColors_, state()).value_or(Color::black()); }

void Button::setImage(const Image& image, uint32_t state) {
    images_[state] = image;
    setNeedsDisplay();
}

std::optional<Image> Button::image(uint32_t state) const { return exact(images_, state); }

std::optional<Image> Button::currentImage() const { return lookup(images_, state()); }

void Button::setBackgroundImage(const Image& image, uint32_t state) {
    backgrounds_[state] = image;
    setNeedsDisplay();
}

std::optional<Image> Button::backgroundImage(uint32_t state) const { return exact(backgrounds_, state); }

std::optional<Image> Button::currentBackgroundImage() const { return lookup(backgrounds_, state()); }

void Button::refreshTitle() {
    titleLabel_->setText(currentTitle());
    titleLabel_->setTextColor(currentTitleColor());
    setNeedsDisplay();
}

void Button::layoutSubviews() {
    Rect b = bounds();
    // A title that may wrap takes the button's height; the label centres its lines in it.
    if (titleLabel_->numberOfLines() != 1 && contentVerticalAlignment() == ContentVerticalAlignment::Center) {
        titleLabel_->setFrame({0, 0, b.width(), b.height()});
        return;
    }
    Size text = titleLabel_->font().measure(titleLabel_->text().value_or(""));
    double h = std::min(text.height, b.height());
    double y = (b.height() - h) / 2;
    if (contentVerticalAlignment() == ContentVerticalAlignment::Top) y = 0;
    if (contentVerticalAlignment() == ContentVerticalAlignment::Bottom) y = b.height() - h;
    titleLabel_->setFrame({0, y, b.width(), h});
}

} // namespace tavlo::ui
