// SPDX-License-Identifier: GPL-2.0-or-later
// The links to the mouse for one command: what the desktop program's main
// window sets up, on a plain event loop in the command's own thread.
//
// A session holds the event loop (steady clock) that stands in for the UI
// thread, the profile the event dispatch writes
// device-side changes into, and the mouse session (links, report sender,
// apply engine) built on them. The links are either the real ones (hidapi on
// hidraw, the wired driver plugin from beside the executable or the
// installed plugin folder, and the libudev device monitor) or the virtual
// mouse on one chosen link.
//
// Start-up follows the desktop program: the mouse session's start(), then
// the device monitor, then its open(). The session observes the mouse
// session for the events and links it reports. Shutdown stops the device
// monitor, then the mouse session (its apply worker first, then the links).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/event_loop.h"
#include "core/profile_source.h"
#include "device/device_change.h"
#include "device/device_events.h"
#include "device/link_controller.h"
#include "device/link_state.h"
#include "device/report_sender.h"
#include "session/mouse_session.h"
#include "simulated_mouse.h"

namespace vantorel::cli {

// What was found of one link's device.
struct LinkReport {
    ConnectionMode link = ConnectionMode::None;  // Wireless stands for the receiver
    bool present = false;     // a matching device node exists
    bool opened = false;      // we could open it
    bool identified = false;  // the mouse answered on it (receiver), the feature device opened (cable), probe (BLE)
    bool permission_denied = false;  // present, but its node is not readable and writable for us
    std::vector<std::string> nodes;
    std::string note;         // why it is not (yet) usable, when that is known
};

// A device node of ours found present when the session started.
struct PresentNode {
    ConnectionMode link = ConnectionMode::None;
    std::string devnode;
    bool accessible = false;
};

class LinkSession : private MouseObserver {
public:
    struct Options {
        // The virtual mouse on this link; nullopt: the real links.
        std::optional<ConnectionMode> simulate;
        // Where the event dispatch finds the edited profile; null: a record
        // of defaults held in memory, so nothing is written anywhere.
        ProfileSource* profiles = nullptr;
        // Longest a receiver reader blocks in one read; bounds how long the
        // shutdown waits for the readers.
        int read_timeout_ms = 200;
    };

    using EventObserver = std::function<void(ConnectionMode link, const DeviceEvent& event)>;
    using LinkObserver = std::function<void(ConnectionMode link, bool up)>;

    // Whether this build can reach real devices.
    static bool real_links_available();
    // Null, with the reason in *error, when the real links were asked for
    // and this build has none.
    static std::unique_ptr<LinkSession> create(const Options& options, std::string* error);
    ~LinkSession();  // shutdown()
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // Observers and hooks: set them on the thread that runs the loop, while
    // no run is going on; they run on that thread. The event observer sees every device event the dispatch is
    // given; the link observer every link that came up or went down
    // (Wireless once the mouse answered on the receiver).
    void set_event_observer(EventObserver observer) { on_event_ = std::move(observer); }
    void set_link_observer(LinkObserver observer) { on_link_ = std::move(observer); }
    // Sees each change the mouse reported as the apply engine commits it
    // (into the edited record and the last-applied copy).
    void set_commit(CommitChange commit) { mouse_session_->set_device_change_tap(std::move(commit)); }

    // Brings the links up. The virtual mouse then reports its battery, which
    // is what identifies it on the receiver.
    void start();

    // Runs the loop until `done` holds (looked at now, after each message
    // and timer, and on wake()), until stop(), or until `limit` has passed.
    // Returns whether `done` held.
    bool run_until(const std::function<bool()>& done, Millis limit);
    // Any thread: makes the running run_until look at its condition again.
    void wake();
    // Any thread, also before run_until: ends this and every later run.
    void stop();
    bool stop_requested() const { return stop_requested_.load(); }

    // Device monitor stopped, then the controller shut down. Idempotent.
    void shutdown();

    bool simulated() const { return mouse_ != nullptr; }
    SimulatedMouse* mouse() { return mouse_.get(); }
    EventLoop& loop() { return loop_; }
    LinkState& links() const { return mouse_session_->links(); }
    MouseSession& mouse_session() { return *mouse_session_; }
    LinkController& controller() const { return *mouse_session_->link_controller(); }
    ReportSender& sender() { return *mouse_session_->sender(); }
    ApplyEngine& engine() { return *mouse_session_->engine(); }
    Clock& clock() { return SteadyClock::instance(); }

    // Whether reports can be written over a link: Bluetooth LE needs a
    // transport, which only the virtual mouse has for now.
    bool can_write(ConnectionMode link) const;
    // The link the next report would go over, leaving out links that cannot
    // be written to; None when there is none.
    ConnectionMode usable_link() const;

    // The state of the receiver, the cable and Bluetooth LE, in that order.
    std::vector<LinkReport> link_reports() const;
    // True when every link whose device is present is identified or cannot
    // be any more (not openable, or the receiver reported another device).
    bool settled() const;

private:
    struct RealParts;
    explicit LinkSession(const Options& options);
    // MouseObserver
    void device_event(ConnectionMode link, const DeviceEvent& event) override;
    void links_changed() override { after_handling(); }
    void after_handling();
    void check_links();
    std::vector<PresentNode> nodes_of(ConnectionMode link) const;

    Options options_;
    EventLoop loop_{SteadyClock::instance()};
    MemoryProfileSource own_profiles_;
    ProfileSource* profiles_ = nullptr;
    std::unique_ptr<SimulatedMouse> mouse_;
    std::unique_ptr<RealParts> real_;
    HidBackend* hid_ = nullptr;
    std::unique_ptr<MouseSession> mouse_session_;
    std::vector<PresentNode> present_;  // real links: the nodes found at start

    EventObserver on_event_;
    LinkObserver on_link_;
    std::function<bool()> done_;
    std::atomic<bool> stop_requested_{false};
    bool started_ = false;
    bool shut_down_ = false;
    bool wired_up_ = false;
    bool wireless_up_ = false;
    bool ble_up_ = false;
};

}  // namespace vantorel::cli
