// SPDX-License-Identifier: GPL-2.0-or-later
#include "hidraw_testbed.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace vantorel::testing {
namespace {

// HID short items.
constexpr std::uint8_t kUsagePage16 = 0x06, kUsagePage8 = 0x05, kUsage = 0x09, kCollection = 0xA1,
                       kEndCollection = 0xC0, kReportId = 0x85, kLogicalMin = 0x15, kLogicalMax16 = 0x26,
                       kReportSize = 0x75, kReportCount = 0x95, kInput = 0x81, kFeature = 0xB1;

Bytes byte_collection(std::uint16_t page, std::uint8_t usage, std::uint8_t report_id, std::uint8_t main_item) {
    return {kUsagePage16, static_cast<std::uint8_t>(page & 0xFF), static_cast<std::uint8_t>(page >> 8),
            kUsage, usage, kCollection, 0x01, kReportId, report_id, kUsage, usage, kLogicalMin, 0x00,
            kLogicalMax16, 0xFF, 0x00, kReportSize, 0x08, kReportCount, 0x3F, main_item, 0x02, kEndCollection};
}

std::string hex(const Bytes& bytes, bool upper) {
    std::string s;
    char b[3];
    for (std::uint8_t v : bytes) {
        std::snprintf(b, sizeof b, upper ? "%02X" : "%02x", v);
        s += b;
    }
    return s;
}

std::string hex4(std::uint16_t v, bool upper) {
    char b[8];
    std::snprintf(b, sizeof b, upper ? "%04X" : "%04x", v);
    return b;
}

std::string hex8(std::uint16_t v) {
    char b[12];
    std::snprintf(b, sizeof b, "%08X", v);
    return b;
}

std::string usb_product(std::uint16_t vendor_id, std::uint16_t product_id) {
    char b[32];
    std::snprintf(b, sizeof b, "%x/%x/100", vendor_id, product_id);
    return b;
}

gboolean on_ioctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer fake) {
    return static_cast<FakeHidraw*>(fake)->handle(client) ? TRUE : FALSE;
}

// Copies `len` bytes of the ioctl's argument into the handler; the handler
// may change them, and completing the call writes them back to the caller.
UMockdevIoctlData* resolve(UMockdevIoctlClient* client, std::size_t len) {
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, len, &error);
    if (!data) {
        std::fprintf(stderr, "umockdev: cannot resolve the ioctl argument: %s\n", error ? error->message : "?");
        if (error) g_error_free(error);
    }
    return data;
}

}  // namespace

Bytes command_collection(std::uint8_t feature_report_id) {
    return byte_collection(0x000B, 0x00, feature_report_id, kFeature);
}

Bytes mouse_command_collection() {
    auto feature = [](std::uint8_t id, std::uint8_t count) {
        return Bytes{kReportId, id, kUsage, 0x00, kReportCount, count, kFeature, 0x02};
    };
    Bytes b = {kUsagePage16, 0x0B, 0x00, kUsage, 0x00, kCollection, 0x01,
               kLogicalMin, 0x00, kLogicalMax16, 0xFF, 0x00, kReportSize, 0x08};
    for (const Bytes& part : {feature(0x04, 63), feature(0x05, 16), Bytes{kReportCount, 15, kFeature, 0x02},
                              Bytes{0xA4, 0x75, 0x10},  // Push; Report Size 16
                              feature(0x06, 0), Bytes{0x95, 0x00}, Bytes{0x75, 0x08, 0x95, 15, kFeature, 0x02},
                              Bytes{0xB4},  // Pop: size 8 again
                              feature(0x09, 63)})
        b.insert(b.end(), part.begin(), part.end());
    b.push_back(kEndCollection);
    return b;
}

Bytes event_collection(std::uint8_t input_report_id) {
    return byte_collection(0x000A, 0x00, input_report_id, kInput);
}

Bytes vendor_collection(std::uint8_t feature_report_id) {
    Bytes b = byte_collection(0xFF00, 0x01, feature_report_id, kFeature);
    // A second report in the same collection: input report id + 1.
    b.pop_back();  // End Collection
    const Bytes input = {kReportId, static_cast<std::uint8_t>(feature_report_id + 1), kUsage, 0x01,
                         kReportCount, 0x3F, kInput, 0x02, kEndCollection};
    b.insert(b.end(), input.begin(), input.end());
    return b;
}

Bytes boot_mouse_collection() {
    return {kUsagePage8, 0x01, kUsage, 0x02, kCollection, 0x01, kUsagePage8, 0x09, 0x19, 0x01, 0x29, 0x03,
            kLogicalMin, 0x00, 0x25, 0x01, kReportCount, 0x03, kReportSize, 0x01, kInput, 0x02,
            kReportCount, 0x01, kReportSize, 0x05, kInput, 0x01, kEndCollection};
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<Bytes> FakeHidraw::features_sent() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
}

void FakeHidraw::set_feature_reply(Bytes reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint8_t id = reply.empty() ? 0 : reply[0];
    replies_[id] = std::move(reply);
}

bool FakeHidraw::handle(UMockdevIoctlClient* client) {
    const gulong request = umockdev_ioctl_client_get_request(client);
    if (_IOC_TYPE(request) != 'H') {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return true;
    }
    const std::size_t size = _IOC_SIZE(request);
    long result = -1;
    int error = ENOTTY;
    UMockdevIoctlData* data = nullptr;

    switch (_IOC_NR(request)) {
        case _IOC_NR(HIDIOCGRDESCSIZE):
            if ((data = resolve(client, sizeof(int)))) {
                const int n = static_cast<int>(descriptor_.size());
                std::memcpy(data->data, &n, sizeof n);
                result = 0;
            }
            break;
        case _IOC_NR(HIDIOCGRDESC):
            if ((data = resolve(client, sizeof(hidraw_report_descriptor)))) {
                std::uint32_t wanted = 0;
                std::memcpy(&wanted, data->data, sizeof wanted);
                const std::size_t n = std::min<std::size_t>(wanted, descriptor_.size());
                std::memcpy(data->data + offsetof(hidraw_report_descriptor, value), descriptor_.data(), n);
                result = 0;
            }
            break;
        case 0x06:  // HIDIOCSFEATURE(len)
            if ((data = resolve(client, size))) {
                std::lock_guard<std::mutex> lock(mutex_);
                sent_.emplace_back(data->data, data->data + size);
                result = static_cast<long>(size);
            }
            break;
        case 0x07:  // HIDIOCGFEATURE(len)
            if (size > 0 && (data = resolve(client, size))) {
                std::lock_guard<std::mutex> lock(mutex_);
                auto it = replies_.find(data->data[0]);
                if (it == replies_.end()) {
                    error = EIO;
                } else {
                    const std::size_t n = std::min(size, it->second.size());
                    std::memcpy(data->data, it->second.data(), n);
                    result = static_cast<long>(n);
                }
            }
            break;
        default:
            break;
    }
    umockdev_ioctl_client_complete(client, result, result < 0 ? error : 0);
    if (data) g_object_unref(data);
    return true;
}

HidrawTestbed::HidrawTestbed() : testbed_(umockdev_testbed_new()) {}

HidrawTestbed::~HidrawTestbed() {
    for (auto& [devnode, handler] : handlers_) {
        umockdev_testbed_detach_ioctl(testbed_, devnode.c_str(), nullptr);
        g_object_unref(handler);
    }
    g_object_unref(testbed_);
}

bool HidrawTestbed::preloaded() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload") != nullptr;
}

HidNode HidrawTestbed::add_node(const std::string& parent, std::uint16_t bus, std::uint16_t vendor_id,
                                std::uint16_t product_id, const Bytes& descriptor, const std::string& interface) {
    HidNode node;
    node.interface = interface;
    const std::string hid_name = hex4(bus, true) + ":" + hex4(vendor_id, true) + ":" + hex4(product_id, true) + "." +
                                 hex4(static_cast<std::uint16_t>(next_hid_++), true);
    node.hid = parent + "/" + hid_name;
    const std::string raw_name = "hidraw" + std::to_string(next_hidraw_++);
    node.hidraw = node.hid + "/hidraw/" + raw_name;
    node.devnode = "/dev/" + raw_name;

    const std::string record =
        "P: " + node.hid.substr(4) + "\nE: SUBSYSTEM=hid\nE: HID_ID=" + hex4(bus, true) + ":" + hex8(vendor_id) +
        ":" + hex8(product_id) + "\nE: HID_NAME=Emulated " + hid_name + "\nE: HID_UNIQ=\nH: report_descriptor=" +
        hex(descriptor, true) + "\n\n" + "P: " + node.hidraw.substr(4) + "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=" +
        node.devnode + "\nN: " + raw_name + "\nA: dev=241:" + std::to_string(next_hidraw_ - 1) +
        "\nL: device=../../../" + hid_name + "\n\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error)) {
        std::string message = error ? error->message : "?";
        if (error) g_error_free(error);
        throw std::runtime_error("umockdev: cannot add " + node.hidraw + ": " + message);
    }

    // Input reports are bytes, not lines: no echo, no translation, no signals.
    const int fd = umockdev_testbed_get_dev_fd(testbed_, node.devnode.c_str());
    termios tio{};
    if (fd >= 0 && tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }

    auto fake = std::make_unique<FakeHidraw>(descriptor);
    UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
    g_signal_connect(handler, "handle-ioctl", G_CALLBACK(on_ioctl), fake.get());
    if (!umockdev_testbed_attach_ioctl(testbed_, node.devnode.c_str(), handler, &error)) {
        std::string message = error ? error->message : "?";
        if (error) g_error_free(error);
        g_object_unref(handler);
        throw std::runtime_error("umockdev: cannot attach to " + node.devnode + ": " + message);
    }
    fakes_[node.devnode] = std::move(fake);
    handlers_[node.devnode] = handler;
    return node;
}

HidrawTestbed::UsbDevice HidrawTestbed::add_usb(std::uint16_t vendor_id, std::uint16_t product_id,
                                                const std::vector<Bytes>& descriptors) {
    const int bus_no = next_usb_++;
    UsbDevice dev;
    const std::string name = std::to_string(bus_no) + "-1";
    dev.syspath = "/sys/devices/pci0000:00/usb" + std::to_string(bus_no) + "/" + name;

    std::string record = "P: " + dev.syspath.substr(4) +
                         "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: PRODUCT=" + usb_product(vendor_id, product_id) +
                         "\nE: ID_VENDOR_ID=" + hex4(vendor_id, false) + "\nE: ID_MODEL_ID=" +
                         hex4(product_id, false) + "\nA: idVendor=" + hex4(vendor_id, false) +
                         "\nA: idProduct=" + hex4(product_id, false) + "\n\n";
    std::vector<std::string> interfaces;
    for (std::size_t i = 0; i < descriptors.size(); ++i) {
        interfaces.push_back(dev.syspath + "/" + name + ":1." + std::to_string(i));
        record += "P: " + interfaces.back().substr(4) +
                  "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: PRODUCT=" + usb_product(vendor_id, product_id) +
                  "\nA: bInterfaceNumber=0" + std::to_string(i) + "\n\n";
    }
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error)) {
        std::string message = error ? error->message : "?";
        if (error) g_error_free(error);
        throw std::runtime_error("umockdev: cannot add " + dev.syspath + ": " + message);
    }
    for (std::size_t i = 0; i < descriptors.size(); ++i) {
        dev.nodes.push_back(add_node(interfaces[i], 0x0003, vendor_id, product_id, descriptors[i], interfaces[i]));
    }
    return dev;
}

HidNode HidrawTestbed::add_bluetooth(std::uint16_t vendor_id, std::uint16_t product_id, const Bytes& descriptor) {
    return add_node("/sys/devices/virtual/misc/uhid", 0x0005, vendor_id, product_id, descriptor, "");
}

void HidrawTestbed::remove_node(const HidNode& node) {
    auto h = handlers_.find(node.devnode);
    if (h != handlers_.end()) {
        umockdev_testbed_detach_ioctl(testbed_, node.devnode.c_str(), nullptr);
        g_object_unref(h->second);
        handlers_.erase(h);
    }
    umockdev_testbed_uevent(testbed_, node.hidraw.c_str(), "remove");
    umockdev_testbed_uevent(testbed_, node.hid.c_str(), "remove");
}

void HidrawTestbed::unplug(const UsbDevice& device) {
    for (const HidNode& node : device.nodes) {
        remove_node(node);
        umockdev_testbed_uevent(testbed_, node.interface.c_str(), "remove");
    }
    umockdev_testbed_uevent(testbed_, device.syspath.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, device.syspath.c_str());
}

void HidrawTestbed::unplug(const HidNode& bluetooth_node) {
    remove_node(bluetooth_node);
    umockdev_testbed_remove_device(testbed_, bluetooth_node.hid.c_str());
}

FakeHidraw& HidrawTestbed::hidraw(const std::string& devnode) {
    auto it = fakes_.find(devnode);
    if (it == fakes_.end()) throw std::runtime_error("no emulated node " + devnode);
    return *it->second;
}

void HidrawTestbed::feed(const std::string& devnode, const Bytes& report) {
    const int fd = umockdev_testbed_get_dev_fd(testbed_, devnode.c_str());
    if (fd < 0) throw std::runtime_error("no stream behind " + devnode);
    if (::write(fd, report.data(), report.size()) != static_cast<ssize_t>(report.size())) {
        throw std::runtime_error("cannot feed " + devnode);
    }
}

void RecordingHost::post_message(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back({message, wparam, lparam});
    changed_.notify_all();
}

bool RecordingHost::wait_for(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return messages_.size() >= count; });
}

std::vector<RecordingHost::Message> RecordingHost::messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

}  // namespace vantorel::testing
