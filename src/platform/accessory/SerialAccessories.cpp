#include "platform/accessory/SerialAccessories.h"

#include "platform/accessory/AccessoryManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <termios.h>
#include <unistd.h>

namespace tavlo {

namespace {

const char* const kSerialErrorDomain = "SerialAccessoryErrorDomain";
// The word of a configuration line that gives a Bluetooth device's address.
const char* const kMacWord = "mac=";

speed_t speedFor(int baudRate) {
    switch (baudRate) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
    }
}

} // namespace

std::vector<SerialAccessoryConfig> SerialAccessories::readConfiguration(const std::filesystem::path& file, Error* error,
                                                                        std::vector<SerialAccessoryStatus>* unread) {
    std::vector<SerialAccessoryConfig> configs;
    std::ifstream in(file);
    if (!in) {
        Error::set(error, kSerialErrorDomain, ENOENT, "Cannot read " + file.string());
        if (unread) unread->push_back({file.filename().string(), file.string(), "Cannot read " + file.string()});
        return configs;
    }
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        std::istringstream words(line);
        SerialAccessoryConfig config;
        std::string device;
        if (!(words >> device) || device[0] == '#') continue;
        config.device = device;
        std::string protocol;
        bool readable = (words >> config.baudRate >> config.name) && speedFor(config.baudRate) != B0;
        while (readable && words >> protocol) {
            if (protocol.starts_with(kMacWord)) config.macAddress = protocol.substr(std::strlen(kMacWord));
            else config.protocolStrings.push_back(protocol);
        }
        if (!readable || config.protocolStrings.empty()) {
            const std::string expected =
                "expected \"<device> <baud> <name> <protocol>... [mac=<address>]\" with a standard speed";
            Error::set(error, kSerialErrorDomain, EINVAL,
                       file.string() + ":" + std::to_string(lineNumber) + ": " + expected);
            if (unread)
                unread->push_back({file.filename().string() + " line " + std::to_string(lineNumber), file.string(),
                                   "not understood (device, speed, name, protocols)"});
            continue;
        }
        configs.push_back(std::move(config));
    }
    return configs;
}

std::shared_ptr<SerialAccessories> SerialAccessories::create(std::vector<SerialAccessoryConfig> configs) {
    return std::shared_ptr<SerialAccessories>(new SerialAccessories(std::move(configs)));
}

int SerialAccessories::openSerialDevice(const std::filesystem::path& device, int baudRate, Error* error) {
    speed_t speed = speedFor(baudRate);
    if (speed == B0) {
        Error::set(error, kSerialErrorDomain, EINVAL, "Unsupported speed " + std::to_string(baudRate));
        return -1;
    }
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Error::set(error, kSerialErrorDomain, errno, "Cannot open " + device.string() + ": " + std::strerror(errno));
        return -1;
    }
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        int failure = errno;
        ::close(fd);
        Error::set(error, kSerialErrorDomain, failure,
                   device.string() + " is no serial device: " + std::strerror(failure));
        return -1;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
        int failure = errno;
        ::close(fd);
        Error::set(error, kSerialErrorDomain, failure,
                   "Cannot set up " + device.string() + ": " + std::strerror(failure));
        return -1;
    }
    return fd;
}

void SerialAccessories::rescan() {
    std::vector<std::shared_ptr<Accessory>> arrived;
    std::vector<uint32_t> gone;
    {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < configs_.size(); ++i) {
            std::error_code ignored;
            bool present = std::filesystem::exists(configs_[i].device, ignored);
            auto found = attached_.find(i);
            if (present && found == attached_.end()) {
                auto accessory = std::make_shared<Accessory>(configs_[i].name, configs_[i].protocolStrings,
                                                             weak_from_this(), configs_[i].macAddress);
                attached_[i] = accessory;
                arrived.push_back(accessory);
            } else if (!present && found != attached_.end()) {
                gone.push_back(found->second->connectionID());
                attached_.erase(found);
            }
        }
    }
    for (uint32_t connectionID : gone) AccessoryManager::shared().detach(connectionID);
    for (const auto& accessory : arrived) AccessoryManager::shared().attach(accessory);
}

void SerialAccessories::watch(RunLoop& loop, double interval) {
    rescan();
    std::weak_ptr<SerialAccessories> weak = weak_from_this();
    auto timer = loop.scheduleTimer(interval, true, [weak] {
        if (auto self = weak.lock()) self->rescan();
    });
    std::lock_guard lock(mutex_);
    if (timer_) timer_->invalidate();
    timer_ = timer;
}

void SerialAccessories::stopWatching() {
    std::lock_guard lock(mutex_);
    if (timer_) timer_->invalidate();
    timer_.reset();
}

int SerialAccessories::openChannel(const Accessory& accessory, const std::string&, Error* error) {
    std::filesystem::path device;
    int baudRate = 0;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [index, attached] : attached_) {
            if (attached->connectionID() == accessory.connectionID()) {
                device = configs_[index].device;
                baudRate = configs_[index].baudRate;
            }
        }
    }
    if (device.empty()) {
        Error::set(error, kSerialErrorDomain, ENODEV, "The accessory " + accessory.name() + " is not attached");
        return -1;
    }
    Error failure;
    int fd = openSerialDevice(device, baudRate, &failure);
    {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < configs_.size(); ++i) {
            if (configs_[i].device != device) continue;
            if (fd < 0) openFailures_[i] = failure.localizedDescription();
            else openFailures_.erase(i);
        }
    }
    if (fd < 0) Error::set(error, failure);
    return fd;
}

std::vector<SerialAccessoryStatus> SerialAccessories::status() {
    std::vector<SerialAccessoryStatus> states;
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < configs_.size(); ++i) {
        const SerialAccessoryConfig& config = configs_[i];
        SerialAccessoryStatus state{config.name, config.device.string(), std::nullopt};
        std::error_code ignored;
        auto failed = openFailures_.find(i);
        if (!std::filesystem::exists(config.device, ignored))
            state.problem = state.device + ": " + std::strerror(ENOENT);
        else if (::access(config.device.c_str(), R_OK | W_OK) != 0)
            state.problem = "Cannot open " + state.device + ": " + std::strerror(errno);
        else if (failed != openFailures_.end()) state.problem = failed->second;
        else if (attached_.find(i) == attached_.end()) state.problem = "Not attached yet";
        states.push_back(std::move(state));
    }
    return states;
}

} // namespace tavlo
