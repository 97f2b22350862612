// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/linux/hidapi_backend.h"

#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

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

HidapiDevice::HidapiDevice(int read_fd, hid_device* writer, std::map<std::uint8_t, std::size_t> feature_lengths)
    : read_fd_(read_fd),
      stop_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      writer_(writer),
      feature_lengths_(std::move(feature_lengths)) {}

HidapiDevice::~HidapiDevice() {
    ::close(read_fd_);
    if (stop_fd_ >= 0) ::close(stop_fd_);
    hid_close(writer_);
}

int HidapiDevice::read_timeout(std::span<std::uint8_t> buffer, int timeout_ms) {
    if (buffer.empty()) return -1;
    std::lock_guard<std::mutex> lock(read_mutex_);
    pollfd fds[2] = {{read_fd_, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
    const int ready = ::poll(fds, stop_fd_ >= 0 ? 2 : 1, timeout_ms < 0 ? -1 : timeout_ms);
    if (ready < 0) return errno == EINTR ? 0 : -1;
    if (fds[1].revents & POLLIN) return 0;  // interrupted: the reader is stopping
    if (ready == 0) return 0;
    if (!(fds[0].revents & POLLIN)) return -1;  // the node is gone or failing
    const ssize_t n = ::read(read_fd_, buffer.data(), buffer.size());
    if (n < 0) return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    return static_cast<int>(n);
}

void HidapiDevice::interrupt() {
    const std::uint64_t one = 1;
    if (stop_fd_ >= 0 && ::write(stop_fd_, &one, sizeof one) < 0) trace("hidapi: cannot wake the reader");
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
    hid_device* writer = hid_open_path(path.c_str());
    if (!writer) {
        trace("hidapi: cannot open %s", path.c_str());
        return nullptr;
    }
    const int reader = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (reader < 0) {
        trace("hidapi: cannot open %s for reading", path.c_str());
        hid_close(writer);
        return nullptr;
    }
    return std::make_shared<HidapiDevice>(reader, writer, feature_report_lengths(read_hidraw_descriptor(path)));
}

}  // namespace vantorel
