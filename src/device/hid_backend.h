// SPDX-License-Identifier: GPL-2.0-or-later
// The HID access the receiver link needs, behind an interface: the real
// backend sits on hidapi's hidraw library, the fake one is the virtual mouse.
//
// Contract (both backends):
//  - enumerate lists one entry per top-level collection (usage page, usage)
//    of every matching node; several entries may share one path.
//  - open_path returns a handle or null. Opening the same path twice gives
//    two independent handles; callers that want one handle per node share it.
//  - read_timeout blocks for at most `timeout_ms` (-1 = forever) and returns
//    the number of bytes read (report id first), 0 on time-out, -1 on error
//    (for example the device went away).
//  - send_feature_report takes the report id in byte 0 and returns the number
//    of bytes written, or -1.
//  - A handle may be read on one thread while another sends on it.
//  - interrupt() (any thread) makes the read in progress, and every later
//    one, return 0 at once: a reader blocked without a time-out is stopped
//    this way, so it needs no periodic wake-up.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vantorel {

struct HidDeviceInfo {
    std::string path;
    std::uint16_t vendor_id = 0;
    std::uint16_t product_id = 0;
    std::uint16_t usage_page = 0;
    std::uint16_t usage = 0;
    int interface_number = -1;
    // Key shared by the collections of one receiver interface; filled by the
    // backend (for hidraw: the parent USB interface's sysfs path).
    std::string pairing_key;
};

class HidDevice {
public:
    virtual ~HidDevice() = default;
    virtual int read_timeout(std::span<std::uint8_t> buffer, int timeout_ms) = 0;
    virtual int send_feature_report(std::span<const std::uint8_t> report) = 0;
    virtual void interrupt() = 0;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;
    // True when the backend could start (hid_init for hidapi).
    virtual bool init() = 0;
    virtual std::vector<HidDeviceInfo> enumerate(std::uint16_t vendor_id, std::uint16_t product_id) = 0;
    virtual std::shared_ptr<HidDevice> open_path(const std::string& path) = 0;
};

// Identifiers of the devices the tool talks to.
inline constexpr std::uint16_t kVendorId = 0x1D57;
inline constexpr std::uint16_t kReceiverProductId = 0xFA60;
inline constexpr std::uint16_t kWiredProductId = 0x2227;
inline constexpr std::uint16_t kBleVendorId = 0x045E;
inline constexpr std::uint16_t kBleProductId = 0x0227;
inline constexpr std::uint16_t kCommandUsagePage = 0x000B;
inline constexpr std::uint16_t kEventUsagePage = 0x000A;

}  // namespace vantorel
