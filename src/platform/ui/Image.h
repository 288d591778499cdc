#pragma once

#include "platform/ui/Geometry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavlo::ui {

class Drawing;

// An image: a bundle file by name ("redBtn.png"), or what a graphics context drew offscreen. The
// headless layer never decodes files; pixels are there only when something produced them.
class Image {
public:
    Image() = default;
    static Image named(std::string name, Size size = {});
    static Image fromPixels(Size size, std::vector<uint8_t> rgba);
    static Image fromDrawing(Size size, std::shared_ptr<const Drawing> drawing);

    bool isNull() const { return name_.empty() && !pixels_ && !drawing_; }
    const std::string& name() const { return name_; }
    Size size() const { return size_; }
    double scale() const { return scale_; }
    void setScale(double scale) { scale_ = scale; }
    // RGBA bytes, row by row; null when nothing produced pixels.
    const std::vector<uint8_t>* pixels() const { return pixels_.get(); }
    // The commands an offscreen recording context drew; null otherwise.
    const Drawing* drawing() const { return drawing_.get(); }

    bool operator==(const Image& other) const;

private:
    std::string name_;
    Size size_;
    double scale_ = 1;
    std::shared_ptr<const std::vector<uint8_t>> pixels_;
    std::shared_ptr<const Drawing> drawing_;
};

} // namespace tavlo::ui
