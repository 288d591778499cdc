#pragma once

#include "platform/foundation/Error.h"
#include "platform/graphics/PixelImage.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

namespace poppler {
class document;
}

namespace tavlo {

// A rectangle of a PDF page in points, as the document gives it (origin at the lower left).
struct PdfBox {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const PdfBox&) const = default;
};

// An open PDF document (read with poppler): its pages measured and drawn into pixels. Pages
// are numbered from 1. One thread at a time.
class PdfDocument {
public:
    // Nothing, with `error` saying why, for a missing file or bytes that are not a readable PDF.
    static std::optional<PdfDocument> fromFile(const std::filesystem::path& path, Error* error);
    static std::optional<PdfDocument> fromData(std::span<const uint8_t> data, Error* error);

    int pageCount() const;
    // The crop box of a page; nothing for a page the document does not have.
    std::optional<PdfBox> cropBox(int page) const;
    // The page's crop box stretched over width x height pixels, on white paper (opaque).
    std::optional<PixelImage> renderPage(int page, int width, int height, Error* error) const;

private:
    explicit PdfDocument(std::shared_ptr<poppler::document> document) : document_(std::move(document)) {}
    static std::optional<PdfDocument> opened(poppler::document* document, const std::string& what, Error* error);

    std::shared_ptr<poppler::document> document_;
};

} // namespace tavlo
