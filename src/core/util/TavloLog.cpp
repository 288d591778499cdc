#include "core/util/TavloLog.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <system_error>

#include "core/util/LogInfoProvider.h"
#include "core/util/LogMailQueue.h"
#include "core/util/LogMailSender.h"
#include "core/util/Utils.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Directories.h"
#include "platform/foundation/UserDefaults.h"

namespace tavlo {

namespace {

constexpr const char* kStars = "************************************";
constexpr size_t kMaxLogFiles = 10;

void sendQueuedMail(const LogMailQueue::Entry& entry);
void reportDroppedMail(const LogMailQueue::Entry& entry);

// Process-wide and never destroyed: threads may log while the process exits.
struct LogState {
    std::atomic<bool> on{false};
    std::atomic<bool> started{false};
    std::mutex startMutex;
    std::mutex writeMutex; // one line at a time; archiving holds it across the rename
    std::mutex configMutex;
    std::shared_ptr<LogInfoProvider> provider = std::make_shared<LogInfoProvider>();
    std::shared_ptr<LogMailSender> sender;
    bool stderrRedirected = false;
    LogMailQueue mail{TavloLog::kMailQueueCapacity, sendQueuedMail, reportDroppedMail};
};

LogState& state() {
    static LogState* s = [] {
        auto* created = new LogState;
        std::atexit([] { state().mail.shutdown(TavloLog::kExitDrainSeconds); });
        return created;
    }();
    return *s;
}

thread_local bool startingOnThisThread = false;

// The first use opens the log: switch on, note the file, write the header. The header's values
// may themselves log; those lines go straight to the file instead of starting again.
void ensureStarted() {
    LogState& s = state();
    if (s.started.load(std::memory_order_acquire) || startingOnThisThread) return;
    std::lock_guard lock(s.startMutex);
    if (s.started.load(std::memory_order_acquire)) return;
    startingOnThisThread = true;
    s.on = true;
    TAVLO_LOG("Log File: %@", TavloLog::logFilePath().string());
    TavloLog::logHeader();
    startingOnThisThread = false;
    s.started.store(true, std::memory_order_release);
}

std::string fileName(const char* sourcePath) {
    std::string_view path = sourcePath ? sourcePath : "";
    size_t slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// One line with a time stamp and process marks in front, as the platform's own log writes it.
void writeLine(const std::string& entry) {
    std::string line = format("%@ %s[%d:%ld] %@\n", DateFormatter::format(Date::now(), "yyyy-MM-dd HH:mm:ss.SSS"),
                              program_invocation_short_name, static_cast<int>(getpid()),
                              static_cast<long>(syscall(SYS_gettid)), entry);
    std::filesystem::path path = TavloLog::logFilePath();
    std::lock_guard lock(state().writeMutex);
    if (FILE* file = std::fopen(path.c_str(), "a")) {
        std::fwrite(line.data(), 1, line.size(), file);
        std::fclose(file);
    }
}

std::shared_ptr<LogMailSender> currentSender() {
    std::lock_guard lock(state().configMutex);
    return state().sender;
}

void sendQueuedMail(const LogMailQueue::Entry& entry) {
    auto sender = currentSender();
    if (!sender) return;
    auto info = TavloLog::infoProvider();
    std::string version = info->appVersion();
    std::string device = info->deviceName();
    LogMail mail;
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    mail.storeId = defaults.stringForKey("store_id");
    mail.password = defaults.stringForKey("password");
    mail.subject = format("Exception %@ (store %@, %@)", version, mail.storeId, device);
    mail.body = format("Version: %@\n\nDevice: %@\nModel: %@\nUDID: %@\nOS: %@\nSpace Available: %@\n\n"
                       "Location: %@ (line: %d)\n\nMessage: %@",
                       version, device, info->model(), info->deviceIdentifier(), info->systemVersion(),
                       info->freeSpace(), entry.file, entry.line, entry.message);
    if (auto gateway = info->gateway()) mail.body = format("%@\n\nGateway: %@", mail.body, *gateway);
    Error error;
    // Written without the log call, so that a failing relay never feeds itself.
    if (!sender->sendMail(mail, &error))
        writeLine(format("Error sending email exception (%@)", error.localizedDescription()));
}

void reportDroppedMail(const LogMailQueue::Entry& entry) {
    TAVLO_LOG("Mail queue full: dropped the mail for %@:%d", entry.file, entry.line);
}

void writeHandler(const char* title, const HandlerFigures& figures, const char* nothingPending) {
    TAVLO_LOG(title, Utils::naturalStringForDate(figures.lastRun));
    if (figures.pendingCount >= 1) {
        TAVLO_LOG("***  pending: %d", figures.pendingCount);
        TAVLO_LOG("***   oldest: %@", Utils::naturalStringForDate(figures.oldestPending));
        TAVLO_LOG("***   newest: %@", Utils::naturalStringForDate(figures.newestPending));
    } else {
        TAVLO_LOG(nothingPending);
    }
}

// A name not yet taken in `dir`: two archives in the same second must not overwrite each other.
std::filesystem::path freeArchivePath(const std::filesystem::path& dir, const std::string& name) {
    std::filesystem::path path = dir / name;
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(path, ec); ++n)
        path = dir / format("%@-%d.log", name.substr(0, name.size() - 4), n);
    return path;
}

} // namespace

void TavloLog::logMessage(const char* sourcePath, int lineNumber, bool emailIt, const std::string& message) {
    std::string file = fileName(sourcePath);
    writeLine(format("%@:%d %@", file, lineNumber, message));
    if (emailIt && currentSender()) state().mail.push({file, lineNumber, message});
}

bool TavloLog::logOn() {
    ensureStarted();
    return state().on;
}

void TavloLog::setLogOn(bool on) {
    ensureStarted();
    state().on = on;
}

void TavloLog::logHeader() {
    auto info = infoProvider();
    TAVLO_LOG(kStars);
    TAVLO_LOG("***");
    TAVLO_LOG("*** LOG START-Tavlo Mobile");
    TAVLO_LOG("***");
    TAVLO_LOG("***  VERSION: %@", info->appVersion());
    TAVLO_LOG("***   DEVICE: %@", info->deviceName());
    TAVLO_LOG("***    MODEL: %@", info->model());
    TAVLO_LOG("***       OS: %@", info->systemVersion());
    TAVLO_LOG("***     UDID: %@", info->deviceIdentifier());
    TAVLO_LOG("***     SSID: %@", info->ssid());
    TAVLO_LOG("***       IP: %@", info->localIPAddress());
    TAVLO_LOG("*** LANGUAGE: %@", info->language());
}

void TavloLog::logFooter() {
    auto info = infoProvider();
    TAVLO_LOG(kStars);
    TAVLO_LOG("***");
    TAVLO_LOG("*** Space Available: %@", info->freeSpace());
    writeHandler("*** StoreHandler (last ran: %@)", info->storeHandler(), "*** nothing pending");
    writeHandler("*** OrderHandler (last ran: %@) ", info->orderHandler(), "***  nothing pending");
    TAVLO_LOG("***");
    TAVLO_LOG(kStars);
}

void TavloLog::logErrors(const std::optional<std::map<std::string, std::string>>& errors) {
    if (!errors) return;
    std::string lines;
    for (const auto& [key, value] : *errors) lines += format("%@:%@\n", key, value);
    TAVLO_LOG_MAIL("DB error\n%@", lines);
}

std::string TavloLog::nameForArchiving(const std::optional<std::string>& terminalId,
                                       const std::optional<std::string>& storeId) {
    return format("%@-%@-system%@.log", storeId, terminalId, DateFormatter::format(Date::now(), "yyMMdd-HHmmss"));
}

std::optional<std::string> TavloLog::archiveLogFile(const std::optional<std::string>& terminalId,
                                                    const std::optional<std::string>& storeId) {
    ensureStarted();
    std::filesystem::path current = logFilePath();
    std::error_code ec;
    if (!std::filesystem::exists(current, ec)) return std::nullopt;
    std::string name = nameForArchiving(terminalId, storeId);
    logFooter();
    {
        LogState& s = state();
        std::lock_guard lock(s.writeMutex);
        std::filesystem::path archive = freeArchivePath(current.parent_path(), name);
        std::filesystem::rename(current, archive, ec); // on failure the log simply goes on
        if (!ec) name = archive.filename().string();
        if (s.stderrRedirected) std::freopen(current.c_str(), "a", stderr);
    }
    logHeader();

    std::vector<std::filesystem::path> files = logFiles();
    if (files.size() >= kMaxLogFiles) {
        std::filesystem::path oldest;
        std::filesystem::file_time_type oldestTime = std::filesystem::file_time_type::max();
        for (const auto& file : files) {
            auto time = std::filesystem::last_write_time(file, ec);
            if (!ec && time < oldestTime) {
                oldestTime = time;
                oldest = file;
            }
        }
        if (!oldest.empty() && !std::filesystem::remove(oldest, ec))
            TAVLO_LOG_MAIL("Unable to delete file: %@", ec ? ec.message() : std::string("no such file"));
    }
    return name;
}

std::vector<std::filesystem::path> TavloLog::logFiles() {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    auto options = std::filesystem::directory_options::skip_permission_denied;
    for (std::filesystem::recursive_directory_iterator it(documentsDirectory(), options, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->is_regular_file(ec) && it->path().extension() == ".log") files.push_back(it->path());
    }
    return files;
}

std::filesystem::path TavloLog::logFilePath() { return documentsDirectory() / "system.log"; }

void TavloLog::redirectStandardError() {
    ensureStarted();
    LogState& s = state();
    std::lock_guard lock(s.writeMutex);
    if (std::freopen(logFilePath().c_str(), "a", stderr)) s.stderrRedirected = true;
}

void TavloLog::setInfoProvider(std::shared_ptr<LogInfoProvider> provider) {
    std::lock_guard lock(state().configMutex);
    state().provider = provider ? std::move(provider) : std::make_shared<LogInfoProvider>();
}

std::shared_ptr<LogInfoProvider> TavloLog::infoProvider() {
    std::lock_guard lock(state().configMutex);
    return state().provider;
}

void TavloLog::setMailSender(std::shared_ptr<LogMailSender> sender) {
    std::lock_guard lock(state().configMutex);
    state().sender = std::move(sender);
}

bool TavloLog::flushMail(double seconds) { return state().mail.flush(seconds); }

bool TavloLog::shutdownMail(double seconds) { return state().mail.shutdown(seconds); }

} // namespace tavlo
