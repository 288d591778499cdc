#pragma once

#include "core/order/Payment.h"
#include "platform/ui/Path.h"
#include "platform/ui/TextField.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/render/Bitmap.h"
#include "screens/common/SignedInController.h"

#include <functional>
#include <memory>
#include <optional>

namespace tavlo::screens {

// What a touch view tells of the finger on it.
class TouchViewDelegate {
public:
    virtual ~TouchViewDelegate() = default;
    virtual void touchesBegan(const std::vector<ui::Touch>&) {}
    virtual void touchesMoved(const std::vector<ui::Touch>&) {}
    virtual void touchesEnded(const std::vector<ui::Touch>&) {}
};

// The surface a customer signs on: white, the signature drawn so far (one cached bitmap) and the
// stroke in progress over it; its touches go to the delegate.
class TouchView : public ui::View {
public:
    TouchView(ui::Rect frame, TouchViewDelegate* delegate);

    // The finished strokes (nothing before the first) and the live one.
    void setCache(const ui::render::Bitmap* cache) { cache_ = cache; }
    void setStroke(const ui::Path* stroke) { stroke_ = stroke; }
    void setShowsHint(bool shows) { showsHint_ = shows; }
    bool showsHint() const { return showsHint_; }

    void draw(ui::GraphicsContext& context, const ui::Rect& dirty) override;
    void touchesBegan(const std::vector<ui::Touch>& touches) override;
    void touchesMoved(const std::vector<ui::Touch>& touches) override;
    void touchesEnded(const std::vector<ui::Touch>& touches) override;

private:
    TouchViewDelegate* delegate_;
    const ui::render::Bitmap* cache_ = nullptr;
    const ui::Path* stroke_ = nullptr;
    bool showsHint_ = true;
};

// The screen on which the customer signs for a payment and may set the tip. Done stores the
// signature on the payment as a JPEG (scaled to the configured width, keeping the surface's
// shape) with the tip, then calls the completion.
class SignatureCapture : public SignedInController<ui::ViewController>,
                         public TouchViewDelegate,
                         public ui::TextFieldDelegate {
public:
    SignatureCapture(std::shared_ptr<Payment> payment, bool allowCancel, std::function<void()> completion);

    TouchView* touchView() const { return touchView_.get(); }
    ui::TextField* tipAmount() const { return outlet<ui::TextField>("tipAmount"); }
    // The signature so far; none before the first stroke.
    const std::optional<ui::render::Bitmap>& cacheImage() const { return cache_; }

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    uint32_t supportedInterfaceOrientations() const override;
    void touchesBegan(const std::vector<ui::Touch>& touches) override;
    void touchesMoved(const std::vector<ui::Touch>& touches) override;
    void touchesEnded(const std::vector<ui::Touch>& touches) override;
    bool textFieldShouldBeginEditing(ui::TextField& field) override;
    bool textFieldShouldChangeCharacters(ui::TextField& field, ui::TextRange range, const std::string& typed) override;
    bool textFieldShouldReturn(ui::TextField& field) override;

private:
    void showSignHere(bool shows);
    void draw();
    void clear();
    // Done: a tip larger than the payment is asked about, one too large refused; then keep.
    void done();
    // Stores the signature and the tip on the payment and calls the completion.
    void keep();
    void cancel();
    void percent(int index); // 0, 1: the two percent keys
    void other();
    void tipEntered(const std::optional<std::string>& answer);

    std::shared_ptr<Payment> payment_;
    bool allowCancel_;
    std::function<void()> completion_;
    std::shared_ptr<TouchView> touchView_;
    std::optional<ui::render::Bitmap> cache_;
    ui::Path path_;
    bool touching_ = false;
};

} // namespace tavlo::screens
