#include "support/LoopbackListener.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/support/OperationTerminalCommand.h"
#include "sync/support/SupportService.h"

#include "platform/store/Predicate.h"
#include "xml/XmlHelper.h"

#include "SupportStoreFixture.h"

#include <functional>
#include <map>

using namespace tavlo;
using namespace tavlo::test;

namespace {

// Sets an environment variable for a scope.
class EnvironmentScope {
public:
    EnvironmentScope(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvironmentScope() {
        if (previous_) setenv(name_, previous_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> previous_;
};

class TerminalCommand : public SupportStoreFixture {
public:
    void SetUp() override {
        SupportStoreFixture::SetUp();
        // The file list walks the home and temporary folders: keep them small and this test's own.
        for (const char* folder : {"user", "tmp"}) std::filesystem::create_directories(home.path() / folder);
        std::ofstream(home.path() / "user" / "notes.txt") << "abc";
        // A running order handler that talks to nothing.
        orderHandler = OrderHandler::getInstance(
            store, "http://127.0.0.1:" + std::to_string(LoopbackListener::closedPort()), 3600, false);
        orderHandler->start();
        // A card host with its open batch 5 holding transaction 11.
        host = context->insert("Host");
        host->setValue("name", "HostA");
        host->setValue("merchantId", "M1");
        host->setValue("lastBatchId", 5);
        host->setValue("lastTransactionId", 11);
        batch = context->insert("Batch");
        batch->setValue("batchId", 5);
        batch->setToOne("host", host);
        ManagedObjectPtr transaction = context->insert("Transaction");
        transaction->setValue("transactionId", 11);
        transaction->setValue("approval", "A1");
        transaction->setValue("subTotal", 1000);
        transaction->setValue("tip", 0);
        transaction->setToOne("batch", batch);
        for (auto [name, value] : {std::pair{"authCode", "X"}, std::pair{"refNum", "R1"}}) {
            ManagedObjectPtr field = context->insert("TransactionField");
            field->setValue("name", name);
            field->setValue("value", value);
            field->setToOne("transaction", transaction);
        }
        DBHelper::saveStoreParam("IPHONE_LAST_UPDATE_MENU", std::string("1714550000000"), context.get());
        DBHelper::saveStoreParam("IPHONE_LAST_UPDATE_STORE", std::string("1714550000001"), context.get());
    }
    void TearDown() override { OrderHandler::releaseInstance(); }

    std::shared_ptr<OperationTerminalCommand> run(const std::string& command) {
        addTerminal(command);
        auto operation = std::make_shared<OperationTerminalCommand>(storeURL, store);
        operation->start();
        return operation;
    }

    static ManagedObjectPtr storedTransaction(ObjectContext& in, int id) {
        return in.fetchFirst("Transaction", "transactionId == %d", id);
    }
    static std::map<std::string, std::string> fieldsOf(const ManagedObjectPtr& transaction) {
        std::map<std::string, std::string> fields;
        for (const auto& field : transaction->toMany("transactionFields"))
            fields[field->text("name").value_or("")] = field->text("value").value_or("");
        return fields;
    }

    std::shared_ptr<OrderHandler> orderHandler;
    ManagedObjectPtr host, batch;
    EnvironmentScope homeFolder{"HOME", (home.path() / "user").string()};
    EnvironmentScope temporaryFolder{"TMPDIR", (home.path() / "tmp").string()};
};

struct CommandCase {
    const char* label;
    std::string command;
    bool succeeds;
    std::function<void(TerminalCommand&)> prepare;
    std::function<void(TerminalCommand&, ObjectContext&)> check;
    std::vector<std::string> mailsBefore; // subjects of the mails the command itself sends
};

const std::string settleParam(const char* settle) {
    return std::string("<settle><host><name>HostA</name><merchantId>M1</merchantId>") +
           (settle ? std::string("<settle>") + settle + "</settle>" : "") + "</host></settle>";
}

std::vector<CommandCase> commandCases() {
    auto storeValues = [](ObjectContext& in) {
        return std::pair{DBHelper::getStoreValue("IPHONE_LAST_UPDATE_MENU", &in),
                         DBHelper::getStoreValue("IPHONE_LAST_UPDATE_STORE", &in)};
    };
    using Zeroes = std::pair<std::optional<std::string>, std::optional<std::string>>;
    const Zeroes zeroes{"0", "0"}, untouched{"1714550000000", "1714550000001"};
    return {
        {"deleteStore",
         "deleteStore",
         true,
         nullptr,
         [=](TerminalCommand& t, ObjectContext& in) {
             EXPECT_EQ(storeValues(in), zeroes);
             EXPECT_FALSE(t.orderHandler->reloadRequested());
         },
         {}},
        {"deleteStore with a trailing space",
         "deleteStore ",
         true,
         nullptr,
         [=](TerminalCommand&, ObjectContext& in) { EXPECT_EQ(storeValues(in), zeroes); },
         {}},
        {"deleteOrders",
         "deleteOrders",
         true,
         nullptr,
         [=](TerminalCommand& t, ObjectContext& in) {
             EXPECT_TRUE(t.orderHandler->reloadRequested());
             EXPECT_EQ(storeValues(in), untouched);
         },
         {}},
        {"deleteOrders with the order handler paused",
         "deleteOrders",
         false,
         [](TerminalCommand& t) { t.orderHandler->pause(); },
         [](TerminalCommand& t, ObjectContext&) {
             EXPECT_FALSE(t.orderHandler->reloadRequested());
             EXPECT_NE(t.logText().find("Command reloadOrders failed, cannot connect to OrderHandler"),
                       std::string::npos);
         },
         {}},
        {"deleteOrdersAndStore",
         "deleteOrdersAndStore",
         true,
         nullptr,
         [=](TerminalCommand& t, ObjectContext& in) {
             EXPECT_TRUE(t.orderHandler->reloadRequested());
             EXPECT_EQ(storeValues(in), zeroes);
         },
         {}},
        {"updatePayment",
         "updatePayment <cmd><host>HostA</host><merchantId>M1</merchantId><batchId>5</batchId>"
         "<transactions>\n  <transaction id=\"11\"><tip>200</tip><fields>"
         "<field name=\"refNum\" value=\"\"/><field name=\"authCode\" value=\"Y\"/>"
         "<field name=\"newField\" value=\"N\"/></fields></transaction>\n"
         "  <transaction id=\"12\"><subTotal>550</subTotal></transaction>\n</transactions></cmd>",
         true,
         nullptr,
         [](TerminalCommand& t, ObjectContext& in) {
             ManagedObjectPtr adjusted = TerminalCommand::storedTransaction(in, 11);
             EXPECT_EQ(adjusted->int32("tip"), 200);
             EXPECT_EQ(adjusted->int32("subTotal"), 1000); // kept from the stored row
             EXPECT_EQ(adjusted->text("approval"), "A1");
             EXPECT_EQ(t.fieldsOf(adjusted),
                       (std::map<std::string, std::string>{{"authCode", "Y"}, {"newField", "N"}}));
             EXPECT_EQ(in.count("TransactionField", "name == %@", "refNum"), 0u); // the row is gone, not orphaned
             // Not stored yet: made in the named batch.
             ManagedObjectPtr created = TerminalCommand::storedTransaction(in, 12);
             ASSERT_TRUE(created);
             EXPECT_EQ(created->int32("subTotal"), 550);
             EXPECT_EQ(created->toOne("batch")->int32("batchId"), 5);
             std::vector<SupportServiceFake::Mail> mails = t.service.mails();
             EXPECT_EQ(mails[0].body.rfind("Transaction before adjusting: <?xml", 0), 0u) << mails[0].body;
             EXPECT_NE(mails[0].body.find("<transaction id=\"11\"><number/><approval>A1</approval>"),
                       std::string::npos);
             EXPECT_EQ(mails[1].body, "Transaction was created, did not exist: 12");
         },
         {"Terminal Command: updatePayment (store:12)", "Terminal Command: updatePayment (store:12)"}},
        {"updatePayment with a parameter that is not XML",
         "updatePayment <cmd><transaction id=\"11\">",
         false,
         nullptr,
         [](TerminalCommand&, ObjectContext& in) {
             EXPECT_EQ(TerminalCommand::storedTransaction(in, 11)->int32("tip"), 0);
         },
         {}},
        {"removePayment",
         "removePayment <cmd><host><name>HostA</name><merchantId>M1</merchantId><batchId>5</batchId>"
         "</host><transaction id=\"11\"/></cmd>",
         true,
         nullptr,
         [](TerminalCommand& t, ObjectContext& in) {
             EXPECT_TRUE(TerminalCommand::storedTransaction(in, 11)->date("voided").has_value());
             std::string body = t.service.mails()[0].body;
             EXPECT_EQ(body.rfind("Transaction before voiding: <?xml", 0), 0u) << body;
             EXPECT_NE(body.find("<transaction id=\"11\">"), std::string::npos) << body;
         },
         {"Terminal Command: voidTransaction (store:12)"}},
        {"removePayment of an unknown transaction",
         "removePayment <cmd><host><name>HostA</name><merchantId>M1</merchantId>"
         "<batchId>5</batchId></host><transaction id=\"99\"/></cmd>",
         false,
         nullptr,
         [](TerminalCommand& t, ObjectContext& in) {
             EXPECT_FALSE(TerminalCommand::storedTransaction(in, 11)->date("voided").has_value());
             EXPECT_EQ(t.service.mails()[0].body, "Transaction before voiding: (null)");
         },
         {"Terminal Command: voidTransaction (store:12)"}},
        {"settleBatch",
         "settleBatch " + settleParam("true"),
         true,
         nullptr,
         [](TerminalCommand& t, ObjectContext& in) {
             EXPECT_TRUE(in.fetchFirst("Batch", "batchId == %d", 5)->date("settled").has_value());
             EXPECT_EQ(t.service.mails()[0].body, "Settled HostA batch: 5");
         },
         {"Terminal Command: settleBatch (store:12)"}},
        {"settleBatch undone",
         "settleBatch " + settleParam("false"),
         true,
         [](TerminalCommand& t) {
             t.batch->setValue("settled", Date(1'714'550'000));
             t.save();
         },
         [](TerminalCommand& t, ObjectContext& in) {
             EXPECT_FALSE(in.fetchFirst("Batch", "batchId == %d", 5)->date("settled").has_value());
             EXPECT_EQ(t.service.mails()[0].body, "Unsettled HostA batch: 5");
         },
         {"Terminal Command: settleBatch (store:12)"}},
        {"settleBatch without a parameter",
         "settleBatch",
         false,
         nullptr,
         [](TerminalCommand& t, ObjectContext&) {
             EXPECT_NE(t.logText().find("Command parameter formatted incorrectly, need host name and merchant id"),
                       std::string::npos);
         },
         {}},
        {"settleBatch without a settle flag",
         "settleBatch " + settleParam(nullptr),
         false,
         nullptr,
         [](TerminalCommand& t, ObjectContext&) {
             EXPECT_NE(t.logText().find("No settle flag specified for settleBatch command"), std::string::npos);
         },
         {}},
        {"incrementBatch by minus two",
         "incrementBatch <i><host><name>HostA</name><merchantId>M1</merchantId>"
         "<offset>-2</offset></host></i>",
         true,
         nullptr,
         [](TerminalCommand&, ObjectContext& in) {
             EXPECT_EQ(in.fetchFirst("Host", "name == %@", "HostA")->int32("lastBatchId"), 3);
         },
         {}},
        {"incrementBatch without an offset",
         "incrementBatch <i><host><name>HostA</name><merchantId>M1</merchantId></host></i>",
         true,
         nullptr,
         [](TerminalCommand&, ObjectContext& in) {
             EXPECT_EQ(in.fetchFirst("Host", "name == %@", "HostA")->int32("lastBatchId"), 6);
         },
         {}},
        {"incrementTransaction",
         "incrementTransaction <i><host><name>HostA</name><merchantId>M1</merchantId>"
         "<offset>10</offset></host></i>",
         true,
         nullptr,
         [](TerminalCommand&, ObjectContext& in) {
             ManagedObjectPtr stored = in.fetchFirst("Host", "name == %@", "HostA");
             EXPECT_EQ(stored->int32("lastTransactionId"), 21);
             EXPECT_EQ(stored->int32("lastBatchId"), 5);
         },
         {}},
        {"incrementBatch of an unknown host",
         "incrementBatch <i><host><name>HostB</name><merchantId>M1</merchantId></host></i>",
         false,
         nullptr,
         [](TerminalCommand&, ObjectContext& in) {
             EXPECT_EQ(in.fetchFirst("Host", "name == %@", "HostA")->int32("lastBatchId"), 5);
         },
         {}},
        {"emailPayments",
         "emailPayments",
         true,
         nullptr,
         [](TerminalCommand& t, ObjectContext&) {
             std::string body = t.service.mails()[0].body;
             EXPECT_NE(body.find("<batch><host>HostA</host><merchantId>M1</merchantId><batchId>5</batchId>"),
                       std::string::npos)
                 << body;
             EXPECT_NE(body.find("<transaction id=\"11\">"), std::string::npos) << body;
         },
         {"Terminal Command: emailPaymentFiles (store:12)"}},
        {"emailPaymentFiles",
         "emailPaymentFiles",
         true,
         nullptr,
         nullptr,
         {"Terminal Command: emailPaymentFiles (store:12)"}},
        {"emailFileList",
         "emailFileList",
         true,
         nullptr,
         [](TerminalCommand& t, ObjectContext&) {
             std::string body = t.service.mails()[0].body;
             EXPECT_EQ(body.rfind("File List:\n\nDocs directory: " + t.home.path().string() + "\nFile List:\n", 0), 0u)
                 << body;
             EXPECT_NE(body.find("\nTavloMobile.sqlite (size: "), std::string::npos);
             EXPECT_NE(body.find("\ncertificate/cert.pem (size: "), std::string::npos);
             EXPECT_NE(body.find("\nTemp directory: " + (t.home.path() / "tmp").string() + "\nFile List:\n\n"),
                       std::string::npos);
             EXPECT_TRUE(body.ends_with("\nHome directory: " + (t.home.path() / "user").string() +
                                        "\nFile List:\nnotes.txt (size: 3)\n"))
                 << body;
         },
         {"Terminal Command: emailFileList (store:12)"}},
        {"emailDB",
         "emailDB",
         true,
         nullptr,
         [](TerminalCommand& t, ObjectContext&) {
             ASSERT_EQ(t.service.uploads().size(), 1u);
             EXPECT_EQ(t.service.uploads()[0].fileName(), "12_3.sqlite");
             EXPECT_EQ(t.service.uploads()[0].fileBytes().rfind("SQLite format 3", 0), 0u);
         },
         {}},
        {"a name that only begins with a command",
         "emailDBNow",
         true,
         nullptr,
         [](TerminalCommand& t, ObjectContext&) { EXPECT_EQ(t.service.uploads().size(), 1u); },
         {}},
        {"an unsupported command",
         "rebootNow please",
         false,
         nullptr,
         [=](TerminalCommand& t, ObjectContext& in) {
             EXPECT_NE(t.logText().find("Command not supported rebootNow"), std::string::npos);
             EXPECT_EQ(storeValues(in), untouched);
         },
         {}},
    };
}

void PrintTo(const CommandCase& c, std::ostream* out) { *out << c.label; }

class CommandTable : public TerminalCommand, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandTable, ChangesTheStoreThenIsClearedReportedAndMailed) {
    const CommandCase& c = GetParam();
    if (c.prepare) c.prepare(*this);
    run(c.command);

    auto in = stored();
    ManagedObjectPtr terminal = storedTerminal(*in);
    EXPECT_TRUE(terminal->isNil("command"));
    if (c.check) c.check(*this, *in);

    // The server hears that the command was processed.
    std::vector<std::string> received = receivedReports();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_NE(received[0].find("processedTerminalCommand"), std::string::npos) << received[0];
    EXPECT_NE(received[0].find("<terminalId>3</terminalId>"), std::string::npos) << received[0];

    // The command's own mails, then the result.
    std::string name = OperationTerminalCommand::splitCommand(c.command).first;
    std::vector<SupportServiceFake::Mail> mails = service.mails();
    ASSERT_EQ(mails.size(), c.mailsBefore.size() + 1);
    for (size_t i = 0; i < c.mailsBefore.size(); ++i) EXPECT_EQ(mails[i].subject, c.mailsBefore[i]);
    EXPECT_EQ(mails.back().subject, "Terminal Command: " + name + " (store:12)");
    EXPECT_EQ(mails.back().body,
              (c.succeeds ? "Succesfully processed terminal command " : "Failed processing terminal command ") + name);
    EXPECT_EQ(mails.back().to, SupportService::kSupportMailbox);
}

INSTANTIATE_TEST_SUITE_P(Commands, CommandTable, ::testing::ValuesIn(commandCases()),
                         [](const ::testing::TestParamInfo<CommandCase>& instance) {
                             std::string name;
                             for (char ch : std::string(instance.param.label))
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

TEST(TerminalCommandText, NameAndParameterAreSplitAtTheFirstSpaceBeforeText) {
    using Split = std::pair<std::string, std::optional<std::string>>;
    EXPECT_EQ(OperationTerminalCommand::splitCommand("emailDB"), (Split{"emailDB", std::nullopt}));
    EXPECT_EQ(OperationTerminalCommand::splitCommand("deleteStore "), (Split{"deleteStore ", std::nullopt}));
    EXPECT_EQ(OperationTerminalCommand::splitCommand("settleBatch <a> <b/></a>"),
              (Split{"settleBatch", "<a> <b/></a>"}));
    EXPECT_EQ(OperationTerminalCommand::splitCommand("x  y"), (Split{"x", " y"}));
}

TEST_F(TerminalCommand, WithoutACommandNothingIsSent) {
    // No terminal row for this device, then an empty command.
    std::make_shared<OperationTerminalCommand>(storeURL, store)->start();
    run("");
    EXPECT_TRUE(receivedReports().empty());
    EXPECT_TRUE(service.mails().empty());
}

TEST_F(TerminalCommand, AReportTheServerDoesNotTakeIsLoggedAndTheCommandStaysCleared) {
    reply = "<reply><error>unknown terminal</error></reply>";
    run("deleteStore");
    EXPECT_TRUE(storedTerminal(*stored())->isNil("command"));
    EXPECT_NE(logText().find("Unable to tell the server that command deleteStore was processed"), std::string::npos);
    ASSERT_EQ(service.mails().size(), 1u);
    EXPECT_EQ(service.mails()[0].body, "Succesfully processed terminal command deleteStore");
}

TEST_F(TerminalCommand, ACommandWhoseChangesCannotBeSavedIsReportedAsFailed) {
    addTerminal("updatePayment <cmd><host>HostA</host><merchantId>M1</merchantId><batchId>5</batchId>"
                "<transaction id=\"11\"><fields><field name=\"note\" value=\"" +
                std::string(200'000, 'n') + "\"/></fields></transaction></cmd>");
    // The operation's store may not grow: the new field does not fit.
    Error error;
    ObjectStore::Options full;
    full.maxFileBytes = 64 * 1024;
    std::shared_ptr<ObjectStore> limited =
        ObjectStore::open(LocalStoreModel::build(), DBHelper::storePath(), &error, full);
    ASSERT_TRUE(limited) << error.localizedDescription();
    std::make_shared<OperationTerminalCommand>(storeURL, limited)->start();

    EXPECT_NE(logText().find("Unable to save process terminal command updatePayment"), std::string::npos);
    EXPECT_EQ(receivedReports().size(), 1u);
    ASSERT_FALSE(service.mails().empty());
    EXPECT_EQ(service.mails().back().body, "Failed processing terminal command updatePayment");
    EXPECT_EQ(TerminalCommand::storedTransaction(*stored(), 11)->toMany("transactionFields").size(), 2u);
}

TEST_F(TerminalCommand, TheOrderHandlerStatusListsEveryRowNotYetSent) {
    struct Row {
        const char* type;
        const char* remoteId;
        double created;
        bool sent;
    };
    for (const Row& row :
         {Row{"order", "R3", 300, false}, Row{"noSale", "R1", 100, false}, Row{"cashInOut", "R2", 200, false},
          Row{"order", "R0", 50, true}, Row{"customer", "R4", 400, false}}) {
        ManagedObjectPtr queued = context->insert("OrderQueue");
        queued->setValue("type", row.type);
        queued->setValue("remoteId", row.remoteId);
        queued->setValue("request", format("<%s/>", row.type));
        queued->setValue("created", Date(1'714'550'000 + row.created));
        if (row.sent) queued->setValue("sentDate", Date(1'714'560'000));
    }
    save();
    run("emailOrderHandlerStatus");
    ASSERT_EQ(service.mails().size(), 2u);
    EXPECT_EQ(service.mails()[0].subject, "Terminal Command: emailOrderHandlerStatus (store:12)");
    EXPECT_EQ(service.mails()[0].body, "OrderHandler: 4 pending\n\n"
                                       "Remote ID: R1\n<noSale/>\n\n"
                                       "Remote ID: R2\n<cashInOut/>\n\n"
                                       "Remote ID: R3\n<order/>\n\n"
                                       "Remote ID: R4\n<customer/>\n\n");
}

TEST_F(TerminalCommand, AFailedStatusMailIsKeptAsTheOperationsError) {
    service.setMailStatus(500);
    auto operation = run("emailPayments");
    ASSERT_TRUE(operation->error().has_value());
    EXPECT_TRUE(storedTerminal(*stored())->isNil("command"));
}

TEST_F(TerminalCommand, TheFileListNamesEveryEntryWithItsSize) {
    std::filesystem::create_directories(home.path() / "sub");
    std::ofstream(home.path() / "sub" / "five.txt") << "12345";
    Error error;
    std::string listing = OperationTerminalCommand::directoryListing(home.path() / "sub", &error);
    EXPECT_EQ(listing, "File List:\nfive.txt (size: 5)\n");
    EXPECT_FALSE(error.isSet());
    OperationTerminalCommand::directoryListing(home.path() / "missing", &error);
    EXPECT_TRUE(error.isSet());
}

} // namespace
