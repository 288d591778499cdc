#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tavlo::test {

// The far end of a pseudo-terminal pair, playing a device: it keeps the master side, collects
// what the terminal writes to the slave side on a thread of its own, answers scripted requests,
// sends bytes of its own, and can hang up (the slave side then fails reads with EIO, as a serial
// device does when it is pulled out).
class PseudoTerminalPeer {
public:
    // Throws when the system gives no pseudo-terminal.
    PseudoTerminalPeer();
    ~PseudoTerminalPeer();
    PseudoTerminalPeer(const PseudoTerminalPeer&) = delete;
    PseudoTerminalPeer& operator=(const PseudoTerminalPeer&) = delete;

    // The slave side's device, to be opened as a serial device.
    const std::filesystem::path& devicePath() const { return devicePath_; }

    void send(const std::string& bytes);
    // When what was received so far ends with `request`, `reply` is sent back at once.
    void replyTo(std::string request, std::string reply);
    // Everything the terminal has written.
    std::string received() const;
    // Waits (real time, a safeguard only) until `bytes` were received; false if they never come.
    bool waitForReceived(const std::string& bytes) const;
    // Closes the master side.
    void hangUp();
    // Stops and starts taking what the terminal writes: while stopped, the pseudo-terminal's
    // buffer fills and the terminal's side finds no more room to write.
    void setReading(bool reading) { reading_ = reading; }

private:
    void serve();

    int master_ = -1;
    std::filesystem::path devicePath_;
    mutable std::mutex mutex_;
    std::string received_;
    std::vector<std::pair<std::string, std::string>> replies_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> reading_{true};
    std::thread thread_;
};

} // namespace tavlo::test
