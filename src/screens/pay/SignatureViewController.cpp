#include "screens/pay/SignatureViewController.h"

#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/graphics/PixelImage.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Orientation.h"
#include "platform/ui/render/CairoGraphicsContext.h"

namespace tavlo::screens {

using namespace ui;

namespace {

// The picture under the finger, filling the view; touches go to the screen.
class DrawingSurface : public View {
public:
    DrawingSurface(Rect frame, SignatureViewController& owner) : View(frame), owner_(owner) {
        setBackgroundColor(Color::white());
    }
    void draw(GraphicsContext& context, const Rect& dirty) override {
        View::draw(context, dirty);
        if (!owner_.image().isEmpty())
            context.drawImage(owner_.image().image(), Rect(0, 0, bounds().width(), bounds().height()));
    }
    void touchesBegan(const std::vector<Touch>& touches) override { owner_.touchesBegan(touches); }
    void touchesMoved(const std::vector<Touch>& touches) override { owner_.touchesMoved(touches); }
    void touchesEnded(const std::vector<Touch>& touches) override { owner_.touchesEnded(touches); }

private:
    SignatureViewController& owner_;
};

} // namespace

SignatureViewController::SignatureViewController() = default;

void SignatureViewController::setImage(render::Bitmap image) {
    image_ = std::move(image);
    if (drawImage_) drawImage_->setNeedsDisplay();
}

void SignatureViewController::loadView() {
    drawImage_ = std::make_shared<DrawingSurface>(screenFrame(), *this);
    drawImage_->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    setView(drawImage_);
}

void SignatureViewController::viewDidLoad() {
    setTitle(localized("Signature Capture"));
    navigationItem().setRightBarButtonItem(
        BarButtonItem::system(SystemItem::Done, [this](BarButtonItem&) { saveImage(); }));
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Cancel"), BarButtonStyle::Plain, [this](BarButtonItem&) { back(); }));
}

uint32_t SignatureViewController::supportedInterfaceOrientations() const {
    Application* app = Application::current();
    return app && app->idiom() == DeviceIdiom::Tablet ? OrientationMask::Landscape : OrientationMask::Portrait;
}

void SignatureViewController::touchesBegan(const std::vector<Touch>& touches) {
    if (touches.empty()) return;
    mouseSwiped_ = false;
    if (touches.front().tapCount == 2) setImage({});
    else lastPoint_ = touches.front().location;
}

void SignatureViewController::touchesMoved(const std::vector<Touch>& touches) {
    if (touches.empty()) return;
    mouseSwiped_ = true;
    strokeTo(touches.front().location);
}

void SignatureViewController::touchesEnded(const std::vector<Touch>& touches) {
    if (touches.empty()) return;
    if (touches.front().tapCount == 2) setImage({});
    else if (!mouseSwiped_) strokeTo(lastPoint_); // a dot
}

void SignatureViewController::strokeTo(Point to) {
    const Size size = drawImage_->bounds().size;
    render::CairoGraphicsContext context(size);
    if (!image_.isEmpty()) context.drawImage(image_.image(), Rect(0, 0, size.width, size.height));
    context.setStrokeColor(Color(1, 0, 0, 1));
    context.setLineWidth(5);
    context.setLineCap(LineCap::Round);
    context.strokePath(Path().moveTo(lastPoint_).lineTo(to));
    setImage(context.bitmap());
    lastPoint_ = to;
}

void SignatureViewController::saveImage() {
    // The terminal keeps no photo album: the drawing stays in `image()` for whoever opened the pad.
    if (ViewController* parent = presentingViewController()) parent->dismiss(true);
}

void SignatureViewController::back() {
    if (ViewController* parent = presentingViewController()) parent->dismiss(true);
}

HttpRequest SignatureViewController::uploadImage(const std::string& url,
                                                 const std::map<std::string, std::string>& params) const {
    HttpRequest request;
    request.url = url;
    request.timeout = 20;
    request.headers.emplace_back("Content-Type", format("multipart/form-data; boundary=%@", kBoundary));
    std::string& body = request.body;
    for (const auto& [name, value] : params) {
        body += format("--%@\r\n", kBoundary);
        body += format("Content-Disposition: form-data; name=\"%@\"\r\n\r\n", name);
        body += format("%@\r\n", value);
    }
    if (!image_.isEmpty()) {
        PixelImage picture(image_.width(), image_.height(), image_.rgba());
        if (std::optional<std::vector<uint8_t>> jpeg = picture.jpegData(1.0, nullptr)) {
            body += format("--%@\r\n", kBoundary);
            body += format("Content-Disposition: form-data; name=\"%@\"; filename=\"image.jpg\"\r\n", "image.jpg");
            body += "Content-Type: image/jpeg\r\n\r\n";
            body.append(jpeg->begin(), jpeg->end());
            body += "\r\n";
        }
    }
    body += format("--%@--\r\n", kBoundary);
    request.headers.emplace_back("Content-Length", format("%lu", static_cast<unsigned long>(body.size())));
    return request;
}

} // namespace tavlo::screens
