#pragma once

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"
#include "platform/ui/Path.h"

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace tavlo::ui {

enum class BlendMode { Normal, Clear, Darken, Copy };
enum class LineCap { Butt, Round, Square };

// How text fills its box: at most `lines` lines (0: as many as the box holds), broken and
// shortened as `lineBreak` says.
struct TextWrap {
    int lines = 0;
    LineBreakMode lineBreak = LineBreakMode::WordWrap;
    bool operator==(const TextWrap&) const = default;
};

// The drawing state that saveState/restoreState keep: colours, line, blend mode, clip, the
// opacity everything is drawn with, and the translate-and-scale transform from user space to the
// device.
struct GraphicsState {
    Color fillColor = Color::black();
    Color strokeColor = Color::black();
    double alpha = 1;
    double lineWidth = 1;
    LineCap lineCap = LineCap::Butt;
    BlendMode blendMode = BlendMode::Normal;
    std::optional<Rect> clip; // in device space
    double translateX = 0, translateY = 0, scaleX = 1, scaleY = 1;
    bool operator==(const GraphicsState&) const = default;

    Point toDevice(Point p) const { return {p.x * scaleX + translateX, p.y * scaleY + translateY}; }
    Rect toDevice(const Rect& r) const;
};

// Where views draw. The state lives here; a backend implements the few primitives.
class GraphicsContext {
public:
    virtual ~GraphicsContext() = default;

    void saveState() { saved_.push_back(state_); }
    void restoreState();
    const GraphicsState& state() const { return state_; }
    void setFillColor(const Color& c) { state_.fillColor = c; }
    void setStrokeColor(const Color& c) { state_.strokeColor = c; }
    // Every colour and image drawn from now on is this much opaque (on top of its own alpha).
    void setAlpha(double alpha) { state_.alpha = alpha; }
    void setLineWidth(double w) { state_.lineWidth = w; }
    void setLineCap(LineCap cap) { state_.lineCap = cap; }
    void setBlendMode(BlendMode mode) { state_.blendMode = mode; }
    void translate(double dx, double dy);
    void scale(double sx, double sy);
    // Narrows the clip to the rectangle (user space).
    void clip(const Rect& rect);

    void fillRect(const Rect& r) { fillPath(Path::rect(r)); }
    void strokeRect(const Rect& r) { strokePath(Path::rect(r)); }
    void fillRoundedRect(const Rect& r, double radius) { fillPath(Path::roundedRect(r, radius)); }
    void strokeRoundedRect(const Rect& r, double radius) { strokePath(Path::roundedRect(r, radius)); }
    void fillEllipse(const Rect& r) { fillPath(Path::ellipse(r)); }
    void strokeEllipse(const Rect& r) { strokePath(Path::ellipse(r)); }
    // Text with its top-left corner at a point, in the fill colour.
    void drawText(std::string_view text, Point at, const Font& font);

    virtual void fillPath(const Path& path) = 0;
    virtual void strokePath(const Path& path) = 0;
    // Text laid out in a box from its top, wrapped as told, and clipped to it.
    virtual void drawText(std::string_view text, const Rect& box, const Font& font, TextAlignment alignment,
                          const TextWrap& wrap = {}) = 0;
    virtual Size measureText(std::string_view text, const Font& font) const { return font.measure(text); }
    // The size of the text wrapped to a width (0: on its own lines, unwrapped).
    virtual Size measureText(std::string_view text, const Font& font, double width, const TextWrap& wrap) const;
    virtual void drawImage(const Image& image, const Rect& rect) = 0;

    // A context of its own size whose result snapshot() turns into an image.
    virtual std::unique_ptr<GraphicsContext> makeOffscreen(Size size) const = 0;
    virtual Image snapshot() const = 0;

private:
    GraphicsState state_;
    std::vector<GraphicsState> saved_;
};

} // namespace tavlo::ui
