// SPDX-License-Identifier: GPL-2.0-or-later
// Arrivals and removals of the devices the tool cares about, as the device
// monitor (libudev on Linux, or a fake) reports them. The monitor thread
// pushes each change into the queue and tells the links, which drain the
// queue on the UI thread.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace vantorel {

enum class DeviceBus { Usb, Bluetooth, Other };

struct DeviceChange {
    bool arrival = true;          // false: removal
    DeviceBus bus = DeviceBus::Other;
    std::uint16_t vendor_id = 0;
    std::uint16_t product_id = 0;
    std::string subsystem;        // "hidraw" or "usb"
    std::string devnode;          // e.g. /dev/hidraw3 (the path the HID backend lists)
    std::string syspath;
};

class DeviceChangeQueue {
public:
    void push(DeviceChange c) {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(c));
    }
    std::optional<DeviceChange> pop() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.empty()) return std::nullopt;
        DeviceChange c = std::move(queue_.front());
        queue_.pop_front();
        return c;
    }

private:
    std::mutex mutex_;
    std::deque<DeviceChange> queue_;
};

}  // namespace vantorel
