#include "platform/ui/RecordingGraphicsContext.h"

namespace tavlo::ui {

void RecordingGraphicsContext::fillPath(const Path& path) {
    drawing_->add({DrawCommand::Kind::Fill, path, path.boundingBox(), {}, {}, {}, {}, state()});
}

void RecordingGraphicsContext::strokePath(const Path& path) {
    drawing_->add({DrawCommand::Kind::Stroke, path, path.boundingBox(), {}, {}, {}, {}, state()});
}

void RecordingGraphicsContext::drawText(std::string_view text, const Rect& box, const Font& font,
                                        TextAlignment alignment) {
    drawing_->add({DrawCommand::Kind::Text, {}, box, std::string(text), font, alignment, {}, state()});
}

void RecordingGraphicsContext::drawImage(const Image& image, const Rect& rect) {
    drawing_->add({DrawCommand::Kind::Image, {}, rect, {}, {}, {}, image, state()});
}

std::unique_ptr<GraphicsContext> RecordingGraphicsContext::makeOffscreen(Size size) const {
    return std::make_unique<RecordingGraphicsContext>(size);
}

Image RecordingGraphicsContext::snapshot() const {
    // The image keeps a copy, so later drawing here does not change it.
    return Image::fromDrawing(size_, std::make_shared<const Drawing>(*drawing_));
}

} // namespace tavlo::ui
