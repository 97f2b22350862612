// SPDX-License-Identifier: GPL-2.0-or-later
// The links to the mouse: one object that owns the event dispatch, the
// receiver connection, the wired link and the Bluetooth LE link, on the
// executor's thread.
//
// Start-up, in this order: Start() (wired driver library bound and probed,
// Bluetooth LE probed, link change announced), then — once the device
// monitor runs — OpenWirelessDevices().
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "core/executor.h"
#include "core/profile_source.h"
#include "device/ble_gatt.h"
#include "device/ble_link.h"
#include "device/device_change.h"
#include "device/device_events.h"
#include "device/hid_backend.h"
#include "device/link_state.h"
#include "device/wired_link.h"
#include "device/wired_driver.h"
#include "device/wireless_connection.h"

namespace vantorel {

// What a device-manager notification is about.
enum class DeviceKind { Receiver, WiredMouse, BleMouse, Other };
DeviceKind classify_device(const DeviceChange& change);

class LinkController {
public:
    struct Options {
        // Folders the wired driver library loads from; empty: the executable's
        // folder and the installed plugin folder.
        std::vector<std::filesystem::path> plugin_folders;
        // A driver to use instead of the plugin (the virtual mouse).
        std::shared_ptr<WiredDriver> wired_driver;
        // Arrivals and removals of the mouse's Bluetooth HID device.
        std::function<void(const DeviceChange&)> ble_device_hook;
        // Whether a Bluetooth LE transport can write to the mouse; without
        // one the start-up probe never raises the link, since nothing could
        // be sent on it.
        bool ble_transport = false;
        // A real mouse (receiver, cable or Bluetooth) arrived; called before
        // the arrival is handled.
        std::function<void()> on_real_arrival;
        // The Bluetooth LE stack; with it the controller runs the Bluetooth
        // LE link (and the hook above is not called).
        std::shared_ptr<BleGatt> ble_gatt;
        WirelessConnection::Options wireless;
        // Sees each change of the device watch (or of the Bluetooth stack's
        // presence) as it is handled.
        std::function<void(const DeviceChange&)> device_change_tap;
    };

    LinkController(Executor& executor, LinkFacts& facts, LinkState& links, ProfileSource& profiles,
                   CommitChange commit, HidBackend& hid, DeviceChangeQueue& changes, Options options);
    ~LinkController();  // Shutdown()
    LinkController(const LinkController&) = delete;
    LinkController& operator=(const LinkController&) = delete;

    // Page initialisation: binds the wired driver library, starts its monitor
    // and opens the wired mouse, probes Bluetooth LE, then NotifyLinkChange.
    void Start();
    // Enumerates the receiver (main window initialisation, after the device
    // monitor has started).
    void OpenWirelessDevices() { wireless_.OpenWirelessDevices(); }
    // Window destruction: readers stopped, wired library closed.
    void Shutdown();

    // For the device watch (any thread): handles what it queued, in a task
    // on the executor.
    std::function<void()> device_change_notifier();

    // For the Bluetooth LE transport's notification handler (any thread):
    // decodes the value and posts its dispatch to the executor.
    void post_ble_value(std::span<const std::uint8_t> value);
    std::function<void(std::span<const std::uint8_t>)> ble_notify_handler();

    // For the report sender (any thread).
    std::shared_ptr<HidDevice> wireless_command_device() const { return wireless_.command_device(); }
    std::shared_ptr<WiredDriver> wired_driver() const { return wired_.driver(); }

    // The Bluetooth LE link as the report sender's transport; null without
    // a Bluetooth LE stack.
    BleLink* ble_link() const { return ble_link_.get(); }

    DeviceEvents& events() { return events_; }
    WirelessConnection& wireless() { return wireless_; }
    WiredLink& wired() { return wired_; }

private:
    void probe_ble();
    void drain_device_changes();

    TaskGuard guard_;
    LinkState& links_;
    HidBackend& hid_;
    DeviceChangeQueue& changes_;
    Options options_;
    DeviceEvents events_;
    WirelessConnection wireless_;
    WiredLink wired_;
    std::unique_ptr<BleLink> ble_link_;
    bool shut_down_ = false;
};

}  // namespace vantorel
