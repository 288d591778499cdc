#pragma once

#include "support/LoopbackListener.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tavlo::test {

using PrinterBytes = std::vector<uint8_t>;

// A receipt printer on 127.0.0.1 (at a free port, or the one given) for the printer library's
// tests and its driver's. It takes one connection at a
// time (a new one replaces the old), keeps every byte each connection sent, and answers the
// library's status and query commands: the automatic status back switch (GS a) with a status
// block, memory switch reads and writes and the user setting mode (GS ( E), and any request a
// test scripts. It can send
// status blocks and card records on its own.
class PrinterPeer {
public:
    explicit PrinterPeer(int port = 0);
    ~PrinterPeer();
    PrinterPeer(const PrinterPeer&) = delete;
    PrinterPeer& operator=(const PrinterPeer&) = delete;

    int port() const { return listener_.port(); }

    // Answer GS a 1 with this block (none: stay silent).
    void setStatusBackAnswer(std::optional<PrinterBytes> block);
    // The 8 settings of a memory switch ('0' or '1' each), as read and written.
    void setMemorySwitch(int number, const std::string& settings);
    std::string memorySwitch(int number) const;
    // Answer the request to enter the user setting mode (GS ( E 1 "IN") with these bytes (none:
    // stay silent); by default "7", space, 0.
    void setSettingModeAnswer(std::optional<PrinterBytes> answer);
    // Between an enter request and a leave request (GS ( E 2 "OUT").
    bool inSettingMode() const;
    // Answers these exact request bytes with the reply.
    void setReply(PrinterBytes request, PrinterBytes reply);

    // Sends bytes to the connected client; false without one.
    bool sendToClient(const PrinterBytes& bytes);
    // The printer drops the connection.
    void closeClient();

    // Everything received, per connection, in order.
    std::vector<PrinterBytes> connections() const;
    // Everything received over every connection.
    PrinterBytes received() const;
    bool clientConnected() const;

    // Waits (real time, bounded) until the condition holds; false when it never did.
    bool waitUntil(const std::function<bool()>& condition, double seconds = 10.0);

private:
    void serve();
    void handle(PrinterBytes& pending);
    // Whether `pending` could still become a known command.
    bool couldGrow(const PrinterBytes& pending) const;
    void sendLocked(const PrinterBytes& bytes);

    LoopbackListener listener_;
    int wakeFd_ = -1;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int client_ = -1;
    std::vector<PrinterBytes> connections_;
    std::optional<PrinterBytes> statusBackAnswer_ = PrinterBytes{0x10, 0x00, 0x00, 0x0F};
    std::map<int, std::string> memorySwitches_;
    std::optional<PrinterBytes> settingModeAnswer_ = PrinterBytes{0x37, 0x20, 0x00};
    bool settingMode_ = false;
    std::vector<std::pair<PrinterBytes, PrinterBytes>> replies_;
};

// A Wi-Fi printer's interface configuration service on 127.0.0.1: for each connection it reads
// the 20-byte request, keeps it, answers with the block a test set and closes.
class InterfaceBlockPeer {
public:
    InterfaceBlockPeer();
    ~InterfaceBlockPeer();
    InterfaceBlockPeer(const InterfaceBlockPeer&) = delete;
    InterfaceBlockPeer& operator=(const InterfaceBlockPeer&) = delete;

    int port() const { return listener_.port(); }
    void setBlock(PrinterBytes block);
    std::vector<PrinterBytes> requests() const;

private:
    LoopbackListener listener_;
    int wakeFd_ = -1;
    std::thread thread_;
    mutable std::mutex mutex_;
    PrinterBytes block_;
    std::vector<PrinterBytes> requests_;
};

} // namespace tavlo::test
