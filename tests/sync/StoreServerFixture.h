#pragma once

#include "StoreServer.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "platform/foundation/UserDefaults.h"
#include "support/LocalStoreScope.h"
#include "sync/exchange/CommHelper.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace tavlo::test {

// A local store in a fresh data directory with the terminal's credentials, and a store server
// for store "1" on a loopback port as the gateway. Real waits are kept to 1 second.
class StoreServerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        auto& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(std::string("1"), "store_id");
        defaults.setObject(std::string("secret"), "password");
        setConfig("TS_SOCKET_CONNECT_TIMEOUT", "1000");
        server = std::make_unique<storesim::StoreServer>(storesim::StoreServer::Options{"1", "secret", 5});
        server->start();
        CommHelper::setGateway(server->url());
    }

    void TearDown() override {
        server->stop();
        CommHelper::setGateway(std::nullopt);
    }

    void setConfig(const std::string& key, const std::optional<std::string>& value) {
        DBHelper::saveStoreParam(key, value, context());
        store.save();
    }

    ObjectContext* context() const { return store.context().get(); }

    // A session of user u5 on the terminal's credentials.
    std::unique_ptr<Session> session() const {
        auto s = std::make_unique<Session>(context());
        s->setUserId("u5");
        return s;
    }

    LocalStoreScope store;
    std::unique_ptr<storesim::StoreServer> server;
};

} // namespace tavlo::test
