#pragma once

#include "core/ports/Announcer.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::test {

// Installs, for the life of the scope, an announcer that records each order it is asked to
// print: its remote id and the unsent units of each active line; it can be made to report an
// error.
class RecordingAnnouncer {
public:
    struct Ticket {
        std::optional<std::string> remoteId;
        std::vector<int32_t> newUnits; // per active line
        bool isNew = false;            // the order handed over was a fresh copy
    };

    RecordingAnnouncer();
    ~RecordingAnnouncer();
    RecordingAnnouncer(const RecordingAnnouncer&) = delete;
    RecordingAnnouncer& operator=(const RecordingAnnouncer&) = delete;

    std::vector<Ticket> tickets() const;
    // Every later announcement reports this error (as a ticket that did not print does).
    void failWith(Error error);

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace tavlo::test
