// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/event_loop.h"

namespace vantorel {

void EventLoop::post_message(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({message, wparam, lparam, nullptr});
    }
    wake_.notify_all();
}

void EventLoop::post(Task task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Message m;
        m.task = std::move(task);
        queue_.push_back(std::move(m));
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

void EventLoop::set_timer(int id, int milliseconds) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const Millis period(milliseconds < 1 ? 1 : milliseconds);
        timers_[id] = Timer{period, clock_.now() + period, ++generation_};
    }
    wake_.notify_all();
}

void EventLoop::kill_timer(int id) {
    std::lock_guard<std::mutex> lock(mutex_);
    timers_.erase(id);
}

void EventLoop::set_control_visible(std::string_view name, bool visible) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        controls_[std::string(name)] = visible;
    }
    if (on_control_) on_control_(name, visible);
}

bool EventLoop::timer_active(int id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return timers_.count(id) != 0;
}

int EventLoop::timer_period(int id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = timers_.find(id);
    return it == timers_.end() ? -1 : static_cast<int>(it->second.period.count());
}

int EventLoop::control_visible(std::string_view name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = controls_.find(name);
    return it == controls_.end() ? -1 : (it->second ? 1 : 0);
}

bool EventLoop::take_message(Message& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty()) return false;
    out = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

bool EventLoop::take_due_timer(DueTimer& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    const TimePoint now = clock_.now();
    auto best = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
        if (it->second.due <= now && (best == timers_.end() || it->second.due < best->second.due)) best = it;
    auto best_task = task_timers_.end();
    for (auto it = task_timers_.begin(); it != task_timers_.end(); ++it)
        if (it->second.due <= now && (best_task == task_timers_.end() || it->second.due < best_task->second.due))
            best_task = it;
    // The one due first fires first; a numbered timer before a task timer due at the same time.
    if (best_task != task_timers_.end() && (best == timers_.end() || best_task->second.due < best->second.due)) {
        out.id = 0;
        out.task = best_task->second.task;
        if (!best_task->second.repeat) {
            task_timers_.erase(best_task);
        } else {
            best_task->second.due += best_task->second.period;
            if (best_task->second.due <= now) best_task->second.due = now + best_task->second.period;
        }
        return true;
    }
    if (best == timers_.end()) return false;
    out.id = best->first;
    out.task = nullptr;
    best->second.due += best->second.period;
    if (best->second.due <= now) best->second.due = now + best->second.period;
    return true;
}

TimePoint EventLoop::next_due() const {
    TimePoint next = TimePoint::max();
    for (const auto& [id, t] : timers_)
        if (t.due < next) next = t.due;
    for (const auto& [id, t] : task_timers_)
        if (t.due < next) next = t.due;
    return next;
}

int EventLoop::process_pending() {
    int handled = 0;
    for (;;) {
        Message m;
        if (take_message(m)) {
            if (m.task) m.task();
            else if (on_message_) on_message_(m.message, m.wparam, m.lparam);
            ++handled;
            continue;
        }
        DueTimer due;
        if (take_due_timer(due)) {
            if (due.task) due.task();
            else if (on_timer_) on_timer_(due.id);
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
            if (quit_ || (timers_.empty() && task_timers_.empty())) {
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
