// SPDX-License-Identifier: GPL-2.0-or-later
// The virtual mouse on one link, as the command line's link session uses it:
// the carriers the link controller and the report sender are given in place
// of hidapi, the wired driver library and Bluetooth LE, and the few things
// the mouse does on its own. The virtual mouse itself stays behind this
// class: the commands see only what they use of it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/profile_record.h"
#include "device/ble_transport.h"
#include "device/hid_backend.h"
#include "device/link_state.h"
#include "device/wired_driver.h"

namespace vantorel::cli {

class SimulatedMouse {
public:
    // Plugs in the receiver, the cable or connects Bluetooth LE; the other
    // two links stay absent.
    explicit SimulatedMouse(ConnectionMode link);
    ~SimulatedMouse();
    SimulatedMouse(const SimulatedMouse&) = delete;
    SimulatedMouse& operator=(const SimulatedMouse&) = delete;

    ConnectionMode link() const { return link_; }

    // The HID devices as hidapi would list them: the receiver's two
    // collections, and the mouse's Bluetooth HID device while Bluetooth LE is
    // connected (which is what the link controller's start-up probe looks for).
    HidBackend& hid();
    std::shared_ptr<WiredDriver> wired_driver();
    BleTransport& ble();

    // Whether the device of a link is there, and its node names.
    bool present(ConnectionMode link) const;
    std::vector<std::string> nodes(ConnectionMode link) const;

    // The mouse's own reports, sent on its event link.
    void report_battery(std::uint8_t state, std::uint8_t percent);
    void press_dpi_stage(int stage);

    // True when the mouse holds exactly what the record's reports set over
    // its link; otherwise false with the first difference in *why.
    bool holds_exactly(const ProfileRecord& record, std::string* why) const;

private:
    struct Impl;
    ConnectionMode link_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vantorel::cli
