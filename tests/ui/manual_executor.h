// SPDX-License-Identifier: GPL-2.0-or-later
// An executor for the Qt test suites: posted tasks run on Qt's event loop as
// in the program (a pump runs them), timers run only when the test fires
// them, so timed behaviour is tested without waiting.
#pragma once

#include <map>
#include <vector>

#include "core/executor.h"
#include "ui/qt_executor.h"

namespace vantorel::test {

class ManualExecutor final : public Executor {
public:
    struct Start {
        int milliseconds;
        bool repeat;
    };

    void post(Task task) override { qt_.post(std::move(task)); }
    TimerId start_timer(int milliseconds, bool repeat, Task task) override {
        const TimerId id = next_id_++;
        timers_[id] = Running{milliseconds, repeat, std::move(task)};
        starts_.push_back({milliseconds, repeat});
        return id;
    }
    void stop_timer(TimerId id) override { timers_.erase(id); }

    // One-shot timers: how often one was started, the period of the last,
    // whether one runs.
    int one_shot_starts() const {
        int n = 0;
        for (const Start& s : starts_) n += s.repeat ? 0 : 1;
        return n;
    }
    int last_one_shot_ms() const {
        for (auto it = starts_.rbegin(); it != starts_.rend(); ++it)
            if (!it->repeat) return it->milliseconds;
        return -1;
    }
    bool one_shot_active() const {
        for (const auto& [id, t] : timers_)
            if (!t.repeat) return true;
        return false;
    }
    // Fires the one-shot timer started first; false when none runs.
    bool fire_one_shot() {
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (it->second.repeat) continue;
            Task task = std::move(it->second.task);
            timers_.erase(it);
            task();
            return true;
        }
        return false;
    }
    // Fires every repeating timer once.
    int fire_repeating() {
        std::vector<Task> due;
        for (const auto& [id, t] : timers_)
            if (t.repeat) due.push_back(t.task);
        for (Task& t : due) t();
        return static_cast<int>(due.size());
    }

private:
    struct Running {
        int milliseconds;
        bool repeat;
        Task task;
    };
    ui::QtExecutor qt_;
    std::map<TimerId, Running> timers_;
    std::vector<Start> starts_;
    TimerId next_id_ = 1;
};

}  // namespace vantorel::test
