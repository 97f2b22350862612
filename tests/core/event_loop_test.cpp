// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/event_loop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vantorel {
namespace {

TEST(EventLoop, TasksFromOtherThreadsRunInOrder) {
    EventLoop loop;
    std::vector<int> got;
    std::thread t([&] {
        for (int i = 0; i <= 100; ++i) loop.post([&got, i] { got.push_back(i); });
        loop.post([&] { loop.quit(); });
    });
    loop.run();
    t.join();
    ASSERT_EQ(got.size(), 101u);
    for (int i = 0; i <= 100; ++i) EXPECT_EQ(got[static_cast<std::size_t>(i)], i);
}

// The executor's timers: a one-shot fires once at its time, a restart moves
// it, a repeating one keeps going until stopped, and a timer stopped or
// destroyed before its time never runs; one timer started again while it
// runs keeps its new time.
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

    // A one-shot restarted from its own task (a settle that sees more to
    // wait for) fires again at its new time, and only then.
    fired.clear();
    int runs = 0;
    ExecutorTimer settle(loop, "settle", [&] {
        note("settle");
        if (++runs == 1) settle.start(1000);
    });
    settle.start(30);
    loop.run_for(Millis(2000));
    EXPECT_EQ(fired, (std::vector<std::pair<std::string, long>>{{"settle", 3230}, {"settle", 4230}}));
}

TEST(EventLoop, AQuitBeforeTheRunStartsEndsThatRunOnly) {
    EventLoop loop;
    loop.quit();
    loop.run();  // returns at once instead of running for a year
    ManualClock clock;
    EventLoop virtual_loop(clock);
    ExecutorTimer beat(virtual_loop, "beat", [] {});
    beat.start(10, true);
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
