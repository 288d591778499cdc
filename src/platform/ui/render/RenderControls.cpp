// Buttons, sliders, segmented controls, pickers and spinners.
#include "platform/foundation/Clock.h"
#include "platform/ui/ActivitySpinner.h"
#include "platform/ui/Button.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Slider.h"
#include "platform/ui/render/ImageLibrary.h"
#include "platform/ui/render/Renderer.h"
#include "platform/ui/render/Shapes.h"
#include "platform/ui/render/Theme.h"
#include "platform/ui/render/Typesetter.h"

#include <cmath>

namespace tavlo::ui::render {

namespace {

constexpr int kSpinnerSpokes = 12;

} // namespace

void Renderer::drawImageCentred(const Image& image, const Rect& box) {
    Size natural = ImageLibrary::shared().naturalSize(image);
    if (natural.width <= 0 || natural.height <= 0)
        natural = {std::min(box.width(), 44.0), std::min(box.height(), 44.0)};
    double fit = std::min({1.0, box.width() / natural.width, box.height() / natural.height});
    Size size{natural.width * fit, natural.height * fit};
    context_.drawImage(image, {box.midX() - size.width / 2, box.midY() - size.height / 2, size.width, size.height});
}

void Renderer::drawButton(Button& button, const Rect& bounds) {
    bool pressed = button.isHighlighted() || button.isSelected();
    double radius = button.cornerRadius();
    if (auto background = button.currentBackgroundImage()) {
        context_.drawImage(*background, bounds);
        if (pressed) {
            context_.setFillColor(Color(0, 0, 0, 0.2));
            context_.fillRoundedRect(bounds, radius);
        }
    } else if (button.buttonType() == ButtonType::RoundedRect) {
        if (pressed) {
            context_.setFillColor(theme::tealTint());
            context_.fillRoundedRect(bounds, radius);
        }
        context_.setStrokeColor(pressed ? theme::teal() : theme::fieldBorder());
        context_.strokeRoundedRect(bounds.insetBy(0.5, 0.5), radius);
    } else if (pressed) {
        context_.setFillColor(Color(0, 0, 0, 0.2));
        context_.fillRoundedRect(bounds, radius);
    }
    if (auto image = button.currentImage()) drawImageCentred(*image, bounds.insetBy(4, 4));
}

void Renderer::drawSlider(Slider& slider, const Rect& bounds) {
    double thumb = std::min(28.0, bounds.height());
    double left = bounds.minX() + thumb / 2, right = bounds.maxX() - thumb / 2;
    double span = slider.maximumValue() - slider.minimumValue();
    double fraction = span > 0 ? (slider.value() - slider.minimumValue()) / span : 0;
    double x = left + (right - left) * fraction;
    double y = bounds.midY();
    context_.setFillColor(theme::line());
    context_.fillRoundedRect({left, y - 3, right - left, 6}, 3);
    context_.setFillColor(theme::teal());
    context_.fillRoundedRect({left, y - 3, x - left, 6}, 3);
    context_.setFillColor(Color(0, 0, 0, 0.18));
    context_.fillEllipse({x - thumb / 2, y - thumb / 2 + 1.5, thumb, thumb});
    context_.setFillColor(Color::white());
    context_.fillEllipse({x - thumb / 2, y - thumb / 2, thumb, thumb});
    context_.setStrokeColor(theme::fieldBorder());
    context_.strokeEllipse({x - thumb / 2 + 0.5, y - thumb / 2 + 0.5, thumb - 1, thumb - 1});
}

void Renderer::drawSegmentedControl(SegmentedControl& control, const Rect& bounds) {
    int count = control.numberOfSegments();
    Rect frame = bounds.insetBy(1, 1);
    double radius = 6;
    if (!control.backgroundColor()) {
        context_.setFillColor(Color::white());
        context_.fillRoundedRect(frame, radius);
    }
    if (count == 0) return;
    const SegmentedControl::Layout layout = control.layout(frame.width(), theme::kSegmentPadding);
    const std::vector<double>& widths = layout.widths;
    const Font& font = layout.font;
    double textHeight = Typesetter::shared().measure("Ag", font).height * layout.lines;
    double left = frame.minX();
    for (int i = 0; i < count; ++i) {
        Rect segment{left, frame.minY(), widths[i], frame.height()};
        left += widths[i];
        bool selected = control.selectedSegmentIndex() == i;
        if (selected) {
            // Rounded at the ends of the control only.
            context_.setFillColor(theme::teal());
            context_.fillRoundedRect(segment, radius);
            if (i > 0) context_.fillRect({segment.minX(), segment.minY(), segment.width() / 2, segment.height()});
            if (i < count - 1)
                context_.fillRect({segment.midX(), segment.minY(), segment.width() / 2, segment.height()});
        }
        if (i > 0) {
            context_.setFillColor(theme::teal());
            context_.fillRect({segment.minX() - 0.5, segment.minY(), 1, segment.height()});
        }
        Color text = selected ? Color::white() : control.isEnabledForSegment(i) ? theme::teal() : theme::mutedInk();
        context_.setFillColor(text);
        context_.drawText(control.titleForSegment(i),
                          {segment.minX() + layout.padding, segment.midY() - textHeight / 2,
                           segment.width() - 2 * layout.padding, textHeight},
                          font, TextAlignment::Center,
                          {layout.lines, layout.lines > 1 ? LineBreakMode::WordWrap : LineBreakMode::TruncateTail});
    }
    context_.setStrokeColor(theme::teal());
    context_.setLineWidth(1.5);
    context_.strokeRoundedRect(frame, radius);
    context_.setLineWidth(1);
}

void Renderer::drawPicker(PickerView& picker, const Rect& bounds) {
    if (!picker.backgroundColor()) {
        context_.setFillColor(Color::white());
        context_.fillRect(bounds);
    }
    double centre = bounds.midY();
    Rect band{bounds.minX(), centre - theme::kPickerRowHeight / 2, bounds.width(), theme::kPickerRowHeight};
    context_.setFillColor(theme::tealTint());
    context_.fillRect(band);
    int components = picker.numberOfComponents();
    double width = components > 0 ? bounds.width() / components : bounds.width();
    Font chosen = Font::boldSystem(20), other = Font::system(18);
    context_.saveState();
    context_.clip(bounds);
    for (int c = 0; c < components; ++c) {
        int selected = picker.selectedRow(c);
        int rows = picker.numberOfRows(c);
        int reach = static_cast<int>(std::ceil(bounds.height() / 2 / theme::kPickerRowHeight));
        for (int r = std::max(0, selected - reach); r < std::min(rows, selected + reach + 1); ++r) {
            auto title = picker.titleForRow(r, c);
            if (!title) continue;
            const Font& font = r == selected ? chosen : other;
            double h = Typesetter::shared().measure("Ag", font).height;
            double y = centre + (r - selected) * theme::kPickerRowHeight - h / 2;
            context_.setFillColor(r == selected ? theme::ink() : theme::mutedInk());
            context_.drawText(*title, {bounds.minX() + c * width + 10, y, width - 20, h}, font, TextAlignment::Center,
                              {1, LineBreakMode::TruncateTail});
        }
        if (c > 0) {
            context_.setFillColor(theme::line());
            context_.fillRect({bounds.minX() + c * width - 0.5, bounds.minY(), 1, bounds.height()});
        }
    }
    context_.restoreState();
    context_.setFillColor(theme::teal());
    context_.fillRect({band.minX(), band.minY(), band.width(), 1});
    context_.fillRect({band.minX(), band.maxY() - 1, band.width(), 1});
    // The wheel turns away at its top and bottom.
    for (int i = 0; i < 3; ++i) {
        double h = (bounds.height() / 2 - theme::kPickerRowHeight / 2) * (3 - i) / 3.0;
        context_.setFillColor(Color(1, 1, 1, 0.25));
        context_.fillRect({bounds.minX(), bounds.minY(), bounds.width(), h});
        context_.fillRect({bounds.minX(), bounds.maxY() - h, bounds.width(), h});
    }
    context_.setStrokeColor(theme::line());
    context_.strokeRect(bounds.insetBy(0.5, 0.5));
}

void Renderer::drawSpinner(ActivitySpinner& spinner, const Rect& bounds) {
    double outer = std::min(bounds.width(), bounds.height()) / 2;
    if (spinner.style() == ActivitySpinnerStyle::WhiteLarge) outer = std::min(outer, 18.5);
    else outer = std::min(outer, 10.0);
    double inner = outer * 0.5;
    Color color = spinner.style() == ActivitySpinnerStyle::Gray ? theme::mutedInk() : Color::white();
    int phase = 0;
    if (spinner.isAnimating()) {
        animating_ = true;
        double t = Clock::current().now().timeIntervalSince1970();
        phase = static_cast<int>(std::fmod(std::floor(t * kSpinnerSpokes), kSpinnerSpokes));
    }
    Point c = bounds.center();
    context_.setLineWidth(std::max(2.0, outer * 0.22));
    context_.setLineCap(LineCap::Round);
    for (int i = 0; i < kSpinnerSpokes; ++i) {
        double angle = 2 * M_PI * i / kSpinnerSpokes - M_PI / 2;
        int age = (phase - i + kSpinnerSpokes) % kSpinnerSpokes; // the leading spoke is the brightest
        context_.setStrokeColor(color.withAlpha(1.0 - 0.75 * age / (kSpinnerSpokes - 1)));
        context_.strokePath(line({c.x + inner * std::cos(angle), c.y + inner * std::sin(angle)},
                                 {c.x + outer * std::cos(angle), c.y + outer * std::sin(angle)}));
    }
    context_.setLineCap(LineCap::Butt);
    context_.setLineWidth(1);
}

} // namespace tavlo::ui::render
