#pragma once

#include "platform/ui/Geometry.h"
#include "platform/ui/Orientation.h"

#include <string>
#include <string_view>

namespace tavlo::ui {

// The device the terminal runs on: phone or tablet, how it is held, its system version and screen.
class Device {
public:
    // Posted (sender: the device) each time the orientation changes.
    static constexpr const char* kOrientationDidChangeNotification = "DeviceOrientationDidChangeNotification";

    explicit Device(DeviceIdiom idiom);

    DeviceIdiom idiom() const { return idiom_; }
    bool isTablet() const { return idiom_ == DeviceIdiom::Tablet; }
    DeviceOrientation orientation() const { return orientation_; }
    void setOrientation(DeviceOrientation orientation);

    const std::string& systemVersion() const { return systemVersion_; }
    void setSystemVersion(std::string version) { systemVersion_ = std::move(version); }
    // Compares dotted versions number by number ("6.0" <= "6.1.2" <= "10.0").
    bool systemVersionAtLeast(std::string_view version) const;

    // The screen held upright; interface bounds swap the sides in landscape.
    Size screenSize() const;
    Rect screenBounds(InterfaceOrientation orientation) const;
    double screenScale() const { return scale_; }
    void setScreenScale(double scale) { scale_ = scale; }

private:
    DeviceIdiom idiom_;
    DeviceOrientation orientation_;
    std::string systemVersion_ = "7.0";
    double scale_ = 2;
};

} // namespace tavlo::ui
