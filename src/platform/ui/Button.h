#pragma once

#include "platform/ui/Control.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace tavlo::ui {

enum class ButtonType { Custom, RoundedRect };

// A button with a title, title colour, image and background image per control state; a state
// without its own value shows the normal state's.
class Button : public Control {
public:
    static std::shared_ptr<Button> make(ButtonType type = ButtonType::RoundedRect, Rect frame = {});
    explicit Button(ButtonType type = ButtonType::RoundedRect, Rect frame = {});

    ButtonType buttonType() const { return type_; }

    void setTitle(std::optional<std::string> title, uint32_t state = ControlState::Normal);
    std::optional<std::string> title(uint32_t state = ControlState::Normal) const;
    std::optional<std::string> currentTitle() const;
    void setTitleColor(const Color& color, uint32_t state = ControlState::Normal);
    std::optional<Color> titleColor(uint32_t state) const;
    Color currentTitleColor() const;
    void setImage(const Image& image, uint32_t state = ControlState::Normal);
    std::optional<Image> image(uint32_t state) const;
    std::optional<Image> currentImage() const;
    void setBackgroundImage(const Image& image, uint32_t state = ControlState::Normal);
    std::optional<Image> backgroundImage(uint32_t state) const;
    std::optional<Image> currentBackgroundImage() const;

    // The label that shows the current title; its font, wrapping and shrinking are set here.
    Label& titleLabel() { return *titleLabel_; }

    std::optional<std::string> displayedText() const override { return currentTitle(); }
    void layoutSubviews() override;

protected:
    void stateDidChange() override { refreshTitle(); }

private:
    void refreshTitle();

    ButtonType type_;
    std::map<uint32_t, std::string> titles_;
    std::map<uint32_t, Color> titleColors_;
    std::map<uint32_t, Image> images_;
    std::map<uint32_t, Image> backgrounds_;
    std::shared_ptr<Label> titleLabel_;
};

} // namespace tavlo::ui
