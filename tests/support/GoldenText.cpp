#include "support/GoldenText.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tavlo::test {

namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void write(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

::testing::AssertionResult matchesGoldenText(const std::string& text, const std::string& path) {
    const std::filesystem::path golden = std::filesystem::path(TAVLO_FIXTURES_DIR) / path;
    const char* update = std::getenv("TAVLO_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        write(golden, text);
        return ::testing::AssertionSuccess();
    }
    std::ifstream in(golden, std::ios::binary);
    std::stringstream want;
    want << in.rdbuf();
    if (in && want.str() == text) return ::testing::AssertionSuccess();

    const std::filesystem::path got = std::filesystem::path(TAVLO_TEST_OUTPUT_DIR) / path;
    write(got, text);
    if (!in) return ::testing::AssertionFailure() << "no golden file " << golden << "; got " << got;
    const std::vector<std::string> a = splitLines(want.str()), b = splitLines(text);
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return ::testing::AssertionFailure() << path << " differs at line " << i + 1 << ": want \""
                                         << (i < a.size() ? a[i] : "<end>") << "\", got \""
                                         << (i < b.size() ? b[i] : "<end>") << "\" (all of it in " << got << ")";
}

} // namespace tavlo::test
