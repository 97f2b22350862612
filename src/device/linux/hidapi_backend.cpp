// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/linux/hidapi_backend.h"

#include <hidapi/hidapi.h>
#include <libudev.h>

#include <map>

#include "core/trace.h"
#include "device/hid_descriptor.h"
#include "device/linux/hidraw_descriptor.h"

namespace vantorel {
namespace {

std::string syspath_of(udev_device* device) {
    const char* p = device ? udev_device_get_syspath(device) : nullptr;
    return p ? std::string(p) : std::string();
}

// See the header: the USB interface above the node, else its HID device,
// else the node itself.
std::string pairing_key(udev* context, const std::string& devnode) {
    if (!context) return devnode;
    const auto slash = devnode.rfind('/');
    const std::string sysname = slash == std::string::npos ? devnode : devnode.substr(slash + 1);
    udev_device* node = udev_device_new_from_subsystem_sysname(context, "hidraw", sysname.c_str());
    if (!node) return devnode;
    std::string key = syspath_of(udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_interface"));
    if (key.empty()) key = syspath_of(udev_device_get_parent_with_subsystem_devtype(node, "hid", nullptr));
    udev_device_unref(node);
    return key.empty() ? devnode : key;
}

}  // namespace

HidapiDevice::HidapiDevice(hid_device* reader, hid_device* writer, std::map<std::uint8_t, std::size_t> feature_lengths)
    : reader_(reader), writer_(writer), feature_lengths_(std::move(feature_lengths)) {}

HidapiDevice::~HidapiDevice() {
    hid_close(reader_);
    hid_close(writer_);
}

int HidapiDevice::read_timeout(std::span<std::uint8_t> buffer, int timeout_ms) {
    if (buffer.empty()) return -1;
    std::lock_guard<std::mutex> lock(read_mutex_);
    const int n = hid_read_timeout(reader_, buffer.data(), buffer.size(), timeout_ms < 0 ? -1 : timeout_ms);
    return n < 0 ? -1 : n;
}

int HidapiDevice::send_feature_report(std::span<const std::uint8_t> report) {
    if (report.empty()) return -1;
    const std::vector<std::uint8_t> padded = pad_feature_report(report, feature_lengths_);
    std::lock_guard<std::mutex> lock(send_mutex_);
    const int n = hid_send_feature_report(writer_, padded.data(), padded.size());
    if (n < 0) trace("hidapi: feature report 0x%02X (%zu bytes) refused", report[0], report.size());
    return n < 0 ? -1 : n;
}

bool HidapiBackend::init() { return hid_init() == 0; }

std::vector<HidDeviceInfo> HidapiBackend::enumerate(std::uint16_t vendor_id, std::uint16_t product_id) {
    std::vector<HidDeviceInfo> out;
    hid_device_info* list = hid_enumerate(vendor_id, product_id);
    udev* context = list ? udev_new() : nullptr;
    std::map<std::string, std::string> keys;  // one udev look-up per node
    for (hid_device_info* e = list; e; e = e->next) {
        HidDeviceInfo info;
        info.path = e->path ? e->path : "";
        info.vendor_id = e->vendor_id;
        info.product_id = e->product_id;
        info.usage_page = e->usage_page;
        info.usage = e->usage;
        info.interface_number = e->interface_number;
        auto it = keys.find(info.path);
        if (it == keys.end()) it = keys.emplace(info.path, pairing_key(context, info.path)).first;
        info.pairing_key = it->second;
        out.push_back(std::move(info));
    }
    if (context) udev_unref(context);
    hid_free_enumeration(list);
    return out;
}

std::shared_ptr<HidDevice> HidapiBackend::open_path(const std::string& path) {
    hid_device* reader = hid_open_path(path.c_str());
    if (!reader) {
        trace("hidapi: cannot open %s", path.c_str());
        return nullptr;
    }
    hid_device* writer = hid_open_path(path.c_str());
    if (!writer) {
        trace("hidapi: cannot open %s a second time for sending", path.c_str());
        hid_close(reader);
        return nullptr;
    }
    return std::make_shared<HidapiDevice>(reader, writer, feature_report_lengths(read_hidraw_descriptor(path)));
}

}  // namespace vantorel
