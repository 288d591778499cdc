#include "support/TempHome.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tavlo::test {

TempHome::TempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavlo-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    if (const char* old = std::getenv("TAVLO_HOME")) previous_ = old;
    setenv("TAVLO_HOME", path_.c_str(), 1);
}

TempHome::~TempHome() {
    if (previous_) setenv("TAVLO_HOME", previous_->c_str(), 1);
    else unsetenv("TAVLO_HOME");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path fixturePath(const std::string& name) { return std::filesystem::path(TAVLO_FIXTURES_DIR) / name; }

std::string readFixture(const std::string& name) {
    std::ifstream in(fixturePath(name), std::ios::binary);
    if (!in) throw std::runtime_error("missing fixture " + name);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace tavlo::test
