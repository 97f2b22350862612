// SPDX-License-Identifier: GPL-2.0-or-later
// The Bluetooth LE link over BlueZ's D-Bus API on the system bus (the
// address in DBUS_SYSTEM_BUS_ADDRESS when set).
//
// The mouse is a Device1 whose Modalias carries its PnP ids
// ("usb:v045Ep0227...") and that is Connected. The object tree is mirrored
// from GetManagedObjects and kept current from InterfacesAdded,
// InterfacesRemoved and PropertiesChanged on the bus thread, and read anew
// whenever BlueZ (re)appears on the bus; presence changes and notified values
// are handed out from there. The tree is read with an asynchronous call whose
// answer the bus thread takes in order with the signals; StartNotify and
// StopNotify run on a worker thread of their own. Only writes run on the
// caller's thread (the apply worker); every call times out after a few
// seconds. Nothing here blocks the thread that opens or closes the
// subscription, however long BlueZ takes to answer.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/ble_gatt.h"
#include "device/bluez_objects.h"

#include <sdbus-c++/TypeTraits.h>
#include <sdbus-c++/Types.h>

namespace sdbus {
class Error;
class IConnection;
class IProxy;
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

    // Waits until the first reading of BlueZ's object tree is in or has
    // failed (at most the call time-out); for callers without a UI thread
    // that want the mouse known before they start. True when it was read.
    bool wait_for_objects();

    // Whether `modalias` names the mouse ("usb:v045Ep0227...", any case).
    static bool is_mouse_modalias(const std::string& modalias);

private:
    explicit BluezTransport(std::unique_ptr<sdbus::IConnection> connection, std::chrono::milliseconds timeout);
    using Interfaces = std::map<std::string, std::map<std::string, sdbus::Variant>>;
    // Asks BlueZ for its object tree; the answer comes on the bus thread.
    void read_tree();
    void on_tree(std::uint64_t generation, const sdbus::Error* error,
                 const std::map<sdbus::ObjectPath, Interfaces>& tree);
    void on_object_manager(sdbus::Message& msg);
    void on_properties(sdbus::Message& msg);
    void on_owner_changed(sdbus::Message& msg);
    // Tells the presence handler when the mouse came or went (bus thread).
    void update_presence();
    // The worker: StartNotify and StopNotify as the mirror asks for them.
    void run_calls();
    // Empty when done; otherwise BlueZ's error name, or "unanswered".
    std::string call_characteristic(const std::string& path, const char* method);

    std::unique_ptr<sdbus::IConnection> connection_;
    std::chrono::milliseconds timeout_;
    std::vector<sdbus::Slot> slots_;
    std::unique_ptr<sdbus::IProxy> manager_;  // BlueZ's object manager
    std::thread worker_;

    std::mutex mutex_;
    std::condition_variable calls_;  // the worker's wake-up
    std::condition_variable tree_in_;
    BluezObjects objects_;
    bool present_ = false;
    bool stopping_ = false;
    bool tree_done_ = false;
    // A new one for each BlueZ: an answer about a BlueZ that left is dropped.
    std::uint64_t generation_ = 0;

    std::mutex handler_mutex_;
    std::function<void(bool)> presence_handler_;
    std::function<void(std::span<const std::uint8_t>)> notify_handler_;
};

}  // namespace vantorel
