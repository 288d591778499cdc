#pragma once

#include "platform/accessory/Accessory.h"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class RunLoop;
class Timer;

// A serial or RFCOMM device the terminal is configured to treat as an accessory.
struct SerialAccessoryConfig {
    std::filesystem::path device;
    int baudRate = 9600;
    std::string name;
    std::vector<std::string> protocolStrings;
    std::string macAddress{}; // a Bluetooth (RFCOMM) device's address; empty for a wired one
};

// A configured device as the terminal's status shows it: connected, or why it is not.
struct SerialAccessoryStatus {
    std::string name;                   // as configured
    std::string device;                 // its path
    std::optional<std::string> problem; // nil when it is connected
};

// The real accessory back end on Linux: card readers and printers reached as serial devices.
// Each configured device that is present is attached to the accessory manager; one that goes
// away is detached. A session opens the device in raw mode at its configured speed.
class SerialAccessories : public AccessoryBackend, public std::enable_shared_from_this<SerialAccessories> {
public:
    // One accessory a line: "<device> <baud> <name> <protocol> [<protocol>...] [mac=<address>]"
    // (the address of an RFCOMM device, "00:11:22:AA:BB:CC"); blank lines and lines starting
    // with '#' are skipped. A line that cannot be read is left out and named in
    // `error` (the others are kept).
    // Every line left out is also added to `unread` when given, named by the file and its number.
    static std::vector<SerialAccessoryConfig> readConfiguration(const std::filesystem::path& file,
                                                                Error* error = nullptr,
                                                                std::vector<SerialAccessoryStatus>* unread = nullptr);

    static std::shared_ptr<SerialAccessories> create(std::vector<SerialAccessoryConfig> configs);

    // Opens a serial device for reading and writing, not blocking, raw, at `baudRate`; -1 with
    // `error` filled when it cannot be opened or is no terminal device.
    static int openSerialDevice(const std::filesystem::path& device, int baudRate, Error* error);

    // Attaches the configured devices now present, detaches those gone.
    void rescan();
    // Rescans now and then every `interval` seconds on `loop` until stopWatching().
    void watch(RunLoop& loop, double interval);
    void stopWatching();

    int openChannel(const Accessory& accessory, const std::string& protocol, Error* error) override;

    // Each configured device, in the configuration's order: connected, absent, not open to the
    // terminal, or what the last attempt to open it said.
    std::vector<SerialAccessoryStatus> status();

private:
    explicit SerialAccessories(std::vector<SerialAccessoryConfig> configs) : configs_(std::move(configs)) {}

    const std::vector<SerialAccessoryConfig> configs_;
    std::mutex mutex_;
    std::map<size_t, std::shared_ptr<Accessory>> attached_; // by index into configs_
    std::map<size_t, std::string> openFailures_;            // the last failed open, by index
    std::shared_ptr<Timer> timer_;
};

} // namespace tavlo
