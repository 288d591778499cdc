#pragma once

// Writes small PDF documents for tests with cairo's PDF surface. A test program that includes
// this links cairo (tests/CMakeLists.txt).

#include <cairo-pdf.h>
#include <cairo.h>

#include <filesystem>
#include <vector>

namespace tavlo::test {

// A rectangle of a page in points, from its top-left corner.
struct PdfArea {
    double x, y, width, height;
};

// `pages` pages of width x height points, each white with the black areas painted on it.
inline void writePdf(const std::filesystem::path& path, double width, double height, const std::vector<PdfArea>& black,
                     int pages = 1) {
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), width, height);
    cairo_t* cr = cairo_create(surface);
    for (int page = 0; page < pages; ++page) {
        cairo_set_source_rgb(cr, 0, 0, 0);
        for (const PdfArea& area : black) cairo_rectangle(cr, area.x, area.y, area.width, area.height);
        cairo_fill(cr);
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
}

} // namespace tavlo::test
