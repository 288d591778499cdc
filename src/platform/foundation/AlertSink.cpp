#include "platform/foundation/AlertSink.h"

#include <mutex>

namespace tavlo {

namespace {

std::mutex sinkMutex;
std::shared_ptr<AlertSink> installedSink;

} // namespace

void AlertSink::install(std::shared_ptr<AlertSink> sink) {
    std::lock_guard lock(sinkMutex);
    installedSink = std::move(sink);
}

std::shared_ptr<AlertSink> AlertSink::current() {
    std::lock_guard lock(sinkMutex);
    return installedSink;
}

void AlertSink::show(const std::string& title, const std::string& message, const std::string& button) {
    if (auto sink = current()) sink->showAlert(title, message, button);
}

} // namespace tavlo
