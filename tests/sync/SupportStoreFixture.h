#pragma once

#include "core/session/DBHelper.h"
#include "core/session/LocalStoreModel.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/store/ObjectContext.h"
#include "platform/store/ObjectStore.h"
#include "support/LoopbackHttpServer.h"
#include "support/TempHome.h"

#include "support/SupportServiceFake.h"

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace tavlo::test {

// A terminal's data directory with its store file and credentials, the support service and a
// store server on loopback ports.
class SupportStoreFixture : public ::testing::Test {
public:
    static constexpr const char* kDeviceId = "device-1";

    void SetUp() override {
        auto& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(std::string("12"), "store_id");
        defaults.setObject(std::string("pw"), "password");
        defaults.setObject(std::string(kDeviceId), "device_id");
        Error error;
        store = ObjectStore::open(LocalStoreModel::build(), DBHelper::storePath(), &error);
        ASSERT_TRUE(store) << error.localizedDescription();
        context = std::make_unique<ObjectContext>(store);
        storeServer->Post("/pos", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex);
            reports.push_back(req.body);
            res.set_content(reply, "text/xml");
        });
        storeURL = storeServer.start() + "/pos";
    }

    // This device's Terminal row (found through its TS_UID parameter), saved.
    ManagedObjectPtr addTerminal(const std::optional<std::string>& command) {
        ManagedObjectPtr terminal = context->insert("Terminal");
        terminal->setValue("terminalId", "3");
        terminal->setValue("name", "Bar");
        terminal->setValue("command", command);
        ManagedObjectPtr param = context->insert("TerminalParam");
        param->setValue("name", "TS_UID");
        param->setValue("value", kDeviceId);
        param->setToOne("terminal", terminal);
        save();
        return terminal;
    }

    void save() {
        Error error;
        ASSERT_TRUE(context->save(&error)) << error.localizedDescription();
    }

    // What is stored now, seen from a new context.
    std::unique_ptr<ObjectContext> stored() const { return std::make_unique<ObjectContext>(store); }
    ManagedObjectPtr storedTerminal(ObjectContext& in) const {
        return DBHelper::getTerminal(std::string(kDeviceId), &in);
    }

    static std::string logText() {
        std::ifstream in(TavloLog::logFilePath());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::vector<std::string> receivedReports() {
        std::lock_guard lock(mutex);
        return reports;
    }

    TempHome home;
    SupportServiceFake service{home.path() / "certificate"};
    std::shared_ptr<ObjectStore> store;
    std::unique_ptr<ObjectContext> context;
    LoopbackHttpServer storeServer;
    std::string storeURL;
    std::mutex mutex;
    std::vector<std::string> reports;
    std::string reply = "<reply>success</reply>";
};

} // namespace tavlo::test
