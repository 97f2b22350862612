// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/linux/udev_monitor.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <functional>
#include <system_error>

#include "core/trace.h"
#include "device/hid_backend.h"

namespace vantorel {
namespace {

// Parses a whole field of hexadecimal digits (at most `max_digits`).
std::optional<std::uint32_t> parse_hex_field(std::string_view field, std::size_t max_digits) {
    if (field.empty() || field.size() > max_digits) return std::nullopt;
    std::uint32_t value = 0;
    const char* end = field.data() + field.size();
    auto [ptr, ec] = std::from_chars(field.data(), end, value, 16);
    if (ec != std::errc{} || ptr != end) return std::nullopt;
    return value;
}

std::optional<std::uint16_t> parse_hex16(std::string_view field, std::size_t max_digits) {
    auto v = parse_hex_field(field, max_digits);
    if (!v || *v > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(*v);
}

// Splits at every `separator`.
std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t pos = text.find(separator, start);
        if (pos == std::string_view::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

const std::string* find_property(const UeventProperties& properties, std::string_view name) {
    auto it = properties.find(name);
    return it == properties.end() ? nullptr : &it->second;
}

std::string safe(const char* s) { return s ? std::string(s) : std::string(); }

UeventProperties properties_of(udev_device* device) {
    UeventProperties properties;
    for (udev_list_entry* e = udev_device_get_properties_list_entry(device); e; e = udev_list_entry_get_next(e)) {
        const char* name = udev_list_entry_get_name(e);
        if (name) properties.emplace(name, safe(udev_list_entry_get_value(e)));
    }
    return properties;
}

// Device node of a hidraw device: udev's, else /dev/ plus the kernel name.
std::string devnode_of(udev_device* device) {
    if (const char* node = udev_device_get_devnode(device)) return node;
    if (const char* name = udev_device_get_sysname(device)) return std::string("/dev/") + name;
    return {};
}

// The identity of a hidraw node from its parent HID device, read from sysfs
// (only while the node exists).
std::optional<DeviceIdentity> identify_hidraw(udev_device* hidraw) {
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    if (!hid) return std::nullopt;
    return identify_hid_device(properties_of(hid));
}

// Calls `visit` for every matching hidraw node present now.
void for_each_matching_hidraw(udev* context,
                              const std::function<void(udev_device*, const DeviceIdentity&)>& visit) {
    udev_enumerate* enumerate = udev_enumerate_new(context);
    if (!enumerate) return;
    udev_enumerate_add_match_subsystem(enumerate, "hidraw");
    udev_enumerate_scan_devices(enumerate);
    for (udev_list_entry* e = udev_enumerate_get_list_entry(enumerate); e; e = udev_list_entry_get_next(e)) {
        udev_device* device = udev_device_new_from_syspath(context, udev_list_entry_get_name(e));
        if (!device) continue;
        if (auto identity = identify_hidraw(device)) visit(device, *identity);
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
}

}  // namespace

const char* watched_device_name(WatchedDevice device) {
    switch (device) {
        case WatchedDevice::Receiver: return "receiver";
        case WatchedDevice::WiredMouse: return "wired";
        case WatchedDevice::BleMouse: return "ble";
    }
    return "?";
}

bool is_receiver(DeviceBus bus, std::uint16_t vendor_id, std::uint16_t product_id) {
    return bus == DeviceBus::Usb && vendor_id == kVendorId && product_id == kReceiverProductId;
}

bool is_wired_mouse(DeviceBus bus, std::uint16_t vendor_id, std::uint16_t product_id) {
    return bus == DeviceBus::Usb && vendor_id == kVendorId && product_id == kWiredProductId;
}

bool is_ble_mouse(DeviceBus bus, std::uint16_t vendor_id, std::uint16_t product_id) {
    return bus == DeviceBus::Bluetooth && vendor_id == kBleVendorId && product_id == kBleProductId;
}

std::optional<DeviceIdentity> identify(DeviceBus bus, std::uint16_t vendor_id, std::uint16_t product_id) {
    DeviceIdentity id{WatchedDevice::Receiver, bus, vendor_id, product_id};
    if (is_receiver(bus, vendor_id, product_id)) return id;
    if (is_wired_mouse(bus, vendor_id, product_id)) {
        id.device = WatchedDevice::WiredMouse;
        return id;
    }
    if (is_ble_mouse(bus, vendor_id, product_id)) {
        id.device = WatchedDevice::BleMouse;
        return id;
    }
    return std::nullopt;
}

std::optional<HidId> parse_hid_id(std::string_view text) {
    auto fields = split(text, ':');
    if (fields.size() != 3) return std::nullopt;
    auto bus = parse_hex_field(fields[0], 4);
    auto vendor = parse_hex16(fields[1], 8);
    auto product = parse_hex16(fields[2], 8);
    if (!bus || !vendor || !product) return std::nullopt;
    HidId id;
    id.bus = *bus == 0x03 ? DeviceBus::Usb : *bus == 0x05 ? DeviceBus::Bluetooth : DeviceBus::Other;
    id.vendor_id = *vendor;
    id.product_id = *product;
    return id;
}

std::optional<UsbId> parse_usb_product(std::string_view text) {
    auto fields = split(text, '/');
    if (fields.size() != 3) return std::nullopt;
    auto vendor = parse_hex16(fields[0], 4);
    auto product = parse_hex16(fields[1], 4);
    if (!vendor || !product || !parse_hex_field(fields[2], 4)) return std::nullopt;
    return UsbId{*vendor, *product};
}

std::optional<DeviceIdentity> identify_usb_device(const UeventProperties& properties) {
    const std::string* devtype = find_property(properties, "DEVTYPE");
    if (!devtype || *devtype != "usb_device") return std::nullopt;

    std::optional<UsbId> ids;
    const std::string* vendor = find_property(properties, "ID_VENDOR_ID");
    const std::string* model = find_property(properties, "ID_MODEL_ID");
    if (vendor && model) {
        auto v = parse_hex16(*vendor, 4);
        auto p = parse_hex16(*model, 4);
        if (v && p) ids = UsbId{*v, *p};
    }
    if (!ids) {
        if (const std::string* product = find_property(properties, "PRODUCT")) ids = parse_usb_product(*product);
    }
    if (!ids) return std::nullopt;
    return identify(DeviceBus::Usb, ids->vendor_id, ids->product_id);
}

std::optional<DeviceIdentity> identify_hid_device(const UeventProperties& hid_properties) {
    const std::string* hid_id = find_property(hid_properties, "HID_ID");
    if (!hid_id) return std::nullopt;
    auto id = parse_hid_id(*hid_id);
    if (!id) return std::nullopt;
    return identify(id->bus, id->vendor_id, id->product_id);
}

std::vector<PresentDevice> enumerate_present() {
    std::vector<PresentDevice> present;
    udev* context = udev_new();
    if (!context) {
        trace("udev: no context, cannot list devices");
        return present;
    }
    for_each_matching_hidraw(context, [&](udev_device* device, const DeviceIdentity& identity) {
        PresentDevice p;
        p.identity = identity;
        p.devnode = devnode_of(device);
        p.syspath = safe(udev_device_get_syspath(device));
        p.accessible = !p.devnode.empty() && ::access(p.devnode.c_str(), R_OK | W_OK) == 0;
        present.push_back(std::move(p));
    });
    udev_unref(context);
    std::sort(present.begin(), present.end(),
              [](const PresentDevice& a, const PresentDevice& b) { return a.devnode < b.devnode; });
    return present;
}

UdevMonitor::UdevMonitor(std::function<void()> changed, DeviceChangeQueue& queue)
    : changed_(std::move(changed)), queue_(queue) {}

UdevMonitor::~UdevMonitor() { stop(); }

bool UdevMonitor::start() {
    if (running()) return true;

    udev_ = udev_new();
    if (!udev_) {
        trace("udev: no context, device changes are not watched");
        return false;
    }
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        trace("udev: cannot set up the device monitor");
        release();
        return false;
    }
    stop_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stop_fd_ < 0) {
        trace("udev: eventfd failed: %s", std::strerror(errno));
        release();
        return false;
    }

    // Receiving is enabled before the listing, so a node that arrives in
    // between is seen at least once.
    known_nodes_.clear();
    for_each_matching_hidraw(udev_, [this](udev_device* device, const DeviceIdentity& identity) {
        known_nodes_[devnode_of(device)] = identity;
    });

    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error& e) {
        trace("udev: cannot start the monitor thread: %s", e.what());
        release();
        return false;
    }
    return true;
}

void UdevMonitor::stop() {
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        if (::write(stop_fd_, &one, sizeof one) < 0) trace("udev: cannot signal the monitor thread");
        thread_.join();
    }
    release();
}

void UdevMonitor::release() {
    if (monitor_) udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    if (udev_) udev_unref(udev_);
    udev_ = nullptr;
    if (stop_fd_ >= 0) ::close(stop_fd_);
    stop_fd_ = -1;
}

void UdevMonitor::run() {
    pollfd fds[2] = {{udev_monitor_get_fd(monitor_), POLLIN, 0}, {stop_fd_, POLLIN, 0}};
    for (;;) {
        fds[0].revents = fds[1].revents = 0;
        int n = ::poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            trace("udev: poll failed: %s", std::strerror(errno));
            return;
        }
        if (fds[1].revents != 0) return;
        if (fds[0].revents & POLLIN) {
            if (udev_device* device = udev_monitor_receive_device(monitor_)) {
                handle_event(device);
                udev_device_unref(device);
            }
        } else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            trace("udev: the monitor socket failed");
            return;
        }
    }
}

void UdevMonitor::handle_event(udev_device* device) {
    const std::string action = safe(udev_device_get_action(device));
    const std::string subsystem = safe(udev_device_get_subsystem(device));
    const bool arrival = action == "add";
    if (!arrival && action != "remove") return;  // change, bind, unbind: nothing for us
    const std::string syspath = safe(udev_device_get_syspath(device));

    if (subsystem == "hidraw") {
        const std::string devnode = devnode_of(device);
        if (arrival) {
            auto identity = identify_hidraw(device);
            if (!identity) return;
            known_nodes_[devnode] = *identity;
            report(*identity, true, subsystem, devnode, syspath);
        } else {
            auto it = known_nodes_.find(devnode);
            if (it == known_nodes_.end()) return;
            DeviceIdentity identity = it->second;
            known_nodes_.erase(it);
            report(identity, false, subsystem, devnode, syspath);
        }
    } else if (subsystem == "usb") {
        auto identity = identify_usb_device(properties_of(device));
        if (!identity) return;
        report(*identity, arrival, subsystem, safe(udev_device_get_devnode(device)), syspath);
    }
}

void UdevMonitor::report(const DeviceIdentity& identity, bool arrival, std::string subsystem, std::string devnode,
                         std::string syspath) {
    trace("udev: %s %s %s %s", watched_device_name(identity.device), arrival ? "arrived" : "left",
          subsystem.c_str(), devnode.empty() ? syspath.c_str() : devnode.c_str());
    DeviceChange change;
    change.arrival = arrival;
    change.bus = identity.bus;
    change.vendor_id = identity.vendor_id;
    change.product_id = identity.product_id;
    change.subsystem = std::move(subsystem);
    change.devnode = std::move(devnode);
    change.syspath = std::move(syspath);
    queue_.push(std::move(change));
    if (changed_) changed_();
}

}  // namespace vantorel
