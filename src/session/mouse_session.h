// SPDX-License-Identifier: GPL-2.0-or-later
// MouseSession: the one place where the links to the mouse, the report
// sender and the apply engine are built, and the one way the desktop
// program, the command line, the tests and the benchmarks reach the mouse.
//
// It runs on an Executor (the UI thread of the desktop program, a plain
// EventLoop elsewhere): every observer call comes on that thread, also for
// what the apply worker did. Front ends ask for applies by kind
// (request_apply) and never time them themselves: the session owns the
// pause after a slider or a light combo, the receiver watchdog's rest while
// an apply sends, the virtual mouse's heartbeat and the hand-over from the
// virtual mouse to a real one that arrives.
//
// Start-up, in this order: start() (sender, engine, links; the wired driver
// bound and probed, Bluetooth LE probed), then open() (the device watch, the
// receiver enumerated, the virtual mouse's heartbeat).
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/apply_engine.h"
#include "core/clock.h"
#include "core/executor.h"
#include "core/profile_source.h"
#include "device/ble_gatt.h"
#include "device/ble_transport.h"
#include "device/device_change.h"
#include "device/device_events.h"
#include "device/hid_backend.h"
#include "device/link_controller.h"
#include "device/link_facts.h"
#include "device/link_state.h"
#include "device/report_sender.h"
#include "device/virtual_mouse.h"
#include "device/wired_driver.h"
#include "device/wireless_connection.h"

namespace vantorel {

// When an edit is sent: at once, after a pause that further edits of the
// same kind restart (a burst of slider moves gives one apply), or only when
// the user asks (DPI values wait for their button).
enum class ApplyWhen { Now, Soon, Manual };

// What a session is built on; the desktop program fills it for real links or
// the virtual mouse, the tests with fakes.
struct MouseSetup {
    // The HID access of the receiver link and the Bluetooth LE probe (hidapi,
    // or the virtual mouse's receiver). Null: no receiver link.
    std::shared_ptr<HidBackend> hid;
    // A wired driver to use instead of the wired driver library (the virtual
    // mouse's cable); null loads the library from `plugin_folders` (empty:
    // the executable's folder and the installed plugin folder).
    std::shared_ptr<WiredDriver> wired_driver;
    std::vector<std::filesystem::path> plugin_folders;
    // The Bluetooth LE transport, when there is one.
    std::shared_ptr<BleTransport> ble;
    // The Bluetooth LE stack (BlueZ, or the virtual mouse's Bluetooth face);
    // with it the session runs the Bluetooth LE link and `ble` is not used.
    std::shared_ptr<BleGatt> ble_gatt;
    // The clock of the report pacing; null: the steady clock.
    Clock* clock = nullptr;
    // Starts watching for arriving and leaving devices: each change goes into
    // the queue, then `changed` is called (from any thread). The object
    // returned stops the watch when it goes. Null: no watch.
    std::function<std::shared_ptr<void>(DeviceChangeQueue& queue, std::function<void()> changed)> start_device_monitor;
    // Demo: the virtual mouse behind `hid`; it reports its battery now and
    // then, as a real mouse does, which keeps the receiver link up.
    std::shared_ptr<VirtualMouse> demo_mouse;
    int demo_heartbeat_ms = 2000;
    // Without a Bluetooth LE stack: arrivals and removals of the mouse's
    // Bluetooth HID device.
    std::function<void(const DeviceChange&)> ble_device_hook;
    // Set when the demo only stands in until a real mouse arrives: it
    // switches `hid` over to the real backend. The first real receiver,
    // cable or Bluetooth mouse that arrives ends the demo for good.
    std::function<void()> leave_demo;
    WirelessConnection::Options wireless;
};

// What a front end hears of the session, on the session's executor thread:
// the links' facts (LinkFacts: at once, while a link, the battery or a setting
// of the mouse changes) and what follows from them, each in a task of its own.
class MouseObserver : public LinkFacts {
public:
    virtual ~MouseObserver() = default;
    // An apply was handed to the worker (the result of the one before no
    // longer stands).
    virtual void apply_requested() {}
    // The worker began to send.
    virtual void apply_started() {}
    // An apply ended; `summary.ran` is false when no link was up.
    virtual void apply_finished(const ApplySummary& summary) { (void)summary; }
    // Saving the profile library failed (after an apply or a change the mouse
    // reported).
    virtual void save_failed(const std::string& error) { (void)error; }
    // A real mouse arrived and the virtual one stepped aside.
    virtual void demo_ended() {}
    // A link came up or went down (links() says which are up).
    virtual void links_changed() {}
    // The battery or charging state changed (links() holds it).
    virtual void battery_changed() {}
    // An event the mouse sent, with the link that carried it, before it is
    // dispatched.
    virtual void device_event(ConnectionMode link, const DeviceEvent& event) {
        (void)link;
        (void)event;
    }
    // The mouse's DPI button chose a stage; its DPI code.
    virtual void dpi_stage_chosen(std::int64_t dpi_code) { (void)dpi_code; }
};

class MouseSession : private LinkFacts {
public:
    static constexpr int kSliderApplyDelayMs = 500;
    static constexpr int kLightApplyDelayMs = 200;

    // Every reference must outlive the session.
    MouseSession(Executor& executor, ProfileSource& profiles, MouseSetup setup);
    ~MouseSession();  // shutdown()
    MouseSession(const MouseSession&) = delete;
    MouseSession& operator=(const MouseSession&) = delete;

    // Executor thread. Observers are told in the order they were added.
    void add_observer(MouseObserver* observer);
    void remove_observer(MouseObserver* observer);

    void start();
    void open();
    // The apply worker is joined before the links close (the sender may be
    // writing through the cable or the receiver), then the device watch and
    // the links end. Idempotent.
    void shutdown();

    // Any thread for Now; the executor thread for Soon (the pause is
    // `delay_ms`) and Manual.
    void request_apply(ApplyWhen when = ApplyWhen::Now, int delay_ms = kSliderApplyDelayMs);
    // The next apply sends everything; asked for now.
    void request_full_apply();
    // What the mouse holds is unknown (start-up, another library): the next
    // apply is a full one.
    void forget_mouse_state();
    // Executor thread: sees each change the mouse reported as it is
    // committed (into the edited record and the last-applied copy, saved).
    void set_device_change_tap(std::function<void(const ProfileChange&)> tap) { change_tap_ = std::move(tap); }
    // Before an apply or after the engine stopped: the engine's reports go
    // through `sink` (which hands them on to the sender) instead of straight
    // to the sender, for a tool that keeps each report's outcome. Null: straight.
    void set_report_tap(ReportSink* sink) { relay_.tap.store(sink); }
    // Whether an apply waits for its pause to end.
    bool apply_pending() const { return apply_later_ && apply_later_->active(); }

    LinkState& links() { return links_; }
    const LinkState& links() const { return links_; }
    ApplyEngine* engine() const { return engine_.get(); }
    ReportSender* sender() const { return sender_.get(); }
    LinkController* link_controller() const { return controller_.get(); }
    // Whether the virtual mouse stands in now.
    bool demo_active() const { return setup_.demo_mouse && !demo_ended_; }
    // The virtual mouse while it stands in; null otherwise.
    std::shared_ptr<VirtualMouse> demo_mouse() const { return demo_active() ? setup_.demo_mouse : nullptr; }
    bool heartbeat_running() const { return heartbeat_ && heartbeat_->active(); }
    bool started() const { return engine_ != nullptr; }

private:
    // The engine's sink: the sender, or the tap in front of it.
    class SinkRelay final : public ReportSink {
    public:
        ReportSender* sender = nullptr;
        std::atomic<ReportSink*> tap{nullptr};
        int send(const Report& report) override {
            if (ReportSink* t = tap.load()) return t->send(report);
            return sender->send(report);
        }
        void cancel() override {
            if (ReportSink* t = tap.load()) t->cancel();
            sender->cancel();
        }
    };

    template <class F>
    void tell(F&& f);
    template <class F>
    void post_to_observers(F f);
    void end_demo();
    void run_owed_apply();
    // LinkFacts: handed on to the observers as they come.
    void link_changed(ConnectionMode link, bool up) override;
    void battery_read(const BatteryReading& reading) override;
    void mouse_changed_setting(MouseSetting setting, int value, bool over_bluetooth) override;

    Executor& executor_;
    ProfileSource& profiles_;
    MouseSetup setup_;
    // Posted tasks check it: none reaches a session that is gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::vector<MouseObserver*> observers_;

    LinkState links_;
    DeviceChangeQueue changes_;
    std::unique_ptr<ReportSender> sender_;
    SinkRelay relay_;
    std::function<void(const ProfileChange&)> change_tap_;
    std::unique_ptr<ApplyEngine> engine_;
    std::unique_ptr<LinkController> controller_;
    std::shared_ptr<void> device_monitor_;
    std::unique_ptr<ExecutorTimer> apply_later_;
    std::unique_ptr<ExecutorTimer> heartbeat_;
    bool demo_ended_ = false;
    // An apply was asked for while no link was up: it runs when one comes.
    bool apply_owed_ = false;
    bool shut_down_ = false;
};

}  // namespace vantorel
