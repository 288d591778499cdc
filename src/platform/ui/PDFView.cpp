#include "platform/ui/PDFView.h"

#include "platform/graphics/PdfDocument.h"

#include <cmath>

namespace tavlo::ui {

namespace {

std::optional<PdfDocument> documentAt(const std::optional<std::filesystem::path>& url) {
    if (!url) return std::nullopt;
    return PdfDocument::fromFile(*url, nullptr);
}

std::optional<Rect> cropBoxOf(const std::optional<PdfDocument>& document, long page) {
    if (!document) return std::nullopt;
    const std::optional<PdfBox> box = document->cropBox(static_cast<int>(page));
    if (!box) return std::nullopt;
    return Rect{box->x, box->y, box->width, box->height};
}

} // namespace

void PDFView::setResourceName(std::optional<std::string> name) {
    resourceName_ = std::move(name);
    setResourceURL(resourceURLForName(resourceName_));
}

void PDFView::setResourceURL(std::optional<std::filesystem::path> url) {
    resourceURL_ = std::move(url);
    setNeedsDisplay();
}

void PDFView::setResourceData(std::optional<std::vector<uint8_t>> data) {
    resourceData_ = std::move(data);
    setNeedsDisplay();
}

void PDFView::draw(GraphicsContext& context, const Rect& dirty) {
    renderIntoContext(context, resourceURL_, resourceData_, dirty.size, page_);
}

std::optional<std::filesystem::path> PDFView::resourceURLForName(const std::optional<std::string>& name) {
    if (!name || name->empty() || name->find("..") != std::string::npos) return std::nullopt;
    std::filesystem::path file = std::filesystem::path(TAVLO_RESOURCES_DIR) / *name;
    std::error_code missing;
    if (!std::filesystem::is_regular_file(file, missing)) return std::nullopt;
    return file;
}

Rect PDFView::mediaRect(const std::optional<std::string>& name) { return mediaRectForURL(resourceURLForName(name)); }

Rect PDFView::mediaRectForURL(const std::optional<std::filesystem::path>& url) {
    return mediaRectForURL(url, 1).value_or(Rect{});
}

std::optional<Rect> PDFView::mediaRectForURL(const std::optional<std::filesystem::path>& url, long page) {
    return cropBoxOf(documentAt(url), page);
}

std::optional<Rect> PDFView::mediaRectForData(const std::optional<std::vector<uint8_t>>& data, long page) {
    if (!data) return std::nullopt;
    return cropBoxOf(PdfDocument::fromData(*data, nullptr), page);
}

long PDFView::pageCountForURL(const std::optional<std::filesystem::path>& url) {
    if (!url) return 1;
    const std::optional<PdfDocument> document = documentAt(url);
    return document ? document->pageCount() : 0;
}

void PDFView::renderIntoContext(GraphicsContext& context, const std::optional<std::filesystem::path>& url,
                                const std::optional<std::vector<uint8_t>>& data, Size size, long page) {
    if (!url && !data) return;
    const std::optional<PdfDocument> document = url ? documentAt(url) : PdfDocument::fromData(*data, nullptr);
    if (!document) return;
    // Drawn at the context's own resolution, so a scaled context gets a sharp page.
    const GraphicsState& state = context.state();
    const int width = static_cast<int>(std::ceil(size.width * std::abs(state.scaleX)));
    const int height = static_cast<int>(std::ceil(size.height * std::abs(state.scaleY)));
    const std::optional<PixelImage> drawn = document->renderPage(static_cast<int>(page), width, height, nullptr);
    if (!drawn) return;
    context.drawImage(Image::fromPixels({static_cast<double>(width), static_cast<double>(height)}, drawn->rgba()),
                      Rect{0, 0, size.width, size.height});
}

} // namespace tavlo::ui
