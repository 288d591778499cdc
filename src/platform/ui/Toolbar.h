#pragma once

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Font.h"
#include "platform/ui/View.h"

#include <memory>
#include <vector>

namespace tavlo::ui {

enum class BarStyle { Default, Black };

// A bar of items; the custom views of its items are its subviews, laid out left to right with the
// flexible spaces sharing what is left.
class Toolbar : public View {
public:
    using Items = std::vector<std::shared_ptr<BarButtonItem>>;
    static constexpr double kHeight = 44;

    using View::View;

    const Items& items() const { return items_; }
    void setItems(Items items, bool animated = false);
    BarStyle barStyle() const { return style_; }
    void setBarStyle(BarStyle style) { style_ = style; }

    // Where each item goes, in the order of items(): left to right, the flexible spaces sharing
    // what is left, each as high as the bar.
    std::vector<Rect> itemFrames() const;
    // The font of the items' titles; their widths are measured in it.
    static Font titleFont() { return Font::boldSystem(15); }

    void layoutSubviews() override;

private:
    Items items_;
    BarStyle style_ = BarStyle::Default;
};

} // namespace tavlo::ui
