// SPDX-License-Identifier: GPL-2.0-or-later
// The Bluetooth LE link: switching it on and off with everything the page
// shows for it, following the mouse coming and going, the subscription to
// its events asked for two seconds after the link comes up (and kept by the
// stack from then on until the link goes down), and the write primitive
// the report sender uses.
//
// BleSetConnected, BleOnDeviceChange and BleOpenNotifications run on the UI
// thread; BleWrite runs on the apply worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "core/executor.h"
#include "device/ble_gatt.h"
#include "device/device_change.h"
#include "device/device_events.h"
#include "device/link_state.h"

namespace vantorel {

inline constexpr int kBleDiscoveryDelayMs = 2000;

class BleLink final : public BleTransport {
public:
    BleLink(Executor& executor, LinkState& links, DeviceEvents& events, BleGatt& gatt);

    void BleSetConnected(bool on);
    // An arrival or removal of the mouse (its HID-over-GATT node or its
    // Bluetooth device). The link comes up only when the stack reaches it.
    void BleOnDeviceChange(const DeviceChange& change);
    // Two seconds after the link came up.
    void BleOpenNotifications();
    bool discovery_pending() const { return discovery_timer_.active(); }
    // 1 when the stack confirmed the write; 0 with the link down.
    int BleWrite(std::span<const std::uint8_t> report);

    // As the report sender's transport.
    int write(std::span<const std::uint8_t> report) override { return BleWrite(report); }
    void set_notify_handler(std::function<void(std::span<const std::uint8_t>)> handler) override {
        gatt_.set_notify_handler(std::move(handler));
    }

    bool up() const { return up_.load(); }

private:
    ExecutorTimer discovery_timer_;
    LinkState& links_;
    DeviceEvents& events_;
    BleGatt& gatt_;
    std::atomic<bool> up_{false};
};

// A presence handler for a BleGatt that queues the change as the mouse's
// Bluetooth device and calls `changed` (from the stack's thread), as the
// device monitor does.
std::function<void(bool)> ble_presence_poster(DeviceChangeQueue& changes, std::function<void()> changed);

}  // namespace vantorel
