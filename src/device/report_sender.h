// SPDX-License-Identifier: GPL-2.0-or-later
// ReportSender: the one operation through which every configuration report
// reaches the mouse.
//
// The link is chosen once per report from the link state, cable first, then
// the 2.4 GHz receiver, then Bluetooth LE:
//  - cable: the wired driver's set_feature, 200 ms after the write. A macro
//    block goes as three 64-byte parts (byte 1 = 0x40), each followed by
//    200 ms when the driver took it. No acknowledge, no repetition.
//  - receiver: the acknowledge flag is cleared, then the report is written
//    as a feature report on the receiver's command collection and repeated
//    every 500 ms until the mouse acknowledges it, at most 10 times. A macro
//    block goes as passes of three 64-byte parts (the third with byte 1 =
//    0x0C), 1,000 ms after each part, at most 10 passes; the flag is looked
//    at between passes only.
//  - Bluetooth LE: the whole report in one write, then 500 ms. The polling
//    rate report is not carried over this link.
// All waits go through the injected clock. The sender keeps no state
// between calls and runs on the apply worker only.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "core/clock.h"
#include "core/report_sink.h"
#include "core/reports.h"
#include "device/ble_transport.h"
#include "device/hid_backend.h"
#include "device/link_state.h"
#include "device/wired_driver.h"

namespace vantorel {

// How one report went.
struct SendOutcome {
    ConnectionMode mode = ConnectionMode::None;
    int result = 0;          // what send() returns: nonzero when the report went out
    int transmissions = 0;   // writes put on the link (every part and every repeat)
    int failed_writes = 0;   // writes the transport refused
    bool acknowledged = false;  // receiver: the mouse acknowledged the report
    bool not_carried = false;   // the link does not carry this report (polling rate over Bluetooth LE)
    bool cancelled = false;     // given up early because the sender was cancelled

    // Whether the mouse took the report, as far as the link can tell:
    // acknowledged on the receiver, every write accepted on the cable and
    // over Bluetooth LE. A report the link does not carry at all counts as
    // taken, since sending it again would not change that.
    bool taken() const {
        if (not_carried) return true;
        if (cancelled) return false;
        if (mode == ConnectionMode::Wireless) return acknowledged;
        return result != 0 && failed_writes == 0;
    }
};

class ReportSender final : public ReportSink {
public:
    using Observer = std::function<void(ConnectionMode mode, std::span<const std::uint8_t> bytes)>;
    using CommandDeviceProvider = std::function<std::shared_ptr<HidDevice>()>;

    static constexpr Millis kWiredPause{200};
    static constexpr Millis kWirelessPause{500};
    static constexpr Millis kWirelessPartPause{1000};
    static constexpr Millis kBlePause{500};
    static constexpr int kMaxAttempts = 10;
    static constexpr std::size_t kPartLength = 64;
    static constexpr std::size_t kPieceLength = 60;
    static constexpr int kPartCount = 3;
    static constexpr std::uint8_t kPartLengthByte = 0x40;
    static constexpr std::uint8_t kShortLastPartByte = 0x0C;  // third part on the receiver

    ReportSender(LinkState& links, Clock& clock) : links_(links), clock_(clock) {}

    // Transports. Set them while wiring up, before the first send; the
    // objects must outlive the sender. A missing transport makes its link
    // send nothing.
    void set_wired_driver(WiredDriver* driver) {
        wired_ = [driver] { return std::shared_ptr<WiredDriver>(std::shared_ptr<WiredDriver>(), driver); };
    }
    // Gives the wired driver at the moment of sending (the wired link binds
    // its library at start-up); null when there is none.
    void set_wired_driver_provider(std::function<std::shared_ptr<WiredDriver>()> provider) {
        wired_ = std::move(provider);
    }
    // Gives the receiver's command collection at the moment of sending (the
    // receiver logic decides which one that is); null when there is none.
    void set_command_device_provider(CommandDeviceProvider provider) { command_device_ = std::move(provider); }
    void set_ble_transport(BleTransport* transport) { ble_ = transport; }
    // Called with every transmission just before it goes on the link: each
    // part of a split macro block and each repeat separately.
    void set_observer(Observer observer) { observer_ = std::move(observer); }

    // For the apply engine: 1 when the mouse took the report (see
    // SendOutcome::taken), 0 when it has to go again.
    int send(const Report& report) override { return transmit(report.bytes()).taken() ? 1 : 0; }
    void cancel() override { cancelled_.store(true); }
    // Undoes cancel(), for a sender that outlives the engine that stopped it.
    void resume() { cancelled_.store(false); }

    SendOutcome transmit(const Report& report) { return transmit(report.bytes()); }
    SendOutcome transmit(std::span<const std::uint8_t> report);

    // Part i (0..2) of a macro block for the USB links: bytes 3..130 of the
    // block, followed by zeros, in 60-byte pieces behind a 4-byte header
    // (0x09, 0x40 or 0x0C for the receiver's third part, block number, i).
    static std::array<std::uint8_t, kPartLength> split_part(std::span<const std::uint8_t> block, int i,
                                                            ConnectionMode mode);

private:
    SendOutcome send_wired(std::span<const std::uint8_t> report);
    SendOutcome send_wireless(std::span<const std::uint8_t> report);
    SendOutcome send_ble(std::span<const std::uint8_t> report);
    void observe(ConnectionMode mode, std::span<const std::uint8_t> bytes) const {
        if (observer_) observer_(mode, bytes);
    }

    LinkState& links_;
    Clock& clock_;
    std::function<std::shared_ptr<WiredDriver>()> wired_;
    CommandDeviceProvider command_device_;
    BleTransport* ble_ = nullptr;
    Observer observer_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace vantorel
