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
// It holds two hidapi handles on the node, one for reading and one for
// sending: hidapi 0.13 rewrites a per-handle error string in every read and
// every send, so one handle used from a reader thread and a sending thread at
// once can free that string twice. Input reports reach every open handle of a
// node, so the sending handle simply never reads its own copy.
class HidapiDevice final : public HidDevice {
public:
    // Takes ownership of both handles (neither may be null). Feature reports
    // are padded to `feature_lengths` (see hid_descriptor.h).
    HidapiDevice(hid_device_* reader, hid_device_* writer, std::map<std::uint8_t, std::size_t> feature_lengths = {});
    ~HidapiDevice() override;
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    int read_timeout(std::span<std::uint8_t> buffer, int timeout_ms) override;
    int send_feature_report(std::span<const std::uint8_t> report) override;

private:
    std::mutex read_mutex_;
    std::mutex send_mutex_;
    hid_device_* reader_;
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
