// SPDX-License-Identifier: GPL-2.0-or-later
// An executor for the Qt test suites: posted tasks run on Qt's event loop as
// in the program (a pump runs them), timers run only when the test fires
// them, so timed behaviour is tested without waiting. Timers are known by
// the name their owner gave them ("apply delay", "receiver watchdog", ...).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/executor.h"
#include "ui/qt_executor.h"

namespace vantorel::test {

class ManualExecutor final : public Executor {
public:
    void post(Task task) override { qt_.post(std::move(task)); }
    TimerId start_timer(int milliseconds, bool repeat, Task task, const char* name) override {
        const TimerId id = next_id_++;
        const std::string key = name ? name : "";
        timers_[id] = Running{key, milliseconds, repeat, std::move(task)};
        ++starts_[key];
        last_ms_[key] = milliseconds;
        return id;
    }
    void stop_timer(TimerId id) override { timers_.erase(id); }

    // How often the named timer was started, its period when last started
    // (-1: never), whether it runs.
    int starts(const std::string& name) const {
        auto it = starts_.find(name);
        return it == starts_.end() ? 0 : it->second;
    }
    int interval(const std::string& name) const {
        auto it = last_ms_.find(name);
        return it == last_ms_.end() ? -1 : it->second;
    }
    bool active(const std::string& name) const { return find(name) != timers_.end(); }
    // Fires the named timer once, as its period ending would; false when it
    // does not run.
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
    std::map<TimerId, Running>::iterator find(const std::string& name) {
        for (auto it = timers_.begin(); it != timers_.end(); ++it)
            if (it->second.name == name) return it;
        return timers_.end();
    }
    std::map<TimerId, Running>::const_iterator find(const std::string& name) const {
        for (auto it = timers_.begin(); it != timers_.end(); ++it)
            if (it->second.name == name) return it;
        return timers_.end();
    }
    ui::QtExecutor qt_;
    std::map<TimerId, Running> timers_;
    std::map<std::string, int> starts_;
    std::map<std::string, int> last_ms_;
    TimerId next_id_ = 1;
};

}  // namespace vantorel::test
