// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/event_loop.h"

namespace vantorel {

void EventLoop::post(Task task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(task));
    }
    wake_.notify_all();
}

Executor::TimerId EventLoop::start_timer(int milliseconds, bool repeat, Task task, const char*) {
    TimerId id = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const Millis period(milliseconds < 1 ? 1 : milliseconds);
        id = next_task_timer_++;
        task_timers_[id] = TaskTimer{period, clock_.now() + period, repeat, std::move(task)};
    }
    wake_.notify_all();
    return id;
}

void EventLoop::stop_timer(TimerId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    task_timers_.erase(id);
}

int EventLoop::running_timers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(task_timers_.size());
}

bool EventLoop::take_task(Task& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty()) return false;
    out = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

bool EventLoop::take_due_timer(Task& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    const TimePoint now = clock_.now();
    auto best = task_timers_.end();
    for (auto it = task_timers_.begin(); it != task_timers_.end(); ++it)
        if (it->second.due <= now && (best == task_timers_.end() || it->second.due < best->second.due)) best = it;
    if (best == task_timers_.end()) return false;
    // A copy: the task may stop or restart its own timer.
    out = best->second.task;
    if (!best->second.repeat) {
        task_timers_.erase(best);
    } else {
        best->second.due += best->second.period;
        if (best->second.due <= now) best->second.due = now + best->second.period;
    }
    return true;
}

TimePoint EventLoop::next_due() const {
    TimePoint next = TimePoint::max();
    for (const auto& [id, t] : task_timers_)
        if (t.due < next) next = t.due;
    return next;
}

int EventLoop::process_pending() {
    int handled = 0;
    for (;;) {
        Task task;
        if (take_task(task) || take_due_timer(task)) {
            if (task) task();
            ++handled;
            continue;
        }
        return handled;
    }
}

void EventLoop::run_for(Millis d) {
    const TimePoint end = clock_.now() + d;
    for (;;) {
        process_pending();
        std::unique_lock<std::mutex> lock(mutex_);
        if (quit_) {
            quit_ = false;  // a quit ends one run, also one asked for before it started
            return;
        }
        const TimePoint now = clock_.now();
        if (now >= end) return;
        if (!queue_.empty()) continue;
        TimePoint until = std::min(next_due(), end);
        if (clock_.is_virtual()) {
            lock.unlock();
            clock_.sleep_for(std::chrono::duration_cast<Millis>(until - now));
        } else {
            // The wait is in real time; the clock is the steady clock here.
            wake_.wait_until(lock, until, [&] { return quit_ || !queue_.empty(); });
        }
    }
}

void EventLoop::run() {
    if (clock_.is_virtual()) {
        // Without real time there is no waiting: run until nothing is left.
        for (;;) {
            process_pending();
            std::unique_lock<std::mutex> lock(mutex_);
            if (quit_ || task_timers_.empty()) {
                quit_ = false;
                return;
            }
            const TimePoint until = next_due();
            const TimePoint now = clock_.now();
            lock.unlock();
            if (until > now) clock_.sleep_for(std::chrono::duration_cast<Millis>(until - now));
        }
    }
    run_for(std::chrono::hours(24 * 365));
}

void EventLoop::quit() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
}

}  // namespace vantorel
