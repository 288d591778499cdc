#pragma once

#include "platform/ui/Drawing.h"

#include <memory>

namespace tavlo::ui {

// A context that keeps what it was asked to draw; tests read it back, offscreen images carry it.
class RecordingGraphicsContext : public GraphicsContext {
public:
    explicit RecordingGraphicsContext(Size size = {}) : size_(size), drawing_(std::make_shared<Drawing>()) {}

    const Drawing& drawing() const { return *drawing_; }
    Size size() const { return size_; }

    void fillPath(const Path& path) override;
    void strokePath(const Path& path) override;
    void drawText(std::string_view text, const Rect& box, const Font& font, TextAlignment alignment,
                  const TextWrap& wrap = {}) override;
    using GraphicsContext::drawText;
    void drawImage(const Image& image, const Rect& rect) override;
    std::unique_ptr<GraphicsContext> makeOffscreen(Size size) const override;
    Image snapshot() const override;

private:
    Size size_;
    std::shared_ptr<Drawing> drawing_;
};

} // namespace tavlo::ui
