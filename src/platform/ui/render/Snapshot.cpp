#include "platform/ui/render/Snapshot.h"

#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/ui/render/CairoGraphicsContext.h"
#include "platform/ui/render/Renderer.h"
#include "platform/ui/render/Typesetter.h"

namespace tavlo::ui::render {

namespace {

// Lays a view out at a size, measuring text as it will be drawn.
void layOut(View& view, Size size) {
    Typesetter::shared();
    if (view.frame().size != size) view.setFrame({view.frame().origin, size});
    view.layoutIfNeeded();
}

} // namespace

Bitmap snapshot(Window& window, Size size) {
    layOut(window, size);
    CairoGraphicsContext context(size);
    Renderer(context).drawWindow(window);
    return context.bitmap();
}

Bitmap snapshot(ViewController& controller, Size size) {
    layOut(*controller.view(), size);
    CairoGraphicsContext context(size);
    Renderer(context).drawController(controller);
    return context.bitmap();
}

} // namespace tavlo::ui::render
