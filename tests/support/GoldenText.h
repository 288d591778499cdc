#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavlo::test {

// Compares a text (a printer transcript, a report) with the file tests/fixtures/<path>. When they
// differ, or there is no file yet, the text it got is written to <build>/test-output/<path> and
// the message names the first line that differs. With TAVLO_UPDATE_GOLDEN=1 in the environment
// the file is written instead (to accept a change one has read).
::testing::AssertionResult matchesGoldenText(const std::string& text, const std::string& path);

// Lines joined, each followed by "\n".
std::string joinLines(const std::vector<std::string>& lines);

} // namespace tavlo::test
