#pragma once

#include "platform/ui/Image.h"

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

namespace tavlo::ui::render {

// The bundle's images by name ("redBtn.png"), read from the resources folders and decoded once.
// A name with no file is drawn as a plain placeholder and logged once. Any thread.
class ImageLibrary {
public:
    static ImageLibrary& shared();

    // The folders a name is looked up in, in order: resources/images and resources by default.
    void setSearchPath(std::vector<std::string> folders);
    const std::vector<std::string>& searchPath() const { return folders_; }

    // The decoded file (owned by the library); null when no folder has it.
    cairo_surface_t* surfaceNamed(const std::string& name);
    // The size an image is drawn at by default: its own, else its file's; empty when unknown.
    Size naturalSize(const Image& image);
    // Says once per name that the image is missing.
    void reportMissing(const std::string& name);

    ImageLibrary(const ImageLibrary&) = delete;
    ImageLibrary& operator=(const ImageLibrary&) = delete;

private:
    ImageLibrary();
    std::string pathFor(const std::string& name) const;

    std::mutex mutex_;
    std::vector<std::string> folders_;
    std::map<std::string, cairo_surface_t*> surfaces_; // null: looked for, not found
    std::set<std::string> reported_;
};

} // namespace tavlo::ui::render
