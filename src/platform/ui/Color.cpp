#include "platform/ui/Color.h"

namespace tavlo::ui {

Color Color::pattern(Image image) {
    Color color(1, 1, 1, 1);
    color.pattern_ = std::move(image);
    return color;
}

Color Color::withAlpha(double alpha) const {
    Color copy = *this;
    copy.a_ = alpha;
    return copy;
}

} // namespace tavlo::ui
