// iController: pictures and PDF pages printed as raster or column bands.
#include "printerlib/iController.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/Directories.h"
#include "platform/graphics/PdfDocument.h"
#include "printerlib/StoredOrientation.h"
#include "printerlib/Trace.h"

#include <cmath>
#include <fstream>
#include <iterator>

namespace tavlo::printerlib {

namespace {

constexpr long kColumnBandsLevel = 10000;
constexpr long kDitherLevel = 1000;

std::optional<std::vector<uint8_t>> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

iController::ImageLevel iController::ImageLevel::decode(long level) {
    ImageLevel decoded;
    if (level > kColumnBandsLevel - 1) {
        decoded.columnBands = true;
        level -= kColumnBandsLevel;
    }
    if (level >= kDitherLevel) {
        decoded.dither = true;
        level -= kDitherLevel;
    }
    decoded.threshold = level;
    return decoded;
}

std::vector<uint8_t> iController::getRGBDatafromOptimizationImage(const PixelImage& image, long width, long /*level*/,
                                                                  RasterSize* size) const {
    if (size) *size = {};
    const long printed = (width == -1 || width > maxWidth()) ? maxWidth() : width;
    if (image.isNull() || printed <= 0) return {};
    const long height =
        std::max(1L, static_cast<long>(static_cast<double>(image.height()) * static_cast<double>(printed) /
                                       static_cast<double>(image.width())));
    long bytes = 0;
    std::vector<uint8_t> pixels = iControlMisc::rgbaDataFromImage(image, printed, height, &bytes);
    if (size && !pixels.empty()) *size = {printed, height};
    return pixels;
}

long iController::printBitmapWithImage(const PixelImage& image, long width, long level) {
    return printPicture(image, width, level, {});
}

long iController::printPicture(const PixelImage& image, long width, long level, PictureSending how) {
    return withConnection([&]() -> long {
        const bool validAlignment = alignment() >= 0 && alignment() <= 2;
        if (!validAlignment && how.strictAlignment) {
            trace(TraceLevel::Error, "[ERROR] alignment[%ld] is invalid.", alignment());
            return OVL_BAD_ARGMENT;
        }
        if (validAlignment && send(makeAlignment()) < 3) {
            trace(TraceLevel::Error, "[ERROR] can not send data to printer.");
            return OVL_WRITE_ERROR;
        }
        RasterSize size;
        std::vector<uint8_t> pixels = getRGBDatafromOptimizationImage(image, width, level, &size);
        if (pixels.empty()) {
            trace(TraceLevel::Error, "[ERROR] can not convert image data to rgba data");
            return OVL_RGBA_ERROR;
        }
        const ImageLevel decoded = ImageLevel::decode(level);
        trace(TraceLevel::Detail, "image mode: %d", decoded.mode());
        if (decoded.dither)
            iControlMisc::makeDiffusionImageData(pixels, size.width, size.height, decoded.threshold,
                                                 imageDitheringWithIgnoreWhite());
        Bytes data;
        switch (how.bands) {
        case PictureSending::Bands::ByLevel:
            data = decoded.columnBands
                       ? iControlMisc::makeMonoImageData(pixels, size.width, size.height, decoded.threshold)
                       : iControlMisc::makeMonoGsvData(pixels, size.width, size.height, decoded.threshold, true);
            break;
        case PictureSending::Bands::Compressed: // the level's column-band bit has no effect
            data = iControlMisc::makeCompressImageData(pixels, size.width, size.height, decoded.threshold, true);
            break;
        case PictureSending::Bands::EightDotColumns:
            data = iControlMisc::make8bitMonoImageData(pixels, size.width, size.height, decoded.threshold);
            break;
        }
        trace(TraceLevel::Detail, "send image data");
        // A short send is the printer's loss of the connection, which the transport reports.
        if (!data.empty() && send(data) < static_cast<long>(data.size()))
            trace(TraceLevel::Error, "sent data size  is smaller than printerData.");
        if (how.paced && !data.empty() && pendingWaitTime() > 0)
            Clock::currentShared()->sleepFor((pendingWaitTime() - 0.2) * static_cast<double>(data.size() / 60000 + 1));
        return OVL_SUCCESS;
    });
}

long iController::printBitmap(const std::filesystem::path& path, long width, long level) {
    const std::optional<std::vector<uint8_t>> file = readFile(path);
    const std::optional<PixelImage> image = file ? PixelImage::fromData(*file, nullptr) : std::nullopt;
    if (!image) {
        trace(TraceLevel::Error, "[ERROR] [%@] is not found.", path.string());
        return OVL_BITMAPLOAD_ERROR;
    }
    // A photo taken sideways is stored sideways, with the turn that makes it upright beside it.
    const ImageOrientation orientation = storedOrientation(*file);
    if (orientation == ImageOrientation::Up) return printBitmapWithImage(*image, width, level);
    return printBitmapWithImage(iControlMisc::rotateImage(*image, orientation), width, level);
}

long iController::printPDF(const std::filesystem::path& path, long pageNumber, long width, long level) {
    const std::optional<std::vector<uint8_t>> data = readFile(path);
    const std::optional<PixelImage> page = data ? ImageWithPDFDataForPrint(*data, pageNumber) : std::nullopt;
    if (!page) {
        trace(TraceLevel::Error, "[ERROR] [%@] is not found.", path.string());
        return OVL_BITMAPLOAD_ERROR;
    }
    return printBitmapWithImage(*page, width, level);
}

std::optional<PixelImage> iController::ImageWithPDFDataForPrint(std::span<const uint8_t> pdfData, long page) const {
    const std::optional<PdfDocument> document = PdfDocument::fromData(pdfData, nullptr);
    const std::optional<PdfBox> box = document ? document->cropBox(static_cast<int>(page)) : std::nullopt;
    const double boxWidth = box ? std::trunc(box->width) : 0;
    if (boxWidth <= 0 || maxWidth() <= 0) return std::nullopt;
    const auto height = static_cast<long>(box->height * static_cast<double>(maxWidth()) / boxWidth);
    return imageWithPDFData(pdfData, maxWidth(), height, page);
}

std::optional<PixelImage> iController::imageWithPDFData(std::span<const uint8_t> pdfData, long width, long height,
                                                        long page) const {
    const std::optional<PdfDocument> document = PdfDocument::fromData(pdfData, nullptr);
    if (!document) return std::nullopt;
    return document->renderPage(static_cast<int>(page), static_cast<int>(width), static_cast<int>(height), nullptr);
}

bool iController::dataToFileAtName(const std::string& name, const uint8_t* bytes, long size) const {
    // A plain file name: nothing outside the documents directory.
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos || size < 0) return false;
    std::ofstream out(documentsDirectory() / name, std::ios::binary | std::ios::trunc);
    if (size > 0) out.write(reinterpret_cast<const char*>(bytes), size);
    return static_cast<bool>(out);
}

long iController::checkPrinterForImage() {
    if (checkPrinter(0x03) != OVL_SUCCESS) {
        trace(TraceLevel::Error, "[ERROR] check Printer failed.");
        return OVL_WRITE_ERROR;
    }
    if (state() & OVL_STS_COVER_OPEN) {
        trace(TraceLevel::Error, "[ERROR] printer status error. It may cover opened..");
        return OVL_STATUS_ERROR;
    }
    if (state() & OVL_STS_PAPER_EMPTY) {
        trace(TraceLevel::Error, "[ERROR] printer status error. It may paper empty.");
        return OVL_STATUS_ERROR;
    }
    return OVL_SUCCESS;
}

} // namespace tavlo::printerlib
