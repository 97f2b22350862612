// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/wired_link.h"

#include "core/trace.h"
#include "device/hid_backend.h"

namespace vantorel {
namespace {

template <class Fn>
bool look_up(const PluginModule& module, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(module.symbol(name));
    if (!out) trace("wired driver: %s lacks %s", module.path().c_str(), name);
    return out != nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// PluginWiredDriver

std::unique_ptr<PluginWiredDriver> PluginWiredDriver::bind(std::span<const std::filesystem::path> folders) {
    auto module = load_plugin(VANTOREL_WIRED_DRIVER_FILE, folders);
    if (!module) {
        trace("wired driver: %s not found", VANTOREL_WIRED_DRIVER_FILE);
        return nullptr;
    }
    std::unique_ptr<PluginWiredDriver> d(new PluginWiredDriver(std::move(module)));
    const PluginModule& m = *d->module_;
    // Every entry point is looked up (and each missing one traced), not
    // only those before the first that is missing.
    const bool found[] = {look_up(m, "Set_VIDPID", d->set_vid_pid_),
                          look_up(m, "Open_DevMonitor", d->open_dev_monitor_),
                          look_up(m, "Close_DevMonitor", d->close_dev_monitor_),
                          look_up(m, "Open_FeatureDevice", d->open_feature_device_),
                          look_up(m, "Close_FeatureDevice", d->close_feature_device_),
                          look_up(m, "SetFeature", d->set_feature_),
                          look_up(m, "GetFeature", d->get_feature_)};
    for (const bool f : found)
        if (!f) return nullptr;
    return d;
}

void PluginWiredDriver::set_vid_pid(int vendor_id, int product_id) { set_vid_pid_(vendor_id, product_id); }

void PluginWiredDriver::open_dev_monitor(VantorelWindow window, int event_message, int attach_message) {
    window_ = window;
    open_dev_monitor_(&window_, event_message, attach_message);
}

void PluginWiredDriver::close_dev_monitor() { close_dev_monitor_(); }

int PluginWiredDriver::open_feature_device() { return open_feature_device_(); }

void PluginWiredDriver::close_feature_device() { close_feature_device_(); }

int PluginWiredDriver::set_feature(std::span<const std::uint8_t> report) {
    return set_feature_(report.data(), static_cast<int>(report.size()));
}

int PluginWiredDriver::get_feature(std::span<std::uint8_t> buffer) {
    return get_feature_(buffer.data(), static_cast<int>(buffer.size()));
}

// ---------------------------------------------------------------------------
// WiredLink

WiredLink::WiredLink(Executor& executor, LinkState& links, DeviceEvents& events)
    : guard_(executor), attach_timer_(executor, "cable settle", [this] { OnAttachTimer(); }), links_(links), events_(events) {}

WiredLink::~WiredLink() { Close(); }

bool WiredLink::BindWiredDriverLibrary(std::span<const std::filesystem::path> folders) {
    std::shared_ptr<WiredDriver> driver = PluginWiredDriver::bind(folders);
    use_driver(std::move(driver));
    return this->driver() != nullptr;
}

bool WiredLink::BindWiredDriverLibrary() {
    const auto folders = default_plugin_folders();
    return BindWiredDriverLibrary(folders);
}

void WiredLink::use_driver(std::shared_ptr<WiredDriver> driver) {
    std::lock_guard<std::mutex> lock(driver_mutex_);
    driver_ = std::move(driver);
}

std::shared_ptr<WiredDriver> WiredLink::driver() const {
    std::lock_guard<std::mutex> lock(driver_mutex_);
    return driver_;
}

int WiredLink::post_to_host(void* target, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    // The driver's thread: its message becomes a typed call on the executor.
    auto* link = static_cast<WiredLink*>(target);
    if (const auto e = event_from_wired_message(message, wparam, lparam))
        link->guard_.post([link, event = *e] { link->OnWiredEvent(event); });
    return 1;
}

void WiredLink::Start() {
    auto driver = this->driver();
    if (!driver) {
        // Without the library the wired link is never reported present.
        links_.wired_state.store(kWiredNeverSeen);
        events_.LinkChanged(ConnectionMode::Wired, false);
        return;
    }
    driver->set_vid_pid(kVendorId, kWiredProductId);
    driver->open_dev_monitor(VantorelWindow{this, &WiredLink::post_to_host}, kMsgWiredEvent, kMsgWiredAttach);
    monitor_open_ = true;
    if (driver->open_feature_device() != 0) {
        links_.wired_state.store(kWiredAttached);
        events_.ReportCharging();  // on the cable the mouse charges
        events_.LinkChanged(ConnectionMode::Wired, true);
    } else {
        links_.wired_state.store(kWiredNeverSeen);
        events_.LinkChanged(ConnectionMode::Wired, false);
    }
}

void WiredLink::OnWiredLinkMessage(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    if (const auto e = event_from_wired_message(message, wparam, lparam)) OnWiredEvent(*e);
}

void WiredLink::OnWiredEvent(DeviceEvent e) {
    if (e.event_word == kWiredLinkWord) {
        if (e.value_word == kWiredAttachValue) {
            if (on_attach_) on_attach_();
            attach();
        } else if (e.value_word == kWiredDetachValue) {
            detach();
        }
        return;
    }
    if (e.event_word >= 0x1000 && e.event_word <= 0x9000) {
        events_.tap(ConnectionMode::Wired, e);
        events_.DispatchDeviceEvent(e.event_word, e.value_word);
    }
}

void WiredLink::attach() {
    // A second attach while the first settles changes nothing either.
    if (!driver() || links_.wired_state.load() == kWiredAttached || attach_pending_) return;
    attach_pending_ = true;
    attach_timer_.start(kAttachSettleMs);
}

void WiredLink::OnAttachTimer() {
    attach_timer_.stop();
    if (!attach_pending_) return;
    attach_pending_ = false;
    auto driver = this->driver();
    if (!driver || links_.wired_state.load() == kWiredAttached) return;
    // The cable counts as up only once it can carry reports: a mouse whose
    // command node has not appeared yet stays down, and the next node that
    // arrives tries again. Until then the receiver keeps carrying.
    if (driver->open_feature_device() == 0) {
        trace("wired mouse: no feature device yet; waiting for its next node");
        return;
    }
    links_.wired_state.store(kWiredAttached);
    events_.LinkChanged(ConnectionMode::Wired, true);
    events_.ReportCharging();
    events_.NotifyLinkChange();
}

void WiredLink::detach() {
    // A detach that comes while an attach settles cancels it: the cable is
    // gone again before the feature device was opened.
    if (attach_pending_) {
        attach_pending_ = false;
        attach_timer_.stop();
    }
    auto driver = this->driver();
    if (!driver || links_.wired_state.load() == kWiredDetached) return;
    links_.wired_state.store(kWiredDetached);
    driver->close_feature_device();
    events_.LinkChanged(ConnectionMode::Wired, false);
    events_.ClearBattery();
    events_.NotifyLinkChange();
}

void WiredLink::OnDeviceChange(const DeviceChange& change) {
    trace("wired mouse %s: %s", change.arrival ? "arrived" : "left", change.devnode.c_str());
    // A node arriving while the cable is not up (its feature device may have
    // been missing) is another chance to open it.
    if (change.arrival) attach();
}

void WiredLink::Close() {
    if (attach_pending_) {
        attach_pending_ = false;
        attach_timer_.stop();
    }
    std::shared_ptr<WiredDriver> driver;
    {
        std::lock_guard<std::mutex> lock(driver_mutex_);
        driver = std::move(driver_);
    }
    if (!driver) return;
    driver->close_feature_device();
    if (monitor_open_) driver->close_dev_monitor();
    monitor_open_ = false;
    // The library is unloaded when the last holder (this, or a sender still
    // finishing a report) lets the driver go.
}

}  // namespace vantorel
