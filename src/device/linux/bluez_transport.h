// SPDX-License-Identifier: GPL-2.0-or-later
// The Bluetooth LE link over BlueZ's D-Bus API on the system bus (the
// address in DBUS_SYSTEM_BUS_ADDRESS when set).
//
// The mouse is a Device1 whose Modalias carries its PnP ids
// ("usb:v045Ep0227...") and that is Connected. The object tree is mirrored
// from GetManagedObjects and kept current from InterfacesAdded,
// InterfacesRemoved and PropertiesChanged on the bus thread; presence
// changes and notified values are handed out from there. Calls on the bus
// run on the caller's thread and time out after a few seconds.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/ble_gatt.h"
#include "device/bluez_objects.h"

#include <sdbus-c++/TypeTraits.h>
#include <sdbus-c++/Types.h>

namespace sdbus {
class IConnection;
class Message;
}  // namespace sdbus

namespace vantorel {

class BluezTransport final : public BleGatt {
public:
    // Null when the system bus cannot be reached.
    static std::unique_ptr<BluezTransport> open(std::chrono::milliseconds call_timeout = std::chrono::seconds(3));
    ~BluezTransport() override;
    BluezTransport(const BluezTransport&) = delete;
    BluezTransport& operator=(const BluezTransport&) = delete;

    int write(std::span<const std::uint8_t> report) override;
    void set_notify_handler(std::function<void(std::span<const std::uint8_t>)> handler) override;
    bool mouse_connected() override;
    bool open_notifications() override;
    void close_notifications() override;
    void set_presence_handler(std::function<void(bool)> handler) override;

    // Whether `modalias` names the mouse ("usb:v045Ep0227...", any case).
    static bool is_mouse_modalias(const std::string& modalias);

private:
    explicit BluezTransport(std::unique_ptr<sdbus::IConnection> connection, std::chrono::milliseconds timeout);
    void load_tree();
    void on_object_manager(sdbus::Message& msg);
    void on_properties(sdbus::Message& msg);
    void on_owner_changed(sdbus::Message& msg);
    // Tells the presence handler when the mouse came or went.
    void update_presence();

    std::unique_ptr<sdbus::IConnection> connection_;
    std::chrono::milliseconds timeout_;
    std::vector<sdbus::Slot> slots_;

    std::mutex mutex_;
    BluezObjects objects_;
    bool present_ = false;

    std::mutex handler_mutex_;
    std::function<void(bool)> presence_handler_;
    std::function<void(std::span<const std::uint8_t>)> notify_handler_;
};

}  // namespace vantorel
