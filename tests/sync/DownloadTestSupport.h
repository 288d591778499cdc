#pragma once

#include "StoreServer.h"
#include "platform/store/ObjectStore.h"
#include "support/LocalStoreScope.h"
#include "sync/exchange/CommHelper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
inline std::string bulkyReply(const std::string& element, const std::string& idAttribute,
                              const std::string& textElement, int count) {
    std::string reply = "<tavloReply>";
    for (int i = 0; i < count; ++i)
        reply += "<" + element + " " + idAttribute + "=\"F" + std::to_string(i) + "\"><" + textElement + ">" +
                 std::string(400, 'x') + "</" + textElement + "></" + element + ">";
    return reply + "</tavloReply>";
}

// A way a download's exchange fails, and the error it must leave.
struct FailedReply {
    const char* name;
    storesim::Fault fault;
    std::optional<std::string> reply; // answered in place of a fault
    std::optional<int> code;          // of the store server's domain; nil: the transport's own error
    std::string text;                 // the start of the error's text
};

inline const std::vector<FailedReply>& failedReplies() {
    using storesim::Fault;
    static const std::vector<FailedReply> all = {
        {"no server", Fault::RefuseConnection, {}, std::nullopt, ""},
        {"an error page", Fault::ServerErrorPage, {}, CommHelper::NoResponse, ""},
        {"an error reply", Fault::ErrorElement, {}, CommHelper::Refused, "Refused for the test"},
        {"an empty reply", Fault::None, "  \n", CommHelper::NoResponse, "No data received from "},
        {"a cut reply", Fault::None, "<tavloReply><customer id=\"K1\">", CommHelper::NoResponse,
         "Unable to read the reply to "},
    };
    return all;
}

// Makes the server fail requests of the kind that way (and only that way).
inline void serveFailure(storesim::StoreServer& server, const std::string& kind, const FailedReply& failure) {
    server.clearFaults();
    server.setCannedReply(kind, failure.reply);
    if (failure.fault != storesim::Fault::None)
        server.setFault(kind, failure.fault, 0, std::string("Refused for the test"));
}

inline void expectFailure(const std::optional<Error>& error, const FailedReply& failure) {
    ASSERT_TRUE(error);
    if (failure.code) {
        EXPECT_EQ(error->domain(), CommHelper::kStoreServerErrorDomain);
        EXPECT_EQ(error->code(), *failure.code);
    } else {
        EXPECT_NE(error->domain(), CommHelper::kStoreServerErrorDomain);
    }
    EXPECT_EQ(error->localizedDescription().substr(0, failure.text.size()), failure.text);
}

} // namespace tavlo::test
