#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tavlo {

class Model;

// The store file checked before the terminal opens it: SQLite's quick check of its pages, then a
// write. A store that fails either would take orders it cannot keep, so it is set aside beside
// itself ("<name>.broken-<date and time>", with its write-ahead log; never deleted), a fresh
// store is started in its place, and the rows of the outgoing queue not yet sent that SQLite can
// still read in the broken file are put into the fresh one. The fresh store has no store data:
// the start-up loads it again from the store server.
class StoreCheck {
public:
    struct Result {
        bool healthy = true;
        std::string problem;                           // what SQLite said of the file
        std::optional<std::filesystem::path> setAside; // where the broken file now is
        std::string setAsideFailure;                   // why it could not be set aside
        int ordersTakenBack = 0;                       // unsent queue rows in the fresh store
        std::string takeBackFailure;                   // why none could be read, when so
    };

    // Nothing is done to a file that passes, or to a missing one (a first start).
    static Result run(const std::filesystem::path& path, const Model& model);
    // What the person at the terminal reads of a store that failed.
    static std::string message(const Result& result);
};

} // namespace tavlo
