#pragma once

#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <tuple>

typedef struct _cairo cairo_t;
typedef struct _PangoContext PangoContext;
typedef struct _PangoFontMap PangoFontMap;
typedef struct _PangoLayout PangoLayout;

namespace tavlo::ui::render {

// Lays text out with pango in a fixed set of fonts: the DejaVu families of the Debian font
// packages, loaded through a font configuration of our own, so that text looks and measures the
// same on every machine whatever else is installed. One per process, made on first use; it then
// measures for Font::measure too, so that the layout of the UI layer agrees with what is drawn.
// Any thread (one lock).
class Typesetter {
public:
    static Typesetter& shared();

    // The size of the text in the font: unwrapped when width is 0, else wrapped to it.
    Size measure(std::string_view text, const Font& font, double width = 0, const TextWrap& wrap = {});
    // The lines of the text wrapped at word breaks to the width.
    int lineCount(std::string_view text, const Font& font, double width);
    // Where the caret stands before the byte `index` of the text laid out at that width, in the
    // layout's coordinates.
    Rect caret(std::string_view text, const Font& font, double width, const TextWrap& wrap, size_t index);
    // Draws the text from the top of the box, broken and shortened as the wrap says, clipped to it,
    // in the cairo context's current source.
    void draw(cairo_t* cr, std::string_view text, const Rect& box, const Font& font, TextAlignment alignment,
              const TextWrap& wrap);

    // How many layouts drawing has made so far: text drawn again in the same font and box makes none.
    size_t drawnLayoutsMade() const { return drawnLayoutsMade_; }

    // The pango family a font is drawn in ("DejaVu Sans", "DejaVu Sans Mono", "DejaVu Serif").
    static std::string familyFor(const Font& font);
    // False when the font files were missing and the machine's own fonts stand in (pictures may
    // then differ from machine to machine; this was logged once).
    bool hasFixedFonts() const { return fixedFonts_; }

    Typesetter(const Typesetter&) = delete;
    Typesetter& operator=(const Typesetter&) = delete;

private:
    Typesetter();
    ~Typesetter();
    // A layout of the text; the box width (0: none) and height (0: none) bound it.
    PangoLayout* layout(std::string_view text, const Font& font, double width, double height, const TextWrap& wrap,
                        TextAlignment alignment);

    std::mutex mutex_;
    PangoFontMap* fontMap_ = nullptr;
    PangoContext* context_ = nullptr;
    bool fixedFonts_ = false;
    // Measures already taken: layout and every frame ask for the same ones again and again.
    using MeasureKey = std::tuple<std::string, int, double, double, int, int, std::string>;
    std::map<MeasureKey, Size, std::less<>> cache_;
    // Text as drawn, laid out once: each frame draws the same labels again until their text, font
    // or box changes. Key: the measure's, with the box's height and the alignment.
    struct DrawnText {
        PangoLayout* layout = nullptr;
        double width = 0;  // of its logical extents
        double height = 0; // of the lines it shows
    };
    using DrawnKey = std::tuple<std::string, int, double, double, double, int, int, int, std::string>;
    const DrawnText& drawn(std::string_view text, const Font& font, const Rect& box, const TextWrap& wrap,
                           TextAlignment alignment);
    void forgetDrawn();
    std::map<DrawnKey, DrawnText, std::less<>> drawn_;
    size_t drawnLayoutsMade_ = 0;
};

} // namespace tavlo::ui::render
