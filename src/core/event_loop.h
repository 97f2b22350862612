// SPDX-License-Identifier: GPL-2.0-or-later
// A plain single-threaded loop that stands in for the UI thread where there
// is no Qt: the command line runs on it, and the tests drive the logic
// layers through it. Tasks may be posted from any thread;
// they run on the thread that runs the loop, one at a time, in order.
//
// With a virtual clock (ManualClock) the loop never blocks: run_for moves
// virtual time from timer to timer, so timer-driven behaviour is tested
// deterministically.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "core/clock.h"
#include "core/executor.h"

namespace vantorel {

class EventLoop : public Executor {
public:
    explicit EventLoop(Clock& clock = SteadyClock::instance()) : clock_(clock) {}

    // Executor
    void post(Task task) override;
    TimerId start_timer(int milliseconds, bool repeat, Task task, const char* name) override;
    void stop_timer(TimerId id) override;
    // Executor timers running now.
    int running_timers() const;

    // Runs every task already posted and every timer already due. Returns
    // the number of tasks and timer ticks run.
    int process_pending();
    // Runs the loop for d of clock time (virtual or real), or until quit().
    void run_for(Millis d);
    // Runs until quit() (or, with a virtual clock, until nothing is left to do).
    void run();
    // Ends the current run, or the next one when none is running (a quit
    // from another thread may come before the run starts).
    void quit();

    Clock& clock() { return clock_; }

private:
    struct TaskTimer {
        Millis period;
        TimePoint due;
        bool repeat;
        Task task;
    };
    bool take_task(Task& out);
    bool take_due_timer(Task& out);
    TimePoint next_due() const;  // requires mutex_

    Clock& clock_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> queue_;
    std::map<TimerId, TaskTimer> task_timers_;
    TimerId next_task_timer_ = 1;
    bool quit_ = false;
};

}  // namespace vantorel
