// SPDX-License-Identifier: GPL-2.0-or-later
// The wired driver library on hidapi-hidraw and libudev.
//
// Open_DevMonitor watches the hidraw nodes of the mouse named by Set_VIDPID
// (on the USB bus) and posts the attach message with wparam 1 when one of its
// nodes arrives (the command node may come after the others, so each counts)
// and 0 when the last one leaves. SetFeature pads a report with zeros to the
// length the mouse's report descriptor declares for its report id. Open_FeatureDevice
// opens the mouse's command collection for SetFeature / GetFeature and starts
// one reader thread per event node; every input report that carries a device
// event is posted as the event message (wparam event word, lparam value word).
//
// Everything is posted through the window handed to Open_DevMonitor, under a
// lock that Close_DevMonitor also takes, so nothing is posted once it has
// returned. The readers post nothing while no monitor is open.
#include <hidapi/hidapi.h>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <span>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "device/hid_descriptor.h"
#include "device/linux/hidraw_descriptor.h"
#include "vantorel/wired_driver_abi.h"
#include "wired_reports.h"

namespace {

using hiddriver::Collection;

constexpr int kReadSliceMs = 50;       // how long a reader waits before checking its stop flag
constexpr std::size_t kReportBytes = 256;

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void trace(const char* format, ...) {
    static const bool enabled = [] {
        const char* v = std::getenv("QV_VANTOREL_DEBUG");
        return v && *v && std::strcmp(v, "0") != 0;
    }();
    if (!enabled) return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "[hiddriver_2] %s\n", line);
}

// The window and message ids of the open monitor.
class Poster {
public:
    void open(const VantorelWindow& window, int event_message, int attach_message) {
        std::lock_guard<std::mutex> lock(mutex_);
        window_ = window;
        event_message_ = event_message;
        attach_message_ = attach_message;
        open_ = window.post != nullptr;
    }
    void close() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = false;
        window_ = VantorelWindow{};
    }
    void post_attach(bool attached) { post(true, attached ? 1 : 0, 0); }
    void post_event(const hiddriver::DeviceEvent& e) { post(false, e.event_word, e.value_word); }

private:
    void post(bool attach, std::uintptr_t wparam, std::intptr_t lparam) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!open_) return;
        const int message = attach ? attach_message_ : event_message_;
        window_.post(window_.target, static_cast<std::uint32_t>(message), wparam, lparam);
    }

    std::mutex mutex_;
    bool open_ = false;
    VantorelWindow window_{};
    int event_message_ = 0;
    int attach_message_ = 0;
};

struct UsbIds {
    std::uint16_t vendor_id = 0;
    std::uint16_t product_id = 0;
    bool valid() const { return vendor_id != 0 || product_id != 0; }
};

std::optional<std::uint32_t> hex_field(std::string_view field) {
    std::uint32_t v = 0;
    const char* end = field.data() + field.size();
    auto [ptr, ec] = std::from_chars(field.data(), end, v, 16);
    if (field.empty() || ec != std::errc{} || ptr != end) return std::nullopt;
    return v;
}

// True when a hidraw node belongs to the USB device `ids`: its HID device's
// HID_ID reads "0003:<vendor>:<product>".
bool node_matches(udev_device* hidraw, UsbIds ids) {
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    const char* hid_id = hid ? udev_device_get_property_value(hid, "HID_ID") : nullptr;
    if (!hid_id) return false;
    std::string_view text(hid_id);
    const auto a = text.find(':');
    const auto b = a == std::string_view::npos ? a : text.find(':', a + 1);
    if (b == std::string_view::npos) return false;
    auto bus = hex_field(text.substr(0, a));
    auto vendor = hex_field(text.substr(a + 1, b - a - 1));
    auto product = hex_field(text.substr(b + 1));
    return bus && vendor && product && *bus == 0x03 && *vendor == ids.vendor_id && *product == ids.product_id;
}

std::string devnode_of(udev_device* device) {
    if (const char* node = udev_device_get_devnode(device)) return node;
    if (const char* name = udev_device_get_sysname(device)) return std::string("/dev/") + name;
    return {};
}

// Watches the mouse's hidraw nodes on its own thread.
class DevMonitor {
public:
    ~DevMonitor() { stop(); }

    bool start(UsbIds ids, Poster& poster) {
        stop();
        ids_ = ids;
        poster_ = &poster;
        udev_ = udev_new();
        monitor_ = udev_ ? udev_monitor_new_from_netlink(udev_, "udev") : nullptr;
        if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
            udev_monitor_enable_receiving(monitor_) < 0) {
            trace("cannot set up the udev monitor");
            release();
            return false;
        }
        stop_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (stop_fd_ < 0) {
            release();
            return false;
        }
        // The nodes present now count as attached already: the application
        // probes them with Open_FeatureDevice itself.
        nodes_.clear();
        if (udev_enumerate* e = udev_enumerate_new(udev_)) {
            udev_enumerate_add_match_subsystem(e, "hidraw");
            udev_enumerate_scan_devices(e);
            for (udev_list_entry* it = udev_enumerate_get_list_entry(e); it; it = udev_list_entry_get_next(it)) {
                udev_device* d = udev_device_new_from_syspath(udev_, udev_list_entry_get_name(it));
                if (!d) continue;
                if (node_matches(d, ids_)) nodes_.insert(devnode_of(d));
                udev_device_unref(d);
            }
            udev_enumerate_unref(e);
        }
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            release();
            return false;
        }
        return true;
    }

    void stop() {
        if (thread_.joinable()) {
            const std::uint64_t one = 1;
            if (::write(stop_fd_, &one, sizeof one) < 0) trace("cannot wake the monitor thread");
            thread_.join();
        }
        release();
    }

private:
    void release() {
        if (monitor_) udev_monitor_unref(monitor_);
        monitor_ = nullptr;
        if (udev_) udev_unref(udev_);
        udev_ = nullptr;
        if (stop_fd_ >= 0) ::close(stop_fd_);
        stop_fd_ = -1;
    }

    void run() {
        pollfd fds[2] = {{udev_monitor_get_fd(monitor_), POLLIN, 0}, {stop_fd_, POLLIN, 0}};
        for (;;) {
            fds[0].revents = fds[1].revents = 0;
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents != 0) return;
            if (fds[0].revents & POLLIN) {
                if (udev_device* d = udev_monitor_receive_device(monitor_)) {
                    handle(d);
                    udev_device_unref(d);
                }
            } else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                return;
            }
        }
    }

    // A removed node is gone from sysfs, so removals are matched against
    // the nodes seen before.
    void handle(udev_device* d) {
        const char* action = udev_device_get_action(d);
        if (!action) return;
        const std::string node = devnode_of(d);
        if (std::strcmp(action, "add") == 0) {
            if (!node_matches(d, ids_)) return;
            if (!nodes_.insert(node).second) return;
            trace("wired mouse node %s arrived", node.c_str());
            // Every node is announced: the application opens the feature
            // device on the first one that carries it, and ignores attaches
            // while it is attached.
            poster_->post_attach(true);
        } else if (std::strcmp(action, "remove") == 0) {
            if (nodes_.erase(node) == 0) return;
            trace("wired mouse node %s left", node.c_str());
            if (nodes_.empty()) poster_->post_attach(false);
        }
    }

    UsbIds ids_;
    Poster* poster_ = nullptr;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    int stop_fd_ = -1;
    std::thread thread_;
    std::set<std::string> nodes_;
};

// A reader thread on its own handle of an event node.
class Reader {
public:
    Reader(hid_device* device, Poster& poster) : device_(device), thread_([this, &poster] { run(poster); }) {}
    ~Reader() {
        stop_.store(true);
        thread_.join();
        hid_close(device_);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

private:
    void run(Poster& poster) {
        std::uint8_t report[kReportBytes];
        while (!stop_.load()) {
            const int n = hid_read_timeout(device_, report, sizeof report, kReadSliceMs);
            if (n < 0) {
                trace("reading the wired mouse failed; reader ends");
                return;
            }
            if (n == 0) continue;
            if (auto e = hiddriver::find_event(report, static_cast<std::size_t>(n))) poster.post_event(*e);
        }
    }

    hid_device* device_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class FeatureDevice {
public:
    ~FeatureDevice() { close(); }

    bool open(UsbIds ids, Poster& poster) {
        close();
        if (!ids.valid()) return false;
        std::vector<Collection> collections;
        hid_device_info* list = hid_enumerate(ids.vendor_id, ids.product_id);
        for (hid_device_info* e = list; e; e = e->next) {
            if (e->path) collections.push_back(Collection{e->path, e->usage_page, e->usage});
        }
        hid_free_enumeration(list);

        auto feature = hiddriver::pick_feature_collection(collections);
        if (!feature) {
            trace("no command collection among %zu collections", collections.size());
            return false;
        }
        hid_device* handle = hid_open_path(feature->path.c_str());
        if (!handle) {
            trace("cannot open %s", feature->path.c_str());
            return false;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            feature_ = handle;
            feature_lengths_ = vantorel::feature_report_lengths(vantorel::read_hidraw_descriptor(feature->path));
        }
        // Readers get handles of their own: hidapi 0.13 must not be used on
        // one handle from two threads.
        for (const std::string& path : hiddriver::event_paths(collections, feature->path)) {
            hid_device* reader = hid_open_path(path.c_str());
            if (!reader) {
                trace("cannot open %s for events", path.c_str());
                continue;
            }
            try {
                readers_.push_back(std::make_unique<Reader>(reader, poster));
            } catch (const std::system_error&) {
                hid_close(reader);
            }
        }
        trace("feature device %s open, %zu event reader(s)", feature->path.c_str(), readers_.size());
        return true;
    }

    void close() {
        readers_.clear();  // joins every reader
        std::lock_guard<std::mutex> lock(mutex_);
        if (feature_) hid_close(feature_);
        feature_ = nullptr;
    }

    int set_feature(const unsigned char* data, int length) {
        if (!data || length <= 0) return 0;
        std::lock_guard<std::mutex> lock(mutex_);
        if (!feature_) return 0;
        const auto padded = vantorel::pad_feature_report(
            std::span<const unsigned char>(data, static_cast<std::size_t>(length)), feature_lengths_);
        const int n = hid_send_feature_report(feature_, padded.data(), padded.size());
        if (n <= 0) trace("feature report 0x%02X refused", data[0]);
        return n > 0 ? n : 0;
    }

    int get_feature(unsigned char* data, int length) {
        if (!data || length <= 0) return 0;
        std::lock_guard<std::mutex> lock(mutex_);
        if (!feature_) return 0;
        const int n = hid_get_feature_report(feature_, data, static_cast<std::size_t>(length));
        return n > 0 ? n : 0;
    }

private:
    std::mutex mutex_;  // guards feature_, which SetFeature uses from any thread
    hid_device* feature_ = nullptr;
    std::map<std::uint8_t, std::size_t> feature_lengths_;  // declared by the mouse, by report id
    std::vector<std::unique_ptr<Reader>> readers_;
};

struct Driver {
    std::mutex api;  // one Open/Close call at a time
    std::atomic<std::uint32_t> ids{0};
    Poster poster;
    DevMonitor monitor;
    FeatureDevice feature;

    UsbIds usb_ids() const {
        const std::uint32_t v = ids.load();
        return UsbIds{static_cast<std::uint16_t>(v >> 16), static_cast<std::uint16_t>(v & 0xFFFF)};
    }
    // Unloading the library with the device still open stops the threads
    // before their code goes away.
    ~Driver() {
        monitor.stop();
        poster.close();
        feature.close();
    }
};

Driver& driver() {
    static Driver d;
    return d;
}

}  // namespace

extern "C" {

VANTOREL_EXPORT void Set_VIDPID(int vid, int pid) {
    const bool valid = vid >= 0 && vid <= 0xFFFF && pid >= 0 && pid <= 0xFFFF;
    driver().ids.store(valid ? (static_cast<std::uint32_t>(vid) << 16) | static_cast<std::uint32_t>(pid) : 0);
}

VANTOREL_EXPORT void Open_DevMonitor(const VantorelWindow* window, int event_message, int attach_message) {
    Driver& d = driver();
    std::lock_guard<std::mutex> lock(d.api);
    d.monitor.stop();
    d.poster.close();
    if (!window || !window->post) return;
    d.poster.open(*window, event_message, attach_message);
    if (d.usb_ids().valid()) d.monitor.start(d.usb_ids(), d.poster);
}

VANTOREL_EXPORT void Close_DevMonitor(void) {
    Driver& d = driver();
    std::lock_guard<std::mutex> lock(d.api);
    d.monitor.stop();
    d.poster.close();
}

VANTOREL_EXPORT int Open_FeatureDevice(void) {
    Driver& d = driver();
    std::lock_guard<std::mutex> lock(d.api);
    return d.feature.open(d.usb_ids(), d.poster) ? 1 : 0;
}

VANTOREL_EXPORT void Close_FeatureDevice(void) {
    Driver& d = driver();
    std::lock_guard<std::mutex> lock(d.api);
    d.feature.close();
}

VANTOREL_EXPORT int SetFeature(const unsigned char* data, int length) { return driver().feature.set_feature(data, length); }

VANTOREL_EXPORT int GetFeature(unsigned char* data, int length) { return driver().feature.get_feature(data, length); }

}  // extern "C"
