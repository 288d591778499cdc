#pragma once

#include "platform/ui/Image.h"
#include "platform/ui/View.h"

#include <optional>

namespace tavlo::ui {

class ImageView : public View {
public:
    using View::View;
    explicit ImageView(std::optional<Image> image, Rect frame = {}) : View(frame), image_(std::move(image)) {}

    const std::optional<Image>& image() const { return image_; }
    void setImage(std::optional<Image> image) {
        image_ = std::move(image);
        setNeedsDisplay();
    }

private:
    std::optional<Image> image_;
};

} // namespace tavlo::ui
