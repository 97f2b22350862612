// SPDX-License-Identifier: GPL-2.0-or-later
// The HID backend on hidapi's hidraw library (never the libusb one, which
// detaches the kernel's driver and so takes the pointer away from the user).
//
// hidapi on Linux lists one entry per usage pair of a node's report
// descriptor, every entry with the node's path (/dev/hidrawN); they are
// passed through as they come. Each entry's pairing key is the sysfs path of
// the USB interface above the node, so all collections of one receiver
// interface share it; a node without a USB interface (Bluetooth) uses its HID
// device's sysfs path, and a node udev does not know uses its own path.
#pragma once

#include <memory>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "device/hid_backend.h"

struct hid_device_;

namespace vantorel {

// One opened hidraw node.
//
// Feature reports go through a hidapi handle. Input reports are read from a
// descriptor of the node's own, waited on together with an eventfd, so a read
// can block until a report comes and still be woken by interrupt(); and no
// hidapi handle is shared between the reading and the sending thread
// (hidapi 0.13 rewrites a per-handle error string in every call). Input
// reports reach every open descriptor of a node, so the sending handle
// simply never reads its own copy.
class HidapiDevice final : public HidDevice {
public:
    // Takes ownership of the read descriptor and the sending handle (neither
    // may be invalid). Feature reports are padded to `feature_lengths` (see
    // hid_descriptor.h).
    HidapiDevice(int read_fd, hid_device_* writer, std::map<std::uint8_t, std::size_t> feature_lengths = {});
    ~HidapiDevice() override;
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    int read_timeout(std::span<std::uint8_t> buffer, int timeout_ms) override;
    int send_feature_report(std::span<const std::uint8_t> report) override;
    void interrupt() override;

private:
    std::mutex read_mutex_;
    std::mutex send_mutex_;
    int read_fd_;
    int stop_fd_;
    hid_device_* writer_;
    const std::map<std::uint8_t, std::size_t> feature_lengths_;
};

class HidapiBackend final : public HidBackend {
public:
    bool init() override;
    std::vector<HidDeviceInfo> enumerate(std::uint16_t vendor_id, std::uint16_t product_id) override;
    std::shared_ptr<HidDevice> open_path(const std::string& path) override;
};

}  // namespace vantorel
