#include "screens/common/SlideView.h"

#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tavlo::screens {

using namespace ui;

namespace {

struct IconKeyword {
    const char* keyword;
    const char* image;
};

// In the order they are tried; "SIDE" is also tried as an ending, right after as a beginning.
constexpr std::array<IconKeyword, 24> kIcons{{
    {"FOOD", "food.png"},         {"SPECIAL", "chef.png"},        {"BEER", "beer.png"},
    {"WINE", "wine.png"},         {"APP", "fries.png"},           {"DESSERT", "cake.png"},
    {"COFFEE", "coffee.png"},     {"STEAK", "beef.png"},          {"MEAT", "beef.png"},
    {"SIDE", "fries.png"},        {"COMBO", "fast-food.png"},     {"BURGER", "hamburger.png"},
    {"PIZZA", "pizza.png"},       {"LIQUOR", "x-glass.png"},      {"HAPPY", "happy.png"},
    {"LADIES", "happy.png"},      {"BEVERAGE", "soft-drink.png"}, {"DRINK", "soft-drink.png"},
    {"SUSHI", "maki.png"},        {"FISH", "fish.png"},           {"CHEESE", "swiss-cheese.png"},
    {"RECEIPT", "receipt64.png"}, {"ADD", "add64.png"},           {"VEG", "carrot.png"},
}};

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

std::optional<std::string> SlideView::icon(const std::string& text) {
    const std::string name = toUpper(text);
    for (const IconKeyword& entry : kIcons) {
        const std::string keyword = localized(entry.keyword);
        if (startsWith(name, keyword)) return std::string(entry.image);
        if (std::string_view(entry.keyword) == "SIDE" && endsWith(name, keyword)) return std::string(entry.image);
    }
    return std::nullopt;
}

std::shared_ptr<Button> SlideView::button(const std::string& title, int tag, const std::optional<std::string>& icon,
                                          int width, int height, Control::Action action) {
    auto button = Button::make(ButtonType::RoundedRect, Rect(0, 0, width, height));
    button->setTitle(title);
    button->setTag(tag);
    button->titleLabel().setAdjustsFontSizeToFitWidth(true);
    button->titleLabel().setMinimumScaleFactor(0.5);
    if (std::optional<std::string> image = icon ? SlideView::icon(*icon) : std::nullopt) {
        button->setBackgroundImage(Image::named(*image, Size(64, 64)));
        button->setContentVerticalAlignment(ContentVerticalAlignment::Bottom);
        button->setTitleColor(Color::lightGray());
        button->setFrame(Rect(0, 0, 64, 64));
    }
    button->addTarget(std::move(action), ControlEvent::TouchUpInside);
    return button;
}

SlideView::SlideView(Rect frame, const Color& backgroundColor, const std::vector<std::shared_ptr<Button>>& buttons,
                     int rows, int columns, int xMargin, int yMargin, int scrollPadding)
    : View(frame), rows_(std::max(rows, 1)), columns_(columns), xMargin_(xMargin), yMargin_(yMargin) {
    setBackgroundColor(backgroundColor);
    scroll_ = std::make_shared<ScrollView>(Rect(0, 0, frame.size.width, frame.size.height));
    // A grid made before its screen had its size grows with it, the scrolling part too.
    scroll_->setAutoresizingMask(ui::Autoresizing::FlexibleWidth | ui::Autoresizing::FlexibleHeight);
    scroll_->setBackgroundColor(backgroundColor);
    scroll_->setShowsHorizontalScrollIndicator(true);
    scroll_->setShowsVerticalScrollIndicator(false);
    scroll_->setScrollEnabled(true);
    scroll_->setBounces(true);
    scroll_->setDelegate(this);
    for (const auto& b : buttons) addButton(b);
    scroll_->setContentSize(Size(scrollPadding + width_, frame.size.height));
    addSubview(scroll_);
}

std::shared_ptr<SlideView> SlideView::make(Rect frame, const Color& backgroundColor,
                                           const std::vector<std::shared_ptr<Button>>& buttons, int rows, int xMargin,
                                           int yMargin, int scrollPadding) {
    const int perColumn = std::max(rows, 1);
    const int columns = static_cast<int>((buttons.size() + perColumn - 1) / perColumn);
    return std::make_shared<SlideView>(frame, backgroundColor, buttons, rows, columns, xMargin, yMargin, scrollPadding);
}

void SlideView::addButton(const std::shared_ptr<Button>& button) {
    const double w = button->frame().size.width, h = button->frame().size.height;
    button->setFrame(Rect(x_ + xMargin_, y_, w, h));
    buttons_.push_back(button);
    scroll_->addSubview(button);

    x_ += w + xMargin_;
    ++currentColumn_;
    if (screen_ == 0 && x_ > maxWidth_) maxWidth_ = static_cast<int>(x_);
    if (rows_ > 1) {
        if (currentColumn_ >= columns_) {
            if (x_ > width_) width_ = static_cast<int>(x_ + w + 2 * xMargin_);
            ++currentRow_;
            currentColumn_ = 0;
            x_ = screen_ * maxWidth_;
            y_ += h + yMargin_;
        }
        // A row not yet full counts too: on a later screenful it would lie beyond the content.
        width_ = std::max(width_, static_cast<int>(button->frame().maxX() + xMargin_));
    } else if (x_ + w + xMargin_ > width_) {
        width_ = static_cast<int>(x_ + w + 2 * xMargin_);
    }
    if (currentRow_ >= rows_) {
        ++screen_;
        currentRow_ = 0;
        currentColumn_ = 0;
        x_ = screen_ * maxWidth_;
        y_ = 0;
    }
}

Button* SlideView::getButton(const std::string& title) const {
    for (const auto& b : buttons_)
        if (b->title() == title) return b.get();
    return nullptr;
}

} // namespace tavlo::screens
