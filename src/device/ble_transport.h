// SPDX-License-Identifier: GPL-2.0-or-later
// The Bluetooth LE link as the sender and the event dispatch see it: one
// write characteristic for reports, one notify characteristic for events.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace vantorel {

class BleTransport {
public:
    virtual ~BleTransport() = default;
    // Writes the whole report in one write; 1 when written, 0 otherwise.
    virtual int write(std::span<const std::uint8_t> report) = 0;
    // Called (possibly on another thread) with each notified value.
    virtual void set_notify_handler(std::function<void(std::span<const std::uint8_t>)> handler) = 0;
};

}  // namespace vantorel
