// SPDX-License-Identifier: GPL-2.0-or-later
// VirtualMouse: the device side of the protocol, for the tests, the command
// line and the desktop program's demo mode.
//
// It takes every configuration report the program sends, checks its type,
// length and checksum, puts split macro blocks back together and keeps the
// configuration it was given, so a test can read back what the mouse holds.
// It answers every complete report with the acknowledge event (27 50 00 00
// when accepted, 27 50 01 00 when refused), promptly, late or not at all;
// it can drop off a link in the middle of a transmission; and it sends
// DPI-stage, polling-rate, light-effect and battery events on demand, as if
// its own buttons were pressed.
//
// It is reached through the same interfaces as the real links:
//  - receiver(): a HidBackend listing one 2.4 GHz receiver (1D57:FA60) with
//    a command collection (usage page 0x000B, usage 0) and an event
//    collection (usage page 0x000A, usage 0) that share one pairing key.
//    Feature reports written on the command collection reach the mouse;
//    events come out of the event collection as input reports
//    03 27 code lo hi;
//  - wired_driver(): a WiredDriver for the cable; attach, detach and events
//    are posted to the window handed to open_dev_monitor;
//  - ble(): a BleTransport whose writes reach the mouse and whose
//    notifications carry the four event bytes.
// Everything is thread-safe: reports arrive on the apply worker while
// events are read on reader threads.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/profile_record.h"
#include "core/reports.h"
#include "device/ble_gatt.h"
#include "device/device_events.h"
#include "device/hid_backend.h"
#include "device/link_state.h"
#include "device/wired_driver.h"

namespace vantorel {

class VirtualMouse;

// Four event bytes: marker 0x27, event code, value low byte, value high byte.
using MouseEvent = std::array<std::uint8_t, 4>;

// The event marker, the event codes and the receiver's event report id are
// those of the link logic (device_events.h), so both headers can be used
// together.

// What the DPI and sensor report set.
struct MouseDpiSettings {
    std::uint8_t angle_snap = 0;
    std::uint8_t ripple_control = 0;
    std::uint8_t enabled_mask = 0;     // bit k: stage k in use
    std::uint8_t mid_range_mask = 0;   // bit k: 220 < v <= 340
    std::uint8_t high_range_mask = 0;  // bit k: v > 340
    std::array<std::uint8_t, 8> codes{};
    std::array<std::uint8_t, 8> high_flags{};
    std::uint8_t stage = 0;  // 1-based
    std::array<Color, 8> colors{};
    bool operator==(const MouseDpiSettings&) const = default;
};

// What the light and power report set.
struct MouseLightSettings {
    std::uint8_t effect = 0;
    std::uint8_t sleep_timer = 0;
    std::uint8_t breath_code = 0;  // 9 - breathing speed
    std::uint8_t level = 0;        // brightness for effects 1 and 9, else 8
    Color color;
    std::uint8_t light_off_timer = 0;
    std::uint8_t key_debounce = 0;
    bool operator==(const MouseLightSettings&) const = default;
};

// Everything the mouse holds; a section it never received is empty.
struct MouseConfig {
    int start_reports = 0;
    std::optional<MouseDpiSettings> dpi;
    std::optional<MouseLightSettings> light;
    std::optional<std::uint8_t> polling_code;
    std::optional<std::array<DeviceTriple, profile_layout::kButtonCount>> buttons;
    std::map<int, Report> macro_blocks;  // by device block number
};

// One complete report as the mouse saw it (a split macro block put back
// together, or a part that broke the sequence).
struct ReceivedReport {
    ConnectionMode link = ConnectionMode::None;
    std::vector<std::uint8_t> bytes;
    bool accepted = false;
    std::string problem;  // why it was refused
    std::uint8_t type() const { return bytes.empty() ? 0 : bytes[0]; }
};

enum class AnswerMode {
    Prompt,  // acknowledge at once
    Silent,  // never acknowledge
    Late,    // acknowledge after a delay on the clock
};

namespace virtual_mouse_detail {
struct Anchor;
struct ReceiverState;
}  // namespace virtual_mouse_detail

// The 2.4 GHz receiver as hidapi would list it.
class FakeReceiverBackend final : public HidBackend {
public:
    static constexpr const char* kCommandPath = "virtual-mouse/receiver/command";
    static constexpr const char* kEventPath = "virtual-mouse/receiver/event";
    static constexpr const char* kPairingKey = "virtual-mouse/usb1/1-1:1.1";

    explicit FakeReceiverBackend(std::shared_ptr<virtual_mouse_detail::Anchor> anchor);
    ~FakeReceiverBackend() override;

    bool init() override { return true; }
    // Both collections while plugged and asked for 1D57:FA60; nothing otherwise.
    std::vector<HidDeviceInfo> enumerate(std::uint16_t vendor_id, std::uint16_t product_id) override;
    // A new handle per call; null while unplugged or for an unknown path.
    // Handles opened before an unplug stay dead after the next plug.
    std::shared_ptr<HidDevice> open_path(const std::string& path) override;

    bool plugged() const;
    int open_handles() const;   // handles alive now
    int opens() const;          // handles ever opened
    // Unplugged: reads return -1, writes -1, enumerate lists nothing.
    void set_plugged(bool plugged);
    // Queues an input report on every open event handle.
    void push_input(std::span<const std::uint8_t> report);

private:
    std::shared_ptr<virtual_mouse_detail::ReceiverState> state_;
    std::shared_ptr<virtual_mouse_detail::Anchor> anchor_;
};

// The cable, through the wired driver's call contract.
class FakeWiredDriver final : public WiredDriver {
public:
    explicit FakeWiredDriver(std::shared_ptr<virtual_mouse_detail::Anchor> anchor);

    void set_vid_pid(int vendor_id, int product_id) override;
    void open_dev_monitor(VantorelWindow window, int event_message, int attach_message) override;
    void close_dev_monitor() override;
    // 1 when the cable is plugged and the ids set were the wired mouse's.
    int open_feature_device() override;
    void close_feature_device() override;
    // Feeds the mouse and returns 1; 0 when the feature device is not open.
    int set_feature(std::span<const std::uint8_t> report) override;

    bool cable_plugged() const;
    bool monitoring() const;
    bool feature_device_open() const;
    // Plugs or unplugs the cable; a monitor is told with the attach message
    // (wparam 1 / 0). Unplugging closes the feature device.
    void set_cable(bool plugged);
    // Posts a device event (event word in wparam, value word in lparam).
    void post_event(const MouseEvent& event);

private:
    std::shared_ptr<virtual_mouse_detail::Anchor> anchor_;
    mutable std::mutex mutex_;
    bool cable_ = false;
    int vendor_id_ = 0;
    int product_id_ = 0;
    bool monitoring_ = false;
    VantorelWindow window_{};
    int event_message_ = 0;
    int attach_message_ = 0;
    bool open_ = false;
};

// The Bluetooth LE link: one write characteristic, one notify characteristic,
// and the mouse's connection as a Bluetooth LE stack reports it.
class FakeBleTransport final : public BleGatt {
public:
    explicit FakeBleTransport(std::shared_ptr<virtual_mouse_detail::Anchor> anchor);

    // Feeds the mouse and returns 1; 0 while not connected.
    int write(std::span<const std::uint8_t> report) override;
    // The handler runs on the thread that notifies and must not call back
    // into this transport (it usually posts the value to the UI thread).
    void set_notify_handler(std::function<void(std::span<const std::uint8_t>)> handler) override;
    bool mouse_connected() override { return connected(); }
    // Subscribed while connected; notifications do not wait for it.
    bool open_notifications() override;
    void close_notifications() override;
    // Told on every change of set_connected.
    void set_presence_handler(std::function<void(bool)> handler) override;

    bool connected() const;
    bool subscribed() const;
    void set_connected(bool connected);
    void notify(const MouseEvent& event);

private:
    std::shared_ptr<virtual_mouse_detail::Anchor> anchor_;
    mutable std::mutex mutex_;
    bool connected_ = false;
    bool subscribed_ = false;
    std::function<void(std::span<const std::uint8_t>)> handler_;
    std::mutex presence_mutex_;
    std::function<void(bool)> presence_handler_;
};

class VirtualMouse {
public:
    using EventTap = std::function<void(ConnectionMode link, const MouseEvent& event)>;

    // Late answers are scheduled on the clock: with a ManualClock they come
    // when virtual time reaches them, otherwise in real time.
    explicit VirtualMouse(Clock& clock = SteadyClock::instance());
    ~VirtualMouse();
    VirtualMouse(const VirtualMouse&) = delete;
    VirtualMouse& operator=(const VirtualMouse&) = delete;

    FakeReceiverBackend& receiver() { return *receiver_; }
    FakeWiredDriver& wired_driver() { return *wired_; }
    FakeBleTransport& ble() { return *ble_; }
    // The same carriers for owners that keep them in shared pointers. A
    // carrier that outlives the mouse reaches nothing any more.
    std::shared_ptr<FakeReceiverBackend> shared_receiver() { return receiver_; }
    std::shared_ptr<FakeWiredDriver> shared_wired_driver() { return wired_; }
    std::shared_ptr<FakeBleTransport> shared_ble() { return ble_; }

    void plug_receiver() { receiver_->set_plugged(true); }
    void unplug_receiver() { receiver_->set_plugged(false); }
    void plug_cable() { wired_->set_cable(true); }
    void unplug_cable() { wired_->set_cable(false); }
    void connect_ble() { ble_->set_connected(true); }
    void disconnect_ble() { ble_->set_connected(false); }

    void set_answer_mode(AnswerMode mode, Millis delay = Millis(0));

    // Faults. The mouse drops off the link that carries the n-th transmission
    // from now (n >= 1) as that transmission arrives: it is lost, unanswered,
    // and the carrier reports the write as failed; then the receiver is
    // unplugged, the cable pulled or Bluetooth LE disconnected, on the
    // sending thread. The link can be brought back as usual. n <= 0 cancels.
    void vanish_after(int transmissions);
    // Runs `action` on the sending thread once the n-th transmission from now
    // has been taken (and answered), outside the mouse's locks, so it may plug
    // or unplug links; for faults that strike while a link is busy.
    void after_transmissions(int transmissions, std::function<void()> action);

    // One transmission arriving on a link (the fakes call this). False when
    // it was lost because the mouse vanished from the link as it arrived.
    bool feed(ConnectionMode link, std::span<const std::uint8_t> bytes);

    // Why a whole report would be refused; empty when it is well formed.
    static std::string check_report(std::span<const std::uint8_t> bytes);

    MouseConfig config() const;
    // What a mouse holding exactly this record holds: the settings its DPI,
    // light, polling and button reports set, and the blocks of every macro
    // slot in the order they are written.
    static MouseConfig expected_config(const ProfileRecord& record);
    // True when every section the record's reports set is held as they
    // would set it; otherwise false with the first difference in *why.
    // Over Bluetooth LE the polling rate is not carried, so for that link
    // it is left out of the comparison.
    bool holds_exactly(const ProfileRecord& record, std::string* why = nullptr,
                       ConnectionMode link = ConnectionMode::Wired) const;

    std::vector<ReceivedReport> reports() const;
    int accepted_reports(std::uint8_t type) const;  // complete reports of that type taken
    int rejected_reports() const;
    int transmissions() const;                      // everything fed, every part and repeat
    void clear_log();

    // The mouse's own buttons and battery: changes what it holds where that
    // applies, then sends the event on the event link.
    void press_dpi_stage(int stage);           // 1..8, event 0x10
    void press_polling_rate(std::uint8_t code);  // 1, 2, 4 or 8, event 0x20
    void press_light_effect(int effect);       // 0..15, event 0x70 with the effect in the high nibble
    void report_battery(std::uint8_t state, std::uint8_t percent);  // event 0x41
    // One press of the DPI button (the next stage in use, after the last the
    // first) or of the light button (the next of the 12 effects), sent as
    // press_dpi_stage and press_light_effect send them.
    enum class OwnButton { Dpi, Light };
    void press_own_button(OwnButton button);
    void emit_event(std::uint8_t code, std::uint16_t value);
    void emit_event(ConnectionMode link, std::uint8_t code, std::uint16_t value);
    // The link events go out on: the cable when plugged, else the receiver,
    // else Bluetooth LE; None when no link is up.
    ConnectionMode event_link() const;

    // Called with every event the mouse sends, on the sending thread, before
    // it goes on its link (also for None).
    void set_event_tap(EventTap tap);

private:
    friend struct virtual_mouse_detail::Anchor;
    struct Assembly {
        bool active = false;
        std::uint8_t block = 0;
        int next_part = 0;
        std::array<std::uint8_t, 180> data{};
    };
    struct Answer {
        ConnectionMode link;
        MouseEvent event;
    };
    class Delayer;

    // Requires state_mutex_.
    void take_part(ConnectionMode link, std::span<const std::uint8_t> part, std::vector<Answer>& answers);
    void take_whole(ConnectionMode link, std::span<const std::uint8_t> bytes, bool reassembled,
                    std::vector<Answer>& answers);
    void store(std::span<const std::uint8_t> report);
    void refuse(ConnectionMode link, std::span<const std::uint8_t> bytes, std::string problem,
                std::vector<Answer>& answers);

    void answer(const Answer& a);
    void deliver(ConnectionMode link, const MouseEvent& event);

    Clock& clock_;
    std::shared_ptr<virtual_mouse_detail::Anchor> anchor_;
    std::shared_ptr<FakeReceiverBackend> receiver_;
    std::shared_ptr<FakeWiredDriver> wired_;
    std::shared_ptr<FakeBleTransport> ble_;

    mutable std::mutex state_mutex_;
    MouseConfig config_;
    std::vector<ReceivedReport> log_;
    int transmissions_ = 0;
    std::map<ConnectionMode, Assembly> assemblies_;
    AnswerMode answer_mode_ = AnswerMode::Prompt;
    Millis answer_delay_{0};
    int vanish_countdown_ = 0;  // 0: no vanish pending
    int action_countdown_ = 0;  // 0: no action pending
    std::function<void()> action_;
    EventTap tap_;

    std::mutex delayer_mutex_;
    std::unique_ptr<Delayer> delayer_;  // real-time late answers, started on first use
};

}  // namespace vantorel
