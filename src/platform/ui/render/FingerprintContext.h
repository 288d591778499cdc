#pragma once

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/render/Renderer.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tavlo::ui::render {

// A graphics context that draws nothing and sums up what it was asked to draw in one number: two
// screens with the same fingerprint look the same. The window draws a frame only when the
// fingerprint changed, so an idle screen costs a walk of the tree, not a picture.
class FingerprintContext : public GraphicsContext {
public:
    uint64_t fingerprint() const { return hash_; }

    void fillPath(const Path& path) override;
    void strokePath(const Path& path) override;
    void drawText(std::string_view text, const Rect& box, const Font& font, TextAlignment alignment,
                  const TextWrap& wrap = {}) override;
    using GraphicsContext::drawText;
    Size measureText(std::string_view text, const Font& font) const override;
    Size measureText(std::string_view text, const Font& font, double width, const TextWrap& wrap) const override;
    void drawImage(const Image& image, const Rect& rect) override;
    std::unique_ptr<GraphicsContext> makeOffscreen(Size size) const override;
    Image snapshot() const override { return {}; }

private:
    void mix(const void* bytes, size_t size);
    // Values by their bytes; texts by their characters, never by where they are kept.
    template <typename T>
    requires std::is_trivially_copyable_v<T>
    void mix(const T& value) { mix(&value, sizeof value); }
    void mix(std::string_view text) {
        mix(text.size());
        mix(text.data(), text.size());
    }
    void mix(const std::string& text) { mix(std::string_view(text)); }
    void mix(const Rect& rect);
    void mix(const Color& color);
    void mixState();
    void mixPath(const Path& path);

    uint64_t hash_ = 1469598103934665603ull;
};

// The application's screen summed up without drawing it: its fingerprint, where taps go and
// whether something on it moves by itself.
struct ScreenFingerprint {
    uint64_t value = 0;
    std::vector<HitRegion> regions;
    bool animating = false;
};
ScreenFingerprint fingerprintScreen(Application& app);

} // namespace tavlo::ui::render
