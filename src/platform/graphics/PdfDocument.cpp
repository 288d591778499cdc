#include "platform/graphics/PdfDocument.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

#include <mutex>

namespace tavlo {

namespace {

constexpr const char* kPdfErrorDomain = "PdfDocument";

// Pages drawn larger than this are refused before any memory is taken for them.
constexpr int64_t kMaxPixels = 64ll * 1024 * 1024;

// poppler writes what it finds wrong in a document to the standard error; failures reach our
// callers as errors instead.
void quietPoppler() {
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr); });
}

std::unique_ptr<poppler::page> pageOf(const poppler::document& document, int page) {
    if (page < 1 || page > document.pages()) return nullptr;
    return std::unique_ptr<poppler::page>(document.create_page(page - 1));
}

} // namespace

std::optional<PdfDocument> PdfDocument::opened(poppler::document* document, const std::string& what, Error* error) {
    std::shared_ptr<poppler::document> owned(document);
    if (!owned || owned->is_locked()) {
        Error::set(error, kPdfErrorDomain, -1, "Unable to read the PDF document " + what);
        return std::nullopt;
    }
    return PdfDocument(std::move(owned));
}

std::optional<PdfDocument> PdfDocument::fromFile(const std::filesystem::path& path, Error* error) {
    quietPoppler();
    std::error_code missing;
    if (!std::filesystem::is_regular_file(path, missing)) {
        Error::set(error, kPdfErrorDomain, -1, "Unable to read the PDF document: no file " + path.string());
        return std::nullopt;
    }
    return opened(poppler::document::load_from_file(path.string()), path.string(), error);
}

std::optional<PdfDocument> PdfDocument::fromData(std::span<const uint8_t> data, Error* error) {
    quietPoppler();
    // The document takes the bytes over and keeps them while it lives.
    poppler::byte_array bytes(data.begin(), data.end());
    return opened(data.empty() ? nullptr : poppler::document::load_from_data(&bytes), "in memory", error);
}

int PdfDocument::pageCount() const { return document_->pages(); }

std::optional<PdfBox> PdfDocument::cropBox(int page) const {
    const std::unique_ptr<poppler::page> found = pageOf(*document_, page);
    if (!found) return std::nullopt;
    const poppler::rectf box = found->page_rect(poppler::crop_box);
    return PdfBox{box.x(), box.y(), box.width(), box.height()};
}

std::optional<PixelImage> PdfDocument::renderPage(int page, int width, int height, Error* error) const {
    const std::unique_ptr<poppler::page> found = pageOf(*document_, page);
    if (!found) {
        Error::set(error, kPdfErrorDomain, -1, "The PDF document has no page " + std::to_string(page));
        return std::nullopt;
    }
    const poppler::rectf box = found->page_rect(poppler::crop_box);
    if (width <= 0 || height <= 0 || int64_t{width} * height > kMaxPixels || box.width() <= 0 || box.height() <= 0) {
        Error::set(error, kPdfErrorDomain, -1,
                   "Unable to draw page " + std::to_string(page) + " at " + std::to_string(width) + " x " +
                       std::to_string(height));
        return std::nullopt;
    }
    poppler::page_renderer renderer;
    renderer.set_render_hints(poppler::page_renderer::antialiasing | poppler::page_renderer::text_antialiasing);
    renderer.set_image_format(poppler::image::format_argb32);
    const poppler::image drawn = renderer.render_page(found.get(), 72.0 * width / box.width(),
                                                      72.0 * height / box.height(), 0, 0, width, height);
    if (!drawn.is_valid() || drawn.width() != width || drawn.height() != height) {
        Error::set(error, kPdfErrorDomain, -1, "Unable to draw page " + std::to_string(page));
        return std::nullopt;
    }
    // 32-bit ARGB words in memory order blue, green, red, alpha; the paper is opaque.
    PixelImage image(width, height);
    const auto* rows = reinterpret_cast<const uint8_t*>(drawn.const_data());
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = rows + static_cast<size_t>(y) * drawn.bytes_per_row();
        for (int x = 0; x < width; ++x, from += 4) {
            uint8_t* to = image.pixel(x, y);
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            to[3] = from[3];
        }
    }
    return image;
}

} // namespace tavlo
