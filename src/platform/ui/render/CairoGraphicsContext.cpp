#include "platform/ui/render/CairoGraphicsContext.h"

#include "platform/ui/Drawing.h"
#include "platform/ui/render/CairoPixels.h"
#include "platform/ui/render/ImageLibrary.h"
#include "platform/ui/render/Typesetter.h"

#include <cairo.h>

#include <cmath>

namespace tavlo::ui::render {

namespace {

cairo_operator_t operatorFor(BlendMode mode) {
    switch (mode) {
    case BlendMode::Clear: return CAIRO_OPERATOR_CLEAR;
    case BlendMode::Darken: return CAIRO_OPERATOR_DARKEN;
    case BlendMode::Copy: return CAIRO_OPERATOR_SOURCE;
    default: return CAIRO_OPERATOR_OVER;
    }
}

cairo_line_cap_t capFor(LineCap cap) {
    switch (cap) {
    case LineCap::Round: return CAIRO_LINE_CAP_ROUND;
    case LineCap::Square: return CAIRO_LINE_CAP_SQUARE;
    default: return CAIRO_LINE_CAP_BUTT;
    }
}

void addRoundedRect(cairo_t* cr, const Rect& r, double radius) {
    radius = std::clamp(radius, 0.0, std::min(r.width(), r.height()) / 2);
    if (radius <= 0) {
        cairo_rectangle(cr, r.x(), r.y(), r.width(), r.height());
        return;
    }
    cairo_new_sub_path(cr);
    cairo_arc(cr, r.maxX() - radius, r.minY() + radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, r.maxX() - radius, r.maxY() - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, r.minX() + radius, r.maxY() - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, r.minX() + radius, r.minY() + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

// The pixels of an image as a surface the caller destroys; null for a named image with no file.
cairo_surface_t* surfaceFor(const Image& image) {
    if (const auto* pixels = image.pixels()) {
        int w = static_cast<int>(image.size().width), h = static_cast<int>(image.size().height);
        if (w <= 0 || h <= 0 || pixels->size() < static_cast<size_t>(w) * h * 4) return nullptr;
        return surfaceFromRgba(w, h, pixels->data());
    }
    if (!image.name().empty())
        if (cairo_surface_t* named = ImageLibrary::shared().surfaceNamed(image.name()))
            return cairo_surface_reference(named);
    return nullptr;
}

} // namespace

CairoGraphicsContext::CairoGraphicsContext(Size size, double scale) : ownsCairo_(true), size_(size) {
    int w = std::max(1, static_cast<int>(std::ceil(size.width * scale)));
    int h = std::max(1, static_cast<int>(std::ceil(size.height * scale)));
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cr_ = cairo_create(surface_);
    cairo_scale(cr_, scale, scale);
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    baseMatrix_[0] = m.xx, baseMatrix_[1] = m.yx, baseMatrix_[2] = m.xy, baseMatrix_[3] = m.yy, baseMatrix_[4] = m.x0,
    baseMatrix_[5] = m.y0;
}

CairoGraphicsContext::CairoGraphicsContext(cairo_t* cairo, Size size) : cr_(cairo), size_(size) {
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    baseMatrix_[0] = m.xx, baseMatrix_[1] = m.yx, baseMatrix_[2] = m.xy, baseMatrix_[3] = m.yy, baseMatrix_[4] = m.x0,
    baseMatrix_[5] = m.y0;
}

CairoGraphicsContext::~CairoGraphicsContext() {
    if (ownsCairo_) cairo_destroy(cr_);
    if (surface_) cairo_surface_destroy(surface_);
}

Bitmap CairoGraphicsContext::bitmap() const { return surface_ ? bitmapFromSurface(surface_) : Bitmap(); }

void CairoGraphicsContext::begin() {
    const GraphicsState& s = state();
    cairo_save(cr_);
    cairo_matrix_t base;
    cairo_matrix_init(&base, baseMatrix_[0], baseMatrix_[1], baseMatrix_[2], baseMatrix_[3], baseMatrix_[4],
                      baseMatrix_[5]);
    cairo_set_matrix(cr_, &base);
    if (s.clip) {
        cairo_rectangle(cr_, s.clip->x(), s.clip->y(), s.clip->width(), s.clip->height());
        cairo_clip(cr_);
    }
    cairo_translate(cr_, s.translateX, s.translateY);
    cairo_scale(cr_, s.scaleX, s.scaleY);
    cairo_set_operator(cr_, operatorFor(s.blendMode));
    cairo_set_line_width(cr_, s.lineWidth);
    cairo_set_line_cap(cr_, capFor(s.lineCap));
    cairo_new_path(cr_);
}

void CairoGraphicsContext::end() { cairo_restore(cr_); }

void CairoGraphicsContext::addPath(const Path& path) {
    for (const Path::Element& e : path.elements()) {
        switch (e.op) {
        case Path::Op::MoveTo: cairo_move_to(cr_, e.point.x, e.point.y); break;
        case Path::Op::LineTo: cairo_line_to(cr_, e.point.x, e.point.y); break;
        case Path::Op::Close: cairo_close_path(cr_); break;
        case Path::Op::Rect: cairo_rectangle(cr_, e.rect.x(), e.rect.y(), e.rect.width(), e.rect.height()); break;
        case Path::Op::RoundedRect: addRoundedRect(cr_, e.rect, e.radius); break;
        case Path::Op::Ellipse:
            if (e.rect.isEmpty()) break;
            cairo_new_sub_path(cr_);
            cairo_save(cr_);
            cairo_translate(cr_, e.rect.midX(), e.rect.midY());
            cairo_scale(cr_, e.rect.width() / 2, e.rect.height() / 2);
            cairo_arc(cr_, 0, 0, 1, 0, 2 * M_PI);
            cairo_restore(cr_);
            cairo_close_path(cr_);
            break;
        }
    }
}

void CairoGraphicsContext::paint(const Color& color, bool stroke) {
    double alpha = state().alpha * color.a();
    if (color.patternImage()) {
        if (cairo_surface_t* surface = surfaceFor(*color.patternImage())) {
            cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface);
            cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
            cairo_set_source(cr_, pattern);
            if (stroke) cairo_stroke_preserve(cr_); // patterns stroke at full strength
            else {
                cairo_clip(cr_);
                cairo_paint_with_alpha(cr_, alpha);
            }
            cairo_pattern_destroy(pattern);
            cairo_surface_destroy(surface);
            return;
        }
        if (!color.patternImage()->name().empty()) ImageLibrary::shared().reportMissing(color.patternImage()->name());
        cairo_set_source_rgba(cr_, 0.85, 0.85, 0.85, alpha);
    } else {
        cairo_set_source_rgba(cr_, color.r(), color.g(), color.b(), alpha);
    }
    if (stroke) cairo_stroke(cr_);
    else cairo_fill(cr_);
}

void CairoGraphicsContext::fillPath(const Path& path) {
    begin();
    addPath(path);
    paint(state().fillColor, false);
    end();
}

void CairoGraphicsContext::strokePath(const Path& path) {
    begin();
    addPath(path);
    paint(state().strokeColor, true);
    end();
}

void CairoGraphicsContext::drawText(std::string_view text, const Rect& box, const Font& font, TextAlignment alignment,
                                    const TextWrap& wrap) {
    begin();
    const Color& c = state().fillColor;
    cairo_set_source_rgba(cr_, c.r(), c.g(), c.b(), c.a() * state().alpha);
    Typesetter::shared().draw(cr_, text, box, font, alignment, wrap);
    end();
}

Size CairoGraphicsContext::measureText(std::string_view text, const Font& font) const {
    return Typesetter::shared().measure(text, font);
}

Size CairoGraphicsContext::measureText(std::string_view text, const Font& font, double width,
                                       const TextWrap& wrap) const {
    return Typesetter::shared().measure(text, font, width, wrap);
}

void CairoGraphicsContext::drawPlaceholder(const Rect& rect) {
    begin();
    double alpha = state().alpha;
    cairo_rectangle(cr_, rect.x(), rect.y(), rect.width(), rect.height());
    cairo_set_source_rgba(cr_, 0.88, 0.88, 0.88, alpha);
    cairo_fill_preserve(cr_);
    cairo_set_source_rgba(cr_, 0.6, 0.6, 0.6, alpha);
    cairo_set_line_width(cr_, 1);
    cairo_stroke(cr_);
    cairo_move_to(cr_, rect.minX(), rect.minY());
    cairo_line_to(cr_, rect.maxX(), rect.maxY());
    cairo_move_to(cr_, rect.maxX(), rect.minY());
    cairo_line_to(cr_, rect.minX(), rect.maxY());
    cairo_stroke(cr_);
    end();
}

void CairoGraphicsContext::drawImage(const Image& image, const Rect& rect) {
    if (rect.isEmpty() || image.isNull()) return;
    if (const Drawing* drawing = image.drawing()) {
        Size from = image.size();
        saveState();
        translate(rect.x(), rect.y());
        if (from.width > 0 && from.height > 0) scale(rect.width() / from.width, rect.height() / from.height);
        drawing->replay(*this);
        restoreState();
        return;
    }
    cairo_surface_t* surface = surfaceFor(image);
    if (!surface) {
        if (!image.name().empty()) ImageLibrary::shared().reportMissing(image.name());
        drawPlaceholder(rect);
        return;
    }
    double w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    begin();
    cairo_rectangle(cr_, rect.x(), rect.y(), rect.width(), rect.height());
    cairo_clip(cr_);
    cairo_translate(cr_, rect.x(), rect.y());
    cairo_scale(cr_, rect.width() / w, rect.height() / h);
    cairo_set_source_surface(cr_, surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_GOOD);
    cairo_paint_with_alpha(cr_, state().alpha);
    end();
    cairo_surface_destroy(surface);
}

std::unique_ptr<GraphicsContext> CairoGraphicsContext::makeOffscreen(Size size) const {
    return std::make_unique<CairoGraphicsContext>(size);
}

Image CairoGraphicsContext::snapshot() const {
    // The image is as large as the pixels: a size of fractional points would mismatch the rows.
    Bitmap picture = bitmap();
    const Size pixels(picture.width(), picture.height());
    return Image::fromPixels(pixels, std::move(picture.rgba()));
}

} // namespace tavlo::ui::render
