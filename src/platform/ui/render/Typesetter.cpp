#include "platform/ui/render/Typesetter.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace tavlo::ui::render {

namespace {

// The Debian font packages fonts-dejavu-core and fonts-dejavu-extra put them here.
constexpr const char* kFontDirectory = "/usr/share/fonts/truetype/dejavu/";
constexpr const char* fontFiles[] = {
    "DejaVuSans.ttf",     "DejaVuSans-Bold.ttf",     "DejaVuSans-Oblique.ttf",     "DejaVuSans-BoldOblique.ttf",
    "DejaVuSansMono.ttf", "DejaVuSansMono-Bold.ttf", "DejaVuSansMono-Oblique.ttf", "DejaVuSansMono-BoldOblique.ttf",
    "DejaVuSerif.ttf",    "DejaVuSerif-Bold.ttf",    "DejaVuSerif-Italic.ttf",     "DejaVuSerif-BoldItalic.ttf",
};
constexpr size_t kMeasureCacheLimit = 20000;
constexpr size_t kDrawnCacheLimit = 2000;

std::string lowercase(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

bool isBold(const Font& font) {
    return font.weight() == Font::Weight::Bold || contains(lowercase(font.family()), "bold");
}

bool isItalic(const Font& font) {
    std::string family = lowercase(font.family());
    return font.weight() == Font::Weight::Italic || contains(family, "italic") || contains(family, "oblique");
}

PangoEllipsizeMode ellipsizeFor(LineBreakMode mode) {
    switch (mode) {
    case LineBreakMode::TruncateHead: return PANGO_ELLIPSIZE_START;
    case LineBreakMode::TruncateTail: return PANGO_ELLIPSIZE_END;
    case LineBreakMode::TruncateMiddle: return PANGO_ELLIPSIZE_MIDDLE;
    default: return PANGO_ELLIPSIZE_NONE;
    }
}

// One line that does not shorten: no width is given, so it never wraps.
bool isUnwrappedLine(const TextWrap& wrap) {
    return wrap.lines == 1 && ellipsizeFor(wrap.lineBreak) == PANGO_ELLIPSIZE_NONE;
}

double fromPango(int units) { return static_cast<double>(units) / PANGO_SCALE; }
int toPango(double points) { return static_cast<int>(points * PANGO_SCALE + 0.5); }

// The height of the first `lines` lines (all when 0 or fewer than that).
double heightOfLines(PangoLayout* layout, int lines) {
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    if (lines <= 0 || pango_layout_get_line_count(layout) <= lines) return fromPango(logical.height);
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    int bottom = 0;
    for (int i = 0; i < lines; ++i) {
        int y0 = 0, y1 = 0;
        pango_layout_iter_get_line_yrange(iter, &y0, &y1);
        bottom = y1;
        if (!pango_layout_iter_next_line(iter)) break;
    }
    pango_layout_iter_free(iter);
    return fromPango(bottom);
}

Size measureForFont(const Font& font, std::string_view text) { return Typesetter::shared().measure(text, font); }

int countForFont(const Font& font, std::string_view text, double width) {
    return Typesetter::shared().lineCount(text, font, width);
}

} // namespace

Typesetter& Typesetter::shared() {
    // Never destroyed: text may be measured while other statics go away.
    static Typesetter* instance = new Typesetter();
    return *instance;
}

Typesetter::Typesetter() {
    FcConfig* config = FcConfigCreate();
    bool complete = true;
    for (const char* file : fontFiles) {
        std::string path = std::string(kFontDirectory) + file;
        if (!std::filesystem::exists(path) ||
            !FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(path.c_str())))
            complete = false;
    }
    if (complete) {
        fontMap_ = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(fontMap_), config);
        fixedFonts_ = true;
    } else {
        std::fprintf(stderr,
                     "render: the DejaVu fonts are missing from %s (install fonts-dejavu-core and "
                     "fonts-dejavu-extra); drawing with this machine's fonts\n",
                     kFontDirectory);
        fontMap_ = pango_cairo_font_map_new();
    }
    FcConfigDestroy(config); // the font map keeps its own reference
    context_ = pango_font_map_create_context(fontMap_);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context_, FALSE);
    Font::setMeasurer(&measureForFont);
    Font::setLineCounter(&countForFont);
}

Typesetter::~Typesetter() {
    forgetDrawn();
    if (context_) g_object_unref(context_);
    if (fontMap_) g_object_unref(fontMap_);
}

std::string Typesetter::familyFor(const Font& font) {
    std::string family = lowercase(font.family());
    for (const char* mono : {"courier", "mono", "menlo", "monaco", "consol"})
        if (contains(family, mono)) return "DejaVu Sans Mono";
    bool serif = contains(family, "serif") && !contains(family, "sans");
    for (const char* name : {"times", "georgia", "palatino", "baskerville", "garamond"})
        if (contains(family, name)) serif = true;
    return serif ? "DejaVu Serif" : "DejaVu Sans";
}

PangoLayout* Typesetter::layout(std::string_view text, const Font& font, double width, double height,
                                const TextWrap& wrap, TextAlignment alignment) {
    PangoLayout* layout = pango_layout_new(context_);
    PangoFontDescription* description = pango_font_description_new();
    std::string family = familyFor(font);
    pango_font_description_set_family(description, family.c_str());
    pango_font_description_set_weight(description, isBold(font) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    bool italic = isItalic(font);
    pango_font_description_set_style(description, !italic                    ? PANGO_STYLE_NORMAL
                                                  : family == "DejaVu Serif" ? PANGO_STYLE_ITALIC
                                                                             : PANGO_STYLE_OBLIQUE);
    pango_font_description_set_absolute_size(description, std::max(1.0, font.pointSize()) * PANGO_SCALE);
    pango_layout_set_font_description(layout, description);
    pango_font_description_free(description);
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    pango_layout_set_alignment(layout, alignment == TextAlignment::Center  ? PANGO_ALIGN_CENTER
                                       : alignment == TextAlignment::Right ? PANGO_ALIGN_RIGHT
                                                                           : PANGO_ALIGN_LEFT);
    if (width > 0 && !isUnwrappedLine(wrap)) {
        pango_layout_set_width(layout, toPango(width));
        pango_layout_set_wrap(layout,
                              wrap.lineBreak == LineBreakMode::CharWrap ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
        PangoEllipsizeMode ellipsize = ellipsizeFor(wrap.lineBreak);
        if (ellipsize != PANGO_ELLIPSIZE_NONE) {
            pango_layout_set_ellipsize(layout, ellipsize);
            // A negative height counts lines; a positive one fills the box.
            if (wrap.lines > 0) pango_layout_set_height(layout, -wrap.lines);
            else if (height > 0) pango_layout_set_height(layout, toPango(height));
            else pango_layout_set_height(layout, -1000);
        }
    }
    return layout;
}

Size Typesetter::measure(std::string_view text, const Font& font, double width, const TextWrap& wrap) {
    std::lock_guard lock(mutex_);
    MeasureKey key{font.family(), static_cast<int>(font.weight()),  font.pointSize(), std::max(0.0, width),
                   wrap.lines,    static_cast<int>(wrap.lineBreak), std::string(text)};
    if (auto it = cache_.find(key); it != cache_.end()) return it->second;
    PangoLayout* l = layout(text, font, width, 0, wrap, TextAlignment::Left);
    PangoRectangle logical;
    pango_layout_get_extents(l, nullptr, &logical);
    Size size{fromPango(logical.width), heightOfLines(l, wrap.lines)};
    if (width > 0) size.width = std::min(size.width, width);
    g_object_unref(l);
    if (cache_.size() >= kMeasureCacheLimit) cache_.clear();
    cache_.emplace(std::move(key), size);
    return size;
}

int Typesetter::lineCount(std::string_view text, const Font& font, double width) {
    if (width <= 0) return 1;
    std::lock_guard lock(mutex_);
    PangoLayout* l = layout(text, font, width, 0, TextWrap{0, LineBreakMode::WordWrap}, TextAlignment::Left);
    const int lines = std::max(1, pango_layout_get_line_count(l));
    g_object_unref(l);
    return lines;
}

Rect Typesetter::caret(std::string_view text, const Font& font, double width, const TextWrap& wrap, size_t index) {
    std::lock_guard lock(mutex_);
    PangoLayout* l = layout(text, font, width, 0, wrap, TextAlignment::Left);
    PangoRectangle pos;
    pango_layout_index_to_pos(l, static_cast<int>(std::min(index, text.size())), &pos);
    g_object_unref(l);
    return {fromPango(pos.x), fromPango(pos.y), 0, fromPango(pos.height)};
}

void Typesetter::forgetDrawn() {
    for (auto& [key, text] : drawn_) g_object_unref(text.layout);
    drawn_.clear();
}

const Typesetter::DrawnText& Typesetter::drawn(std::string_view text, const Font& font, const Rect& box,
                                               const TextWrap& wrap, TextAlignment alignment) {
    // One unwrapped line is laid out the same in any box; the box's height counts only where it
    // decides how many lines fit.
    const bool unwrapped = isUnwrappedLine(wrap);
    const bool heightCounts = !unwrapped && wrap.lines <= 0 && ellipsizeFor(wrap.lineBreak) != PANGO_ELLIPSIZE_NONE;
    DrawnKey key{font.family(),
                 static_cast<int>(font.weight()),
                 font.pointSize(),
                 unwrapped ? 0.0 : box.width(),
                 heightCounts ? box.height() : 0.0,
                 wrap.lines,
                 static_cast<int>(wrap.lineBreak),
                 static_cast<int>(alignment),
                 std::string(text)};
    if (auto it = drawn_.find(key); it != drawn_.end()) return it->second;
    if (drawn_.size() >= kDrawnCacheLimit) forgetDrawn();
    DrawnText out;
    ++drawnLayoutsMade_;
    out.layout = layout(text, font, box.width(), box.height(), wrap, alignment);
    PangoRectangle logical;
    pango_layout_get_extents(out.layout, nullptr, &logical);
    out.width = fromPango(logical.width);
    out.height = heightOfLines(out.layout, wrap.lines);
    return drawn_.emplace(std::move(key), out).first->second;
}

void Typesetter::draw(cairo_t* cr, std::string_view text, const Rect& box, const Font& font, TextAlignment alignment,
                      const TextWrap& wrap) {
    if (box.isEmpty() || text.empty()) return;
    std::lock_guard lock(mutex_);
    const DrawnText& shown = drawn(text, font, box, wrap, alignment);
    double x = box.x();
    if (isUnwrappedLine(wrap) && alignment != TextAlignment::Left) {
        double spare = box.width() - shown.width;
        x += alignment == TextAlignment::Center ? spare / 2 : spare;
    }
    cairo_save(cr);
    cairo_rectangle(cr, box.x(), box.y(), box.width(), std::min(box.height(), shown.height));
    cairo_clip(cr);
    cairo_move_to(cr, x, box.y());
    pango_cairo_show_layout(cr, shown.layout);
    cairo_restore(cr);
}

} // namespace tavlo::ui::render
