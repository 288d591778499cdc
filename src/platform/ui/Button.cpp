#include "platform/ui/Button.h"

namespace tavlo::ui {

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

template <typename T> std::optional<T> Button::lookup(const std::map<uint32_t, T>& values, uint32_t state) const {
    auto find = [&](uint32_t s) -> const T* {
        auto it = values.find(s);
        return it == values.end() ? nullptr : &it->second;
    };
    if (const T* v = find(state)) return *v;
    for (uint32_t bit : {ControlState::Disabled, ControlState::Selected, ControlState::Highlighted})
        if (const T* v = (state & bit) ? find(bit) : nullptr) return *v;
    if (const T* v = find(ControlState::Normal)) return *v;
    return std::nullopt;
}

void Button::setTitle(std::optional<std::string> title, uint32_t state) {
    if (title) titles_[state] = std::move(*title);
    else titles_.erase(state);
    refreshTitle();
}

std::optional<std::string> Button::title(uint32_t state) const {
    auto it = titles_.find(state);
    return it == titles_.end() ? std::nullopt : std::optional<std::string>(it->second);
}

std::optional<std::string> Button::currentTitle() const { return lookup(titles_, state()); }

void Button::setTitleColor(const Color& color, uint32_t state) {
    titleColors_[state] = color;
    refreshTitle();
}

std::optional<Color> Button::titleColor(uint32_t state) const {
    auto it = titleColors_.find(state);
    return it == titleColors_.end() ? std::nullopt : std::optional<Color>(it->second);
}

Color Button::currentTitleColor() const { return lookup(titleColors_, state()).value_or(Color::black()); }

void Button::setImage(const Image& image, uint32_t state) {
    images_[state] = image;
    setNeedsDisplay();
}

std::optional<Image> Button::image(uint32_t state) const {
    auto it = images_.find(state);
    return it == images_.end() ? std::nullopt : std::optional<Image>(it->second);
}

std::optional<Image> Button::currentImage() const { return lookup(images_, state()); }

void Button::setBackgroundImage(const Image& image, uint32_t state) {
    backgrounds_[state] = image;
    setNeedsDisplay();
}

std::optional<Image> Button::backgroundImage(uint32_t state) const {
    auto it = backgrounds_.find(state);
    return it == backgrounds_.end() ? std::nullopt : std::optional<Image>(it->second);
}

std::optional<Image> Button::currentBackgroundImage() const { return lookup(backgrounds_, state()); }

void Button::refreshTitle() {
    titleLabel_->setText(currentTitle());
    titleLabel_->setTextColor(currentTitleColor());
    setNeedsDisplay();
}

void Button::layoutSubviews() {
    Rect b = bounds();
    Size text = titleLabel_->font().measure(titleLabel_->text().value_or(""));
    double h = std::min(text.height, b.height());
    double y = (b.height() - h) / 2;
    if (contentVerticalAlignment() == ContentVerticalAlignment::Top) y = 0;
    if (contentVerticalAlignment() == ContentVerticalAlignment::Bottom) y = b.height() - h;
    titleLabel_->setFrame({0, y, b.width(), h});
}

} // namespace tavlo::ui
