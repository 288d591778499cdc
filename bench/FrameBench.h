#pragma once
// One frame as the window draws it: the screen laid out, then drawn over the last frame.
#include "platform/ui/render/CairoGraphicsContext.h"
#include "platform/ui/render/Renderer.h"
#include "support/ui/Harness.h"

#include <benchmark/benchmark.h>

#include <cairo.h>

namespace tavlo::bench {

inline void drawFrames(benchmark::State& state, ui::test::Harness& h) {
    ui::render::CairoGraphicsContext context(h.window().bounds().size);
    for (auto _ : state) {
        h.app().layoutIfNeeded();
        ui::render::Renderer(context).drawScreen(h.app());
        cairo_surface_flush(cairo_get_target(context.cairo()));
    }
    state.SetLabel("1024x768");
}

} // namespace tavlo::bench
