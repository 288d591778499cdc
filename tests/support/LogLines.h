#pragma once

#include "core/util/TavloLog.h"

#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo::test {

// Every message in the log, without time stamps, process marks and places ("File.cpp:12"). Tests
// find a line by what it says, never by the file that wrote it, so that code may move between files.
inline std::vector<std::string> loggedMessages() {
    std::vector<std::string> messages;
    std::ifstream in(TavloLog::logFilePath());
    for (std::string text; std::getline(in, text);) {
        size_t marks = text.find("] ");
        if (marks == std::string::npos) continue;
        size_t place = marks + 2, end = text.find(' ', place);
        if (end == std::string::npos) continue;
        size_t colon = text.rfind(':', end);
        if (colon == std::string::npos || colon < place || colon + 1 == end) continue;
        if (text.find_first_not_of("0123456789", colon + 1) != end) continue;
        messages.push_back(text.substr(end + 1));
    }
    return messages;
}

// Whether a message was logged as it stands.
inline bool logged(const std::string& message) {
    for (const std::string& line : loggedMessages())
        if (line == message) return true;
    return false;
}

// The messages that begin with one of the texts, in the order logged.
inline std::vector<std::string> loggedStartingWith(std::initializer_list<std::string_view> prefixes) {
    std::vector<std::string> lines;
    for (std::string& line : loggedMessages())
        for (std::string_view prefix : prefixes)
            if (line.starts_with(prefix)) {
                lines.push_back(std::move(line));
                break;
            }
    return lines;
}

inline std::vector<std::string> loggedStartingWith(std::string_view prefix) { return loggedStartingWith({prefix}); }

// The messages one source file wrote. Only where two places write the same message: otherwise a
// test finds its line by the message, so that code may move between files.
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

// Every message in the log, one a line, with each loopback address's port written as "PORT". A
// test that looks for a text that must never be logged (a card's expiry, its security code)
// searches this: time stamps, process marks and the ports of test listeners hold digits by chance.
inline std::string loggedMessageText() {
    std::string text;
    for (const std::string& message : loggedMessages()) {
        for (size_t at = 0; at < message.size();) {
            static constexpr std::string_view kLoopback = "127.0.0.1:";
            size_t found = message.find(kLoopback, at);
            if (found == std::string::npos) {
                text.append(message, at, std::string::npos);
                break;
            }
            size_t port = found + kLoopback.size();
            size_t end = message.find_first_not_of("0123456789", port);
            if (end == std::string::npos) end = message.size();
            text.append(message, at, port - at).append(end > port ? "PORT" : "");
            at = end;
        }
        text += '\n';
    }
    return text;
}

// The whole log file as it is on disk.
inline std::string logText() {
    std::ifstream in(TavloLog::logFilePath());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace tavlo::test
