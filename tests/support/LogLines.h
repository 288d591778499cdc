#pragma once

#include "core/util/TavloLog.h"

#include <fstream>
#include <string>
#include <vector>

namespace tavlo::test {

// Messages that one source file wrote to the log, without time stamps and places.
inline std::vector<std::string> loggedBy(const std::string& sourceFile) {
    std::vector<std::string> lines;
    std::ifstream in(TavloLog::logFilePath());
    const std::string mark = sourceFile + ":";
    for (std::string text; std::getline(in, text);) {
        size_t at = text.find(mark);
        if (at == std::string::npos) continue;
        size_t message = text.find(' ', at);
        if (message != std::string::npos) lines.push_back(text.substr(message + 1));
    }
    return lines;
}

inline bool logged(const std::string& sourceFile, const std::string& message) {
    for (const std::string& line : loggedBy(sourceFile))
        if (line == message) return true;
    return false;
}

// The whole log file as it is on disk.
inline std::string logText() {
    std::ifstream in(TavloLog::logFilePath());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace tavlo::test
