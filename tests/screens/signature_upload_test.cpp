// The stand-alone signature pad: red strokes, a double tap clears, and the multipart request
// its upload would send.
#include "platform/graphics/PixelImage.h"
#include "platform/ui/NavigationController.h"
#include "screens/pay/SignatureViewController.h"
#include "support/GoldenText.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;

class SignatureUploadTest : public ::testing::Test {
protected:
    SignatureUploadTest() : h(DeviceIdiom::Tablet) {
        h.show(host);
        pad = std::make_shared<SignatureViewController>();
        auto nav = std::make_shared<NavigationController>(pad);
        host->present(nav, false);
        h.runUntilIdle();
    }

    ui::test::Harness h;
    std::shared_ptr<ViewController> host = std::make_shared<ViewController>();
    std::shared_ptr<SignatureViewController> pad;
};

TEST_F(SignatureUploadTest, StrokesAreRedAndADoubleTapClears) {
    EXPECT_EQ(pad->title(), "Signature Capture");
    h.drag(*pad->view(), {{100, 100}, {300, 100}});
    ASSERT_FALSE(pad->image().isEmpty());
    Color ink = pad->image().colorAt(200, 100);
    EXPECT_GT(ink.r(), 0.9);
    EXPECT_LT(ink.g(), 0.1);
    // The second touch of a double tap.
    pad->view()->touchesBegan({Touch{{200, 200}, 2}});
    pad->view()->touchesEnded({Touch{{200, 200}, 2}});
    EXPECT_TRUE(pad->image().isEmpty());
}

TEST_F(SignatureUploadTest, TheUploadBodyIsMultipartWithTheFieldsAndTheJpeg) {
    // Without a drawing: the fields only, byte for byte.
    HttpRequest request = pad->uploadImage("http://127.0.0.1:1/upload", {{"orderId", "1042"}, {"storeId", "7"}});
    EXPECT_EQ(request.url, "http://127.0.0.1:1/upload");
    EXPECT_EQ(request.timeout, 20);
    ASSERT_EQ(request.headers.size(), 2u);
    EXPECT_EQ(request.headers[0],
              (std::pair<std::string, std::string>{"Content-Type", "multipart/form-data; boundary=1212POS1212"}));
    EXPECT_EQ(request.headers[1].second, std::to_string(request.body.size()));
    EXPECT_TRUE(tavlo::test::matchesGoldenText(request.body, "upload/signature-fields.txt"));

    // With a drawing: the picture as the last part, a JPEG of the pad's size.
    h.drag(*pad->view(), {{100, 100}, {300, 160}});
    request = pad->uploadImage("http://127.0.0.1:1/upload", {{"orderId", "1042"}});
    const std::string head = "--1212POS1212\r\nContent-Disposition: form-data; name=\"image.jpg\"; "
                             "filename=\"image.jpg\"\r\nContent-Type: image/jpeg\r\n\r\n";
    size_t at = request.body.find(head);
    ASSERT_NE(at, std::string::npos);
    const std::string tail = "\r\n--1212POS1212--\r\n";
    ASSERT_EQ(request.body.substr(request.body.size() - tail.size()), tail);
    std::string jpeg = request.body.substr(at + head.size(), request.body.size() - tail.size() - at - head.size());
    std::optional<PixelImage> picture =
        PixelImage::fromData({reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size()}, nullptr);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width(), pad->image().width());
}

} // namespace
} // namespace tavlo::screens
