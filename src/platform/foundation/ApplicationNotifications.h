#pragma once

#include <string>

namespace tavlo {

// The application's passage to and from the background, posted on the main thread by whatever
// runs the application; drivers that hold a device release it meanwhile.
inline const std::string kApplicationDidEnterBackgroundNotification = "ApplicationDidEnterBackgroundNotification";
inline const std::string kApplicationWillEnterForegroundNotification = "ApplicationWillEnterForegroundNotification";

} // namespace tavlo
