#pragma once

#include "platform/net/HttpClient.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/render/Bitmap.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace tavlo::screens {

// A stand-alone signature pad: a finger draws red strokes (a double tap clears them), Done
// closes it keeping the picture, and `uploadImage` builds the multipart request that would send
// the picture as a JPEG with form fields (it does not send it). No screen of the terminal opens
// it; payments sign on SignatureCapture.
class SignatureViewController : public ui::ViewController {
public:
    static constexpr const char* kBoundary = "1212POS1212";

    SignatureViewController();

    // The drawing so far (empty before the first stroke).
    const ui::render::Bitmap& image() const { return image_; }
    void setImage(ui::render::Bitmap image);

    // The upload request: POST to `url`, a 20 s time-out, the form fields (in name order) and,
    // when there is a drawing, its JPEG at full quality as "image.jpg".
    HttpRequest uploadImage(const std::string& url, const std::map<std::string, std::string>& params) const;

    void loadView() override;
    void viewDidLoad() override;
    uint32_t supportedInterfaceOrientations() const override;

    void touchesBegan(const std::vector<ui::Touch>& touches);
    void touchesMoved(const std::vector<ui::Touch>& touches);
    void touchesEnded(const std::vector<ui::Touch>& touches);

private:
    // The bar's Done and Cancel: each closes the pad.
    void saveImage();
    void back();
    void strokeTo(ui::Point to);

    std::shared_ptr<ui::View> drawImage_;
    ui::render::Bitmap image_;
    ui::Point lastPoint_;
    bool mouseSwiped_ = false;
};

} // namespace tavlo::screens
