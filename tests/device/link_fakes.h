// SPDX-License-Identifier: GPL-2.0-or-later
// Fakes for the link logic tests: a scripted HID backend whose nodes are fed
// input reports by the test, a view that records what the page's link view
// shows of what the links report,
// a wired driver that records its calls, and a harness around the link
// controller on a virtual-time event loop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/event_loop.h"
#include "core/profile_source.h"
#include "device/device_change.h"
#include "device/device_events.h"
#include "device/hid_backend.h"
#include "device/link_controller.h"
#include "device/wired_driver.h"
#include "page/link_view.h"

namespace vantorel::testing {

// What the udev watch reports when a hidraw node of ours comes or goes.
inline DeviceChange hidraw_change(bool arrival, const std::string& node, std::uint16_t vid = kVendorId,
                                  std::uint16_t pid = kReceiverProductId, DeviceBus bus = DeviceBus::Usb) {
    DeviceChange c;
    c.arrival = arrival;
    c.bus = bus;
    c.vendor_id = vid;
    c.product_id = pid;
    c.subsystem = "hidraw";
    c.devnode = node;
    return c;
}

// Nodes of HID collections, each with a queue of input reports. A read waits
// on a condition variable for a report, an unplug or its time-out. Opens and
// closes are counted so tests can see leaked handles.
class ScriptedHidBackend final : public HidBackend {
public:
    struct Collection {
        std::uint16_t usage_page;
        std::uint16_t usage;
    };

    void add_node(const std::string& path, std::vector<Collection> collections, const std::string& key = "",
                  std::uint16_t vid = kVendorId, std::uint16_t pid = kReceiverProductId) {
        std::lock_guard<std::mutex> lock(s_->mutex);
        auto& n = s_->nodes[path];
        n.infos.clear();
        for (auto c : collections) {
            HidDeviceInfo info;
            info.path = path;
            info.vendor_id = vid;
            info.product_id = pid;
            info.usage_page = c.usage_page;
            info.usage = c.usage;
            info.pairing_key = key;
            n.infos.push_back(info);
        }
        n.plugged = true;
    }
    void set_plugged(const std::string& path, bool plugged) {
        {
            std::lock_guard<std::mutex> lock(s_->mutex);
            s_->nodes[path].plugged = plugged;
            if (!plugged) s_->nodes[path].reports.clear();
        }
        s_->cv.notify_all();
    }
    void push_report(const std::string& path, std::vector<std::uint8_t> report) {
        {
            std::lock_guard<std::mutex> lock(s_->mutex);
            s_->nodes[path].reports.push_back(std::move(report));
        }
        s_->cv.notify_all();
    }
    // Waits (in real time, bounded) until the node's reports are all taken
    // and its reader is back in a read, i.e. every report has been handled.
    bool wait_idle(const std::string& path) {
        std::unique_lock<std::mutex> lock(s_->mutex);
        auto& n = s_->nodes[path];
        return s_->cv.wait_for(lock, std::chrono::seconds(10), [&] { return n.reports.empty() && n.readers > 0; });
    }
    int opens() const { std::lock_guard<std::mutex> l(s_->mutex); return s_->opens; }
    int closes() const { std::lock_guard<std::mutex> l(s_->mutex); return s_->closes; }
    int open_handles() const { std::lock_guard<std::mutex> l(s_->mutex); return s_->opens - s_->closes; }
    int enumerations() const { std::lock_guard<std::mutex> l(s_->mutex); return s_->enumerations; }
    void set_fail_init(bool fail) { fail_init_ = fail; }

    bool init() override { return !fail_init_; }
    std::vector<HidDeviceInfo> enumerate(std::uint16_t vid, std::uint16_t pid) override {
        std::lock_guard<std::mutex> lock(s_->mutex);
        ++s_->enumerations;
        std::vector<HidDeviceInfo> out;
        for (auto& [path, n] : s_->nodes)
            for (auto& info : n.infos)
                if (n.plugged && info.vendor_id == vid && info.product_id == pid) out.push_back(info);
        return out;
    }
    std::shared_ptr<HidDevice> open_path(const std::string& path) override {
        std::lock_guard<std::mutex> lock(s_->mutex);
        auto it = s_->nodes.find(path);
        if (it == s_->nodes.end() || !it->second.plugged) return nullptr;
        ++s_->opens;
        return std::make_shared<Device>(s_, path);
    }

private:
    struct Node {
        std::vector<HidDeviceInfo> infos;
        bool plugged = true;
        std::deque<std::vector<std::uint8_t>> reports;
        int readers = 0;  // reads in progress
    };
    struct Shared {
        std::mutex mutex;
        std::condition_variable cv;
        std::map<std::string, Node> nodes;
        int opens = 0, closes = 0, enumerations = 0;
    };
    class Device final : public HidDevice {
    public:
        Device(std::shared_ptr<Shared> s, std::string path) : s_(std::move(s)), path_(std::move(path)) {}
        ~Device() override {
            std::lock_guard<std::mutex> lock(s_->mutex);
            ++s_->closes;
        }
        int read_timeout(std::span<std::uint8_t> buffer, int timeout_ms) override {
            std::unique_lock<std::mutex> lock(s_->mutex);
            auto& n = s_->nodes[path_];
            ++n.readers;
            s_->cv.notify_all();
            auto ready = [&] { return interrupted_ || !n.plugged || !n.reports.empty(); };
            if (timeout_ms < 0) s_->cv.wait(lock, ready);
            else s_->cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
            --n.readers;
            if (interrupted_) return 0;
            if (!n.plugged) return -1;
            if (n.reports.empty()) return 0;
            auto r = std::move(n.reports.front());
            n.reports.pop_front();
            const std::size_t size = std::min(r.size(), buffer.size());
            std::copy_n(r.begin(), size, buffer.begin());
            return static_cast<int>(size);
        }
        int send_feature_report(std::span<const std::uint8_t> report) override {
            return static_cast<int>(report.size());
        }
        void interrupt() override {
            {
                std::lock_guard<std::mutex> lock(s_->mutex);
                interrupted_ = true;
            }
            s_->cv.notify_all();
        }

    private:
        std::shared_ptr<Shared> s_;
        std::string path_;
        bool interrupted_ = false;  // guarded by s_->mutex
    };

    std::shared_ptr<Shared> s_ = std::make_shared<Shared>();
    bool fail_init_ = false;
};

// Records the state the link view leaves in the page's controls.
class RecordingView final : public DeviceView {
public:
    struct Label {
        std::string text;
        LabelMode mode = LabelMode::Plain;
    };
    std::map<std::string, bool, std::less<>> visible, selected;
    std::map<std::string, int, std::less<>> item, progress;
    std::map<std::string, Label, std::less<>> label;
    int light_refreshes = 0;
    int calls = 0;

    void set_selected_silently(std::string_view c, bool s) override { ++calls; selected[std::string(c)] = s; }
    void select_item_silently(std::string_view c, int i) override { ++calls; item[std::string(c)] = i; }
    void set_progress(std::string_view c, int v) override { ++calls; progress[std::string(c)] = v; }
    void set_label(std::string_view c, std::string_view t, LabelMode m) override {
        ++calls;
        label[std::string(c)] = Label{std::string(t), m};
    }
    void set_visible(std::string_view c, bool v) override { ++calls; visible[std::string(c)] = v; }
    bool is_visible(std::string_view c) const override { auto it = visible.find(c); return it != visible.end() && it->second; }
    bool is_selected(std::string_view c) const override { auto it = selected.find(c); return it != selected.end() && it->second; }
    void refresh_light_section() override { ++calls; ++light_refreshes; }

    std::string power_text() const { auto it = label.find(controls::kPowerLabel); return it == label.end() ? "<unset>" : it->second.text; }
    bool power_resource_mode() const {
        auto it = label.find(controls::kPowerLabel);
        return it != label.end() && it->second.mode == LabelMode::ResourceText;
    }
    int power_progress() const { auto it = progress.find(controls::kPowerProgress); return it == progress.end() ? -1 : it->second; }
};

// Records its calls in order; the test plays the driver's monitor through
// the window it was handed.
class RecordingWiredDriver final : public WiredDriver {
public:
    std::vector<std::string> calls;
    int open_result = 1;
    VantorelWindow window{};

    void set_vid_pid(int v, int p) override { calls.push_back("set_vid_pid " + std::to_string(v) + " " + std::to_string(p)); }
    void open_dev_monitor(VantorelWindow w, int ev, int at) override {
        window = w;
        calls.push_back("open_dev_monitor " + std::to_string(ev) + " " + std::to_string(at));
    }
    void close_dev_monitor() override { calls.push_back("close_dev_monitor"); }
    int open_feature_device() override { calls.push_back("open_feature_device"); return open_result; }
    void close_feature_device() override { calls.push_back("close_feature_device"); }
    int set_feature(std::span<const std::uint8_t>) override { calls.push_back("set_feature"); return 1; }

    void post(std::uint32_t m, std::uintptr_t w, std::intptr_t l) { window.post(window.target, m, w, l); }
    int count(const std::string& call) const {
        int n = 0;
        for (const auto& c : calls) n += c == call ? 1 : 0;
        return n;
    }
};

// What the links tell the rest of the program, on a virtual-time loop that
// runs their tasks and timers: the page's link view (recorded) and the
// profiles a change on the mouse goes into.
struct LinkViewRig {
    ManualClock clock;
    EventLoop loop{clock};
    RecordingView view;
    LinkState links;
    LinkView link_view{loop, view, links};
    MemoryProfileSource profiles;
    ProfileRecord last_applied;
    int commits = 0;
};

// The link controller on that rig.
struct LinkHarness : LinkViewRig {
    ScriptedHidBackend hid;
    DeviceChangeQueue changes;
    int link_changes = 0;                       // link change notifications
    std::vector<std::int64_t> popup_codes;      // DPI stages chosen on the mouse
    std::vector<std::pair<ConnectionMode, DeviceEvent>> events;  // events handed to the dispatch
    int device_notices = 0;                     // the device watch told of a change
    int arrivals = 0;                           // arrivals handled (device watch or Bluetooth presence)
    std::shared_ptr<RecordingWiredDriver> wired = std::make_shared<RecordingWiredDriver>();
    std::unique_ptr<LinkController> ctl;

    // What the apply engine's commit_device_change does: the change goes into
    // the edited record and the last-applied copy, then the library is saved.
    void commit(const ProfileChange& change) {
        std::lock_guard<std::mutex> lock(profiles.mutex());
        change(profiles.current());
        change(last_applied);
        ++commits;
        (void)profiles.save();
    }

    void make(LinkController::Options o = {}) {
        if (!o.wired_driver && o.plugin_folders.empty()) o.wired_driver = wired;
        o.wireless.read_timeout_ms = -1;  // readers block until a report or their stop
        o.device_change_tap = [this](const DeviceChange& c) { arrivals += c.arrival ? 1 : 0; };
        ctl = std::make_unique<LinkController>(loop, link_view, links, profiles, [this](const ProfileChange& c) { commit(c); }, hid, changes,
                                               std::move(o));
        ctl->events().set_link_change_handler([this] { ++link_changes; });
        ctl->events().set_dpi_stage_handler([this](std::int64_t code) { popup_codes.push_back(code); });
        ctl->events().set_event_tap([this](ConnectionMode link, const DeviceEvent& e) { events.emplace_back(link, e); });
    }
    int event_count(ConnectionMode link) const {
        int n = 0;
        for (const auto& [l, e] : events) n += l == link ? 1 : 0;
        return n;
    }
    // What the device watch does for a change: queues it and tells the links.
    void device_change(bool arrival, const std::string& node, std::uint16_t vid = kVendorId,
                       std::uint16_t pid = kReceiverProductId, DeviceBus bus = DeviceBus::Usb) {
        changes.push(hidraw_change(arrival, node, vid, pid, bus));
        ++device_notices;
        ctl->device_change_notifier()();
    }
    // Feeds one input report and handles whatever it led to.
    bool feed(const std::string& node, std::vector<std::uint8_t> report) {
        hid.push_report(node, std::move(report));
        const bool idle = hid.wait_idle(node);
        loop.process_pending();
        return idle;
    }
    bool wireless_visible() const { return view.is_visible(controls::kWirelessIndicator); }
};

}  // namespace vantorel::testing
