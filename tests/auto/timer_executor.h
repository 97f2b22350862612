// SPDX-License-Identifier: GPL-2.0-or-later
// A standard-library executor for tests: posted tasks run at once, timers
// only when the test fires them by name.
#pragma once

#include <map>
#include <string>

#include "core/executor.h"

namespace vantorel::test {

class TimerExecutor final : public Executor {
public:
    void post(Task task) override { task(); }
    TimerId start_timer(int milliseconds, bool repeat, Task task, const char* name) override {
        timers_[next_id_] = Running{name ? name : "", milliseconds, repeat, std::move(task)};
        return next_id_++;
    }
    void stop_timer(TimerId id) override { timers_.erase(id); }

    bool active(const std::string& name) const { return find(name) != timers_.end(); }
    int interval(const std::string& name) const {
        auto it = find(name);
        return it == timers_.end() ? -1 : it->second.milliseconds;
    }
    // Fires the named timer once; false when it does not run.
    bool fire(const std::string& name) {
        auto it = find(name);
        if (it == timers_.end()) return false;
        Task task = it->second.task;
        if (!it->second.repeat) timers_.erase(it);
        task();
        return true;
    }

private:
    struct Running {
        std::string name;
        int milliseconds;
        bool repeat;
        Task task;
    };
    std::map<TimerId, Running>::const_iterator find(const std::string& name) const {
        for (auto it = timers_.begin(); it != timers_.end(); ++it)
            if (it->second.name == name) return it;
        return timers_.end();
    }
    std::map<TimerId, Running>::iterator find(const std::string& name) {
        for (auto it = timers_.begin(); it != timers_.end(); ++it)
            if (it->second.name == name) return it;
        return timers_.end();
    }
    std::map<TimerId, Running> timers_;
    TimerId next_id_ = 1;
};

}  // namespace vantorel::test
