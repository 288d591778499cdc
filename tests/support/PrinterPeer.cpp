#include "support/PrinterPeer.h"

#include <algorithm>
#include <chrono>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavlo::test {

namespace {

bool startsWith(const PrinterBytes& bytes, const PrinterBytes& prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

bool isPrefixOf(const PrinterBytes& pending, const PrinterBytes& whole) {
    return pending.size() < whole.size() && std::equal(pending.begin(), pending.end(), whole.begin());
}

const PrinterBytes kStatusBack{0x1D, 0x61};
const PrinterBytes kMemorySwitch{0x1D, 0x28, 0x45};

} // namespace

PrinterPeer::PrinterPeer(int port) : listener_(8, port) {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) throw std::runtime_error("eventfd failed");
    thread_ = std::thread([this] { serve(); });
}

PrinterPeer::~PrinterPeer() {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
    if (client_ >= 0) ::close(client_);
    ::close(wakeFd_);
}

void PrinterPeer::setStatusBackAnswer(std::optional<PrinterBytes> block) {
    std::lock_guard lock(mutex_);
    statusBackAnswer_ = std::move(block);
}

void PrinterPeer::setMemorySwitch(int number, const std::string& settings) {
    std::lock_guard lock(mutex_);
    memorySwitches_[number] = settings;
}

std::string PrinterPeer::memorySwitch(int number) const {
    std::lock_guard lock(mutex_);
    auto found = memorySwitches_.find(number);
    return found == memorySwitches_.end() ? "" : found->second;
}

void PrinterPeer::setSettingModeAnswer(std::optional<PrinterBytes> answer) {
    std::lock_guard lock(mutex_);
    settingModeAnswer_ = std::move(answer);
}

bool PrinterPeer::inSettingMode() const {
    std::lock_guard lock(mutex_);
    return settingMode_;
}

void PrinterPeer::setReply(PrinterBytes request, PrinterBytes reply) {
    std::lock_guard lock(mutex_);
    replies_.emplace_back(std::move(request), std::move(reply));
}

void PrinterPeer::sendLocked(const PrinterBytes& bytes) {
    if (client_ >= 0 && !bytes.empty()) [[maybe_unused]]
        ssize_t n = ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

bool PrinterPeer::sendToClient(const PrinterBytes& bytes) {
    std::lock_guard lock(mutex_);
    if (client_ < 0) return false;
    sendLocked(bytes);
    return true;
}

void PrinterPeer::closeClient() {
    std::unique_lock lock(mutex_);
    if (client_ < 0) return;
    // The serving thread may be reading the descriptor: it sees the end and closes it itself.
    ::shutdown(client_, SHUT_RDWR);
    changed_.wait_for(lock, std::chrono::seconds(5), [&] { return client_ < 0; });
}

std::vector<PrinterBytes> PrinterPeer::connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

PrinterBytes PrinterPeer::received() const {
    std::lock_guard lock(mutex_);
    PrinterBytes all;
    for (const auto& c : connections_) all.insert(all.end(), c.begin(), c.end());
    return all;
}

bool PrinterPeer::clientConnected() const {
    std::lock_guard lock(mutex_);
    return client_ >= 0;
}

bool PrinterPeer::waitUntil(const std::function<bool()>& condition, double seconds) {
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= giveUp) return false;
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(5));
    }
    return true;
}

bool PrinterPeer::couldGrow(const PrinterBytes& pending) const {
    if (isPrefixOf(pending, kStatusBack) || isPrefixOf(pending, kMemorySwitch)) return true;
    if (startsWith(pending, kStatusBack)) return pending.size() < 3;
    if (startsWith(pending, kMemorySwitch))
        return pending.size() < 5 || pending.size() < 5u + pending[3] + 256u * pending[4];
    return std::any_of(replies_.begin(), replies_.end(), [&](const auto& r) { return isPrefixOf(pending, r.first); });
}

// Under the lock: takes every complete command from the front of `pending`.
void PrinterPeer::handle(PrinterBytes& pending) {
    while (!pending.empty() && !couldGrow(pending)) {
        size_t used = 1;
        if (startsWith(pending, kStatusBack)) {
            used = 3;
            if (pending[2] == 1 && statusBackAnswer_) sendLocked(*statusBackAnswer_);
        } else if (startsWith(pending, kMemorySwitch)) {
            used = 5u + pending[3] + 256u * pending[4];
            uint8_t function = pending[5];
            int number = pending[6];
            if (function == 0x04) { // read: "7", the switch's number, its settings, a zero byte
                std::string settings = memorySwitches_.count(number) ? memorySwitches_[number] : "00000000";
                PrinterBytes reply{0x37, static_cast<uint8_t>(number)};
                reply.insert(reply.end(), settings.begin(), settings.end());
                reply.push_back(0x00);
                sendLocked(reply);
            } else if (function == 0x03 && used >= 15) { // write
                memorySwitches_[number] = std::string(pending.begin() + 7, pending.begin() + 15);
            } else if (function == 0x01) { // enter the user setting mode
                settingMode_ = true;
                if (settingModeAnswer_) sendLocked(*settingModeAnswer_);
            } else if (function == 0x02) { // leave it
                settingMode_ = false;
            }
        } else {
            for (const auto& [request, reply] : replies_) {
                if (startsWith(pending, request)) {
                    used = request.size();
                    sendLocked(reply);
                    break;
                }
            }
        }
        pending.erase(pending.begin(), pending.begin() + static_cast<long>(std::min(used, pending.size())));
    }
}

void PrinterPeer::serve() {
    PrinterBytes pending;
    for (;;) {
        int client;
        {
            std::lock_guard lock(mutex_);
            client = client_;
        }
        pollfd watch[3] = {{wakeFd_, POLLIN, 0}, {listener_.fd(), POLLIN, 0}, {client, POLLIN, 0}};
        if (::poll(watch, client >= 0 ? 3 : 2, 100) < 0) continue;
        if (watch[0].revents) return;
        if (watch[1].revents & POLLIN) {
            int accepted = listener_.accept();
            std::lock_guard lock(mutex_);
            if (client_ >= 0) {
                // What the old connection sent before the new one came is still its own.
                uint8_t buffer[4096];
                for (ssize_t got; (got = ::recv(client_, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) {
                    connections_.back().insert(connections_.back().end(), buffer, buffer + got);
                    pending.insert(pending.end(), buffer, buffer + got);
                    handle(pending);
                }
                ::close(client_);
            }
            client_ = accepted;
            connections_.emplace_back();
            pending.clear();
            changed_.notify_all();
            continue;
        }
        if (client >= 0 && watch[2].revents) {
            uint8_t buffer[4096];
            ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            std::lock_guard lock(mutex_);
            if (client_ != client) continue;
            if (got <= 0) {
                ::close(client_);
                client_ = -1;
            } else {
                connections_.back().insert(connections_.back().end(), buffer, buffer + got);
                pending.insert(pending.end(), buffer, buffer + got);
                handle(pending);
            }
            changed_.notify_all();
        }
    }
}

} // namespace tavlo::test

namespace tavlo::test {

InterfaceBlockPeer::InterfaceBlockPeer() {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) throw std::runtime_error("eventfd failed");
    thread_ = std::thread([this] {
        for (;;) {
            pollfd watch[2] = {{wakeFd_, POLLIN, 0}, {listener_.fd(), POLLIN, 0}};
            if (::poll(watch, 2, 100) < 0) continue;
            if (watch[0].revents) return;
            if (!(watch[1].revents & POLLIN)) continue;
            int client = listener_.accept();
            PrinterBytes request;
            uint8_t buffer[64];
            while (request.size() < 20) {
                pollfd in{client, POLLIN, 0};
                if (::poll(&in, 1, 2000) <= 0) break;
                ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                request.insert(request.end(), buffer, buffer + got);
            }
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
            if (!block_.empty()) [[maybe_unused]]
                ssize_t n = ::send(client, block_.data(), block_.size(), MSG_NOSIGNAL);
            ::shutdown(client, SHUT_RDWR);
            ::close(client);
        }
    });
}

InterfaceBlockPeer::~InterfaceBlockPeer() {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
    ::close(wakeFd_);
}

void InterfaceBlockPeer::setBlock(PrinterBytes block) {
    std::lock_guard lock(mutex_);
    block_ = std::move(block);
}

std::vector<PrinterBytes> InterfaceBlockPeer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

} // namespace tavlo::test
