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

} // namespace tavlo::ui
