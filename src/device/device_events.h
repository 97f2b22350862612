// SPDX-License-Identifier: GPL-2.0-or-later
// Device events: what the mouse reports on its own (DPI stage, polling rate,
// light effect changed with its buttons, battery and charging, the
// acknowledge of a configuration report), how each link carries them, and
// what the tool does with them.
//
// An event is four bytes, the same on every link: marker 0x27, event code,
// 16-bit value (low byte first). The event word is byte 0 + 256 x byte 1,
// the value word byte 2 + 256 x byte 3.
//
// Everything in DeviceEvents runs on the UI thread (the executor's). Events
// decoded on a receiver reader thread or on the Bluetooth callback thread are
// posted to it first and dispatched when their task runs.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/executor.h"
#include "core/profile_source.h"
#include "device/link_facts.h"
#include "device/link_state.h"

namespace vantorel {

inline constexpr std::uint8_t kEventMarker = 0x27;
// Report id of the receiver's input reports that carry an event.
inline constexpr std::uint8_t kEventReportId = 3;
// Event word of the wired driver's attach / detach messages.
inline constexpr std::uint16_t kWiredLinkWord = 0x7F00;
inline constexpr std::uint16_t kWiredAttachValue = 1;
inline constexpr std::uint16_t kWiredDetachValue = 2;

enum EventCode : std::uint8_t {
    kEventDpiStage = 0x10,
    kEventPollingRate = 0x20,
    kEventBattery = 0x41,
    kEventAcknowledge = 0x50,
    kEventCode60 = 0x60,  // reported by the mouse; the tool does nothing with it
    kEventLightEffect = 0x70,
    kEventCode80 = 0x80,  // values 1..5: the profile is committed as it is
};

// Battery states carried in the low value byte of event 0x41.
inline constexpr std::uint8_t kBatteryFull = 2;
inline constexpr std::uint8_t kBatteryCharging = 3;

struct DeviceEvent {
    std::uint16_t event_word = 0;
    std::uint16_t value_word = 0;

    bool has_marker() const { return (event_word & 0xFF) == kEventMarker; }
    std::uint8_t code() const { return static_cast<std::uint8_t>(event_word >> 8); }
    bool operator==(const DeviceEvent&) const = default;
};

// 2.4 GHz receiver: an input report with report id 3 whose bytes 1..4 are
// the event. Anything shorter, or another report id, carries no event.
std::optional<DeviceEvent> event_from_input_report(std::span<const std::uint8_t> report);

// The wired driver's messages (its C interface speaks them). The event
// message: wparam low 16 bits = event word, lparam low 16 bits = value word.
// The attach message: wparam 1 / 0 become the attach / detach word 0x7F00
// with value 1 / 2 (value 0 for any other wparam). Other messages give
// nothing.
std::optional<DeviceEvent> event_from_wired_message(std::uint32_t message, std::uintptr_t wparam,
                                                    std::intptr_t lparam);

// Bluetooth LE: bytes 0..3 of the notified value. A value shorter than four
// bytes carries no event.
std::optional<DeviceEvent> event_from_ble_value(std::span<const std::uint8_t> value);

// DPI shown for a stage's DPI code: 50 x c up to 200, 100 x (c - 100) above.
std::int64_t dpi_for_code(std::int64_t code);
// Text of the DPI popup for a DPI code, "800 DPI" for code 16.
std::string dpi_popup_text(std::int64_t code);

// A change the mouse reported, as a write into a profile record.
using ProfileChange = std::function<void(ProfileRecord&)>;
// Commits such a change: applies it to the edited record and to the apply
// engine's last-applied copy and saves the library, taking the profile
// mutex itself (ApplyEngine::commit_device_change). The change is thus never
// sent back to the mouse, while an edit of the user's that is still waiting
// for its apply stays different and is sent by that apply.
using CommitChange = std::function<void(const ProfileChange&)>;

// The event dispatch, the battery readings and the link-flag bookkeeping
// that every link change goes through; what it learns goes to `facts`.
class DeviceEvents {
public:
    static constexpr int kWatchdogMs = 6000;

    // Without a `commit`, changes are written into the edited record only.
    DeviceEvents(Executor& executor, LinkFacts& facts, LinkState& links, ProfileSource& profiles, CommitChange commit);

    // What the link logic tells the rest of the program, on the executor's
    // thread, each in a task of its own: a link came up or went down; the
    // mouse's DPI button chose a stage (its DPI code); the receiver's
    // presence watchdog ran out; the battery or charging state shown changed.
    void set_battery_handler(std::function<void()> handler) { on_battery_ = std::move(handler); }
    // Sees every event with the marker that a link hands to the dispatch,
    // with the link that carried it, before it is dispatched.
    void set_event_tap(std::function<void(ConnectionMode, const DeviceEvent&)> tap) { on_event_ = std::move(tap); }
    void tap(ConnectionMode link, const DeviceEvent& e) {
        if (on_event_ && e.has_marker()) on_event_(link, e);
    }
    void set_link_change_handler(std::function<void()> handler) { on_link_change_ = std::move(handler); }
    void set_dpi_stage_handler(std::function<void(std::int64_t dpi_code)> handler) { on_dpi_stage_ = std::move(handler); }
    void set_watchdog_handler(std::function<void()> handler) { on_watchdog_ = std::move(handler); }

    // The receiver's presence watchdog: every event from the receiver starts
    // it again; it rests while an apply sends and over Bluetooth LE.
    void RestartWatchdog() { watchdog_.start(kWatchdogMs); }
    void StopWatchdog() { watchdog_.stop(); }
    bool watchdog_running() const { return watchdog_.active(); }

    // Events of the wired and 2.4 GHz links.
    void DispatchDeviceEvent(std::uint16_t event_word, std::uint16_t value_word);
    // Events of the Bluetooth LE link.
    void DispatchBleEvent(std::uint16_t event_word, std::uint16_t value_word);

    // A link flag changed (LinkState holds it): tells the facts at once.
    void LinkChanged(ConnectionMode link, bool up) { facts_.link_changed(link, up); }
    // Recomputes any_link_connected and tells the link change handler.
    void NotifyLinkChange();

    // The 2.4 GHz link flag: raising a raised link or dropping a dropped one
    // does nothing.
    void RaiseWirelessLink();
    void DropWirelessLink();

    // Battery readings: kept in LinkState for the tray and the low-battery
    // warning, and told.
    void ReportCharging();
    void ReportLevel(int percent);
    // The cable left: charging is over and nothing is known.
    void ClearBattery();

private:
    enum class Carrier { DeviceLink, Ble };
    void dispatch(Carrier carrier, DeviceEvent e);
    void on_dpi_stage(int stage);
    void on_polling_rate(Carrier carrier, int code);
    void on_battery(Carrier carrier, std::uint8_t state, std::uint8_t percent);
    void on_light_effect(std::uint8_t value_low);
    void commit_change(const ProfileChange& change);
    void read_battery(const BatteryReading& reading);

    LinkFacts& facts_;
    LinkState& links_;
    ProfileSource& profiles_;
    CommitChange commit_;
    std::function<void()> on_link_change_;
    std::function<void(std::int64_t)> on_dpi_stage_;
    std::function<void()> on_watchdog_;
    std::function<void()> on_battery_;
    std::function<void(ConnectionMode, const DeviceEvent&)> on_event_;
    TaskGuard guard_;
    ExecutorTimer watchdog_;
};

}  // namespace vantorel
