#pragma once

#include "StoreServer.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TempHome.h"
#include "sync/CommHelper.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace tavlo::test {

// A fresh data directory with the terminal's credentials, configuration values the test sets,
// and a store server on a loopback port.
class StoreServerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        auto& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(std::string("1"), "store_id");
        defaults.setObject(std::string("secret"), "password");
        defaults.setObject(std::string("device-7"), "device_id");
        CommHelper::setConfigurationLookup([this](const std::string& key, ObjectContext*) -> std::optional<std::string> {
            auto it = config.find(key);
            if (it == config.end()) return std::nullopt;
            return it->second;
        });
        server = std::make_unique<storesim::StoreServer>(storesim::StoreServer::Options{"1", "secret", 5});
        server->start();
        CommHelper::setGateway(server->url());
        // Real waits are kept short.
        config["TS_SOCKET_CONNECT_TIMEOUT"] = "1000";
    }

    void TearDown() override {
        server->stop();
        CommHelper::setConfigurationLookup({});
        CommHelper::setGateway(std::nullopt);
    }

    // The exchange hands a context only to the configuration lookup, which answers from `config`.
    static ObjectContext* context() {
        static char anchor;
        return reinterpret_cast<ObjectContext*>(&anchor);
    }

    SessionCredentials session() const { return {"1", "secret", "u5", context()}; }

    TempHome home;
    std::map<std::string, std::string> config;
    std::unique_ptr<storesim::StoreServer> server;
};

} // namespace tavlo::test
