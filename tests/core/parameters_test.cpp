#include "core/order/Tender.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Rights.h"
#include "platform/foundation/Text.h"
#include "support/LocalStoreScope.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace tavlo {
namespace {

using test::LocalStoreScope;

bool isStoredName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

TEST(ParameterTable, EveryParameterHasOneRowUnderAStoredNameOfItsOwn) {
    std::set<std::string_view> names;
    for (const ParameterInfo& row : Parameters::all()) {
        EXPECT_EQ(&Parameters::info(row.parameter), &row) << row.name;
        EXPECT_TRUE(isStoredName(row.name)) << row.name;
        EXPECT_TRUE(names.insert(row.name).second) << row.name << " twice";
        EXPECT_EQ(Parameters::find(row.name), row.parameter) << row.name;
        EXPECT_FALSE(row.meaning.empty()) << row.name;
        if (!row.fallback.empty() && row.type == ParameterType::Number) {
            EXPECT_NE(intValue(row.fallback), 0) << row.name << " default reads as no number";
        }
    }
    EXPECT_EQ(Parameters::find("HH_NO_SUCH_PARAMETER"), std::nullopt);
    EXPECT_EQ(Parameters::name(Parameter::LogXml), "HH_LOG_XML");
}

TEST(ParameterTable, EveryRightHasOneRowAndTheTendersNamesAreInTheTables) {
    std::set<std::string_view> names;
    for (const RightInfo& row : Rights::all()) {
        EXPECT_TRUE(isStoredName(row.name)) << row.name;
        EXPECT_TRUE(names.insert(row.name).second) << row.name << " twice";
        EXPECT_EQ(Rights::find(row.name), row.right) << row.name;
        EXPECT_EQ(Rights::name(row.right), row.name);
        EXPECT_FALSE(row.meaning.empty()) << row.name;
    }
    for (const Tender& tender : Tender::all()) {
        EXPECT_TRUE(Rights::find(tender.payRight)) << tender.payRight;
        EXPECT_TRUE(Rights::find(tender.voidRight)) << tender.voidRight;
        if (tender.signatureParameter) {
            EXPECT_TRUE(Parameters::find(tender.signatureParameter)) << tender.signatureParameter;
        }
    }
}

// Store rows for every terminal, terminal rows for one, either for this terminal's before the store's.
TEST(Parameters, EachReadsInItsScopeAndFallsBackToItsDefault) {
    LocalStoreScope store;
    ManagedObjectPtr mine = store.addThisTerminal("7");
    ManagedObjectPtr other = store.addTerminal("8");
    store.addStoreParam("PAYMENT_CREDIT_HOST", "LARCH");
    store.addTerminalParam(mine, "PAYMENT_CREDIT_HOST", "ELSEWHERE"); // a store parameter: ignored
    store.addStoreParam("HH_LOG_XML", "NO");
    store.addTerminalParam(mine, "HH_LOG_XML", "YES");
    store.addStoreParam("HH_ROW_COUNT", "3");
    store.addStoreParam("TS_PRINTER_TYPE", "escpos"); // a terminal parameter: the store's row is not read
    store.addTerminalParam(other, "TS_PRINTER_TYPE", "star");
    store.addTerminalParam(other, "HH_ACCESSIBLE", "NO");
    store.addStoreParam("HH_SYNCH_CUSTOMERS", "NO");
    store.save();
    ObjectContext* c = store.context().get();

    EXPECT_EQ(Parameters::text(Parameter::CreditHost, c), "LARCH");
    EXPECT_TRUE(Parameters::flag(Parameter::LogXml, c));
    EXPECT_EQ(Parameters::number(Parameter::RowCount, c), 3);
    EXPECT_EQ(Parameters::text(Parameter::PrinterType, c), std::nullopt);
    EXPECT_EQ(Parameters::terminalText(Parameter::PrinterType, std::string("8"), c), "star");
    // Defaults: only where no row holds a value.
    EXPECT_EQ(Parameters::number(Parameter::EncryptionKeyLength, c), 2048);
    EXPECT_FALSE(Parameters::flag(Parameter::SynchCustomers, c));
    EXPECT_TRUE(Parameters::terminalFlag(Parameter::Accessible, std::string("7"), c));
    EXPECT_FALSE(Parameters::terminalFlag(Parameter::Accessible, std::string("8"), c));
    // Nothing to read from: unset, so the default.
    EXPECT_EQ(Parameters::text(Parameter::CreditHost, nullptr), std::nullopt);
    EXPECT_TRUE(Parameters::flag(Parameter::SynchCustomers, nullptr));
    EXPECT_EQ(Parameters::number(Parameter::QuickSaleMaxDigits, nullptr), 1);

    Parameters::save(Parameter::LastUpdateMenu, std::string("0"), c);
    EXPECT_EQ(DBHelper::getStoreValue("IPHONE_LAST_UPDATE_MENU", c), "0");
}

TEST(Parameters, FamiliesNamedAtRunTimeAreReadByTheirPrefix) {
    LocalStoreScope store;
    store.addStoreParam("HOST_LARCH_USER", "merchant");
    store.addStoreParam("HOST_LARCH_RP", "42");
    store.addStoreParam("HOST_OTHER_USER", "someone else");
    store.addStoreParam("RECEIPT_FOOTER_LINE_2", "Come again");
    store.addStoreParam("RECEIPT_FOOTER_LINE_1", "Thank you");
    store.save();
    ObjectContext* c = store.context().get();

    const std::map<std::string, std::string> larch = Parameters::hostSettings("LARCH", c);
    EXPECT_EQ(larch, (std::map<std::string, std::string>{{"HOST_LARCH_RP", "42"}, {"HOST_LARCH_USER", "merchant"}}));
    EXPECT_EQ(Parameters::hostSetting(larch, Parameter::LarchUser), "merchant");
    EXPECT_EQ(Parameters::hostSetting(larch, Parameter::LarchPassword), std::nullopt);
    EXPECT_EQ(Parameters::receiptFooter(c), (std::vector<std::string>{"Thank you", "Come again"}));
}

// ---- the source reads only the table's names

const std::filesystem::path kSourceRoot = std::filesystem::path(TAVLO_FIXTURES_DIR).parent_path().parent_path() / "src";

struct SourceFile {
    std::string path; // relative to src/
    std::string code; // comments starting a line or after a blank removed
};

std::vector<SourceFile> sourceFiles() {
    std::vector<SourceFile> files;
    const std::regex comment(R"((^|\s)//.*)");
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kSourceRoot)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
        std::ifstream in(entry.path());
        std::stringstream code;
        for (std::string line; std::getline(in, line);) code << std::regex_replace(line, comment, "") << '\n';
        files.push_back({std::filesystem::relative(entry.path(), kSourceRoot).generic_string(), code.str()});
    }
    return files;
}

// Every parameter and right is read through the tables, so a name the tables lack cannot be read:
// no raw parameter read outside the readers, no right asked by a spelled name, and no table name
// spelled anywhere but in the tables (the generated store writes them as the store server does; the
// tender table names its rights and signature parameter, which the test above finds in the tables).
TEST(ParameterTable, TheSourceReadsParametersAndRightsOnlyThroughTheTables) {
    const std::set<std::string> readers = {"core/session/Parameters.cpp", "core/session/DBHelper.cpp",
                                           "core/session/DBHelper.h"};
    const std::set<std::string> tables = {"core/session/ParameterTable.cpp", "core/session/Rights.cpp"};
    const std::set<std::string> writers = {"sync/storeload/StoreDataGenerator.cpp", "core/order/Tender.cpp"};
    const std::regex rawRead(R"(DBHelper::(getValue|getStoreValue|getTerminalValue)\s*\()");
    const std::regex rawWrite(R"(saveStoreParam\s*\()");
    const std::regex namedRight(R"((isGranted|setPermissions)\s*\(\s*\{?\s*")");
    const std::regex literal(R"re("([A-Z][A-Z0-9_]{2,})")re");
    std::set<std::string_view> tableNames;
    for (const ParameterInfo& row : Parameters::all()) tableNames.insert(row.name);
    for (const RightInfo& row : Rights::all()) tableNames.insert(row.name);

    std::vector<SourceFile> files = sourceFiles();
    ASSERT_GT(files.size(), 100u) << kSourceRoot;
    for (const SourceFile& file : files) {
        if (!readers.contains(file.path)) {
            EXPECT_FALSE(std::regex_search(file.code, rawRead)) << file.path << " reads a parameter by its name";
            if (file.path != "sync/storeload/StoreLoadConfig.cpp") { // keeps the load's parameters as sent
                EXPECT_FALSE(std::regex_search(file.code, rawWrite)) << file.path << " writes a parameter by its name";
            }
        }
        EXPECT_FALSE(std::regex_search(file.code, namedRight)) << file.path << " asks for a right by its name";
        if (tables.contains(file.path) || writers.contains(file.path)) continue;
        for (std::sregex_iterator it(file.code.begin(), file.code.end(), literal), end; it != end; ++it) {
            const size_t at = static_cast<size_t>(it->position());
            if (at >= 10 && file.code.compare(at - 10, 10, "localized(") == 0) continue; // a text shown ("VOID")
            EXPECT_FALSE(tableNames.contains((*it)[1].str())) << file.path << " spells " << (*it)[1] << " itself";
        }
    }
}

} // namespace
} // namespace tavlo
