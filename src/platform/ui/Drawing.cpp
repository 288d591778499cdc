#include "platform/ui/Drawing.h"

namespace tavlo::ui {

std::vector<const DrawCommand*> Drawing::ofKind(DrawCommand::Kind kind) const {
    std::vector<const DrawCommand*> out;
    for (const DrawCommand& c : commands_)
        if (c.kind == kind) out.push_back(&c);
    return out;
}

std::vector<const DrawCommand*> Drawing::shapes(DrawCommand::Kind kind, Path::Op shape) const {
    std::vector<const DrawCommand*> out;
    for (const DrawCommand* c : ofKind(kind))
        if (c->path.isSingle(shape)) out.push_back(c);
    return out;
}

std::vector<std::string> Drawing::texts() const {
    std::vector<std::string> out;
    for (const DrawCommand* c : ofKind(DrawCommand::Kind::Text)) out.push_back(c->text);
    return out;
}

void Drawing::replay(GraphicsContext& context) const {
    for (const DrawCommand& c : commands_) {
        context.saveState();
        // The recorded state is in the recording's device space, which is our user space here.
        if (c.state.clip) context.clip(*c.state.clip);
        context.translate(c.state.translateX, c.state.translateY);
        context.scale(c.state.scaleX, c.state.scaleY);
        context.setFillColor(c.state.fillColor);
        context.setStrokeColor(c.state.strokeColor);
        context.setAlpha(context.state().alpha * c.state.alpha);
        context.setLineWidth(c.state.lineWidth);
        context.setLineCap(c.state.lineCap);
        context.setBlendMode(c.state.blendMode);
        switch (c.kind) {
        case DrawCommand::Kind::Fill: context.fillPath(c.path); break;
        case DrawCommand::Kind::Stroke: context.strokePath(c.path); break;
        case DrawCommand::Kind::Text: context.drawText(c.text, c.rect, c.font, c.alignment, c.wrap); break;
        case DrawCommand::Kind::Image: context.drawImage(c.image, c.rect); break;
        }
        context.restoreState();
    }
}

} // namespace tavlo::ui
