// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/device_events.h"

#include <cstdio>
#include <mutex>

#include "core/trace.h"
#include "device/wired_driver.h"

namespace vantorel {
namespace {

std::uint8_t low_byte(std::uint16_t word) { return static_cast<std::uint8_t>(word & 0xFF); }
std::uint8_t high_byte(std::uint16_t word) { return static_cast<std::uint8_t>(word >> 8); }

// Polling-rate event value -> polling_rate_index: 1 -> 3, 2 -> 2, 4 -> 1,
// everything else in 1..8 -> 0.
int polling_index_for_code(int code) {
    switch (code) {
        case 1: return 3;
        case 2: return 2;
        case 4: return 1;
        default: return 0;
    }
}

}  // namespace

std::optional<DeviceEvent> event_from_input_report(std::span<const std::uint8_t> report) {
    if (report.size() < 5 || report[0] != kEventReportId) return std::nullopt;
    return DeviceEvent{static_cast<std::uint16_t>(report[1] | (report[2] << 8)),
                       static_cast<std::uint16_t>(report[3] | (report[4] << 8))};
}

std::optional<DeviceEvent> event_from_wired_message(std::uint32_t message, std::uintptr_t wparam,
                                                    std::intptr_t lparam) {
    if (message == kMsgWiredEvent) {
        return DeviceEvent{static_cast<std::uint16_t>(wparam & 0xFFFF),
                           static_cast<std::uint16_t>(static_cast<std::uintptr_t>(lparam) & 0xFFFF)};
    }
    if (message == kMsgWiredAttach) {
        const std::uint16_t value = wparam == 1 ? kWiredAttachValue : wparam == 0 ? kWiredDetachValue : 0;
        return DeviceEvent{kWiredLinkWord, value};
    }
    return std::nullopt;
}

std::optional<DeviceEvent> event_from_ble_value(std::span<const std::uint8_t> value) {
    if (value.size() < 4) return std::nullopt;
    return DeviceEvent{static_cast<std::uint16_t>(value[0] | (value[1] << 8)),
                       static_cast<std::uint16_t>(value[2] | (value[3] << 8))};
}

std::int64_t dpi_for_code(std::int64_t code) { return code <= 200 ? 50 * code : 100 * (code - 100); }

std::string dpi_popup_text(std::int64_t code) {
    // The code comes from a stored record and may hold any 32-bit value;
    // the arithmetic is done wide so that none of them overflows.
    char text[48];
    std::snprintf(text, sizeof text, "%lld DPI", static_cast<long long>(dpi_for_code(code)));
    return text;
}

DeviceEvents::DeviceEvents(Executor& executor, LinkFacts& facts, LinkState& links, ProfileSource& profiles,
                           CommitChange commit)
    : facts_(facts),
      links_(links),
      profiles_(profiles),
      commit_(std::move(commit)),
      guard_(executor),
      watchdog_(executor, "receiver watchdog",
                [this] {
                    if (on_watchdog_) on_watchdog_();
                }) {}

void DeviceEvents::DispatchDeviceEvent(std::uint16_t event_word, std::uint16_t value_word) {
    dispatch(Carrier::DeviceLink, DeviceEvent{event_word, value_word});
}

void DeviceEvents::DispatchBleEvent(std::uint16_t event_word, std::uint16_t value_word) {
    dispatch(Carrier::Ble, DeviceEvent{event_word, value_word});
}

void DeviceEvents::dispatch(Carrier carrier, DeviceEvent e) {
    if (!e.has_marker()) return;
    const int v = e.value_word;
    trace("device event %04x %04x (%s)", e.event_word, e.value_word,
          carrier == Carrier::Ble ? "ble" : "usb");
    switch (e.code()) {
        case kEventDpiStage:
            if (v >= 1 && v <= 8) on_dpi_stage(v);
            break;
        case kEventPollingRate:
            if (v >= 1 && v <= 8) on_polling_rate(carrier, v);
            break;
        case kEventBattery:
            on_battery(carrier, low_byte(e.value_word), high_byte(e.value_word));
            break;
        case kEventAcknowledge:
            links_.ack_received.store(low_byte(e.value_word) == 0 ? 1 : 0);
            break;
        case kEventLightEffect:
            on_light_effect(low_byte(e.value_word));
            break;
        case kEventCode80:
            // Nothing changes: the library is saved as it is.
            if (v >= 1 && v <= 5) commit_change([](ProfileRecord&) {});
            break;
        case kEventCode60:
        default:
            break;
    }
}

void DeviceEvents::on_dpi_stage(int stage) {
    commit_change([stage](ProfileRecord& r) { r.set_dpi_stage_index(stage - 1); });
    std::int32_t dpi_code = 0;
    {
        std::lock_guard<std::mutex> lock(profiles_.mutex());
        dpi_code = profiles_.current().dpi_value(stage - 1);
    }
    facts_.mouse_changed_setting(MouseSetting::DpiStage, stage, false);
    guard_.post([this, dpi_code] {
        if (on_dpi_stage_) on_dpi_stage_(dpi_code);
    });
}

void DeviceEvents::on_polling_rate(Carrier carrier, int code) {
    const int index = polling_index_for_code(code);
    commit_change([index](ProfileRecord& r) { r.set_polling_rate_index(index); });
    facts_.mouse_changed_setting(MouseSetting::PollingRate, index, carrier == Carrier::Ble);
}

void DeviceEvents::on_battery(Carrier carrier, std::uint8_t state, std::uint8_t percent) {
    if (carrier == Carrier::Ble) {
        // Over Bluetooth LE a battery event says nothing about the other links.
        if (state == kBatteryFull) {
            ReportLevel(100);
        } else if (state == kBatteryCharging) {
            ReportCharging();
        } else if (percent <= 100) {
            ReportLevel(percent);
        } else {
            read_battery({BatteryReading::Kind::Unreadable, -1});
        }
        return;
    }
    // A battery event proves the receiver alive just as well as any other
    // event from it does.
    RestartWatchdog();
    if (links_.wired_state.load() == kWiredAttached) {
        // On the cable the mouse charges; the receiver is not what carries it.
        DropWirelessLink();
        if (state == kBatteryFull) ReportLevel(100);
        else ReportCharging();
        return;
    }
    RaiseWirelessLink();
    if (state == kBatteryCharging) ReportCharging();
    else if (percent <= 100) ReportLevel(percent);
    else ReportLevel(100);
}

void DeviceEvents::on_light_effect(std::uint8_t value_low) {
    const int mode = (value_low / 16) % 16;
    commit_change([mode](ProfileRecord& r) { r.set_light_mode(mode); });
    facts_.mouse_changed_setting(MouseSetting::LightMode, mode, false);
}

void DeviceEvents::commit_change(const ProfileChange& change) {
    if (commit_) {
        commit_(change);
        return;
    }
    std::lock_guard<std::mutex> lock(profiles_.mutex());
    change(profiles_.current());
}

void DeviceEvents::NotifyLinkChange() {
    const int any = links_.recompute_any();
    trace("link change: wired %d, wireless %d, ble %d -> any %d", links_.wired_state.load(),
          links_.wireless_connected.load(), links_.ble_connected.load(), any);
    guard_.post([this] {
        if (on_link_change_) on_link_change_();
    });
}

void DeviceEvents::RaiseWirelessLink() {
    if (links_.wireless_connected.load() == 1) return;
    links_.wireless_connected.store(1);
    LinkChanged(ConnectionMode::Wireless, true);
    NotifyLinkChange();
}

void DeviceEvents::DropWirelessLink() {
    if (links_.wireless_connected.load() == 0) return;
    links_.wireless_connected.store(0);
    LinkChanged(ConnectionMode::Wireless, false);
    NotifyLinkChange();
}

void DeviceEvents::read_battery(const BatteryReading& reading) {
    facts_.battery_read(reading);
    if (reading.kind == BatteryReading::Kind::Unreadable) return;
    guard_.post([this] {
        if (on_battery_) on_battery_();
    });
}

void DeviceEvents::ReportCharging() {
    links_.battery_charging.store(1);
    read_battery({BatteryReading::Kind::Charging, -1});
}

void DeviceEvents::ReportLevel(int percent) {
    links_.battery_percent.store(percent);
    links_.battery_charging.store(0);
    read_battery({BatteryReading::Kind::Level, percent});
}

void DeviceEvents::ClearBattery() {
    links_.battery_charging.store(0);
    read_battery({BatteryReading::Kind::Cleared, -1});
}

}  // namespace vantorel
