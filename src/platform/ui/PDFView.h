#pragma once

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/View.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::ui {

// A view that draws one page of a PDF document, given by a resource name, a file or the
// document's bytes (the file first when both are set). Its class operations measure pages and
// draw a page into any graphics context. Pages count from 1.
class PDFView : public View {
public:
    using View::View;

    long page() const { return page_; }
    void setPage(long page) { page_ = page; }
    const std::optional<std::string>& resourceName() const { return resourceName_; }
    // Also points resourceURL at the resource's file.
    void setResourceName(std::optional<std::string> name);
    const std::optional<std::filesystem::path>& resourceURL() const { return resourceURL_; }
    void setResourceURL(std::optional<std::filesystem::path> url);
    const std::optional<std::vector<uint8_t>>& resourceData() const { return resourceData_; }
    void setResourceData(std::optional<std::vector<uint8_t>> data);

    // The renderer has filled the background colour already; this draws the page over it.
    void draw(GraphicsContext& context, const Rect& dirty) override;

    // The file of a resource (name with its extension) in the resources folder; nothing when the
    // name or the file is missing.
    static std::optional<std::filesystem::path> resourceURLForName(const std::optional<std::string>& name);
    // Page 1's crop box of the resource's document; the zero rectangle without one.
    static Rect mediaRect(const std::optional<std::string>& name);
    static Rect mediaRectForURL(const std::optional<std::filesystem::path>& url);
    // The page's crop box; nothing (the null rectangle) without a document or such a page.
    static std::optional<Rect> mediaRectForURL(const std::optional<std::filesystem::path>& url, long page);
    static std::optional<Rect> mediaRectForData(const std::optional<std::vector<uint8_t>>& data, long page);
    // The document's page count; 1 without a file.
    static long pageCountForURL(const std::optional<std::filesystem::path>& url);
    // Draws the page's crop box stretched over (0, 0, size) of the context, from the file or
    // else the bytes; nothing without either or when the page cannot be drawn.
    static void renderIntoContext(GraphicsContext& context, const std::optional<std::filesystem::path>& url,
                                  const std::optional<std::vector<uint8_t>>& data, Size size, long page);

private:
    long page_ = 1;
    std::optional<std::string> resourceName_;
    std::optional<std::filesystem::path> resourceURL_;
    std::optional<std::vector<uint8_t>> resourceData_;
};

} // namespace tavlo::ui
