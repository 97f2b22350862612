// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/ble_link.h"

#include "core/trace.h"
#include "device/hid_backend.h"

namespace vantorel {

BleLink::BleLink(Executor& executor, LinkState& links, DeviceEvents& events, BleGatt& gatt)
    : discovery_timer_(executor, "bluetooth discovery", [this] { BleOpenNotifications(); }),
      links_(links),
      events_(events),
      gatt_(gatt) {}

void BleLink::BleSetConnected(bool on) {
    if (on) {
        links_.ble_connected.store(1);
        up_.store(true);
        discovery_timer_.start(kBleDiscoveryDelayMs);
        events_.LinkChanged(ConnectionMode::Ble, true);
        events_.StopWatchdog();
        events_.DropWirelessLink();
        events_.NotifyLinkChange();
        trace("bluetooth link up\n");
        return;
    }
    links_.ble_connected.store(0);
    up_.store(false);
    discovery_timer_.stop();
    gatt_.close_notifications();
    events_.LinkChanged(ConnectionMode::Ble, false);
    events_.NotifyLinkChange();
    trace("bluetooth link down\n");
}

void BleLink::BleOnDeviceChange(const DeviceChange& change) {
    if (change.arrival) {
        if (!up_.load() && gatt_.mouse_connected()) BleSetConnected(true);
        return;
    }
    BleSetConnected(false);
}

void BleLink::BleOpenNotifications() {
    if (!up_.load()) return;
    // The link stays up even when this finds nothing to subscribe to yet;
    // the stack subscribes once the characteristic is there.
    const bool there = gatt_.open_notifications();
    trace("bluetooth notifications: %s\n", there ? "subscribing" : "waiting for the characteristic");
}

int BleLink::BleWrite(std::span<const std::uint8_t> report) {
    if (!up_.load()) return 0;
    return gatt_.write(report);
}

std::function<void(bool)> ble_presence_poster(DeviceChangeQueue& changes, std::function<void()> changed) {
    return [&changes, changed = std::move(changed)](bool present) {
        DeviceChange change;
        change.arrival = present;
        change.bus = DeviceBus::Bluetooth;
        change.vendor_id = kBleVendorId;
        change.product_id = kBleProductId;
        change.subsystem = "bluetooth";
        changes.push(std::move(change));
        if (changed) changed();
    };
}

}  // namespace vantorel
