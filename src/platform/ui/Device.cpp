#include "platform/ui/Device.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"

namespace tavlo::ui {

Device::Device(DeviceIdiom idiom)
    : idiom_(idiom),
      orientation_(idiom == DeviceIdiom::Tablet ? DeviceOrientation::LandscapeLeft : DeviceOrientation::Portrait) {}

void Device::setOrientation(DeviceOrientation orientation) {
    if (orientation == orientation_) return;
    orientation_ = orientation;
    NotificationCenter::defaultCenter().post(kOrientationDidChangeNotification, {}, {}, this);
}

bool Device::systemVersionAtLeast(std::string_view version) const {
    auto mine = split(systemVersion_, "."), theirs = split(version, ".");
    for (size_t i = 0; i < std::max(mine.size(), theirs.size()); ++i) {
        int a = i < mine.size() ? intValue(mine[i]) : 0;
        int b = i < theirs.size() ? intValue(theirs[i]) : 0;
        if (a != b) return a > b;
    }
    return true;
}

Size Device::screenSize() const { return idiom_ == DeviceIdiom::Tablet ? Size{768, 1024} : Size{320, 480}; }

Rect Device::screenBounds(InterfaceOrientation orientation) const {
    Size s = screenSize();
    if (isLandscape(orientation)) std::swap(s.width, s.height);
    return {{0, 0}, s};
}

} // namespace tavlo::ui
