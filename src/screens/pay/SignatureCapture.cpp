#include "screens/pay/SignatureCapture.h"

#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/graphics/PixelImage.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Orientation.h"
#include "platform/ui/render/CairoGraphicsContext.h"
#include "platform/ui/render/Theme.h"
#include "screens/common/TipLimits.h"
#include "screens/common/prompts/AmountViewController.h"

#include <cmath>

namespace tavlo::screens {

using namespace ui;
namespace theme = ui::render::theme;

namespace {

constexpr double kStrokeWidth = 2;
constexpr Parameter kPercentParams[] = {Parameter::TipPercentage1, Parameter::TipPercentage2};

void strokeSignature(GraphicsContext& context, const Path& path) {
    context.saveState();
    context.setStrokeColor(Color::black());
    context.setLineWidth(kStrokeWidth);
    context.setLineCap(LineCap::Round);
    context.strokePath(path);
    context.restoreState();
}

} // namespace

// ---- the surface

TouchView::TouchView(Rect frame, TouchViewDelegate* delegate) : View(frame), delegate_(delegate) {
    setBackgroundColor(Color::white());
}

void TouchView::draw(GraphicsContext& context, const Rect& dirty) {
    View::draw(context, dirty);
    const Rect area(0, 0, bounds().width(), bounds().height());
    if (showsHint_) {
        // The hint: a line to sign on with an x at its start.
        const double lineY = area.height() * 0.7, left = area.width() * 0.1, right = area.width() * 0.9;
        context.saveState();
        context.setStrokeColor(theme::mutedInk());
        context.setLineWidth(1);
        context.strokePath(Path().moveTo({left, lineY}).lineTo({right, lineY}));
        context.setFillColor(theme::mutedInk());
        context.drawText(localized("Sign here"), Rect(left, lineY + 8, right - left, 30), Font::system(20),
                         TextAlignment::Center, {});
        context.drawText("x", Rect(left, lineY - 34, 30, 30), Font::boldSystem(26), TextAlignment::Left, {});
        context.restoreState();
    }
    if (cache_ && !cache_->isEmpty()) context.drawImage(cache_->image(), area);
    if (stroke_ && !stroke_->isEmpty()) strokeSignature(context, *stroke_);
}

void TouchView::touchesBegan(const std::vector<Touch>& touches) {
    View::touchesBegan(touches);
    if (delegate_) delegate_->touchesBegan(touches);
}

void TouchView::touchesMoved(const std::vector<Touch>& touches) {
    View::touchesMoved(touches);
    if (delegate_) delegate_->touchesMoved(touches);
}

void TouchView::touchesEnded(const std::vector<Touch>& touches) {
    View::touchesEnded(touches);
    if (delegate_) delegate_->touchesEnded(touches);
}

// ---- the screen

SignatureCapture::SignatureCapture(std::shared_ptr<Payment> payment, bool allowCancel, std::function<void()> completion)
    : payment_(std::move(payment)), allowCancel_(allowCancel), completion_(std::move(completion)) {}

void SignatureCapture::loadView() {
    Rect screen = screenFrame();
    // Landscape, below the navigation bar and above the toolbar.
    const double width = std::max(screen.width(), screen.height()), height = std::min(screen.width(), screen.height());
    const double bars = 2 * NavigationController::kNavigationBarHeight;
    touchView_ = std::make_shared<TouchView>(Rect(0, 0, width, height - bars), this);
    touchView_->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    setView(touchView_);
    connect("touchView", touchView_);
}

void SignatureCapture::viewWillAppear(bool) {
    navigationItem().setRightBarButtonItem(
        BarButtonItem::titled(localized("Clear"), BarButtonStyle::Done, [this](BarButtonItem&) { clear(); }));
    navigationItem().setHidesBackButton(!allowCancel_);
    if (allowCancel_)
        navigationItem().setLeftBarButtonItem(
            BarButtonItem::titled(localized("Cancel"), BarButtonStyle::Plain, [this](BarButtonItem&) { cancel(); }));
    setTitle(payment_->gratuity() >= 1
                 ? format("%@ %@ (includes gratuity of %@)", localized("Paid"),
                          Utils::formatCurrency(payment_->subTotal()), Utils::formatCurrency(payment_->gratuity()))
                 : format("%@ %@", localized("Paid"), Utils::formatCurrency(payment_->subTotal())));

    BarItems items{BarButtonItem::fixedSpace(0)};
    if (!flag(Parameter::HideTipLine)) {
        auto caption = std::make_shared<Label>(Rect(0, 0, 44, 30));
        caption->setText(localized("Tip") + " ");
        caption->setTextAlignment(TextAlignment::Right);
        caption->setTextColor(Color::white());
        caption->setBackgroundColor(Color::clear());
        items.push_back(BarButtonItem::withCustomView(caption));
        auto field = std::make_shared<TextField>(Rect(0, 0, 110, 30));
        field->setBorderStyle(BorderStyle::RoundedRect);
        field->setText(Utils::formatCurrency(payment_->tip()));
        field->setKeyboardType(KeyboardType::NumberPad);
        field->setDelegate(this);
        connect("tipAmount", field);
        items.push_back(BarButtonItem::withCustomView(field));
        for (int i = 0; i < 2; ++i) {
            if (std::optional<std::string> percent = parameter(kPercentParams[i]); percent && !percent->empty())
                items.push_back(BarButtonItem::titled(format("%@%%", *percent), BarButtonStyle::Bordered,
                                                      [this, i](BarButtonItem&) { this->percent(i); }));
        }
        items.push_back(
            BarButtonItem::titled(localized("Other"), BarButtonStyle::Bordered, [this](BarButtonItem&) { other(); }));
    }
    items.push_back(BarButtonItem::flexibleSpace());
    items.push_back(BarButtonItem::titled(localized("Done"), BarButtonStyle::Done, [this](BarButtonItem&) { done(); }));
    items.push_back(BarButtonItem::fixedSpace(0));
    setToolbarItems(items);
    if (NavigationController* navigation = navigationController()) navigation->setToolbarHidden(false);
    if (!cache_) showSignHere(true);
}

uint32_t SignatureCapture::supportedInterfaceOrientations() const { return OrientationMask::Landscape; }

void SignatureCapture::showSignHere(bool shows) {
    touchView_->setShowsHint(shows);
    touchView_->setNeedsDisplay();
}

// ---- strokes

void SignatureCapture::touchesBegan(const std::vector<Touch>& touches) {
    if (touching_ || touches.empty()) return;
    path_ = Path();
    path_.moveTo(touches.front().location);
    touching_ = true;
    touchView_->setStroke(&path_);
    showSignHere(false);
}

void SignatureCapture::touchesMoved(const std::vector<Touch>& touches) {
    if (!touching_ || touches.empty()) return;
    path_.lineTo(touches.front().location);
    touchView_->setNeedsDisplay();
}

void SignatureCapture::touchesEnded(const std::vector<Touch>&) {
    if (touching_) draw();
}

void SignatureCapture::draw() {
    // The stroke joins the finished ones in one bitmap (darken: ink never gets lighter), so a
    // redraw costs one picture and the live stroke.
    const Size size = touchView_->bounds().size;
    render::CairoGraphicsContext merged(size);
    merged.setBlendMode(BlendMode::Darken);
    if (cache_ && !cache_->isEmpty()) merged.drawImage(cache_->image(), Rect(0, 0, size.width, size.height));
    if (touching_ && !path_.isEmpty()) strokeSignature(merged, path_);
    cache_ = merged.bitmap();
    touching_ = false;
    path_ = Path();
    touchView_->setStroke(nullptr);
    touchView_->setCache(&*cache_);
    touchView_->setNeedsDisplay();
}

void SignatureCapture::clear() {
    path_ = Path();
    cache_.reset();
    touchView_->setCache(nullptr);
    showSignHere(true);
    draw();
}

// ---- tip

void SignatureCapture::percent(int index) {
    const int32_t rate = Parameters::number(kPercentParams[index], context());
    const int32_t cents = static_cast<int32_t>(int64_t{payment_->subTotal()} * rate / 100);
    if (TextField* field = tipAmount()) field->setText(Utils::formatCurrency(cents));
    payment_->setTip(cents);
}

void SignatureCapture::other() {
    auto prompt = std::make_shared<AmountViewController>();
    prompt->setTitle(localized("Tip"));
    prompt->setDecimals(2);
    prompt->setAmount(Utils::formatCurrency(payment_->tip()));
    std::weak_ptr<ViewController> self = weak_from_this();
    prompt->setObserver([self](const std::optional<std::string>& answer, const std::optional<std::string>&) {
        if (auto screen = std::dynamic_pointer_cast<SignatureCapture>(self.lock())) screen->tipEntered(answer);
    });
    auto navigation = std::make_shared<NavigationController>(prompt);
    navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    present(navigation, animated());
}

void SignatureCapture::tipEntered(const std::optional<std::string>& answer) {
    if (TextField* field = tipAmount(); field && answer) field->setText(*answer);
    payment_->setTip(answer ? Utils::parseCurrency(answer) : 0);
    dismiss(animated());
}

bool SignatureCapture::textFieldShouldBeginEditing(TextField& field) {
    field.setText(Utils::formatCurrency(0));
    return true;
}

bool SignatureCapture::textFieldShouldChangeCharacters(TextField& field, TextRange range, const std::string& typed) {
    if (std::optional<std::string> shown = AmountViewController::centsAfterEdit(field.text(), range, typed))
        field.setText(*shown);
    return false;
}

bool SignatureCapture::textFieldShouldReturn(TextField& field) {
    field.resignFirstResponder();
    return true;
}

// ---- leaving

void SignatureCapture::done() {
    TextField* field = tipAmount();
    const int32_t tip = field ? Utils::parseCurrency(field->text()) : payment_->tip();
    const TipVerdict verdict = judgeTip(payment_->subTotal(), tip, payment_->gratuity());
    if (!field || verdict == TipVerdict::Fine) return keep();
    // A tip not taken shows the payment's own again.
    field->setText(Utils::formatCurrency(payment_->tip()));
    if (verdict == TipVerdict::Refused) {
        alert("Alert", tipTooLarge(), "Ok");
        return;
    }
    alert("Confirmation", largeTipQuestion(tip, payment_->subTotal()), {"No", {localized("Yes")}},
          [this, tip](int button) {
              if (button != 1) return;
              if (TextField* shown = tipAmount()) shown->setText(Utils::formatCurrency(tip));
              keep();
          });
}

void SignatureCapture::keep() {
    if (cache_ && !cache_->isEmpty()) {
        double quality = doubleValue(parameter(Parameter::SignatureCaptureQuality));
        if (quality <= 0) quality = 0.5;
        double width = doubleValue(parameter(Parameter::SignatureCaptureWidth));
        if (width <= 0) width = 250;
        double height = doubleValue(parameter(Parameter::SignatureCaptureHeight));
        const Size viewSize = touchView_->bounds().size;
        if (height <= 0) height = width / (viewSize.width / viewSize.height);
        PixelImage signature(cache_->width(), cache_->height(), cache_->rgba());
        PixelImage scaled = Utils::imageWithImage(signature, static_cast<int>(std::lround(width)),
                                                  std::max(1, static_cast<int>(std::lround(height))));
        Error error;
        if (std::optional<std::vector<uint8_t>> jpeg = scaled.jpegData(quality, &error)) {
            payment_->setCaptured(std::move(*jpeg));
            payment_->setMimeType(std::string("image/jpeg"));
        } else {
            TAVLO_LOG("Unable to keep the signature: %@", error.localizedDescription());
        }
    }
    if (TextField* field = tipAmount()) payment_->setTip(Utils::parseCurrency(field->text()));
    // The bars stay until the screen leaves: a payment that cannot go on yet (a question
    // cancelled, no terminal to pay at, an order that could not be queued) keeps the screen here
    // with Done to try again.
    // The completion may take this screen off the stack: both stay alive until it returns.
    std::shared_ptr<ViewController> keep = shared_from_this();
    std::function<void()> completion = completion_;
    if (completion) completion();
}

void SignatureCapture::cancel() {
    if (NavigationController* navigation = navigationController()) navigation->pop(animated());
}

void SignatureCapture::viewWillDisappear(bool animated) {
    ViewController::viewWillDisappear(animated);
    if (NavigationController* navigation = navigationController()) navigation->setToolbarHidden(true);
}

} // namespace tavlo::screens
