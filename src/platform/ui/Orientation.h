#pragma once

#include <cstdint>

namespace tavlo::ui {

enum class DeviceIdiom { Phone = 0, Tablet = 1 };

// How the device is held; the numbers are those the screens compare with.
enum class DeviceOrientation {
    Unknown = 0,
    Portrait = 1,
    PortraitUpsideDown = 2,
    LandscapeLeft = 3,
    LandscapeRight = 4,
    FaceUp = 5,
    FaceDown = 6
};

// Which way the interface is drawn. Turning the device left turns the interface right, so the
// numbers match the device's.
enum class InterfaceOrientation { Portrait = 1, PortraitUpsideDown = 2, LandscapeRight = 3, LandscapeLeft = 4 };

// Sets of interface orientations, one bit per orientation (mask 24 is both landscapes).
namespace OrientationMask {
constexpr uint32_t of(InterfaceOrientation o) { return 1u << static_cast<uint32_t>(o); }
constexpr uint32_t Portrait = of(InterfaceOrientation::Portrait);
constexpr uint32_t PortraitUpsideDown = of(InterfaceOrientation::PortraitUpsideDown);
constexpr uint32_t LandscapeLeft = of(InterfaceOrientation::LandscapeLeft);
constexpr uint32_t LandscapeRight = of(InterfaceOrientation::LandscapeRight);
constexpr uint32_t Landscape = LandscapeLeft | LandscapeRight;
constexpr uint32_t All = Portrait | PortraitUpsideDown | Landscape;
constexpr uint32_t AllButUpsideDown = Portrait | Landscape;
} // namespace OrientationMask

constexpr bool isLandscape(InterfaceOrientation o) {
    return o == InterfaceOrientation::LandscapeLeft || o == InterfaceOrientation::LandscapeRight;
}
constexpr bool isPortrait(DeviceOrientation o) {
    return o == DeviceOrientation::Portrait || o == DeviceOrientation::PortraitUpsideDown;
}
constexpr bool isLandscape(DeviceOrientation o) {
    return o == DeviceOrientation::LandscapeLeft || o == DeviceOrientation::LandscapeRight;
}

} // namespace tavlo::ui
