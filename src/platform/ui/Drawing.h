#pragma once

#include "platform/ui/GraphicsContext.h"

#include <string>
#include <vector>

namespace tavlo::ui {

// One thing a recording context was asked to draw, with the state it was drawn in.
struct DrawCommand {
    enum class Kind { Fill, Stroke, Text, Image };
    Kind kind = Kind::Fill;
    Path path;        // Fill, Stroke
    Rect rect;        // Text box, Image rectangle (user space)
    std::string text; // Text
    Font font;        // Text
    TextAlignment alignment = TextAlignment::Left;
    TextWrap wrap;   // Text
    ui::Image image; // Image
    GraphicsState state;
};

// What was drawn, in order.
class Drawing {
public:
    void add(DrawCommand command) { commands_.push_back(std::move(command)); }
    const std::vector<DrawCommand>& commands() const { return commands_; }
    std::vector<const DrawCommand*> ofKind(DrawCommand::Kind kind) const;
    // Fills (or strokes) whose path is exactly one shape of that kind.
    std::vector<const DrawCommand*> shapes(DrawCommand::Kind kind, Path::Op shape) const;
    std::vector<std::string> texts() const;
    // Draws the commands again on another context, in its current user space.
    void replay(GraphicsContext& context) const;

private:
    std::vector<DrawCommand> commands_;
};

} // namespace tavlo::ui
