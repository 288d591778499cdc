#include "printerlib/Trace.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace tavlo;
using namespace tavlo::printerlib;

namespace {

class DataTraceTest : public ::testing::Test {
protected:
    void TearDown() override {
        DataTrace::setMask(0);
        DataTrace::releasePath();
    }
    static std::string contents(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    test::TempHome home;
};

TEST_F(DataTraceTest, ChunksAreAppendedRawToOneFileOfTheDocumentsDirectory) {
    DataTrace::setMask(DataTrace::kRawData);
    const uint8_t first[] = {0x1B, 0x40, 0x00};
    const uint8_t second[] = {0x41, 0x0A};
    ASSERT_TRUE(DataTrace::append(first, sizeof first));
    ASSERT_TRUE(DataTrace::append(second, sizeof second));

    std::filesystem::path file = DataTrace::path();
    EXPECT_EQ(file.parent_path(), home.path());
    std::string name = file.filename().string();
    // "OVSDK_[yyyy.MM.dd HH:mm:ss].data"
    EXPECT_EQ(name.size(), std::string("OVSDK_[2026.01.31 12:00:00].data").size()) << name;
    EXPECT_EQ(name.rfind("OVSDK_[", 0), 0u) << name;
    EXPECT_EQ(contents(file), std::string("\x1B\x40\x00\x41\x0A", 5));
}

TEST_F(DataTraceTest, NothingIsWrittenWithoutItsBit) {
    DataTrace::setMask(0xFF & ~DataTrace::kRawData);
    const uint8_t bytes[] = {0x41};
    EXPECT_TRUE(DataTrace::append(bytes, sizeof bytes));
    EXPECT_FALSE(std::filesystem::exists(DataTrace::path()));
}

} // namespace
