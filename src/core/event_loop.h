// SPDX-License-Identifier: GPL-2.0-or-later
// A plain single-threaded loop that stands in for the UI thread where there
// is no Qt: the command line runs on it, and the tests drive the logic
// layers through it. Tasks (and messages) may be posted from any thread;
// they run on the thread that runs the loop, one at a time, in order.
//
// With a virtual clock (ManualClock) the loop never blocks: run_for moves
// virtual time from timer to timer, so timer-driven behaviour is tested
// deterministically.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "core/clock.h"
#include "core/executor.h"
#include "core/window_host.h"

namespace vantorel {

class EventLoop : public WindowHost, public Executor {
public:
    using MessageHandler = std::function<void(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam)>;
    using TimerHandler = std::function<void(int id)>;
    using ControlHandler = std::function<void(std::string_view name, bool visible)>;

    explicit EventLoop(Clock& clock = SteadyClock::instance()) : clock_(clock) {}

    void set_message_handler(MessageHandler h) { on_message_ = std::move(h); }
    void set_timer_handler(TimerHandler h) { on_timer_ = std::move(h); }
    void set_control_handler(ControlHandler h) { on_control_ = std::move(h); }

    // WindowHost
    void post_message(std::uint32_t message, std::uintptr_t wparam = 0, std::intptr_t lparam = 0) override;
    void set_timer(int id, int milliseconds) override;
    void kill_timer(int id) override;
    void set_control_visible(std::string_view name, bool visible) override;

    // Executor
    void post(Task task) override;
    TimerId start_timer(int milliseconds, bool repeat, Task task, const char* name) override;
    void stop_timer(TimerId id) override;
    // Executor timers running now.
    int running_timers() const;

    bool timer_active(int id) const;
    // Period of a running timer, or -1.
    int timer_period(int id) const;
    // Visibility last set for a control, or -1 when never set.
    int control_visible(std::string_view name) const;

    // Handles every message already queued and every timer already due.
    // Returns the number of messages and timer ticks handled.
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
    struct Message {
        std::uint32_t message = 0;
        std::uintptr_t wparam = 0;
        std::intptr_t lparam = 0;
        Task task;  // set: a posted task instead of a message
    };
    struct Timer {
        Millis period;
        TimePoint due;
        std::uint64_t generation;
    };
    struct TaskTimer {
        Millis period;
        TimePoint due;
        bool repeat;
        Task task;
    };
    // A due timer: a numbered one (`id`) or an executor timer (`task`).
    struct DueTimer {
        int id = 0;
        Task task;
    };
    bool take_message(Message& out);
    bool take_due_timer(DueTimer& out);
    TimePoint next_due() const;  // requires mutex_

    Clock& clock_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Message> queue_;
    std::map<int, Timer> timers_;
    std::map<TimerId, TaskTimer> task_timers_;
    TimerId next_task_timer_ = 1;
    std::map<std::string, bool, std::less<>> controls_;
    std::uint64_t generation_ = 0;
    bool quit_ = false;
    MessageHandler on_message_;
    TimerHandler on_timer_;
    ControlHandler on_control_;
};

}  // namespace vantorel
