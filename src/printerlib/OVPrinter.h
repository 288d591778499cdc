#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace tavlo::printerlib {

// One printer: found by discovery or configured by the application. Every property may be read
// and written from any thread.
class OVPrinter {
public:
    // How the printer is reached.
    enum ConnectionClass : uint16_t { WiFi = 0, Tcp = 1, Bluetooth = 2 };
    using Mac = std::array<uint8_t, 6>;
    using Quad = std::array<uint8_t, 4>;

    OVPrinter() = default;
    OVPrinter(const OVPrinter&) = delete;
    OVPrinter& operator=(const OVPrinter&) = delete;

    std::optional<std::string> name() const { return get(name_); }
    void setName(std::optional<std::string> v) { set(name_, std::move(v)); }
    // IPv4 address text of a network printer; for a Bluetooth printer, the accessory's
    // connection identifier as a number.
    std::optional<std::string> address() const { return get(address_); }
    void setAddress(std::optional<std::string> v) { set(address_, std::move(v)); }
    std::optional<std::string> modelStr() const { return get(modelStr_); }
    void setModelStr(std::optional<std::string> v) { set(modelStr_, std::move(v)); }
    std::optional<std::string> versionStr() const { return get(versionStr_); }
    void setVersionStr(std::optional<std::string> v) { set(versionStr_, std::move(v)); }
    std::optional<std::string> friendlyName() const { return get(friendlyName_); }
    void setFriendlyName(std::optional<std::string> v) { set(friendlyName_, std::move(v)); }
    // Six hexadecimal pairs separated by colons.
    std::optional<std::string> macAddress() const { return get(macAddress_); }
    void setMacAddress(std::optional<std::string> v) { set(macAddress_, std::move(v)); }
    std::optional<std::string> bluetoothDeviceName() const { return get(bluetoothDeviceName_); }
    void setBluetoothDeviceName(std::optional<std::string> v) { set(bluetoothDeviceName_, std::move(v)); }

    uint16_t port() const { return get(port_); }
    void setPort(uint16_t v) { set(port_, v); }
    Mac mac() const { return get(mac_); }
    void setMac(const Mac& v) { set(mac_, v); }
    uint16_t version() const { return get(version_); }
    void setVersion(uint16_t v) { set(version_, v); }
    Quad subnet() const { return get(subnet_); }
    void setSubnet(const Quad& v) { set(subnet_, v); }
    Quad gateway() const { return get(gateway_); }
    void setGateway(const Quad& v) { set(gateway_, v); }
    uint8_t baudrate() const { return get(baudrate_); }
    void setBaudrate(uint8_t v) { set(baudrate_, v); }
    uint8_t dhcp() const { return get(dhcp_); }
    void setDhcp(uint8_t v) { set(dhcp_, v); }
    // The printer's idle time-out: seconds after which the connection is kept alive.
    uint16_t inactivityTime() const { return get(inactivityTime_); }
    void setInactivityTime(uint16_t v) { set(inactivityTime_, v); }
    uint8_t https() const { return get(https_); }
    void setHttps(uint8_t v) { set(https_, v); }
    uint16_t value() const { return get(value_); }
    void setValue(uint16_t v) { set(value_, v); }
    uint16_t connectionClass() const { return get(connectionClass_); }
    void setConnectionClass(uint16_t v) { set(connectionClass_, v); }

private:
    template <class T> T get(const T& field) const {
        std::lock_guard lock(mutex_);
        return field;
    }
    template <class T> void set(T& field, T value) {
        std::lock_guard lock(mutex_);
        field = std::move(value);
    }

    mutable std::mutex mutex_;
    std::optional<std::string> name_, address_, modelStr_, versionStr_, friendlyName_, macAddress_,
        bluetoothDeviceName_;
    uint16_t port_ = 0;
    Mac mac_{};
    uint16_t version_ = 0;
    Quad subnet_{};
    Quad gateway_{};
    uint8_t baudrate_ = 0;
    uint8_t dhcp_ = 0;
    uint16_t inactivityTime_ = 0;
    uint8_t https_ = 0;
    uint16_t value_ = 0;
    uint16_t connectionClass_ = WiFi;
};

} // namespace tavlo::printerlib
