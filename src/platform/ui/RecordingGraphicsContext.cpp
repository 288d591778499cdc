#include "platform/ui/RecordingGraphicsContext.h"

namespace tavlo::ui {

namespace {

DrawCommand command(DrawCommand::Kind kind, const GraphicsState& state) {
    DrawCommand c;
    c.kind = kind;
    c.state = state;
    return c;
}

} // namespace

void RecordingGraphicsContext::fillPath(const Path& path) {
    DrawCommand c = command(DrawCommand::Kind::Fill, state());
    c.path = path;
    c.rect = path.boundingBox();
    drawing_->add(std::move(c));
}

void RecordingGraphicsContext::strokePath(const Path& path) {
    DrawCommand c = command(DrawCommand::Kind::Stroke, state());
    c.path = path;
    c.rect = path.boundingBox();
    drawing_->add(std::move(c));
}

void RecordingGraphicsContext::drawText(std::string_view text, const Rect& box, const Font& font,
                                        TextAlignment alignment, const TextWrap& wrap) {
    DrawCommand c = command(DrawCommand::Kind::Text, state());
    c.rect = box;
    c.text = std::string(text);
    c.font = font;
    c.alignment = alignment;
    c.wrap = wrap;
    drawing_->add(std::move(c));
}

void RecordingGraphicsContext::drawImage(const Image& image, const Rect& rect) {
    DrawCommand c = command(DrawCommand::Kind::Image, state());
    c.rect = rect;
    c.image = image;
    drawing_->add(std::move(c));
}

std::unique_ptr<GraphicsContext> RecordingGraphicsContext::makeOffscreen(Size size) const {
    return std::make_unique<RecordingGraphicsContext>(size);
}

Image RecordingGraphicsContext::snapshot() const {
    // The image keeps a copy, so later drawing here does not change it.
    return Image::fromDrawing(size_, std::make_shared<const Drawing>(*drawing_));
}

} // namespace tavlo::ui
