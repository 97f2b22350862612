// SPDX-License-Identifier: GPL-2.0-or-later
#include "session/mouse_session.h"

#include <algorithm>

#include "core/trace.h"

namespace vantorel {

namespace {

// A HID backend that finds nothing, for a session without a receiver link.
class NoHidBackend final : public HidBackend {
public:
    bool init() override { return false; }
    std::vector<HidDeviceInfo> enumerate(std::uint16_t, std::uint16_t) override { return {}; }
    std::shared_ptr<HidDevice> open_path(const std::string&) override { return nullptr; }
};

}  // namespace

MouseSession::MouseSession(Executor& executor, ProfileSource& profiles, MouseSetup setup)
    : executor_(executor), profiles_(profiles), setup_(std::move(setup)) {
    if (!setup_.hid) setup_.hid = std::make_shared<NoHidBackend>();
}

MouseSession::~MouseSession() { shutdown(); }

void MouseSession::add_observer(MouseObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void MouseSession::remove_observer(MouseObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

template <class F>
void MouseSession::tell(F&& f) {
    // A copy: an observer may remove itself while it is told.
    const std::vector<MouseObserver*> observers = observers_;
    for (MouseObserver* o : observers)
        if (std::find(observers_.begin(), observers_.end(), o) != observers_.end()) f(*o);
}

void MouseSession::link_changed(ConnectionMode link, bool up) {
    tell([&](MouseObserver& o) { o.link_changed(link, up); });
    if (up) run_owed_apply();
}

void MouseSession::run_owed_apply() {
    // The edits, or the first apply after start, found no mouse: the mouse
    // is brought in step as soon as a link is up, not at the next edit.
    if (!apply_owed_ || !links_.any()) return;
    apply_owed_ = false;
    trace("session: a link is up; the apply it missed runs now\n");
    request_apply(ApplyWhen::Now);
}

void MouseSession::battery_read(const BatteryReading& reading) {
    tell([&](MouseObserver& o) { o.battery_read(reading); });
}

void MouseSession::mouse_changed_setting(MouseSetting setting, int value, bool over_bluetooth) {
    tell([&](MouseObserver& o) { o.mouse_changed_setting(setting, value, over_bluetooth); });
}

template <class F>
void MouseSession::post_to_observers(F f) {
    std::weak_ptr<int> alive = alive_;
    executor_.post([this, alive, f = std::move(f)] {
        if (alive.expired()) return;
        tell(f);
    });
}

void MouseSession::start() {
    if (engine_ || shut_down_) return;
    Clock& clock = setup_.clock ? *setup_.clock : SteadyClock::instance();
    sender_ = std::make_unique<ReportSender>(links_, clock);
    sender_->set_ble_transport(setup_.ble.get());
    // The links are looked up at the moment of sending: the wired driver is
    // bound and the receiver identified after the engine starts.
    sender_->set_wired_driver_provider([this] {
        return controller_ ? controller_->wired_driver() : std::shared_ptr<WiredDriver>();
    });
    sender_->set_command_device_provider([this] {
        return controller_ ? controller_->wireless_command_device() : std::shared_ptr<HidDevice>();
    });
    relay_.sender = sender_.get();
    engine_ = std::make_unique<ApplyEngine>(profiles_, relay_, clock, [this] { return links_.any(); });
    // The worker's news reaches the observers on the executor. While an
    // apply sends, the receiver's presence watchdog rests: the mouse may
    // stay silent for the whole of a long macro.
    engine_->set_started_callback([this] {
        std::weak_ptr<int> alive = alive_;
        executor_.post([this, alive] {
            if (alive.expired()) return;
            if (controller_) controller_->events().StopWatchdog();
            tell([](MouseObserver& o) { o.apply_started(); });
        });
    });
    engine_->set_finished_callback([this](const ApplySummary& summary) {
        std::weak_ptr<int> alive = alive_;
        executor_.post([this, alive, summary] {
            if (alive.expired()) return;
            if (summary.ran && controller_) controller_->events().RestartWatchdog();
            tell([&summary](MouseObserver& o) { o.apply_finished(summary); });
            apply_owed_ = !summary.ran;
            // The link may have come up while the worker found none.
            if (apply_owed_) run_owed_apply();
        });
    });
    engine_->set_save_failed_callback([this](const Status& status) {
        post_to_observers([error = status.message()](MouseObserver& o) { o.save_failed(error); });
    });
    apply_later_ = std::make_unique<ExecutorTimer>(executor_, "apply delay", [this] { request_apply(ApplyWhen::Now); });

    LinkController::Options options;
    options.wired_driver = setup_.wired_driver;
    options.plugin_folders = setup_.plugin_folders;
    options.ble_transport = setup_.ble != nullptr;
    if (setup_.leave_demo) options.on_real_arrival = [this] { end_demo(); };
    options.ble_gatt = setup_.ble_gatt;
    options.wireless = setup_.wireless;
    options.ble_device_hook = setup_.ble_device_hook;
    controller_ = std::make_unique<LinkController>(
        executor_, static_cast<LinkFacts&>(*this), links_, profiles_,
        [this](const ProfileChange& change) {
            if (change_tap_) change_tap_(change);
            engine_->commit_device_change(change);
        },
        *setup_.hid, changes_, std::move(options));
    controller_->events().set_event_tap(
        [this](ConnectionMode link, const DeviceEvent& e) { tell([&](MouseObserver& o) { o.device_event(link, e); }); });
    controller_->events().set_battery_handler([this] { tell([](MouseObserver& o) { o.battery_changed(); }); });
    controller_->events().set_link_change_handler([this] { tell([](MouseObserver& o) { o.links_changed(); }); });
    controller_->events().set_dpi_stage_handler(
        [this](std::int64_t code) { tell([code](MouseObserver& o) { o.dpi_stage_chosen(code); }); });
    // The controller installs the stack's hooks and clears them when it
    // shuts down; a bare transport gets the notification handler here.
    if (controller_->ble_link()) sender_->set_ble_transport(controller_->ble_link());
    else if (setup_.ble) setup_.ble->set_notify_handler(controller_->ble_notify_handler());
    controller_->Start();
}

void MouseSession::open() {
    if (!controller_ || shut_down_) return;
    if (setup_.start_device_monitor) {
        device_monitor_ = setup_.start_device_monitor(changes_, controller_->device_change_notifier());
        // What was found among the device nodes before the watch began may
        // have changed unseen.
        links_.device_changes.fetch_add(1);
    }
    controller_->OpenWirelessDevices();
    if (setup_.demo_mouse && !demo_ended_ && !heartbeat_) {
        // A real mouse reports its battery every few seconds; without it the
        // receiver link would be dropped by its watchdog.
        std::weak_ptr<VirtualMouse> mouse = setup_.demo_mouse;
        auto beat = [mouse] {
            if (auto m = mouse.lock()) m->report_battery(1, 76);
        };
        heartbeat_ = std::make_unique<ExecutorTimer>(executor_, "demo heartbeat", beat);
        heartbeat_->start(setup_.demo_heartbeat_ms, true);
        beat();
    }
}

void MouseSession::end_demo() {
    // On the first arrival of a real mouse while the virtual one stands in.
    // The virtual receiver goes away and its link with it; from now on the
    // receiver link enumerates the real backend, and when the real mouse goes
    // nothing falls back to the demo.
    if (!demo_active() || !setup_.leave_demo) return;
    demo_ended_ = true;
    trace("session: a real mouse arrived; the virtual mouse steps aside\n");
    heartbeat_.reset();
    setup_.leave_demo();
    setup_.demo_mouse->unplug_receiver();
    // The real mouse holds who knows what: its first apply is a full one,
    // and it runs as soon as the mouse's link is up.
    if (engine_) engine_->reset_last_applied();
    apply_owed_ = true;
    if (controller_) {
        controller_->OpenWirelessDevices();
        controller_->events().DropWirelessLink();
    }
    tell([](MouseObserver& o) { o.demo_ended(); });
}

void MouseSession::shutdown() {
    if (shut_down_) return;
    shut_down_ = true;
    heartbeat_.reset();
    apply_later_.reset();
    if (engine_) engine_->stop();
    device_monitor_.reset();
    if (controller_) controller_->Shutdown();
}

void MouseSession::request_apply(ApplyWhen when, int delay_ms) {
    switch (when) {
        case ApplyWhen::Manual:
            return;
        case ApplyWhen::Soon:
            if (apply_later_) apply_later_->start(delay_ms);
            return;
        case ApplyWhen::Now:
            break;
    }
    if (!engine_) return;
    std::weak_ptr<int> alive = alive_;
    // From any thread: the observers hear of it on the executor, before the
    // worker's own news of this apply.
    executor_.post([this, alive] {
        if (alive.expired() || !engine_) return;
        tell([](MouseObserver& o) { o.apply_requested(); });
        engine_->request_apply();
    });
}

void MouseSession::request_full_apply() {
    if (engine_) engine_->set_full_apply();
    request_apply(ApplyWhen::Now);
}

void MouseSession::forget_mouse_state() {
    if (engine_) engine_->reset_last_applied();
}

}  // namespace vantorel
