#include "platform/ui/PDFView.h"
#include "platform/ui/render/CairoGraphicsContext.h"
#include "support/PdfFixture.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace tavlo;
using namespace tavlo::ui;
using tavlo::test::PdfArea;

namespace {

class PdfViewTest : public ::testing::Test {
protected:
    std::filesystem::path pdf(const std::string& name, double width, double height, const std::vector<PdfArea>& black,
                              int pages = 1) {
        std::filesystem::path path = home_.path() / name;
        test::writePdf(path, width, height, black, pages);
        return path;
    }
    static std::vector<uint8_t> bytesOf(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // Share of black pixels in a part of a picture.
    static double blackShare(const render::Bitmap& picture, int left, int top, int width, int height) {
        int black = 0;
        for (int y = top; y < top + height; ++y)
            for (int x = left; x < left + width; ++x) {
                Color c = picture.colorAt(x, y);
                black += c.r() < 0.1 && c.g() < 0.1 && c.b() < 0.1 && c.a() > 0.9;
            }
        return static_cast<double>(black) / (width * height);
    }

    test::TempHome home_;
};

} // namespace

TEST_F(PdfViewTest, MeasuresPagesByTheirCropBox) {
    const auto twoPages = pdf("two.pdf", 200, 100, {}, 2);
    EXPECT_EQ(PDFView::pageCountForURL(twoPages), 2);
    EXPECT_EQ(PDFView::pageCountForURL(std::nullopt), 1);
    EXPECT_EQ(PDFView::mediaRectForURL(twoPages, 2), (Rect{0, 0, 200, 100}));
    EXPECT_EQ(PDFView::mediaRectForURL(twoPages), (Rect{0, 0, 200, 100}));
    EXPECT_EQ(PDFView::mediaRectForData(bytesOf(twoPages), 1), (Rect{0, 0, 200, 100}));

    EXPECT_EQ(PDFView::mediaRectForURL(twoPages, 3), std::nullopt);
    EXPECT_EQ(PDFView::mediaRectForData(std::nullopt, 1), std::nullopt);
    EXPECT_EQ(PDFView::mediaRectForURL(std::nullopt), Rect{});
    EXPECT_EQ(PDFView::mediaRectForURL(home_.path() / "missing.pdf"), Rect{});
    const std::vector<uint8_t> notPdf{'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(PDFView::mediaRectForData(notPdf, 1), std::nullopt);
}

TEST_F(PdfViewTest, RendersThePageStretchedOverTheWholeSize) {
    // Left half black on a 200 x 100 page, drawn at 400 x 200.
    const auto half = pdf("half.pdf", 200, 100, {{0, 0, 100, 100}});
    render::CairoGraphicsContext context({400, 200});
    PDFView::renderIntoContext(context, half, std::nullopt, {400, 200}, 1);
    const render::Bitmap picture = context.bitmap();
    EXPECT_GT(blackShare(picture, 0, 0, 198, 200), 0.99);
    EXPECT_EQ(blackShare(picture, 202, 0, 198, 200), 0);
    EXPECT_EQ(picture.colorAt(399, 199), (Color{1, 1, 1, 1}));

    // All black: every pixel of the context.
    const auto full = pdf("full.pdf", 200, 100, {{0, 0, 200, 100}});
    render::CairoGraphicsContext whole({400, 200});
    PDFView::renderIntoContext(whole, std::nullopt, bytesOf(full), {400, 200}, 1);
    EXPECT_EQ(blackShare(whole.bitmap(), 0, 0, 400, 200), 1.0);
}

TEST_F(PdfViewTest, DrawsNothingWithoutADocumentOrThePage) {
    render::CairoGraphicsContext context({40, 20});
    PDFView::renderIntoContext(context, std::nullopt, std::nullopt, {40, 20}, 1);
    PDFView::renderIntoContext(context, pdf("one.pdf", 200, 100, {{0, 0, 200, 100}}), std::nullopt, {40, 20}, 2);
    EXPECT_EQ(context.bitmap(), render::Bitmap(40, 20));
}

TEST_F(PdfViewTest, TheViewDrawsItsPageFromTheFileOrTheBytes) {
    const auto top = pdf("top.pdf", 100, 100, {{0, 0, 100, 50}}, 2);
    PDFView view(Rect{0, 0, 50, 50});
    EXPECT_EQ(view.page(), 1);
    view.setResourceData(bytesOf(top));
    EXPECT_TRUE(view.needsDisplay());
    render::CairoGraphicsContext context({50, 50});
    view.draw(context, view.bounds());
    EXPECT_GT(blackShare(context.bitmap(), 0, 0, 50, 24), 0.99);
    EXPECT_EQ(blackShare(context.bitmap(), 0, 26, 50, 24), 0);

    view.setResourceName("no-such-document.pdf");
    EXPECT_EQ(view.resourceURL(), std::nullopt);
    view.setResourceURL(top);
    view.setPage(2);
    render::CairoGraphicsContext second({50, 50});
    view.draw(second, view.bounds());
    EXPECT_GT(blackShare(second.bitmap(), 0, 0, 50, 24), 0.99);
}
