#include "TicketText.h"

#include "platform/graphics/PixelImage.h"

namespace tavlo::printersim {

void TicketText::writeImage(const PixelImage& image) {
    text_ += "[picture " + std::to_string(image.width()) + "x" + std::to_string(image.height()) + "]\n";
}

bool TicketText::openDrawer(int drawer) {
    text_ += "[drawer " + std::to_string(drawer) + " opened]\n";
    return true;
}

void TicketText::feed(int lines, bool cut) {
    text_.append(static_cast<size_t>(lines > 0 ? lines : 0), '\n');
    if (cut) text_ += "- - - - - - - - - - - - - - - - - - - - - cut\n";
}

} // namespace tavlo::printersim
