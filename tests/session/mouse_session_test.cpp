// SPDX-License-Identifier: GPL-2.0-or-later
#include "session/mouse_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/event_loop.h"
#include "core/messages.h"
#include "device/link_fakes.h"
#include "device/virtual_mouse.h"

namespace vantorel {
namespace {

// What the observers heard, with whether it came on the loop's thread.
class Heard : public MouseObserver {
public:
    explicit Heard(std::thread::id loop_thread) : loop_thread_(loop_thread) {}
    void apply_requested() override { add("requested"); }
    void apply_started() override { add("started"); }
    void apply_finished(const ApplySummary& s) override { add(s.ran ? (s.full ? "finished full" : "finished") : "dropped"); }
    void save_failed(const std::string&) override { add("save failed"); }
    void demo_ended() override { add("demo ended"); }
    std::vector<std::string> take() { return std::exchange(log_, {}); }
    bool all_on_loop_thread = true;

private:
    void add(std::string s) {
        all_on_loop_thread = all_on_loop_thread && std::this_thread::get_id() == loop_thread_;
        log_.push_back(std::move(s));
    }
    std::thread::id loop_thread_;
    std::vector<std::string> log_;
};

// A session on the virtual mouse's receiver, on a virtual-time loop that
// stands in for the UI thread.
class SessionTest : public ::testing::Test {
protected:
    explicit SessionTest(bool demo = false) : demo_(demo) {}
    void SetUp() override {
        source.current().reset_to_defaults();
        mouse->plug_receiver();
        // Applies run while the loop waits for them, so the acknowledge
        // reaches the link state the moment the mouse answers.
        mouse->set_event_tap([this](ConnectionMode link, const MouseEvent& e) {
            LinkState* links = tapped_links.load();
            if (link == ConnectionMode::Wireless && e[1] == kEventAcknowledge && links)
                links->ack_received.store(e[2] == 0 ? 1 : 0);
        });
        // The links' own messages; those still queued when the session is
        // gone are dropped, as the window drops them.
        loop.set_message_handler([this](std::uint32_t m, std::uintptr_t w, std::intptr_t l) {
            if (session) session->on_message(m, w, l);
        });
        loop.set_timer_handler([this](int id) {
            if (session) session->on_timer(id);
        });
        MouseSetup setup;
        setup.hid = mouse->shared_receiver();
        setup.clock = &clock;
        setup.wireless.read_timeout_ms = -1;
        setup.start_device_monitor = [this](WindowHost&, DeviceChangeQueue& queue) -> std::shared_ptr<void> {
            changes = &queue;
            return nullptr;
        };
        if (demo_) {
            setup.demo_mouse = mouse;
            setup.demo_heartbeat_ms = 2000;
            setup.leave_demo = [this] { ++left_demo; };
        }
        session = std::make_unique<MouseSession>(loop, loop, source, view, std::move(setup));
        tapped_links.store(&session->links());
        session->add_observer(&heard);
        session->start();
        session->engine()->reset_last_applied();
        session->open();
    }
    void TearDown() override {
        if (session) session->shutdown();
        tapped_links.store(nullptr);
        session.reset();
    }

    // Lets what the reader threads post reach the loop (bounded real-time wait).
    bool pump_until(const std::function<bool()>& done) {
        for (int i = 0; i < 5000; ++i) {
            loop.process_pending();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    bool receiver_up() {
        mouse->report_battery(0, 80);
        return pump_until([&] { return session->links().wireless_connected.load() == 1; });
    }
    // The receiver link up and the start-up's full apply done.
    bool ready() {
        if (!receiver_up()) return false;
        session->request_apply(ApplyWhen::Now);
        settle();
        heard.take();
        return true;
    }
    // Runs what was asked for to its end, and what it posted.
    void settle() {
        loop.process_pending();
        session->engine()->wait_idle();
        loop.process_pending();
    }

    bool demo_;
    ManualClock clock;
    EventLoop loop{clock};
    testing::RecordingView view;
    MemoryProfileSource source;
    std::shared_ptr<VirtualMouse> mouse = std::make_shared<VirtualMouse>(clock);
    DeviceChangeQueue* changes = nullptr;
    Heard heard{std::this_thread::get_id()};
    std::unique_ptr<MouseSession> session;
    std::atomic<LinkState*> tapped_links{nullptr};
    int left_demo = 0;
};

TEST_F(SessionTest, ABurstOfEditsGivesOneApplyAfterThePauseOfTheLastOne) {
    ASSERT_TRUE(ready());
    struct Case {
        int delay_ms;
        int edits;
    };
    for (const Case c : {Case{MouseSession::kSliderApplyDelayMs, 5}, Case{MouseSession::kLightApplyDelayMs, 3}}) {
        SCOPED_TRACE(c.delay_ms);
        for (int i = 0; i < c.edits; ++i) {
            session->request_apply(ApplyWhen::Soon, c.delay_ms);
            loop.run_for(Millis(c.delay_ms - 1));
        }
        EXPECT_TRUE(session->apply_pending());
        EXPECT_TRUE(heard.take().empty()) << "an apply went before the pause after the last edit ended";
        loop.run_for(Millis(1));
        settle();
        EXPECT_FALSE(session->apply_pending());
        EXPECT_EQ(heard.take(), (std::vector<std::string>{"requested", "started", "finished"}));
    }
    session->request_apply(ApplyWhen::Manual);
    loop.run_for(Millis(2000));
    settle();
    EXPECT_TRUE(heard.take().empty()) << "a value that waits for its button was sent";
}

// The apply's news used to reach the page twice, once on the worker thread.
TEST_F(SessionTest, ObserversHearEachApplyOnceInOrderOnTheLoopThread) {
    ASSERT_TRUE(ready());
    std::thread([this] { session->request_apply(ApplyWhen::Now); }).join();
    settle();
    std::thread([this] { session->request_full_apply(); }).join();
    settle();
    EXPECT_EQ(heard.take(),
              (std::vector<std::string>{"requested", "started", "finished", "requested", "started", "finished full"}));
    EXPECT_TRUE(heard.all_on_loop_thread);
}

// A long macro apply outlasts the receiver's presence watchdog; the mouse
// says nothing meanwhile, and the link must not be dropped for it.
TEST_F(SessionTest, TheReceiverWatchdogRestsWhileAnApplySends) {
    ASSERT_TRUE(ready());
    {
        std::lock_guard<std::mutex> lock(source.mutex());
        SlotRef s = source.current().slot(0);
        s.set_function_code(kFunctionMacro);
        s.set_macro_repeat_count(1);
        s.set_macro_action_count(120);
        for (std::size_t i = 0; i < 120; ++i)
            s.set_macro_action(i, {0x04, static_cast<std::uint8_t>(i % 2 ? kActionRelease : kActionPress), 300});
    }
    const TimePoint before = clock.now();
    session->request_apply(ApplyWhen::Now);
    settle();
    ASSERT_GT(clock.now() - before, Millis(WirelessConnection::kWatchdogMs)) << "the apply was too short to tell";
    EXPECT_EQ(session->links().wireless_connected.load(), 1) << "the watchdog dropped the link after a long apply";
    EXPECT_EQ(loop.timer_period(kTimerWirelessWatchdog), WirelessConnection::kWatchdogMs)
        << "the watchdog was not started again after the apply";
}

TEST_F(SessionTest, NothingReachesAnObserverOnceTheSessionIsGone) {
    ASSERT_TRUE(receiver_up());
    session->request_apply(ApplyWhen::Now);
    session->request_apply(ApplyWhen::Soon);
    loop.process_pending();
    session->engine()->wait_idle();
    tapped_links.store(nullptr);
    session.reset();  // its news is still queued on the loop
    heard.take();
    loop.run_for(Millis(1000));
    EXPECT_TRUE(heard.take().empty());
}

class DemoSessionTest : public SessionTest {
protected:
    DemoSessionTest() : SessionTest(true) {}
};

TEST_F(DemoSessionTest, TheVirtualMouseKeepsItsLinkUpUntilARealMouseArrivesThenStepsAsideOnce) {
    ASSERT_TRUE(pump_until([&] { return session->links().wireless_connected.load() == 1; }));
    EXPECT_TRUE(session->demo_active());
    // Its heartbeat keeps the receiver's watchdog fed.
    for (int i = 0; i < 5; ++i) {
        const int shown = view.calls;
        loop.run_for(Millis(2000));
        ASSERT_TRUE(pump_until([&] { return view.calls > shown; })) << "no heartbeat reached the page";
    }
    EXPECT_EQ(session->links().wireless_connected.load(), 1);
    settle();
    heard.take();

    ASSERT_NE(changes, nullptr);
    for (int i = 0; i < 2; ++i) {
        changes->push(testing::hidraw_change(true, "/dev/hidraw-real"));
        loop.post_message(kMsgDeviceArrival);
        loop.process_pending();
    }
    EXPECT_FALSE(session->demo_active());
    EXPECT_EQ(left_demo, 1);
    EXPECT_EQ(heard.take(), std::vector<std::string>{"demo ended"});
    EXPECT_EQ(loop.running_timers(), 0) << "the heartbeat outlived the demo";
    EXPECT_EQ(session->engine()->full_apply(), 1) << "the real mouse's first apply must send everything";
}

}  // namespace
}  // namespace vantorel
