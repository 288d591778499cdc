#pragma once

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/render/Bitmap.h"

#include <memory>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace tavlo::ui::render {

// A graphics context that draws with cairo: text through the Typesetter, named images from the
// ImageLibrary (a missing one as a placeholder), offscreen images as pixels.
class CairoGraphicsContext : public GraphicsContext {
public:
    // A transparent picture of `size` points, `scale` pixels a point.
    explicit CairoGraphicsContext(Size size, double scale = 1);
    // Draws on a cairo context someone else owns (a window's frame); its current transform is
    // this context's device space.
    CairoGraphicsContext(cairo_t* cairo, Size size);
    ~CairoGraphicsContext() override;
    CairoGraphicsContext(const CairoGraphicsContext&) = delete;
    CairoGraphicsContext& operator=(const CairoGraphicsContext&) = delete;

    Size size() const { return size_; }
    cairo_t* cairo() const { return cr_; }
    // What was drawn so far, for a context with a picture of its own; empty otherwise.
    Bitmap bitmap() const;

    void fillPath(const Path& path) override;
    void strokePath(const Path& path) override;
    void drawText(std::string_view text, const Rect& box, const Font& font, TextAlignment alignment,
                  const TextWrap& wrap = {}) override;
    using GraphicsContext::drawText;
    Size measureText(std::string_view text, const Font& font) const override;
    Size measureText(std::string_view text, const Font& font, double width, const TextWrap& wrap) const override;
    void drawImage(const Image& image, const Rect& rect) override;
    std::unique_ptr<GraphicsContext> makeOffscreen(Size size) const override;
    Image snapshot() const override;

private:
    // cairo_save, then the state's transform, clip, blend mode and line.
    void begin();
    void end();
    void addPath(const Path& path);
    // Fills what is set up (a path or a clip) with a colour or a pattern image, in the state's alpha.
    void paint(const Color& color, bool stroke);
    void drawPlaceholder(const Rect& rect);

    cairo_surface_t* surface_ = nullptr; // owned when this context made its picture
    cairo_t* cr_ = nullptr;
    bool ownsCairo_ = false;
    Size size_;
    double baseMatrix_[6] = {1, 0, 0, 1, 0, 0};
};

} // namespace tavlo::ui::render
