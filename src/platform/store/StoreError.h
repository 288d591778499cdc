#pragma once

#include "platform/foundation/Error.h"

#include <string>

namespace tavlo {

// Errors of the object store carry this domain and one of these codes.
inline constexpr const char* kObjectStoreErrorDomain = "ObjectStoreErrorDomain";

enum ObjectStoreErrorCode : int {
    kStoreFailed = 1,     // any other SQLite failure (its text is in the description)
    kStoreReadOnly = 2,   // the file cannot be written
    kStoreFull = 3,       // the disk or the store's size limit is full
    kStoreConstraint = 4, // a row broke a constraint of the file
    kStoreConflict = 5,   // merge policy "error": another context changed or deleted the row
    kStoreCannotOpen = 6, // the file cannot be opened or migrated
};

// The store's Error for an SQLite result code and message.
Error storeError(int sqliteCode, const std::string& message);

} // namespace tavlo
