#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tavlo::test {

// A fresh data directory for one test: $TAVLO_HOME points at it until the object goes away.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::optional<std::string> previous_;
};

std::filesystem::path fixturePath(const std::string& name);
std::string readFixture(const std::string& name);

} // namespace tavlo::test
