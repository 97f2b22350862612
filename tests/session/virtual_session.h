// SPDX-License-Identifier: GPL-2.0-or-later
// The mouse session on the virtual mouse, as the tests and the benchmarks
// use it: a loop that stands in for the UI thread, a profile source that
// keeps what it last saved, the device watch played by hand, and each link
// brought up the way the mouse brings it up. One rig instead of links,
// sender and engine wired by hand in every suite.
//
// Applies run while the loop waits for them, so the mouse's acknowledgements
// reach the link state the moment it sends them (its readers still get them
// too); everything else the links post is handled when the loop runs.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/event_loop.h"
#include "core/profile_source.h"
#include "device/device_events.h"
#include "device/link_fakes.h"
#include "device/virtual_mouse.h"
#include "session/mouse_session.h"

namespace vantorel::testing {

// Keeps the record as last saved, as the library file would hold it.
class SavingSource final : public ProfileSource {
public:
    std::mutex& mutex() override { return mutex_; }
    ProfileRecord& current() override { return record_; }
    Status save() override {
        saved_ = record_;
        return Status::OK();
    }
    std::optional<ProfileRecord> saved() {
        std::lock_guard<std::mutex> lock(mutex_);
        return saved_;
    }
    ProfileRecord shown() {
        std::lock_guard<std::mutex> lock(mutex_);
        return record_;
    }

private:
    std::mutex mutex_;
    ProfileRecord record_;
    std::optional<ProfileRecord> saved_;
};

// Lets what the reader threads post reach the loop (bounded real-time wait).
inline bool pump_until(EventLoop& loop, const std::function<bool()>& done) {
    for (int i = 0; i < 5000; ++i) {
        loop.process_pending();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

class VirtualSession : public MouseObserver {
public:
    struct Options {
        Clock* pacing = nullptr;  // the sender's clock; null: the rig's
        // The virtual mouse stands in as the demo does, on its receiver
        // (plugged from the start), until a real mouse arrives; `leave_demo`
        // is called then.
        bool demo = false;
        int demo_heartbeat_ms = 2000;
        std::function<void()> leave_demo;
    };

    // The loop and the mouse run on `clock`.
    explicit VirtualSession(Clock& clock) : VirtualSession(clock, Options()) {}
    VirtualSession(Clock& clock, Options options)
        : loop(clock), mouse_(std::make_shared<VirtualMouse>(clock)), mouse(*mouse_) {
        mouse.set_event_tap([this](ConnectionMode link, const MouseEvent& e) {
            if (link != ConnectionMode::Wireless || e[1] != kEventAcknowledge) return;
            if (LinkState* links = tapped_.load()) links->ack_received.store(e[2] == 0 ? 1 : 0);
        });
        MouseSetup m;
        m.hid = std::shared_ptr<HidBackend>(std::shared_ptr<void>(), &mouse.receiver());
        m.wired_driver = mouse.shared_wired_driver();
        m.ble_gatt = mouse.shared_ble();
        m.clock = options.pacing ? options.pacing : &clock;
        if (options.demo) {
            mouse.plug_receiver();
            m.demo_mouse = mouse_;
            m.demo_heartbeat_ms = options.demo_heartbeat_ms;
            m.leave_demo = options.leave_demo;
        }
        m.wireless.read_timeout_ms = -1;
        m.start_device_monitor = [this](DeviceChangeQueue& queue, std::function<void()> notify) -> std::shared_ptr<void> {
            changes_ = &queue;
            changed_ = std::move(notify);
            return nullptr;
        };
        session = std::make_unique<MouseSession>(loop, source, std::move(m));
        tapped_.store(&session->links());
        session->add_observer(this);
    }
    ~VirtualSession() override { end(); }
    // The session goes (its news still queued on the loop stays there).
    void end() {
        if (session) session->shutdown();
        tapped_.store(nullptr);
        session.reset();
    }
    VirtualSession(const VirtualSession&) = delete;
    VirtualSession& operator=(const VirtualSession&) = delete;

    // The engine and the links (the cable is decided here), then the device
    // watch and the receiver.
    void start() {
        session->start();
        session->engine()->reset_last_applied();
        session->open();
        loop.process_pending();
    }
    LinkState& links() { return session->links(); }
    ApplyEngine& engine() { return *session->engine(); }

    bool pump_until(const std::function<bool()>& done) { return testing::pump_until(loop, done); }

    // The receiver's two nodes coming or going, as the device watch reports them.
    void receiver_change(bool arrival) {
        for (const char* node : {FakeReceiverBackend::kCommandPath, FakeReceiverBackend::kEventPath}) {
            changes_->push(hidraw_change(arrival, node));
            changed_();
        }
        loop.process_pending();
    }
    // Plugged, enumerated after the arrival settles, and identified by the
    // first event the mouse sends.
    bool bring_up_receiver() {
        mouse.plug_receiver();
        receiver_change(true);
        loop.run_for(Millis(WirelessConnection::kArrivalSettleMs));
        mouse.report_battery(0, 80);
        return pump_until([&] { return links().wireless_connected.load() == 1; });
    }
    bool bring_up_cable() {
        mouse.plug_cable();
        loop.process_pending();
        loop.run_for(Millis(WiredLink::kAttachSettleMs));
        return links().wired_state.load() == kWiredAttached;
    }
    bool bring_up_ble() {
        mouse.connect_ble();
        return pump_until([&] { return links().ble_connected.load() == 1; });
    }
    bool link_up(ConnectionMode link) {
        switch (link) {
            case ConnectionMode::Wired: return bring_up_cable();
            case ConnectionMode::Wireless: return bring_up_receiver();
            case ConnectionMode::Ble: return bring_up_ble();
            case ConnectionMode::None: break;
        }
        return false;
    }

    // What the mouse holds is unknown; the record is the one to apply.
    void load(const ProfileRecord& r) {
        {
            std::lock_guard<std::mutex> lock(source.mutex());
            source.current() = r;
        }
        engine().reset_last_applied();
    }
    void edit(const std::function<void(ProfileRecord&)>& change) {
        std::lock_guard<std::mutex> lock(source.mutex());
        change(source.current());
    }
    // One apply the way an edit asks for one, run to its end. The loop is
    // left alone while it sends, so nothing the readers post meanwhile can
    // touch the acknowledge flag under the sender. Nothing when the request
    // went nowhere.
    std::optional<ApplySummary> apply() {
        loop.process_pending();
        const std::size_t before = summary_count();
        session->request_apply(ApplyWhen::Now);
        loop.process_pending();  // the request reaches the worker
        engine().wait_idle();
        loop.process_pending();  // its news reaches the observers
        std::lock_guard<std::mutex> lock(summaries_mutex_);
        if (summaries_.size() <= before) return std::nullopt;
        return summaries_.back();
    }
    std::size_t summary_count() {
        std::lock_guard<std::mutex> lock(summaries_mutex_);
        return summaries_.size();
    }
    // Whether the mouse holds exactly the record shown, on `link`.
    bool holds(ConnectionMode link, std::string* why) {
        std::lock_guard<std::mutex> lock(source.mutex());
        return mouse.holds_exactly(source.current(), why, link);
    }

    void apply_finished(const ApplySummary& s) override {
        std::lock_guard<std::mutex> lock(summaries_mutex_);
        summaries_.push_back(s);
    }

    EventLoop loop;
    SavingSource source;

private:
    std::shared_ptr<VirtualMouse> mouse_;

public:
    VirtualMouse& mouse;
    std::unique_ptr<MouseSession> session;

private:
    DeviceChangeQueue* changes_ = nullptr;
    std::function<void()> changed_;
    std::atomic<LinkState*> tapped_{nullptr};
    std::mutex summaries_mutex_;
    std::vector<ApplySummary> summaries_;
};

}  // namespace vantorel::testing
