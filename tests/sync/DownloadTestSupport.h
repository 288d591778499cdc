#pragma once

#include "platform/store/ObjectStore.h"
#include "support/LocalStoreScope.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace tavlo::test {

// A copy of the scope's store file, opened apart with no room to grow: a save that needs a new
// page fails as a full disk.
inline std::shared_ptr<ObjectStore> fullCopy(const LocalStoreScope& store) {
    const std::filesystem::path file = store.context()->store()->path();
    const std::filesystem::path copy = store.home().path() / "full.sqlite";
    std::filesystem::copy_file(file, copy);
    for (const char* suffix : {"-wal", "-shm"}) {
        std::filesystem::path side = file.string() + suffix;
        if (std::filesystem::exists(side)) std::filesystem::copy_file(side, copy.string() + suffix);
    }
    Error error;
    auto full = ObjectStore::open(store.context()->store()->model(), copy, &error,
                                  ObjectStoreOptions{static_cast<int64_t>(std::filesystem::file_size(copy))});
    EXPECT_TRUE(full) << error.localizedDescription();
    return full;
}

// A reply of `count` elements so named with a long text each: more than the free room of a small
// store's pages.
inline std::string bulkyReply(const std::string& element, const std::string& idAttribute, const std::string& textElement,
                              int count) {
    std::string reply = "<tavloReply>";
    for (int i = 0; i < count; ++i)
        reply += "<" + element + " " + idAttribute + "=\"F" + std::to_string(i) + "\"><" + textElement + ">" +
                 std::string(400, 'x') + "</" + textElement + "></" + element + ">";
    return reply + "</tavloReply>";
}

} // namespace tavlo::test
