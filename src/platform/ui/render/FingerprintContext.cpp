#include "platform/ui/render/FingerprintContext.h"

#include "platform/ui/RecordingGraphicsContext.h"
#include "platform/ui/render/Typesetter.h"

namespace tavlo::ui::render {

void FingerprintContext::mix(const void* bytes, size_t size) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i) {
        hash_ ^= p[i];
        hash_ *= 1099511628211ull;
    }
}

void FingerprintContext::mix(const Rect& rect) {
    for (double v : {rect.x(), rect.y(), rect.width(), rect.height()}) mix(v);
}

void FingerprintContext::mix(const Color& color) {
    for (double v : {color.r(), color.g(), color.b(), color.a()}) mix(v);
    if (const auto& image = color.patternImage()) {
        mix(image->name());
        mix(image->pixels());
        mix(image->drawing());
    }
}

void FingerprintContext::mixState() {
    const GraphicsState& s = state();
    for (double v : {s.alpha, s.lineWidth, s.translateX, s.translateY, s.scaleX, s.scaleY}) mix(v);
    mix(static_cast<int>(s.lineCap));
    mix(static_cast<int>(s.blendMode));
    mix(s.clip.has_value());
    if (s.clip) mix(*s.clip);
}

void FingerprintContext::mixPath(const Path& path) {
    for (const Path::Element& e : path.elements()) {
        mix(static_cast<int>(e.op));
        mix(e.point.x);
        mix(e.point.y);
        mix(e.rect);
        mix(e.radius);
    }
}

void FingerprintContext::fillPath(const Path& path) {
    mix('f');
    mixState();
    mix(state().fillColor);
    mixPath(path);
}

void FingerprintContext::strokePath(const Path& path) {
    mix('s');
    mixState();
    mix(state().strokeColor);
    mixPath(path);
}

void FingerprintContext::drawText(std::string_view text, const Rect& box, const Font& font, TextAlignment alignment,
                                  const TextWrap& wrap) {
    mix('t');
    mixState();
    mix(state().fillColor);
    mix(text);
    mix(box);
    mix(font.family());
    mix(static_cast<int>(font.weight()));
    mix(font.pointSize());
    mix(static_cast<int>(alignment));
    mix(wrap.lines);
    mix(static_cast<int>(wrap.lineBreak));
}

Size FingerprintContext::measureText(std::string_view text, const Font& font) const {
    return Typesetter::shared().measure(text, font);
}

Size FingerprintContext::measureText(std::string_view text, const Font& font, double width,
                                     const TextWrap& wrap) const {
    return Typesetter::shared().measure(text, font, width, wrap);
}

void FingerprintContext::drawImage(const Image& image, const Rect& rect) {
    mix('i');
    mixState();
    mix(rect);
    mix(image.name());
    mix(image.pixels()); // pixels never change once made: the same buffer is the same picture
    mix(image.drawing());
    mix(image.size().width);
    mix(image.size().height);
}

ScreenFingerprint fingerprintScreen(Application& app) {
    FingerprintContext context;
    Renderer renderer(context);
    renderer.drawScreen(app);
    return {context.fingerprint(), renderer.hitRegions(), renderer.isAnimating()};
}

std::unique_ptr<GraphicsContext> FingerprintContext::makeOffscreen(Size size) const {
    return std::make_unique<RecordingGraphicsContext>(size);
}

} // namespace tavlo::ui::render
