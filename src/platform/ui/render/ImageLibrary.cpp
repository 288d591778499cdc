#include "platform/ui/render/ImageLibrary.h"

#include <cairo.h>

#include <cstdio>
#include <filesystem>

namespace tavlo::ui::render {

ImageLibrary& ImageLibrary::shared() {
    static ImageLibrary* instance = new ImageLibrary(); // never destroyed, like the surfaces it hands out
    return *instance;
}

ImageLibrary::ImageLibrary() : folders_{std::string(TAVLO_RESOURCES_DIR) + "/images", TAVLO_RESOURCES_DIR} {}

void ImageLibrary::setSearchPath(std::vector<std::string> folders) {
    std::lock_guard lock(mutex_);
    folders_ = std::move(folders);
    for (auto& [name, surface] : surfaces_)
        if (surface) cairo_surface_destroy(surface);
    surfaces_.clear();
    reported_.clear();
}

std::string ImageLibrary::pathFor(const std::string& name) const {
    if (name.empty() || name.find("..") != std::string::npos) return {};
    for (const std::string& folder : folders_)
        for (const std::string& file : {name, name + ".png"}) {
            std::string path = folder + "/" + file;
            if (std::filesystem::is_regular_file(path)) return path;
        }
    return {};
}

cairo_surface_t* ImageLibrary::surfaceNamed(const std::string& name) {
    std::lock_guard lock(mutex_);
    if (auto it = surfaces_.find(name); it != surfaces_.end()) return it->second;
    cairo_surface_t* surface = nullptr;
    if (std::string path = pathFor(name); !path.empty()) {
        surface = cairo_image_surface_create_from_png(path.c_str());
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "render: the image %s is not a PNG picture\n", path.c_str());
            cairo_surface_destroy(surface);
            surface = nullptr;
        }
    }
    surfaces_[name] = surface;
    return surface;
}

Size ImageLibrary::naturalSize(const Image& image) {
    if (image.size().width > 0 && image.size().height > 0) return image.size();
    if (image.name().empty()) return image.size();
    cairo_surface_t* surface = surfaceNamed(image.name());
    if (!surface) return {};
    return {static_cast<double>(cairo_image_surface_get_width(surface)),
            static_cast<double>(cairo_image_surface_get_height(surface))};
}

void ImageLibrary::reportMissing(const std::string& name) {
    std::lock_guard lock(mutex_);
    if (!reported_.insert(name).second) return;
    std::fprintf(stderr, "render: no image \"%s\" in the resources; drawn as a placeholder\n", name.c_str());
}

} // namespace tavlo::ui::render
