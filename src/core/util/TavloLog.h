#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Text.h"

namespace tavlo {

class LogInfoProvider;
class LogMailSender;

// The format of a log call; a null format logs its first argument as the message.
class LogFormat {
public:
    LogFormat(const char* text) : text_(text ? text : "%@") {}
    LogFormat(std::nullptr_t) : text_("%@") {}
    LogFormat(std::string_view text) : text_(text) {}
    LogFormat(const std::string& text) : text_(text) {}
    std::string_view text() const { return text_; }

private:
    std::string_view text_;
};

// The system's one logger: entries "Name.cpp:12 message" appended to "system.log" in the data
// directory, each behind a time stamp. Entries flagged for e-mail are also queued for the
// support service; a background worker sends them, so the caller never waits for the relay.
// Once a day the log is archived under a dated name and the number of log files kept bounded.
// (Deciding when to archive, uploading logs and clearing the server's request read the local
// store: they belong to the log operation, which calls archiveLogFile and logFiles.)
class TavloLog {
public:
    template <typename... Args>
    static void logFile(const char* sourcePath, int lineNumber, bool emailIt, LogFormat format, const Args&... args) {
        if (!logOn()) return;
        logMessage(sourcePath, lineNumber, emailIt, formatArgs(format.text(), {FormatArg(args)...}));
    }
    static void logMessage(const char* sourcePath, int lineNumber, bool emailIt, const std::string& message);

    // On from the first use; while off, log calls do nothing at all.
    static bool logOn();
    static void setLogOn(bool on);

    static void logHeader();
    static void logFooter();
    // One mailed entry "DB error" with a "key:value" line for each entry of a store error's
    // details; nil writes nothing.
    static void logErrors(const std::optional<std::map<std::string, std::string>>& errors);

    // "<store>-<terminal>-system<yyMMdd-HHmmss>.log", stamped now in local time.
    static std::string nameForArchiving(const std::optional<std::string>& terminalId,
                                        const std::optional<std::string>& storeId);
    // Renames "system.log" to its archive name, starts a new one, and deletes the oldest log file
    // when there are 10 or more. The archive's name, or nil when there is no "system.log".
    static std::optional<std::string> archiveLogFile(const std::optional<std::string>& terminalId,
                                                     const std::optional<std::string>& storeId);
    // Every ".log" file in the data directory and its sub-folders.
    static std::vector<std::filesystem::path> logFiles();
    static std::filesystem::path logFilePath();

    // The program's choice: send the process's standard error into "system.log" too (and into
    // each new one after archiving).
    static void redirectStandardError();

    // Null restores the stand-in values.
    static void setInfoProvider(std::shared_ptr<LogInfoProvider> provider);
    static std::shared_ptr<LogInfoProvider> infoProvider();
    // Without a sender, e-mailed entries are only written.
    static void setMailSender(std::shared_ptr<LogMailSender> sender);

    // Waits until the queued mails are sent, at most `seconds`; true when they are.
    static bool flushMail(double seconds);
    // Stops the mail worker, letting it drain for at most `seconds` (also done at exit).
    static bool shutdownMail(double seconds);

    static constexpr size_t kMailQueueCapacity = 64;
    static constexpr double kExitDrainSeconds = 5;
};

} // namespace tavlo

// Logs "File.cpp:LINE message" with printf-style arguments (%@ for any value with a text form).
#define TAVLO_LOG(...) ::tavlo::TavloLog::logFile(__FILE__, __LINE__, false, __VA_ARGS__)
// The same, and mails the entry to the support service.
#define TAVLO_LOG_MAIL(...) ::tavlo::TavloLog::logFile(__FILE__, __LINE__, true, __VA_ARGS__)
