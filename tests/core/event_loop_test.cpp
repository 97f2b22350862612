// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/event_loop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vantorel {
namespace {

TEST(EventLoop, TimersFireInVirtualTimeAndRestartOnSet) {
    ManualClock clock;
    EventLoop loop(clock);
    std::vector<std::pair<int, long>> fired;
    loop.set_timer_handler([&](int id) {
        fired.emplace_back(id, static_cast<long>(clock.elapsed().count()));
        if (id == 901) loop.kill_timer(901);  // one-shot use
    });
    loop.set_timer(901, 1000);
    loop.run_for(Millis(300));
    loop.set_timer(901, 1000);  // a second arrival restarts the second
    loop.run_for(Millis(300));
    loop.set_timer(901, 1000);
    loop.set_timer(902, 30);
    loop.run_for(Millis(100));
    loop.kill_timer(902);
    loop.run_for(Millis(2000));
    ASSERT_EQ(fired.size(), 4u);
    EXPECT_EQ(fired[0], std::make_pair(902, 630L));
    EXPECT_EQ(fired[2], std::make_pair(902, 690L));
    EXPECT_EQ(fired[3], std::make_pair(901, 1600L));
    EXPECT_FALSE(loop.timer_active(901));
}

TEST(EventLoop, MessagesFromOtherThreadsArriveInOrder) {
    EventLoop loop;
    std::vector<std::intptr_t> got;
    loop.set_message_handler([&](std::uint32_t m, std::uintptr_t, std::intptr_t l) {
        got.push_back(l);
        if (m == 2) loop.quit();
    });
    std::thread t([&] {
        for (int i = 0; i < 100; ++i) loop.post_message(1, 0, i);
        loop.post_message(2, 0, 100);
    });
    loop.run();
    t.join();
    ASSERT_EQ(got.size(), 101u);
    for (int i = 0; i <= 100; ++i) EXPECT_EQ(got[static_cast<std::size_t>(i)], i);
}

// The executor's timers: a one-shot fires once at its time, a restart moves
// it, a repeating one keeps going until stopped, and a timer stopped or
// destroyed before its time never runs; tasks posted from another thread
// run in order with the loop's messages.
TEST(EventLoop, ExecutorTimersFireAtTheirTimeAndNeverOnceStopped) {
    ManualClock clock;
    EventLoop loop(clock);
    std::vector<std::pair<std::string, long>> fired;
    auto note = [&](const char* what) { fired.emplace_back(what, static_cast<long>(clock.elapsed().count())); };
    ExecutorTimer once(loop, "once", [&] { note("once"); });
    ExecutorTimer beat(loop, "beat", [&] { note("beat"); });
    auto gone = std::make_unique<ExecutorTimer>(loop, "gone", [&] { note("gone"); });
    once.start(1000);
    beat.start(400, true);
    gone->start(100);
    gone.reset();
    loop.run_for(Millis(300));
    once.start(1000);  // restarted: due at 1300
    loop.run_for(Millis(900));
    beat.stop();
    loop.run_for(Millis(2000));
    EXPECT_EQ(fired, (std::vector<std::pair<std::string, long>>{{"beat", 400}, {"beat", 800}, {"beat", 1200}, {"once", 1300}}));
    EXPECT_FALSE(once.active());
    EXPECT_EQ(loop.running_timers(), 0);

    std::vector<int> order;
    loop.set_message_handler([&](std::uint32_t m, std::uintptr_t, std::intptr_t) { order.push_back(static_cast<int>(m)); });
    std::thread([&] {
        loop.post_message(1);
        loop.post([&] { order.push_back(2); });
        loop.post_message(3);
    }).join();
    loop.process_pending();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(EventLoop, AQuitBeforeTheRunStartsEndsThatRunOnly) {
    EventLoop loop;
    loop.quit();
    loop.run();  // returns at once instead of running for a year
    ManualClock clock;
    EventLoop virtual_loop(clock);
    virtual_loop.set_timer(1, 10);
    virtual_loop.run_for(Millis(100));
    EXPECT_EQ(clock.elapsed().count(), 100);  // no quit left over
}

TEST(ManualClock, ScheduledWorkRunsAtItsTimeDuringSleeps) {
    ManualClock clock;
    std::vector<long> at;
    clock.schedule(Millis(250), [&] { at.push_back(static_cast<long>(clock.elapsed().count())); });
    clock.schedule(Millis(100), [&] {
        at.push_back(static_cast<long>(clock.elapsed().count()));
        clock.schedule(Millis(50), [&] { at.push_back(static_cast<long>(clock.elapsed().count())); });
    });
    clock.sleep_for(Millis(500));
    EXPECT_EQ(at, (std::vector<long>{100, 150, 250}));
    EXPECT_EQ(clock.elapsed().count(), 500);
}

}  // namespace
}  // namespace vantorel
