#include "platform/ui/Image.h"

namespace tavlo::ui {

Image Image::named(std::string name, Size size) {
    Image image;
    image.name_ = std::move(name);
    image.size_ = size;
    return image;
}

Image Image::fromPixels(Size size, std::vector<uint8_t> rgba) {
    Image image;
    image.size_ = size;
    image.pixels_ = std::make_shared<const std::vector<uint8_t>>(std::move(rgba));
    return image;
}

Image Image::fromDrawing(Size size, std::shared_ptr<const Drawing> drawing) {
    Image image;
    image.size_ = size;
    image.drawing_ = std::move(drawing);
    return image;
}

bool Image::operator==(const Image& other) const {
    return name_ == other.name_ && size_ == other.size_ && scale_ == other.scale_ && pixels_ == other.pixels_ &&
           drawing_ == other.drawing_;
}

} // namespace tavlo::ui
