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
#include "device/virtual_mouse.h"
#include "session/virtual_session.h"

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
    void links_changed() override { ++link_changes; }
    void battery_changed() override { ++batteries; }
    void dpi_stage_chosen(std::int64_t code) override { dpi_codes.push_back(code); }
    void device_event(ConnectionMode link, const DeviceEvent& e) override {
        if (link == ConnectionMode::Wireless && e.code() == kEventDpiStage) ++dpi_events;
    }
    int link_changes = 0;
    int batteries = 0;
    int dpi_events = 0;
    std::vector<std::int64_t> dpi_codes;
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

// The mouse session on the virtual mouse's receiver, on a virtual-time loop
// that stands in for the UI thread.
class SessionTest : public ::testing::Test {
protected:
    explicit SessionTest(bool demo = false)
        : rig(clock, [&] {
              testing::VirtualSession::Options o;
              o.demo = demo;
              o.leave_demo = [this] { ++left_demo; };
              return o;
          }()),
          session(rig.session) {
        rig.session->add_observer(&heard);
        rig.start();
    }

    bool pump_until(const std::function<bool()>& done) { return rig.pump_until(done); }
    // The receiver link up and the start-up's full apply done.
    bool ready() {
        if (!rig.bring_up_receiver()) return false;
        session->request_apply(ApplyWhen::Now);
        settle();
        heard.take();
        return true;
    }
    // Runs what was asked for to its end, and what it posted.
    void settle() {
        loop().process_pending();
        session->engine()->wait_idle();
        loop().process_pending();
    }
    EventLoop& loop() { return rig.loop; }

    ManualClock clock;
    int left_demo = 0;
    Heard heard{std::this_thread::get_id()};
    testing::VirtualSession rig;
    std::unique_ptr<MouseSession>& session;
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
            rig.loop.run_for(Millis(c.delay_ms - 1));
        }
        EXPECT_TRUE(session->apply_pending());
        EXPECT_TRUE(heard.take().empty()) << "an apply went before the pause after the last edit ended";
        rig.loop.run_for(Millis(1));
        settle();
        EXPECT_FALSE(session->apply_pending());
        EXPECT_EQ(heard.take(), (std::vector<std::string>{"requested", "started", "finished"}));
    }
    session->request_apply(ApplyWhen::Manual);
    rig.loop.run_for(Millis(2000));
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
        std::lock_guard<std::mutex> lock(rig.source.mutex());
        SlotRef s = rig.source.current().slot(0);
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
    EXPECT_TRUE(session->link_controller()->events().watchdog_running())
        << "the watchdog was not started again after the apply";
}

// The device layer reports facts; how they look is the front end's affair.
TEST_F(SessionTest, TheMousesOwnChangesReachTheObserversAsFacts) {
    rig.loop.process_pending();
    const int before = heard.link_changes;
    ASSERT_TRUE(ready());
    EXPECT_EQ(heard.link_changes, before + 1) << "the receiver link came up";
    rig.mouse.press_dpi_stage(3);
    ASSERT_TRUE(pump_until([&] { return !heard.dpi_codes.empty(); }));
    std::int64_t code = 0;
    {
        std::lock_guard<std::mutex> lock(rig.source.mutex());
        code = rig.source.current().dpi_value(2);
        EXPECT_EQ(rig.source.current().dpi_stage_index(), 2);
    }
    EXPECT_EQ(heard.dpi_codes, std::vector<std::int64_t>{code});
    EXPECT_EQ(heard.dpi_events, 1);
    EXPECT_TRUE(heard.all_on_loop_thread);
    // Silence: the watchdog ends the link, and the observers hear of it.
    rig.loop.run_for(Millis(WirelessConnection::kWatchdogMs + 1));
    EXPECT_EQ(session->links().wireless_connected.load(), 0);
    EXPECT_EQ(heard.link_changes, before + 2);
}

// The apply asked for at start, or an edit made while the mouse is away,
// found no link: it used to wait for the next edit, and on a busy machine
// the start-up apply raced the receiver coming up and the mouse kept what it
// had.
TEST_F(SessionTest, AnApplyThatFoundNoLinkRunsWhenTheMouseComes) {
    rig.loop.process_pending();
    {
        std::lock_guard<std::mutex> lock(rig.source.mutex());
        rig.source.current().set_dpi_value(0, 1600);
    }
    session->request_apply(ApplyWhen::Now);
    settle();
    EXPECT_EQ(heard.take(), (std::vector<std::string>{"requested", "dropped"}));
    EXPECT_FALSE(rig.source.saved().has_value()) << "an apply no mouse took was saved";

    ASSERT_TRUE(rig.bring_up_receiver());
    settle();
    EXPECT_EQ(heard.take(), (std::vector<std::string>{"requested", "started", "finished full"}));
    std::string why;
    EXPECT_TRUE(rig.holds(ConnectionMode::Wireless, &why)) << why;

    // Down and up again with nothing owed: nothing is sent. (A report the
    // readers hand over late restarts the watchdog: it runs out again.)
    ASSERT_TRUE(pump_until([&] {
        rig.loop.run_for(Millis(WirelessConnection::kWatchdogMs + 1));
        return session->links().wireless_connected.load() == 0;
    }));
    ASSERT_TRUE(rig.bring_up_receiver());
    settle();
    EXPECT_TRUE(heard.take().empty());
}

TEST_F(SessionTest, NothingReachesAnObserverOnceTheSessionIsGone) {
    ASSERT_TRUE(rig.bring_up_receiver());
    session->request_apply(ApplyWhen::Now);
    session->request_apply(ApplyWhen::Soon);
    rig.loop.process_pending();
    session->engine()->wait_idle();
    rig.end();  // its news is still queued on the loop
    heard.take();
    rig.loop.run_for(Millis(1000));
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
        const int shown = heard.batteries;
        rig.loop.run_for(Millis(2000));
        ASSERT_TRUE(pump_until([&] { return heard.batteries > shown; })) << "no heartbeat reached the links";
    }
    EXPECT_EQ(session->links().wireless_connected.load(), 1);
    settle();
    heard.take();

    // The watch's start counts as a change of the devices (what was seen
    // before it may be out of date), and so does each arrival.
    EXPECT_EQ(session->links().device_changes.load(), 1u);
    // A receiver arrives through the device watch, twice (each time its two nodes).
    for (int i = 0; i < 2; ++i) rig.receiver_change(true);
    EXPECT_EQ(session->links().device_changes.load(), 5u);
    EXPECT_FALSE(session->demo_active());
    EXPECT_EQ(left_demo, 1);
    EXPECT_EQ(heard.take(), std::vector<std::string>{"demo ended"});
    EXPECT_FALSE(session->heartbeat_running()) << "the heartbeat outlived the demo";
    EXPECT_EQ(session->engine()->full_apply(), 1) << "the real mouse's first apply must send everything";

    // It comes as soon as the real mouse is there, with no edit to ask for it.
    ASSERT_TRUE(rig.bring_up_receiver());
    settle();
    EXPECT_EQ(heard.take(), (std::vector<std::string>{"requested", "started", "finished full"}));
}

}  // namespace
}  // namespace vantorel
