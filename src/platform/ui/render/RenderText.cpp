// Labels and the views people type into.
#include "platform/foundation/Text.h"
#include "platform/ui/Label.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/render/Renderer.h"
#include "platform/ui/render/Shapes.h"
#include "platform/ui/render/Theme.h"
#include "platform/ui/render/Typesetter.h"

#include <cmath>

namespace tavlo::ui::render {

namespace {

constexpr const char* kBullet = "\u2022";
constexpr double kClearButtonWidth = 30;

// A secure field shows one bullet per character; the caret's byte index follows.
std::string bullets(size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) out += kBullet;
    return out;
}

size_t bulletIndex(const std::string& text, size_t byteIndex) {
    return characterCount(std::string_view(text).substr(0, std::min(byteIndex, text.size()))) *
           std::char_traits<char>::length(kBullet);
}

bool showsClearButton(const TextField& field) {
    if (field.text().empty()) return false;
    switch (field.clearButtonMode()) {
    case ClearButtonMode::Always: return true;
    case ClearButtonMode::WhileEditing: return field.isEditing();
    case ClearButtonMode::UnlessEditing: return !field.isEditing();
    default: return false;
    }
}

} // namespace

void Renderer::drawLabel(Label& label, const Rect& bounds) {
    const auto& text = label.text();
    if (!text || text->empty() || bounds.isEmpty()) return;
    Typesetter& typesetter = Typesetter::shared();
    Font font = label.font();
    TextWrap wrap{label.numberOfLines(), label.lineBreakMode()};
    if (label.adjustsFontSizeToFitWidth() && label.numberOfLines() == 1) {
        double natural = typesetter.measure(*text, font).width;
        if (natural > bounds.width()) {
            double smallest = label.minimumScaleFactor() > 0 ? label.minimumScaleFactor() : 0.3;
            double scale = std::max(smallest, bounds.width() / natural);
            font = font.withSize(std::floor(font.pointSize() * scale * 2) / 2);
        }
    }
    // Text stands in the middle of the label's height, as many lines as it takes.
    double height = std::min(typesetter.measure(*text, font, bounds.width(), wrap).height, bounds.height());
    Rect box{0, (bounds.height() - height) / 2, bounds.width(), height};
    context_.setFillColor(cellTextColor_.value_or(label.textColor()));
    context_.drawText(*text, box, font, label.textAlignment(), wrap);
}

void Renderer::drawCaret(const Rect& rect) {
    context_.setFillColor(theme::orange());
    context_.fillRect({std::round(rect.x()), rect.y(), 2, rect.height()});
}

void Renderer::drawEditableLine(View& owner, const std::string& shown, size_t caretIndex, size_t selectionLength,
                                const std::optional<std::string>& placeholder, const Font& font, const Color& color,
                                TextAlignment alignment, const Rect& box) {
    Typesetter& typesetter = Typesetter::shared();
    bool editing = owner.isFirstResponder();
    double lineHeight = typesetter.measure("Ag", font).height;
    Rect line{box.x(), box.y() + (box.height() - lineHeight) / 2, box.width(), lineHeight};
    context_.saveState();
    context_.clip(box);
    if (shown.empty()) {
        double hint = 0; // the placeholder's width
        if (placeholder && !placeholder->empty()) {
            context_.setFillColor(theme::mutedInk());
            context_.drawText(*placeholder, line, font, alignment, {1, LineBreakMode::TruncateTail});
            hint = std::min(typesetter.measure(*placeholder, font).width, line.width());
        }
        if (editing) {
            // Where the first key will appear, just before the placeholder rather than through it.
            double x = alignment == TextAlignment::Center  ? line.midX() - hint / 2 - 3
                       : alignment == TextAlignment::Right ? line.maxX() - hint - 4
                                                           : line.x();
            drawCaret({std::max(line.x(), x), line.y(), 2, line.height()});
        }
        context_.restoreState();
        return;
    }
    double width = typesetter.measure(shown, font).width;
    double x = line.x();
    if (width <= line.width()) {
        if (alignment == TextAlignment::Center) x += (line.width() - width) / 2;
        if (alignment == TextAlignment::Right) x = line.maxX() - width;
    } else if (editing) {
        x = line.maxX() - width - 2; // the end, where people type, stays in sight
    }
    auto offsetOf = [&](size_t index) {
        return typesetter.measure(std::string_view(shown).substr(0, std::min(index, shown.size())), font).width;
    };
    if (editing && selectionLength > 0) {
        double from = offsetOf(caretIndex), to = offsetOf(caretIndex + selectionLength);
        context_.setFillColor(theme::tealTint());
        context_.fillRect({x + from, line.y(), to - from, line.height()});
    }
    context_.setFillColor(color);
    context_.drawText(shown, {x, line.y(), width + 4, line.height()}, font, TextAlignment::Left,
                      {1, LineBreakMode::Clip});
    if (editing && selectionLength == 0) drawCaret({x + offsetOf(caretIndex), line.y(), 2, line.height()});
    context_.restoreState();
}

void Renderer::drawTextField(TextField& field, const Rect& bounds) {
    bool editing = field.isEditing();
    Color edge = editing ? theme::teal() : theme::fieldBorder();
    context_.setLineWidth(editing ? 2 : 1);
    context_.setStrokeColor(edge);
    switch (field.borderStyle()) {
    case BorderStyle::RoundedRect:
        if (!field.backgroundColor()) {
            context_.setFillColor(Color::white());
            context_.fillRoundedRect(bounds, 6);
        }
        context_.strokeRoundedRect(bounds.insetBy(0.5, 0.5), 6);
        break;
    case BorderStyle::Line:
        context_.setStrokeColor(editing ? edge : theme::ink());
        context_.strokeRect(bounds.insetBy(0.5, 0.5));
        break;
    case BorderStyle::Bezel:
        if (!field.backgroundColor()) {
            context_.setFillColor(Color::white());
            context_.fillRect(bounds);
        }
        context_.strokeRect(bounds.insetBy(0.5, 0.5));
        context_.setStrokeColor(theme::line());
        context_.setLineWidth(2);
        context_.strokePath(line({bounds.minX() + 1.5, bounds.minY() + 2}, {bounds.maxX() - 1.5, bounds.minY() + 2}));
        break;
    case BorderStyle::None: break;
    }
    context_.setLineWidth(1);

    bool clearButton = showsClearButton(field);
    Rect box = bounds.insetBy(theme::kFieldInset, 0);
    if (clearButton) box.size.width = std::max(0.0, box.width() - kClearButtonWidth + theme::kFieldInset);
    const std::string& text = field.text();
    TextRange selection = field.selectedRange();
    if (field.isSecureTextEntry()) {
        size_t from = bulletIndex(text, selection.location);
        size_t to = bulletIndex(text, selection.location + selection.length);
        drawEditableLine(field, bullets(characterCount(text)), from, to - from, field.placeholder(), field.font(),
                         field.textColor(), field.textAlignment(), box);
    } else {
        drawEditableLine(field, text, selection.location, selection.length, field.placeholder(), field.font(),
                         field.textColor(), field.textAlignment(), box);
    }

    if (clearButton) {
        Rect circle{bounds.maxX() - kClearButtonWidth + 6, bounds.midY() - 9, 18, 18};
        context_.setFillColor(theme::mutedInk());
        context_.fillEllipse(circle);
        context_.setStrokeColor(Color::white());
        context_.setLineWidth(2);
        context_.strokePath(
            line({circle.minX() + 5.5, circle.minY() + 5.5}, {circle.maxX() - 5.5, circle.maxY() - 5.5}));
        context_.strokePath(
            line({circle.maxX() - 5.5, circle.minY() + 5.5}, {circle.minX() + 5.5, circle.maxY() - 5.5}));
        context_.setLineWidth(1);
        TextField* target = &field;
        addRegion(
            {bounds.maxX() - kClearButtonWidth - 4, bounds.minY(), kClearButtonWidth + 4, bounds.height()},
            [target] { target->clearText(); }, "clear");
    }
}

void Renderer::drawTextView(TextView& view, const Rect& bounds) {
    Rect box = bounds.insetBy(8, 8);
    const std::string& text = view.text();
    TextWrap wrap{0, LineBreakMode::WordWrap};
    if (!text.empty()) {
        context_.setFillColor(view.textColor());
        context_.drawText(text, box, view.font(), view.textAlignment(), wrap);
    }
    if (view.isFirstResponder()) {
        Rect caret = Typesetter::shared().caret(text, view.font(), box.width(), wrap, view.selectedRange().location);
        drawCaret({box.x() + caret.x(), box.y() + caret.y(), 2, caret.height()});
    }
}

void Renderer::drawSearchBar(SearchBar& bar, const Rect& bounds) {
    if (!bar.backgroundColor()) {
        context_.setFillColor(theme::rgb(0xC9, 0xD4, 0xDB));
        context_.fillRect(bounds);
        context_.setFillColor(theme::fieldBorder());
        context_.fillRect({bounds.minX(), bounds.maxY() - 1, bounds.width(), 1});
    }
    Rect field = bounds.insetBy(8, 7);
    double radius = field.height() / 2;
    context_.setFillColor(Color::white());
    context_.fillRoundedRect(field, radius);
    context_.setStrokeColor(bar.isFirstResponder() ? theme::teal() : theme::fieldBorder());
    context_.strokeRoundedRect(field.insetBy(0.5, 0.5), radius);
    // The magnifier.
    double cy = field.midY();
    context_.setStrokeColor(theme::mutedInk());
    context_.setLineWidth(2);
    context_.strokeEllipse({field.minX() + 11, cy - 7, 11, 11});
    context_.setLineCap(LineCap::Round);
    context_.strokePath(line({field.minX() + 20, cy + 2}, {field.minX() + 25, cy + 7}));
    context_.setLineCap(LineCap::Butt);
    context_.setLineWidth(1);
    Rect box{field.minX() + 32, field.minY(), std::max(0.0, field.width() - 32 - radius / 2), field.height()};
    TextRange selection = bar.selectedRange();
    drawEditableLine(bar, bar.text(), selection.location, selection.length, bar.placeholder(), bar.font(),
                     bar.textColor(), TextAlignment::Left, box);
}

} // namespace tavlo::ui::render
