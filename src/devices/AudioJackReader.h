#pragma once

#include <functional>
#include <memory>

namespace tavlo {

// The audio-jack card reader as the card-reader mediator uses it: armed for one swipe at a time.
// The real one is the reader's facade, set up to connect by itself when plugged in and to wait
// 15 seconds for a swipe.
class AudioJackReader {
public:
    using Maker = std::function<std::unique_ptr<AudioJackReader>()>;

    virtual ~AudioJackReader() = default;
    virtual bool isReaderAttached() const = 0;
    virtual void requestSwipe() = 0;
    virtual void cancelSwipe() = 0;

    // The facade, or what an installed maker makes.
    static std::unique_ptr<AudioJackReader> make();
    // Tests install a recording reader; an empty maker goes back to the facade.
    static void setMaker(Maker maker);
};

} // namespace tavlo
