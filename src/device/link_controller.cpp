// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/link_controller.h"

#include "core/trace.h"

namespace vantorel {

DeviceKind classify_device(const DeviceChange& change) {
    if (change.vendor_id == kVendorId && change.product_id == kReceiverProductId) return DeviceKind::Receiver;
    if (change.vendor_id == kVendorId && change.product_id == kWiredProductId) return DeviceKind::WiredMouse;
    // The mouse's HID-over-GATT device; the same ids on another bus are not it.
    if (change.bus == DeviceBus::Bluetooth && change.vendor_id == kBleVendorId && change.product_id == kBleProductId)
        return DeviceKind::BleMouse;
    return DeviceKind::Other;
}

LinkController::LinkController(Executor& executor, LinkFacts& facts, LinkState& links, ProfileSource& profiles,
                               CommitChange commit, HidBackend& hid, DeviceChangeQueue& changes,
                               Options options)
    : guard_(executor),
      links_(links),
      hid_(hid),
      changes_(changes),
      options_(std::move(options)),
      events_(executor, facts, links, profiles, std::move(commit)),
      wireless_(hid, executor, events_, options_.wireless),
      wired_(executor, links, events_) {
    events_.set_watchdog_handler([this] { wireless_.OnWatchdog(); });
    if (options_.on_real_arrival) wired_.set_attach_hook(options_.on_real_arrival);
    if (options_.ble_gatt) {
        ble_link_ = std::make_unique<BleLink>(executor, links, events_, *options_.ble_gatt);
        options_.ble_gatt->set_presence_handler(ble_presence_poster(changes_, device_change_notifier()));
        options_.ble_gatt->set_notify_handler(ble_notify_handler());
    }
}

LinkController::~LinkController() { Shutdown(); }

void LinkController::Start() {
    if (options_.wired_driver) {
        wired_.use_driver(options_.wired_driver);
    } else if (options_.plugin_folders.empty()) {
        wired_.BindWiredDriverLibrary();
    } else {
        wired_.BindWiredDriverLibrary(options_.plugin_folders);
    }
    wired_.Start();
    // The link comes up only when the stack reaches a connected mouse.
    if (ble_link_) {
        if (options_.ble_gatt->mouse_connected()) ble_link_->BleSetConnected(true);
    } else {
        probe_ble();
    }
    events_.NotifyLinkChange();
}

void LinkController::probe_ble() {
    // The mouse paired over Bluetooth LE shows up as a HID device; whether it
    // is listed decides whether the Bluetooth LE link starts up.
    const bool present = hid_.init() && !hid_.enumerate(kBleVendorId, kBleProductId).empty();
    const bool up = present && options_.ble_transport;
    links_.ble_connected.store(up ? 1 : 0);
    trace("bluetooth probe: %s%s", present ? "present" : "absent",
          present && !up ? ", but no Bluetooth LE transport can write to it" : "");
}

void LinkController::Shutdown() {
    if (shut_down_) return;
    shut_down_ = true;
    if (ble_link_) {
        // No callback of the stack reaches this object from here on.
        options_.ble_gatt->set_presence_handler({});
        options_.ble_gatt->set_notify_handler({});
        if (ble_link_->up()) options_.ble_gatt->close_notifications();
    }
    wireless_.StopReaders();
    wired_.Close();
}

std::function<void()> LinkController::device_change_notifier() {
    // Each call stands for one queued change, but whatever is queued is
    // handled by the first task; later ones then find less or nothing.
    return [this] { guard_.post([this] { drain_device_changes(); }); };
}

void LinkController::drain_device_changes() {
    while (auto change = changes_.pop()) {
        links_.device_changes.fetch_add(1);
        if (options_.device_change_tap) options_.device_change_tap(*change);
        const DeviceKind kind = classify_device(*change);
        if (change->arrival && kind != DeviceKind::Other && options_.on_real_arrival) options_.on_real_arrival();
        switch (kind) {
            case DeviceKind::Receiver:
                trace("receiver %s: %s", change->arrival ? "arrival" : "removal", change->devnode.c_str());
                if (change->arrival) wireless_.OnReceiverArrival();
                else wireless_.OnNodeRemoved(change->devnode);
                break;
            case DeviceKind::WiredMouse:
                wired_.OnDeviceChange(*change);
                break;
            case DeviceKind::BleMouse:
                if (ble_link_) ble_link_->BleOnDeviceChange(*change);
                else if (options_.ble_device_hook) options_.ble_device_hook(*change);
                break;
            case DeviceKind::Other:
                break;
        }
    }
}

void LinkController::post_ble_value(std::span<const std::uint8_t> value) {
    // Runs on the Bluetooth callback thread: nothing but decode and post.
    if (auto e = event_from_ble_value(value))
        guard_.post([this, e = *e] {
            events_.tap(ConnectionMode::Ble, e);
            events_.DispatchBleEvent(e.event_word, e.value_word);
        });
}

std::function<void(std::span<const std::uint8_t>)> LinkController::ble_notify_handler() {
    return [this](std::span<const std::uint8_t> value) { post_ble_value(value); };
}

}  // namespace vantorel
