// SPDX-License-Identifier: GPL-2.0-or-later
// Executor: the thread the logic layers hand their work to. The desktop
// program's is its UI thread (Qt's event loop); the command line and the
// tests run a plain EventLoop.
//
// post() may be called from any thread: the task runs on the executor's
// thread, after every task posted before it. Timers belong to the executor's
// thread: start and stop them there. A timer is owned by the object that
// uses it (ExecutorTimer); destroying it stops it, so no callback reaches an
// object that is gone.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

namespace vantorel {

class Executor {
public:
    using Task = std::function<void()>;
    using TimerId = std::uint64_t;  // 0 is never an id

    virtual ~Executor() = default;

    // Any thread.
    virtual void post(Task task) = 0;

    // Executor thread. Runs `task` after `milliseconds`, then every
    // `milliseconds` again when `repeat`, until stopped. `name` says what the
    // timer is for (traces, tests). A stopped or unknown id is ignored by
    // stop_timer.
    virtual TimerId start_timer(int milliseconds, bool repeat, Task task, const char* name) = 0;
    virtual void stop_timer(TimerId id) = 0;
};

// Posts tasks for an object that may go while they wait: the object keeps a
// guard, and whatever it posted and is still queued when the guard goes (on
// the executor's thread) is dropped instead of run. post() may be called from
// any thread.
class TaskGuard {
public:
    explicit TaskGuard(Executor& executor) : executor_(executor) {}
    TaskGuard(const TaskGuard&) = delete;
    TaskGuard& operator=(const TaskGuard&) = delete;

    void post(Executor::Task task) {
        executor_.post([alive = std::weak_ptr<int>(alive_), task = std::move(task)] {
            if (!alive.expired()) task();
        });
    }
    Executor& executor() { return executor_; }

private:
    Executor& executor_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// One timer of an executor: start() (re)starts it, stop() ends it; a
// one-shot timer is inactive again when it has fired.
class ExecutorTimer {
public:
    // `name` must outlive the timer (a string literal).
    ExecutorTimer(Executor& executor, const char* name, Executor::Task on_fire)
        : executor_(executor), name_(name), on_fire_(std::move(on_fire)) {}
    ~ExecutorTimer() { stop(); }
    ExecutorTimer(const ExecutorTimer&) = delete;
    ExecutorTimer& operator=(const ExecutorTimer&) = delete;

    void start(int milliseconds, bool repeat = false) {
        stop();
        repeat_ = repeat;
        period_ = milliseconds;
        id_ = executor_.start_timer(milliseconds, repeat, [this] { fire(); }, name_);
    }
    void stop() {
        if (id_ == 0) return;
        executor_.stop_timer(id_);
        id_ = 0;
    }
    bool active() const { return id_ != 0; }
    // Period of the running timer, -1 when stopped.
    int period() const { return id_ != 0 ? period_ : -1; }

private:
    void fire() {
        if (!repeat_) id_ = 0;  // the handler may start it again
        if (on_fire_) on_fire_();
    }

    Executor& executor_;
    const char* name_;
    Executor::Task on_fire_;
    Executor::TimerId id_ = 0;
    bool repeat_ = false;
    int period_ = -1;
};

}  // namespace vantorel
