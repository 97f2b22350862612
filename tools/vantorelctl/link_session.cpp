// SPDX-License-Identifier: GPL-2.0-or-later
#include "link_session.h"

#include <algorithm>
#include <chrono>
#include <type_traits>
#include <utility>

#include "core/trace.h"

#if VANTOREL_HAVE_DEVICE_LINKS
#include <unistd.h>

#include "device/linux/bluez_transport.h"
#include "device/linux/hidapi_backend.h"
#include "device/linux/udev_monitor.h"
#endif

namespace vantorel::cli {
#if VANTOREL_HAVE_DEVICE_LINKS
struct LinkSession::RealParts {
    HidapiBackend hid;
    // Null when the system bus cannot be reached.
    std::shared_ptr<BluezTransport> bluez = BluezTransport::open();
};

bool LinkSession::real_links_available() { return true; }
#else
struct LinkSession::RealParts {};

bool LinkSession::real_links_available() { return false; }
#endif

std::unique_ptr<LinkSession> LinkSession::create(const Options& options, std::string* error) {
    if (!options.simulate && !real_links_available()) {
        if (error)
            *error = "this build of vantorelctl has no device support (it was built without VANTOREL_BUILD_DEVICE); "
                     "--simulate talks to the virtual mouse instead";
        return nullptr;
    }
    return std::unique_ptr<LinkSession>(new LinkSession(options));
}

LinkSession::LinkSession(const Options& options) : options_(options) {
    own_profiles_.current().reset_to_defaults();
    profiles_ = options.profiles ? options.profiles : &own_profiles_;

    MouseSetup setup;
    setup.wireless.read_timeout_ms = options.read_timeout_ms;
    // The session's backends live as long as this object; the mouse session
    // holds them without owning them.
    auto borrowed = [](auto* object) { return std::shared_ptr<std::remove_pointer_t<decltype(object)>>(std::shared_ptr<void>(), object); };
    if (options.simulate) {
        mouse_ = std::make_unique<SimulatedMouse>(*options.simulate);
        hid_ = &mouse_->hid();
        // The virtual cable stands in for the driver plugin, so a simulated
        // session never touches a real device.
        setup.wired_driver = mouse_->wired_driver();
        setup.ble = borrowed(&mouse_->ble());  // the virtual mouse's Bluetooth face
    } else {
#if VANTOREL_HAVE_DEVICE_LINKS
        real_ = std::make_unique<RealParts>();
        setup.start_device_monitor = [](DeviceChangeQueue& queue, std::function<void()> changed) -> std::shared_ptr<void> {
            auto monitor = std::make_shared<UdevMonitor>(std::move(changed), queue);
            if (!monitor->start()) trace("device monitor not available: arrivals will not be noticed");
            return monitor;
        };
        hid_ = &real_->hid;
        // With BlueZ reachable the session runs the Bluetooth LE link;
        // otherwise the mouse's Bluetooth HID device coming and going is what
        // tells whether it is connected over Bluetooth LE.
        setup.ble_gatt = real_->bluez;
        setup.ble_device_hook = [this](const DeviceChange& change) {
            const int connected = change.arrival ? 1 : 0;
            if (links().ble_connected.exchange(connected) == connected) return;
            trace("bluetooth mouse %s", change.arrival ? "arrived" : "left");
            controller().events().NotifyLinkChange();
        };
#endif
    }
    setup.hid = borrowed(hid_);
    mouse_session_ = std::make_unique<MouseSession>(loop_, *profiles_, std::move(setup));
    mouse_session_->add_observer(this);
}

LinkSession::~LinkSession() { shutdown(); }

void LinkSession::start() {
    if (started_) return;
    started_ = true;
#if VANTOREL_HAVE_DEVICE_LINKS
    if (real_) {
        // What is plugged in now, and whether we may open it. udev knows the
        // nodes; hidapi is asked as well, for systems where udev cannot be
        // reached.
        for (const PresentDevice& d : enumerate_present()) {
            ConnectionMode link = ConnectionMode::Wireless;
            if (d.identity.device == WatchedDevice::WiredMouse) link = ConnectionMode::Wired;
            if (d.identity.device == WatchedDevice::BleMouse) link = ConnectionMode::Ble;
            present_.push_back({link, d.devnode, d.accessible});
        }
        const std::pair<ConnectionMode, std::pair<std::uint16_t, std::uint16_t>> ids[] = {
            {ConnectionMode::Wireless, {kVendorId, kReceiverProductId}},
            {ConnectionMode::Wired, {kVendorId, kWiredProductId}},
            {ConnectionMode::Ble, {kBleVendorId, kBleProductId}}};
        if (real_->hid.init()) {
            for (const auto& [link, id] : ids) {
                for (const HidDeviceInfo& info : real_->hid.enumerate(id.first, id.second)) {
                    const bool known = std::any_of(present_.begin(), present_.end(),
                                                   [&](const PresentNode& n) { return n.devnode == info.path; });
                    if (!known) present_.push_back({link, info.path, ::access(info.path.c_str(), R_OK | W_OK) == 0});
                }
            }
        }
        for (const PresentNode& n : present_)
            trace("present: %s %s%s", connection_mode_name(n.link), n.devnode.c_str(),
                  n.accessible ? "" : " (no access)");
    }
#endif
#if VANTOREL_HAVE_DEVICE_LINKS
    // BlueZ's objects are read in the background; a command asks about the
    // mouse right after the start, so it waits for them here.
    if (real_ && real_->bluez) real_->bluez->wait_for_objects();
#endif

    mouse_session_->start();
    mouse_session_->open();
    check_links();

    // The virtual mouse reports its battery as soon as it is reachable, on
    // the cable as charging.
    if (mouse_) {
        if (mouse_->link() == ConnectionMode::Wired) mouse_->report_battery(kBatteryCharging, 80);
        else mouse_->report_battery(1, 80);
    }
}

bool LinkSession::run_until(const std::function<bool()>& done, Millis limit) {
    const TimePoint end = clock().now() + limit;
    done_ = done;
    bool met = false;
    for (;;) {
        if (done_ && done_()) {
            met = true;
            break;
        }
        if (stop_requested_.load()) break;
        const TimePoint now = clock().now();
        if (now >= end) break;
        loop_.run_for(std::chrono::ceil<Millis>(end - now));
    }
    done_ = nullptr;
    return met;
}

void LinkSession::wake() {
    loop_.post([this] { after_handling(); });
}

void LinkSession::stop() {
    stop_requested_.store(true);
    // A posted task is never lost, so a run that is just starting still ends.
    loop_.post([this] { loop_.quit(); });
}

void LinkSession::shutdown() {
    if (shut_down_) return;
    shut_down_ = true;
    if (mouse_) mouse_->ble().set_notify_handler(nullptr);
    mouse_session_->shutdown();
}

void LinkSession::device_event(ConnectionMode link, const DeviceEvent& event) {
    check_links();
    // Only events the dispatch is given are shown: a receiver event read
    // before its receiver was removed or enumerated again is dropped there.
    if (on_event_) on_event_(link, event);
    // The event is dispatched after this: what it changes is looked at then.
    wake();
}

void LinkSession::after_handling() {
    check_links();
    if (done_ && done_()) loop_.quit();
}

void LinkSession::check_links() {
    const std::pair<ConnectionMode, bool> now[] = {
        {ConnectionMode::Wired, links().wired_state.load() == kWiredAttached},
        {ConnectionMode::Wireless, links().wireless_connected.load() != 0},
        {ConnectionMode::Ble, links().ble_connected.load() != 0}};
    bool* last[] = {&wired_up_, &wireless_up_, &ble_up_};
    for (std::size_t i = 0; i < 3; ++i) {
        if (now[i].second == *last[i]) continue;
        *last[i] = now[i].second;
        if (on_link_) on_link_(now[i].first, now[i].second);
    }
}

bool LinkSession::can_write(ConnectionMode link) const {
    if (link == ConnectionMode::None) return false;
    // Bluetooth LE needs the virtual mouse or BlueZ.
    return link != ConnectionMode::Ble || mouse_ != nullptr || controller().ble_link() != nullptr;
}

ConnectionMode LinkSession::usable_link() const {
    if (links().wired_state.load() == kWiredAttached) return ConnectionMode::Wired;
    if (links().wireless_connected.load() != 0) return ConnectionMode::Wireless;
    if (links().ble_connected.load() != 0 && can_write(ConnectionMode::Ble)) return ConnectionMode::Ble;
    return ConnectionMode::None;
}

std::vector<PresentNode> LinkSession::nodes_of(ConnectionMode link) const {
    std::vector<PresentNode> out;
    if (mouse_) {
        for (const std::string& node : mouse_->nodes(link)) out.push_back({link, node, true});
        return out;
    }
    for (const PresentNode& n : present_)
        if (n.link == link) out.push_back(n);
    return out;
}

std::vector<LinkReport> LinkSession::link_reports() const {
    std::vector<LinkReport> reports;
    for (ConnectionMode link : {ConnectionMode::Wireless, ConnectionMode::Wired, ConnectionMode::Ble}) {
        LinkReport r;
        r.link = link;
        const std::vector<PresentNode> nodes = nodes_of(link);
        bool all_accessible = true;
        for (const PresentNode& n : nodes) {
            r.nodes.push_back(n.devnode);
            all_accessible = all_accessible && n.accessible;
        }
        r.present = !nodes.empty();
        switch (link) {
            case ConnectionMode::Wireless: {
                WirelessConnection& w = controller().wireless();
                r.opened = w.command_count() > 0 && w.event_count() > 0;
                r.identified = !w.active_path().empty();
                // A receiver plugged in after the start is found by the
                // device monitor.
                r.present = r.present || r.opened;
                if (r.present && !r.opened) {
                    r.permission_denied = !all_accessible;
                    r.note = r.permission_denied ? "permission denied" : "its HID collections could not be opened";
                } else if (r.opened && !r.identified) {
                    bool foreign = false;
                    for (int i = 0; i < w.event_count(); ++i)
                        foreign = foreign || w.event_state(i) == WirelessConnection::EventState::Foreign;
                    r.note = foreign ? "the receiver reported another device, not the mouse"
                                     : "the mouse has not reported on the receiver (is it switched on and in range?)";
                }
                break;
            }
            case ConnectionMode::Wired:
                r.identified = links().wired_state.load() == kWiredAttached;
                r.present = r.present || r.identified;
                r.opened = r.identified || (r.present && all_accessible && controller().wired_driver() != nullptr);
                if (r.present && !r.identified) {
                    if (!all_accessible) {
                        r.permission_denied = true;
                        r.note = "permission denied";
                    } else if (!controller().wired_driver()) {
                        r.note = std::string("the wired driver library ") + VANTOREL_WIRED_DRIVER_FILE +
                                 " was not found beside vantorelctl or in the plugin folder";
                    } else {
                        r.note = "the wired driver could not open the mouse";
                    }
                }
                break;
            case ConnectionMode::Ble:
                r.identified = links().ble_connected.load() != 0;
                r.present = r.present || r.identified;
                // Over BlueZ the mouse is reached without its HID node.
                r.opened = r.identified || (r.present && all_accessible);
                r.permission_denied = r.present && !r.opened;
                if (r.permission_denied) r.note = "permission denied";
                else if (r.identified && !can_write(ConnectionMode::Ble))
                    r.note = "BlueZ could not be reached on the system bus";
                break;
            case ConnectionMode::None: break;
        }
        reports.push_back(std::move(r));
    }
    return reports;
}

bool LinkSession::settled() const {
    for (const LinkReport& r : link_reports()) {
        // Only the receiver waits for the mouse: its first report decides.
        if (r.link != ConnectionMode::Wireless || !r.opened) continue;
        if (r.identified) {
            // The reader identifies the mouse on its own thread; the link is
            // up once the report it posted has been handled here.
            if (links().wireless_connected.load() == 0) return false;
            continue;
        }
        // Identified since the report above was taken: the same wait.
        WirelessConnection& w = controller().wireless();
        for (int i = 0; i < w.event_count(); ++i) {
            const WirelessConnection::EventState state = w.event_state(i);
            if (state == WirelessConnection::EventState::Undecided) return false;
            if (state == WirelessConnection::EventState::Mouse && links().wireless_connected.load() == 0) return false;
        }
    }
    return true;
}

}  // namespace vantorel::cli
